// The few places where the show's GL and WebGL 2 part ways: the desktop draws with a compatibility
// context's fixed-function calls, which WebGL 2 does not have. One file per backend implements
// them (gl_compat_desktop.cpp, gl_compat_webgl.cpp), so the loader and the passes read the same
// on both; the desktop file makes exactly the calls the show always made.
#pragma once

// Wrap mode of the show's textures: GL_CLAMP on the desktop; GL_CLAMP_TO_EDGE in WebGL 2, which
// has no texture border to clamp to.
extern const int GL_COMPAT_CLAMP;
// Internal format the logo is uploaded with: 4 (four components) on the desktop; GL_RGBA in
// WebGL 2, which takes no component count.
extern const int GL_COMPAT_LOGO_FORMAT;

// Makes what the backend draws with (WebGL 2: the rectangle's vertex array). Needs the context
// current. Returns 1, or 0 with the failure reason set.
int gl_compat_init();
// Turns 2D texturing on for the active texture unit (fixed-function state; shaders alone decide
// in WebGL 2).
void gl_compat_enable_texture_2d();
// Sets the texture environment of the active unit to GL_REPLACE (fixed-function state).
void gl_compat_texture_replace();
// Draws the rectangle (-1, -1)-(1, 1) with the program in use; its vertex program gets the
// corners as the vertex position (z 0, w 1).
void gl_compat_screen_rect();
// Fills the rectangle (x0, y0)-(x1, y1), in normalised device coordinates, with the grey `grey`
// and no program in use, covering the pixels a drawn rectangle covers.
void gl_compat_grey_rect(float grey, float x0, float y0, float x1, float y1);
// Copies width x height pixels of the framebuffer bound for reading into level 0 of the texture
// bound on the active unit, re-specifying it. The framebuffer has 8 bits per channel, so the
// copy holds 0 to 1 in steps of 1/255 on both backends (as 32-bit floats on the desktop).
void gl_compat_copy_feedback(int width, int height);
