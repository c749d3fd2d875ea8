// The show script: the whole four-minute timeline, compiled in, written into the track table once.
// It is also the one place the show's fixed sizes and times are written: the scene slots, the show
// length and the screen size; everything else (passes, window, tools, shaders, music) derives
// from these.
#pragma once
#include <stdint.h>

// The ten GL program names, one per label, filled by the program builder in this order.
struct ProgramSet {
    uint32_t pt01, pt02, pt03, pt04, pt05, pt06, pt07, pt08, pt09, post;
};

enum {
    SHOW_SCRIPT_TRACKS = 71,
    PROGRAM_COUNT = 10,       // programs in ProgramSet, each built from two scene files
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
extern int32_t time_offset_ms;  // added to the frame clock for the show time; the script sets it to 0

// Adds the show's cues (71 tracks) to the track table. Needs program_set filled.
void build_show_script();
