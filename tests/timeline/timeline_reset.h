// Puts the process-wide timeline back to its load-time state between tests.
#pragma once
#include "timeline/cues.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

inline void timeline_reset() {
    track_count = 0;
    cue_time_base = 0;
    value_memory.count = 0;
    show_params = show_params_initial;
    program_set = ProgramSet{};
    time_offset_ms = 0;
}
