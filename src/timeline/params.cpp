// Show parameters and the values they start the show with.
#include "params.h"

const ShowParams show_params_initial = {
    {0, 0},                 // resolution
    {0, 0},                 // mouse
    {0, 0, 0},              // campos
    {0, 0, 0},              // camtar
    {0, 1, 0},              // camup
    1,                      // gamma
    {0, 0, 0, 0},           // flashColor
    {1, 1, 1, 1},           // logoColor
    {1, 1},                 // logoScale
    {0, 0},                 // logoOffset
    0,                      // displayLogo
    0,                      // useEffect
    0,                      // rgbOffset
    {0.001f, 0.001f},       // blurSize
    {0.001f, 0},            // blurDir
    {0},                    // fpar
    0,                      // scene_program
    0,                      // skip_render
    0,                      // logo_slot
};

ShowParams show_params = show_params_initial;

#define SHOW_PARAM_ROW(name, components, integer_cues) {#name, components, integer_cues, offsetof(ShowParams, name) / sizeof(float)},
const ShowParamInfo SHOW_PARAMS[SHOW_PARAM_COUNT] = {SHOW_PARAM_LIST(SHOW_PARAM_ROW)};
#undef SHOW_PARAM_ROW

float* show_param(ShowParams& p, int id) { return reinterpret_cast<float*>(&p) + SHOW_PARAMS[id].offset; }
