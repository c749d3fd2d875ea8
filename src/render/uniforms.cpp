// The tables of the uniforms the two passes upload.
#include "render/uniforms.h"

#define UNIFORM_ROW(id, name, source) {name, source},
const UniformInfo SCENE_UNIFORM_INFO[SCENE_UNIFORM_COUNT] = {SCENE_UNIFORMS(UNIFORM_ROW)};
const UniformInfo POST_UNIFORM_INFO[POST_UNIFORM_COUNT] = {POST_UNIFORMS(UNIFORM_ROW)};
#undef UNIFORM_ROW
