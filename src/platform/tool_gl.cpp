// The tools' GL contexts: the display-less EGL one (headless.h) first where it is asked for, and
// windows through the same SDL backend as the show's.
#include "platform/tool_gl.h"

#include <stdio.h>

#include "platform/headless.h"
#include "platform/platform.h"

static struct {
    int open;
    int headless;
    void* window;
    void* context;
    char error[512];
} tool_gl;

static int tool_gl_fail(const char* what) {
    snprintf(tool_gl.error, sizeof tool_gl.error, "%s: %s", what, plat_failure_reason());
    tool_gl_close();
    return 0;
}

int tool_gl_open(ToolGlMode mode, const char* title, int width, int height) {
    tool_gl.error[0] = '\0';
    if (tool_gl.open) {
        snprintf(tool_gl.error, sizeof tool_gl.error, "a GL context is already open");
        return 0;
    }
    if (mode == TOOL_GL_HEADLESS && headless_open(width, height)) {
        tool_gl.open = tool_gl.headless = 1;
        return 1;
    }
    char egl[256];
    snprintf(egl, sizeof egl, "%s", mode == TOOL_GL_HEADLESS ? headless_error() : "");
    tool_gl.open = 1;
    if (!plat_video_init()) {
        if (mode != TOOL_GL_HEADLESS) return tool_gl_fail("no display (is DISPLAY set?)");
        snprintf(tool_gl.error, sizeof tool_gl.error, "no display-less GL context (%s), and no display for a hidden window: %s",
                 egl, plat_failure_reason());
        plat_video_quit();
        tool_gl.open = 0;
        return 0;
    }
    int w = width, h = height, flags = 0;
    if (mode == TOOL_GL_HEADLESS) {
        flags = PLAT_WINDOW_HIDDEN;
    } else if (mode == TOOL_GL_FULLSCREEN) {
        flags = PLAT_WINDOW_FULLSCREEN;
        // The asked mode when the display has it, else the desktop as it is.
        if (!plat_display_mode_change(width, height, 32)) plat_display_size(&w, &h);
        plat_cursor_show(0);
    } else {
        int dw = 0, dh = 0;
        plat_display_size(&dw, &dh);
        if (dw > 0 && dh > 0 && (dw < width || dh < height)) {
            double sx = (double)dw / width, sy = (double)dh / height, s = sx < sy ? sx : sy;
            w = (int)(width * s);
            h = (int)(height * s);
        }
    }
    tool_gl.window = plat_window_create(title, w, h, flags, 8, 32);
    if (!tool_gl.window) return tool_gl_fail("no window with a GL drawable");
    tool_gl.context = plat_gl_context_create(tool_gl.window);
    if (!tool_gl.context) return tool_gl_fail("no GL context");
    if (!plat_gl_make_current(tool_gl.window, tool_gl.context)) return tool_gl_fail("the GL context cannot be made current");
    return 1;
}

void tool_gl_close() {
    if (!tool_gl.open) return;
    if (tool_gl.headless) {
        headless_close();
    } else {
        if (tool_gl.context) {
            plat_gl_make_current(nullptr, nullptr);
            plat_gl_context_delete(tool_gl.context);
        }
        if (tool_gl.window) plat_window_destroy(tool_gl.window);
        plat_display_mode_restore();
        plat_cursor_show(1);
        plat_video_quit();
    }
    tool_gl.open = tool_gl.headless = 0;
    tool_gl.window = tool_gl.context = nullptr;
}

const char* tool_gl_error() { return tool_gl.error; }

void* tool_gl_window() { return tool_gl.window; }
