// The program builder: the ten GLSL programs of the show from the scene files, with the loading
// bar advancing after each.
#pragma once
#include <stdint.h>

extern float load_progress;  // programs built so far; zero at load

// Builds one program from the next two scene files (vertex text from the first) and stores its
// name in *out_program, then draws the loading bar and presents it. Compile and link errors are
// not looked at. Returns 0, having made nothing, when a scene file cannot be read; else 1.
int build_program(const char* vertex_label, const char* fragment_label, uint32_t* out_program);
// Draws the bar for progress p with the fixed-function pipeline: grey sin(p), from the left
// edge to 2p - 1 across the middle of the screen, about two pixels high.
void draw_loading_bar(float p);
// Builds all ten programs into program_set, pt01 ... pt09 then post. Returns 0 at the first
// program that cannot be built, else 1.
int build_programs();
