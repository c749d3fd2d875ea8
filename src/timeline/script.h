// The show script: the whole four-minute timeline, compiled in, written into the track table once.
// Its cues, scene slots, length, marks and tempo come from the cue sheet (show/show.cues), turned
// into the generated table behind show_sheet.h at build time; the screen size is written here.
// Everything else (passes, window, tools, shaders, music) derives from these.
#pragma once
#include <stdint.h>

#include "show_sheet.h"  // generated: SHOW_LENGTH_MS, FLASH_RISE_MS, LOGO_START_MS and the counts
#include "timeline/cues.h"
#include "timeline/program_set.h"

enum {
    SCREEN_WIDTH = 1920,  // the window, the drawable and both float targets
    SCREEN_HEIGHT = 1080,
};

// One scheduled scene: its program runs from start_ms until end_ms (the next slot's start, or the
// end of the show).
struct SceneSlot {
    int32_t start_ms;
    int32_t end_ms;
    const char* label;             // the program's label, e.g. "pt05"
    uint32_t ProgramSet::*program;  // where program_set keeps its name
};

// One stretch of the sheet's tempo map, [start_ms, end_ms): `bars` bars of four beats fitted to it,
// or (bars 0) beats at `bpm` from start_ms.
struct TempoSpan {
    int32_t start_ms, end_ms;
    int32_t bars;
    double bpm;
};

extern const SceneSlot scene_slots[SCENE_SLOT_COUNT];  // in show order, back to back from 0
extern const Cue SHOW_CUES[SHOW_CUE_COUNT];             // the sheet's cues in its line order
extern const TempoSpan show_tempo[SHOW_TEMPO_SPANS];    // SHOW_TEMPO_COUNT of them in time order
extern int32_t time_offset_ms;  // added to the frame clock for the show time; the script sets it to 0

// Sets time_offset_ms to 0 and issues SHOW_CUES into the track table (SHOW_SCRIPT_TRACKS tracks).
// Needs program_set filled.
void build_show_script();
// Issues `count` cues in order: value cues on their show parameter, program cues with the name
// program_set holds for their program.
void script_run(const Cue* cues, int32_t count);
// Empties the track table and the value memory and resets the time base, so that a script can be
// built again (the tools do, when a sheet is edited); the show never calls it.
void script_clear();
// Builds `count` cues into an emptied timeline exactly as the show builds its own at load
// (script_clear, time_offset_ms 0, script_run); for the tools, never the show.
void script_rebuild(const Cue* cues, int32_t count);
