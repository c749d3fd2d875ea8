// The uniforms the two passes upload, by name, with the texture each sampler reads: one list that
// the passes and the show checker share, so a name the passes set is never spelt twice.
#pragma once

// Where a sampler's texture comes from: a slot of texture_table (>= 0), or one of these.
enum {
    UNIFORM_VALUE = -1,      // not a sampler
    UNIFORM_TARGET = -2,     // one of the two float targets (scene or feedback): always made
    UNIFORM_LOGO_SLOT = -3,  // the texture_table slot the timeline's logo_slot names
};

// Texture-table slots the scene pass binds on units 1 and 2.
enum { SCENE_TEXTURE2_SLOT = 0, SCENE_TEXTURE3_SLOT = 2 };

// X(id, name, source): the scene pass's uniforms in upload order.
#define SCENE_UNIFORMS(X)                        \
    X(RESOLUTION, "resolution", UNIFORM_VALUE)   \
    X(MOUSE, "mouse", UNIFORM_VALUE)             \
    X(TIME, "time", UNIFORM_VALUE)               \
    X(TEXTURE, "texture", UNIFORM_TARGET)        \
    X(TEXTURE2, "texture2", SCENE_TEXTURE2_SLOT) \
    X(TEXTURE3, "texture3", SCENE_TEXTURE3_SLOT) \
    X(CAMPOS, "campos", UNIFORM_VALUE)           \
    X(CAMTAR, "camtar", UNIFORM_VALUE)           \
    X(CAMUP, "camup", UNIFORM_VALUE)

// X(id, name, source): the post pass's uniforms in upload order.
#define POST_UNIFORMS(X)                                \
    X(RENDERED_TEXTURE, "renderedTexture", UNIFORM_TARGET) \
    X(BACK_BUFFER, "backBuffer", UNIFORM_TARGET)         \
    X(LOGO_TEXTURE, "logoTexture", UNIFORM_LOGO_SLOT)    \
    X(FPAR, "fpar", UNIFORM_VALUE)                       \
    X(RESOLUTION, "resolution", UNIFORM_VALUE)           \
    X(MOUSE, "mouse", UNIFORM_VALUE)                     \
    X(TIME, "time", UNIFORM_VALUE)                       \
    X(FLASH_COLOR, "flashColor", UNIFORM_VALUE)          \
    X(RGB_OFFSET, "rgbOffset", UNIFORM_VALUE)            \
    X(BLUR_SIZE, "blurSize", UNIFORM_VALUE)              \
    X(BLUR_DIR, "blurDir", UNIFORM_VALUE)                \
    X(USE_EFFECT, "useEffect", UNIFORM_VALUE)            \
    X(DISPLAY_LOGO, "displayLogo", UNIFORM_VALUE)        \
    X(LOGO_COLOR, "logoColor", UNIFORM_VALUE)            \
    X(LOGO_SCALE, "logoScale", UNIFORM_VALUE)            \
    X(LOGO_OFFSET, "logoOffset", UNIFORM_VALUE)          \
    X(GAMMA, "gamma", UNIFORM_VALUE)

#define UNIFORM_ENUM_SCENE(id, name, source) SCENE_U_##id,
#define UNIFORM_ENUM_POST(id, name, source) POST_U_##id,
enum SceneUniform { SCENE_UNIFORMS(UNIFORM_ENUM_SCENE) SCENE_UNIFORM_COUNT };
enum PostUniform { POST_UNIFORMS(UNIFORM_ENUM_POST) POST_UNIFORM_COUNT };
#undef UNIFORM_ENUM_SCENE
#undef UNIFORM_ENUM_POST

struct UniformInfo {
    const char* name;
    int source;  // UNIFORM_VALUE, UNIFORM_TARGET, UNIFORM_LOGO_SLOT or a texture_table slot
};

extern const UniformInfo SCENE_UNIFORM_INFO[SCENE_UNIFORM_COUNT];  // indexed by SceneUniform
extern const UniformInfo POST_UNIFORM_INFO[POST_UNIFORM_COUNT];    // indexed by PostUniform
