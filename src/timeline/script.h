// The show script: the whole timeline, carried in the executable's timeline table (show_table.h,
// filled from the cue sheet at build time or by the exporter) and written into the track table
// once; the screen size is written here. The tools also read what the build generates from the
// same sheet for them alone (show_sheet.h: the scene slots, the marks and the tempo map).
#pragma once
#include <stdint.h>

#include "timeline/cues.h"
#include "timeline/program_set.h"
#include "timeline/show_table.h"

enum {
    SCREEN_WIDTH = 1920,  // the window, the drawable and both float targets
    SCREEN_HEIGHT = 1080,
};

extern int32_t time_offset_ms;  // added to the frame clock for the show time; the script sets it to 0

// The show's length from the timeline table, in ms; 0 when the table holds no show.
int32_t show_length_ms();
// Sets time_offset_ms to 0 and issues the timeline table's cues into the track table. Needs
// program_set filled.
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
