// Cues and value memory: turn the script's set and tween cues into tracks.
#include "cues.h"

#include "params.h"
#include "tracks.h"

ValueMemory value_memory;

static ValueRecord* value_find(const float* target) {
    for (int32_t i = 0; i < value_memory.count; ++i)
        if (value_memory.records[i].target == target) return &value_memory.records[i];
    return nullptr;
}

int value_remember(float* target, float x, float y, float z, float w) {
    ValueRecord* r = value_find(target);
    if (!r) {
        if (value_memory.count >= VALUE_MEMORY_CAPACITY) return 0;
        r = &value_memory.records[value_memory.count++];
        r->target = target;
    }
    r->v[0] = x;
    r->v[1] = y;
    r->v[2] = z;
    r->v[3] = w;
    return 1;
}

int value_recall(const float* target, float out[4]) {
    const ValueRecord* r = value_find(target);
    for (int i = 0; i < 4; ++i) out[i] = r ? r->v[i] : 0.0f;
    return r != nullptr;
}

void cue_set1(int32_t t, float* target, float x) {
    track_add_span(t, 1, EASE_STEP, target, x, x);
    value_remember(target, x, 0, 0, 0);
}

void cue_tween1(int32_t t, int32_t duration, int32_t mode, float* target, float x) {
    float from[4];
    value_recall(target, from);
    track_add_span(t, duration, mode, target, from[0], x);
}

void cue_set3(int32_t t, float* target, float x, float y, float z) {
    const float v[3] = {x, y, z};
    track_add_span3(t, 1, EASE_STEP, target, v, v);
    value_remember(target, x, y, z, 0);
}

void cue_tween3(int32_t t, int32_t duration, int32_t mode, float* target, float x, float y, float z) {
    float from[4];
    value_recall(target, from);
    const float to[3] = {x, y, z};
    track_add_span3(t, duration, mode, target, from, to);
    value_remember(target, x, y, z, 0);
}

void cue_set4(int32_t t, float* target, float x, float y, float z, float w) {
    const float v[4] = {x, y, z, w};
    track_add_span4(t, 1, EASE_STEP, target, v, v);
    value_remember(target, x, y, z, w);
}

void cue_tween4(int32_t t, int32_t duration, int32_t mode, float* target, float x, float y, float z, float w) {
    float from[4];
    value_recall(target, from);
    const float to[4] = {x, y, z, w};
    track_add_span4(t, duration, mode, target, from, to);
    value_remember(target, x, y, z, w);
}

static void cue_integer(int32_t t, float* target, float n) { track_add_span(t, 1, EASE_STEP, target, n, n); }

void cue_program(int32_t t, uint32_t program) { cue_integer(t, &show_params.scene_program, (float)program); }
void cue_skip(int32_t t, int32_t n) { cue_integer(t, &show_params.skip_render, (float)n); }
void cue_logo_slot(int32_t t, int32_t n) { cue_integer(t, &show_params.logo_slot, (float)n); }
void cue_effect(int32_t t, int32_t n) { cue_integer(t, &show_params.useEffect, (float)n); }
