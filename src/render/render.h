// The two passes of every frame: the scene program into the float scene target, then the post
// program onto the window's back buffer, which is copied back as the next frame's feedback.
#pragma once
#include <stdint.h>

// Framebuffer the post pass composites into and copies the feedback from: the window's
// (plat_gl_window_framebuffer(), 0 on the desktop) in the show; a tool may point it at its own
// 1920x1080 framebuffer. Zero at load.
extern uint32_t post_framebuffer;

// Draws the frame at show time t (ms): per-frame parameters, the timeline, the scene pass and the
// post pass. Draws nothing, and leaves the feedback alone, while skip_render rounds to nonzero.
void render_frame(int32_t t);
// Binds the scene framebuffer with scene_target as its only colour attachment, drawn to.
void bind_scene_target();
// Clears feedback_texture to transparent black, as a new texture holds it on the drivers that
// zero-fill, and leaves it bound on texture unit 0 for the next scene pass: a start at any show
// time (a capture's first frame, a seek) begins from the same empty previous frame.
void render_clear_feedback();
// Composites scene, previous frame and logo into post_framebuffer, then copies it to
// feedback_texture, leaving that bound on texture unit 0. While the logo's slot holds no texture
// the post program is told displayLogo 0.
void render_post(int32_t t);
