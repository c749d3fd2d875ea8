// Keyframe tracks: storage, insertion and the per-frame evaluation pass.
#include "tracks.h"

#include <math.h>

Track track_table[TRACK_CAPACITY];
int32_t track_count;
int32_t cue_time_base;

// Times wrap like the 32-bit integers they are instead of overflowing into undefined behaviour.
static int32_t add_ms(int32_t a, int32_t b) { return (int32_t)((uint32_t)a + (uint32_t)b); }

int track_add(int32_t start, int32_t end, int32_t mode, float* target, float from, float to) {
    if (track_count >= TRACK_CAPACITY) return -1;
    if (mode < EASE_STEP || mode > EASE_THIRDS) return -1;  // nothing defines what such a track would write
    Track& k = track_table[track_count];
    k.start = add_ms(start, cue_time_base);
    k.end = add_ms(end, cue_time_base);
    k.mode = mode;
    k.target = target;
    k.from = from;
    k.to = to;
    return track_count++;
}

int track_add_span(int32_t start, int32_t duration, int32_t mode, float* target, float from, float to) {
    return track_add(start, add_ms(start, duration), mode, target, from, to);
}

void track_add_span3(int32_t start, int32_t duration, int32_t mode, float* target, const float from[3], const float to[3]) {
    for (int i = 0; i < 3; ++i) track_add_span(start, duration, mode, target + i, from[i], to[i]);
}

void track_add_span4(int32_t start, int32_t duration, int32_t mode, float* target, const float from[4], const float to[4]) {
    for (int i = 0; i < 4; ++i) track_add_span(start, duration, mode, target + i, from[i], to[i]);
}

void set_time_base(int32_t ms) { cue_time_base = ms; }

// The eased value of an active track. Everything is worked in double from the 32-bit inputs and
// single-precision constants, and rounded to float once by the caller.
static double track_value(const Track& k, int32_t t) {
    if (k.mode == EASE_STEP) return k.from;
    int64_t span = (int64_t)k.end - k.start;
    if (span == 0) span = 1;
    double g = (double)((int64_t)t - k.start) / (double)span;
    double f;
    if (k.mode == EASE_LINEAR) {
        f = g;
    } else if (k.mode == EASE_COSINE) {
        f = (1.0 - cos(g * (double)3.1415927f)) * 0.5;
    } else {
        // Steps of a third over ten slots: the factor overshoots 1 from g = 0.35 on and reaches
        // 10/3 at the end of the span; the show relies on this exact curve, not a clamped one.
        f = nearbyint(g * 10.0) * (double)0.33333334f;
    }
    return (1.0 - f) * k.from + f * k.to;
}

void tracks_evaluate(int32_t t) {
    for (int32_t i = 0; i < track_count; ++i) {
        const Track& k = track_table[i];
        float v;
        if (t > k.end) {
            v = k.to;
        } else if (t >= k.start) {
            v = (float)track_value(k, t);
        } else {
            continue;  // pending
        }
        if (k.target) *k.target = v;
    }
}
