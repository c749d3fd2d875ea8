// The show script: the whole four-minute timeline, compiled in, written into the track table once.
#pragma once
#include <stdint.h>

// The ten GL program names, one per label, filled by the program builder in this order.
struct ProgramSet {
    uint32_t pt01, pt02, pt03, pt04, pt05, pt06, pt07, pt08, pt09, post;
};

enum { PROGRAM_COUNT = 10, SHOW_SCRIPT_TRACKS = 71 };

extern ProgramSet program_set;  // zero at load
// The labels of the ProgramSet fields in field order, "pt01" ... "pt09", "post", for the tools.
extern const char* const PROGRAM_LABELS[PROGRAM_COUNT];
extern int32_t time_offset_ms;  // added to the frame clock for the show time; the script sets it to 0

// Adds the show's cues (71 tracks) to the track table. Needs program_set filled.
void build_show_script();
