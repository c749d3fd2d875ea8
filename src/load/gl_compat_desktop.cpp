// Desktop GL: the compatibility context's own fixed-function calls, as the show has always made them.
#include "load/gl_compat.h"

#include "load/gl_entry.h"

const int GL_COMPAT_CLAMP = GL_CLAMP;
const int GL_COMPAT_LOGO_FORMAT = 4;

int gl_compat_init() { return 1; }

void gl_compat_enable_texture_2d() { glEnable(GL_TEXTURE_2D); }

void gl_compat_texture_replace() { glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE); }

void gl_compat_screen_rect() { glRects(-1, -1, 1, 1); }

void gl_compat_grey_rect(float grey, float x0, float y0, float x1, float y1) {
    glColor3f(grey, grey, grey);
    glRectf(x0, y0, x1, y1);
}

void gl_compat_copy_feedback(int width, int height) {
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 0, 0, width, height, 0);
}
