// The one way the authoring tools get a GL context: display-less for the tools that only build and
// draw (check, capture), or a window for the ones a person watches (preview, capture --x11). The
// show itself opens its window through the runner and never uses this.
#pragma once

enum ToolGlMode {
    TOOL_GL_HEADLESS = 0,         // EGL without a display; a hidden window on X where EGL cannot
    TOOL_GL_WINDOW = 1,           // a window scaled down to fit the desktop, keeping the shape
    TOOL_GL_FULLSCREEN = 2,       // full screen: in a width x height mode when the display has one
};

// Opens a context in `mode` with a default framebuffer of width x height (the window's may be
// smaller, scaled to the desktop) and makes it current; gl entry points and present_and_yield then
// work through it. Returns 1, or 0 with tool_gl_error() saying why and nothing left open.
int tool_gl_open(ToolGlMode mode, const char* title, int width, int height);
// Releases the context and its window or display; harmless when nothing is open.
void tool_gl_close();
// Why the last tool_gl_open failed, as one line.
const char* tool_gl_error();
// The window the context draws into, or null for the display-less one.
void* tool_gl_window();
