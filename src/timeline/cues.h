// Cues: the show script's vocabulary. A cue becomes one step or blending track per component;
// tweens start from the value last given to their target, kept in ValueMemory.
#pragma once
#include <stdint.h>

struct ValueRecord {
    float* target;  // first component for vectors
    float v[4];     // remembered value; components past the cue's size are 0
};

enum { VALUE_MEMORY_CAPACITY = 256 };

struct ValueMemory {
    ValueRecord records[VALUE_MEMORY_CAPACITY];
    int32_t count;
};

extern ValueMemory value_memory;  // empty at load; records are found by target, in insertion order

// Overwrites the record of `target`, or appends one. Returns 1, or 0 when the memory is full
// and `target` has no record (nothing is stored).
int value_remember(float* target, float x, float y, float z, float w);
// Copies the remembered value of `target` into out[4] and returns 1; returns 0 and zeros out
// when `target` has no record.
int value_recall(const float* target, float out[4]);

// Value cues: times and durations in ms; mode is an Easing. Tweens on a target with no record
// start from 0. Memory after each cue: set = its value, vector tween = its end value, scalar
// tween = unchanged.
void cue_set1(int32_t t, float* target, float x);
void cue_tween1(int32_t t, int32_t duration, int32_t mode, float* target, float x);
void cue_set3(int32_t t, float* target, float x, float y, float z);
void cue_tween3(int32_t t, int32_t duration, int32_t mode, float* target, float x, float y, float z);
void cue_set4(int32_t t, float* target, float x, float y, float z, float w);
void cue_tween4(int32_t t, int32_t duration, int32_t mode, float* target, float x, float y, float z, float w);

// Integer cues: one step track [t, t+1] from n to n on a ShowParams field; memory untouched.
void cue_program(int32_t t, uint32_t program);  // scene_program
void cue_skip(int32_t t, int32_t n);            // skip_render
void cue_logo_slot(int32_t t, int32_t n);       // logo_slot
void cue_effect(int32_t t, int32_t n);          // useEffect

// One line of a show script as data, for scripts written as tables (the generated show) or read
// from a sheet by the tools.
enum CueKind {
    CUE_SET = 0,        // value cue: set 1, 3 or 4 components; integer cue on an integer parameter
    CUE_TWEEN = 1,      // value cue: tween 1, 3 or 4 components over `duration` with `mode`
    CUE_PROGRAM = 2,    // the scene program from t on: `target` is its index in PROGRAM_TABLE
    CUE_TIME_BASE = 3,  // set_time_base(t)
};

struct Cue {
    int32_t kind;      // CueKind
    int32_t t;         // ms
    int32_t duration;  // ms, tweens
    int32_t mode;      // Easing, tweens
    int32_t target;    // ShowParam, or the program's index for CUE_PROGRAM
    int32_t count;     // components given (1, 3 or 4)
    float v[4];        // the values; an integer cue's whole number in v[0]
};
