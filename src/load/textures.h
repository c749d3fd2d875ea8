// Textures and render targets: the logo image and the two 1920x1080 float textures of the passes.
#pragma once
#include <stdint.h>

enum { TEXTURE_SLOTS = 32 };  // the float targets are SCREEN_WIDTH x SCREEN_HEIGHT (timeline/script.h)

extern uint32_t texture_table[TEXTURE_SLOTS];  // slot 0: the logo; the rest stay 0 (no texture)
extern uint32_t scene_target;                   // the scene pass renders here
extern uint32_t feedback_texture;               // the last presented frame
extern uint32_t scene_fbo;                      // framebuffer the scene pass attaches scene_target to

// Decodes the image at `path` to 8-bit RGBA and uploads it as a linear, clamped texture, top row
// first. Returns the texture name, or -1 (nothing made) when the image cannot be read or decoded
// within the decoder's bounds (load/image.h).
int64_t load_image_texture(const char* path);
// Makes an RGBA32F 1920x1080 texture with nearest filters and clamping, contents undefined, into
// *out_name. Returns 1.
int create_float_target(uint32_t* out_name);
