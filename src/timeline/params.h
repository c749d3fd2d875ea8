// Show parameters: the one block of values the timeline writes and the render passes upload.
// Vectors are consecutive floats (x, y, z, w) so that each component can be a track target;
// integer-valued fields are floats too, rounded to nearest-even where they are used.
#pragma once
#include <stddef.h>

struct ShowParams {
    float resolution[2];  // written every frame: (1920, 1080)
    float mouse[2];       // written every frame: (0.5, 0.5)
    float campos[3];      // tracks
    float camtar[3];      // tracks
    float camup[3];       // constant (0, 1, 0)
    float gamma;          // tracks
    float flashColor[4];  // tracks
    float logoColor[4];   // tracks
    float logoScale[2];   // constant (1, 1)
    float logoOffset[2];  // constant (0, 0)
    float displayLogo;    // tracks; integer
    float useEffect;      // tracks; integer
    float rgbOffset;      // constant 0
    float blurSize[2];    // constant (0.001, 0.001)
    float blurDir[2];     // written every frame: (cos(t * 0.001) * 0.005, 0)
    float fpar[16];       // four vec4, constant 0
    float scene_program;  // tracks; the GL program name the scene pass uses
    float skip_render;    // tracks; nonzero: the frame draws nothing
    float logo_slot;      // tracks; texture_table slot bound as the logo
};

extern ShowParams show_params;               // holds show_params_initial at load
extern const ShowParams show_params_initial;  // the values every field starts the show with

// The parameters cues drive, in the order the tools list them: X(name, components, integer_cues).
// A parameter with integer_cues takes whole numbers through the integer cues, without value
// memory; the others take set and tween cues. The scene program is driven by program cues instead.
#define SHOW_PARAM_LIST(X)   \
    X(gamma, 1, 0)           \
    X(flashColor, 4, 0)      \
    X(logoColor, 4, 0)       \
    X(campos, 3, 0)          \
    X(camtar, 3, 0)          \
    X(displayLogo, 1, 0)     \
    X(logo_slot, 1, 1)       \
    X(useEffect, 1, 1)       \
    X(skip_render, 1, 1)

#define SHOW_PARAM_ID(name, components, integer_cues) SHOW_PARAM_##name,
enum ShowParam { SHOW_PARAM_LIST(SHOW_PARAM_ID) SHOW_PARAM_COUNT };
#undef SHOW_PARAM_ID

struct ShowParamInfo {
    const char* name;  // as the shaders and the cue sheet spell it
    int components;    // floats in the field
    int integer_cues;  // nonzero: driven by the integer cues (whole numbers, no value memory)
    size_t offset;     // floats from the start of ShowParams
};
extern const ShowParamInfo SHOW_PARAMS[SHOW_PARAM_COUNT];  // indexed by ShowParam

// The first float of parameter `id` in `p`.
float* show_param(ShowParams& p, int id);
