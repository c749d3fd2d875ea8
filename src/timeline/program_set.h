// The show's ten programs: their labels in build order, the scene files each is built from, and
// the set of GL program names the timeline hands to the scene pass.
#pragma once
#include <stdint.h>

// The ten programs in build order, X(label, vertex scene file, fragment scene file): the program
// builder reads them in this order, so the file numbers are the order in which it reads them.
// Every program but post is a scene program the script may schedule.
#define PROGRAM_LIST(X) \
    X(pt01, 0, 1)       \
    X(pt02, 2, 3)       \
    X(pt03, 4, 5)       \
    X(pt04, 6, 7)       \
    X(pt05, 8, 9)       \
    X(pt06, 10, 11)     \
    X(pt07, 12, 13)     \
    X(pt08, 14, 15)     \
    X(pt09, 16, 17)     \
    X(post, 18, 19)

// The ten GL program names, one per label, filled by the program builder in this order.
#define PROGRAM_SET_FIELD(label, vertex_file, fragment_file) uint32_t label;
struct ProgramSet {
    PROGRAM_LIST(PROGRAM_SET_FIELD)
};
#undef PROGRAM_SET_FIELD
#define PROGRAM_ONE(label, vertex_file, fragment_file) +1
enum {
    PROGRAM_COUNT = 0 PROGRAM_LIST(PROGRAM_ONE),  // programs in ProgramSet, each built from two scene files
    SCENE_PROGRAM_COUNT = PROGRAM_COUNT - 1,      // all but post, which the script never schedules
};
#undef PROGRAM_ONE

extern ProgramSet program_set;  // zero at load
// The labels of the ProgramSet fields in field order, "pt01" ... "pt09", "post", for the tools.
extern const char* const PROGRAM_LABELS[PROGRAM_COUNT];

// One program of the set: its label, where program_set keeps its name, and its two scene files.
struct ProgramEntry {
    const char* label;              // "pt01"
    const char* vertex_label;       // "pt01.vsh"
    const char* fragment_label;     // "pt01.fsh"
    uint32_t ProgramSet::*program;  // its name in program_set
    int files[2];                   // vertex and fragment scene-file numbers
};
// The ten programs in build order (PROGRAM_LIST), for the builder and the tools.
extern const ProgramEntry PROGRAM_TABLE[PROGRAM_COUNT];
