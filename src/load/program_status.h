// The driver's verdict on a built program, for the authoring tools: compile and link status with
// the driver's logs, the uniforms it keeps, and rebuilding a program in place from new text. The
// show itself never looks at these.
#pragma once
#include <stdint.h>

enum { PROGRAM_LOG_SIZE = 8192, PROGRAM_UNIFORM_NAME_SIZE = 128 };

// Stage indices in ProgramStatus.
enum { PROGRAM_VERTEX = 0, PROGRAM_FRAGMENT = 1 };

struct ProgramStatus {
    int compiled[2];                    // per stage: nonzero when its shader compiled
    int linked;                         // nonzero when the program linked
    char log[2][PROGRAM_LOG_SIZE];      // per stage: the compiler's log, zero-terminated
    char link_log[PROGRAM_LOG_SIZE];    // the linker's log, zero-terminated
};

// Fills *out for a program made by build_program (or program_rebuild). Needs a current context.
// Returns 1 when both stages compiled and the program linked, else 0 (an unknown name gives 0
// with every flag 0).
int program_status(uint32_t program, ProgramStatus* out);
// The index-th active uniform of a linked program: its name (array suffix "[0]" removed) into
// name[PROGRAM_UNIFORM_NAME_SIZE] and its GL type into *type. Returns 0 past the last one.
int program_active_uniform(uint32_t program, int index, char* name, uint32_t* type);
// Compiles `vertex_text` and `fragment_text` once and links them on trial; when that succeeds,
// relinks `program` itself with the same shaders, so its name (which the timeline holds) stays
// valid, and checks that link too. Returns 1 then; returns 0 leaving `program` untouched when
// the trial fails. *out gets the logs either way.
int program_rebuild(uint32_t program, const char* vertex_text, const char* fragment_text, ProgramStatus* out);
