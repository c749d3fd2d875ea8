// The show script: the whole four-minute timeline, compiled in, written into the track table once.
// It is also the one place the show's fixed sizes and times are written: the scene slots, the show
// length and the screen size; everything else (passes, window, tools, shaders, music) derives
// from these.
#pragma once
#include <stdint.h>

// The ten programs in build order, X(label, vertex scene file, fragment scene file): the program
// builder reads them in this order, so the file numbers are the order in which it reads them.
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
enum { PROGRAM_COUNT = 0 PROGRAM_LIST(PROGRAM_ONE) };  // programs in ProgramSet, each built from two scene files
#undef PROGRAM_ONE

enum {
    SHOW_SCRIPT_TRACKS = 71,
    SHOW_LENGTH_MS = 240000,  // the frame loop ends once more than this has elapsed
    SCREEN_WIDTH = 1920,      // the window, the drawable and both float targets
    SCREEN_HEIGHT = 1080,
    FLASH_RISE_MS = 3000,     // the opening rise of flashColor
    LOGO_START_MS = 205000,   // the logo fades in over the last scene from here
    SCENE_SLOT_COUNT = 7,
};

// One scheduled scene: its program runs from start_ms until end_ms (the next slot's start, or the
// end of the show).
struct SceneSlot {
    int32_t start_ms;
    int32_t end_ms;
    const char* label;             // the program's label, e.g. "pt05"
    uint32_t ProgramSet::*program;  // where program_set keeps its name
};

extern const SceneSlot scene_slots[SCENE_SLOT_COUNT];  // in show order, back to back from 0
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
extern int32_t time_offset_ms;  // added to the frame clock for the show time; the script sets it to 0

// Adds the show's cues (71 tracks) to the track table. Needs program_set filled.
void build_show_script();
