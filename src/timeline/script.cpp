// The show script: the sheet's cues issued in their line order, which is the insertion order the
// track table relies on (the latest begun track wins, and a tween starts from the value memory as
// the cues before it left it).
#include "script.h"

#include "cues.h"
#include "params.h"
#include "tracks.h"

int32_t time_offset_ms;

static void cue_integer_param(int32_t t, int32_t param, int32_t n) {
    if (param == SHOW_PARAM_skip_render) cue_skip(t, n);
    else if (param == SHOW_PARAM_useEffect) cue_effect(t, n);
    else if (param == SHOW_PARAM_logo_slot) cue_logo_slot(t, n);
}

void script_run(const Cue* cues, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const Cue& c = cues[i];
        if (c.kind == CUE_TIME_BASE) {
            set_time_base(c.t);
            continue;
        }
        if (c.kind == CUE_PROGRAM) {
            if (c.target >= 0 && c.target < PROGRAM_COUNT) cue_program(c.t, program_set.*PROGRAM_TABLE[c.target].program);
            continue;
        }
        if (c.target < 0 || c.target >= SHOW_PARAM_COUNT) continue;
        if (SHOW_PARAMS[c.target].integer_cues) {
            if (c.kind == CUE_SET) cue_integer_param(c.t, c.target, (int32_t)c.v[0]);
            continue;
        }
        float* p = show_param(show_params, c.target);
        if (c.kind == CUE_SET) {
            if (c.count == 1) cue_set1(c.t, p, c.v[0]);
            else if (c.count == 3) cue_set3(c.t, p, c.v[0], c.v[1], c.v[2]);
            else if (c.count == 4) cue_set4(c.t, p, c.v[0], c.v[1], c.v[2], c.v[3]);
        } else if (c.kind == CUE_TWEEN) {
            if (c.count == 1) cue_tween1(c.t, c.duration, c.mode, p, c.v[0]);
            else if (c.count == 3) cue_tween3(c.t, c.duration, c.mode, p, c.v[0], c.v[1], c.v[2]);
            else if (c.count == 4) cue_tween4(c.t, c.duration, c.mode, p, c.v[0], c.v[1], c.v[2], c.v[3]);
        }
    }
}

int32_t show_length_ms() {
    const ShowTable& t = show_table;
    return t.length_ms > 0 && t.cue_count >= 0 && t.cue_count <= SHOW_TABLE_CUES ? t.length_ms : 0;
}

void build_show_script() {
    time_offset_ms = 0;
    // A count the table cannot hold (an engine patched wrongly) issues nothing rather than reading past it.
    int32_t count = show_table.cue_count;
    if (count >= 0 && count <= SHOW_TABLE_CUES) script_run(show_table.cues, count);
}

void script_clear() {
    track_count = 0;
    set_time_base(0);
    value_memory.count = 0;
}

void script_rebuild(const Cue* cues, int32_t count) {
    script_clear();
    time_offset_ms = 0;
    script_run(cues, count);
}
