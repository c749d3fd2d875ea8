// Keyframe tracks: a fixed table of spans that drive plain float variables over show time.
// Tracks are added once before the show and all evaluated every frame, in insertion order.
#pragma once
#include <stdint.h>

enum Easing { EASE_STEP = 0, EASE_LINEAR = 1, EASE_COSINE = 2, EASE_THIRDS = 3 };

// One span on one float: `from` at `start`, eased towards `to` until `end`, `to` after it.
struct Track {
    int32_t start;  // ms, cue_time_base already added
    int32_t end;    // ms, cue_time_base already added
    int32_t mode;   // Easing
    float* target;  // may be null: the track then writes nothing
    float from;
    float to;
};

enum { TRACK_CAPACITY = 16384 };

extern Track track_table[TRACK_CAPACITY];  // zero at load; never reordered or changed once added
extern int32_t track_count;                // tracks in use
extern int32_t cue_time_base;              // added to start and end of every track added from now on

// Appends a track with start and end shifted by cue_time_base. Returns its index, or -1 (nothing
// added) when the table is full or `mode` is not an Easing.
int track_add(int32_t start, int32_t end, int32_t mode, float* target, float from, float to);
// track_add(start, start + duration, ...).
int track_add_span(int32_t start, int32_t duration, int32_t mode, float* target, float from, float to);
// One span per component on target[0..2] (x, y, z order); results are not reported.
void track_add_span3(int32_t start, int32_t duration, int32_t mode, float* target, const float from[3], const float to[3]);
// One span per component on target[0..3] (x, y, z, w order); results are not reported.
void track_add_span4(int32_t start, int32_t duration, int32_t mode, float* target, const float from[4], const float to[4]);
// Sets cue_time_base.
void set_time_base(int32_t ms);
// Writes every begun track's value at show time t (ms) into its target, walking the table in order.
void tracks_evaluate(int32_t t);
