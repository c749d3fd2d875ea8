// The show's window and GL context, and the handling of its events.
#include "window.h"

#include <GL/gl.h>

#include "platform/platform.h"
#include "timeline/script.h"

WindowState window_state;
const char WINDOW_TITLE[] = "Oruvane";

int window_init(WindowState* state) {
    // Nothing can be opened without a display that really shows something.
    if (!plat_video_init()) return 0;
    if (state->fullscreen) {
        if (!plat_display_mode_change(SCREEN_WIDTH, SCREEN_HEIGHT, WINDOW_BITS)) return 0;
        plat_cursor_show(0);
    }
    plat_screensaver_inhibit();
    // 8 bits per channel with alpha and a 32-bit depth buffer, or the nearest the driver has.
    state->window = plat_window_create(WINDOW_TITLE, SCREEN_WIDTH, SCREEN_HEIGHT, state->fullscreen ? PLAT_WINDOW_FULLSCREEN : 0, 8, 32);
    if (!state->window) return 0;
    // A screen of another size yields a window of another size without complaint; the show
    // never runs at anything but 1920x1080.
    int w = 0, h = 0;
    plat_drawable_size(state->window, &w, &h);
    if (w != SCREEN_WIDTH || h != SCREEN_HEIGHT) {
        plat_fail_reason("window: the drawable is %dx%d, not %dx%d", w, h, SCREEN_WIDTH, SCREEN_HEIGHT);
        return 0;
    }
    state->device_context = state->window;
    state->gl_context = plat_gl_context_create(state->window);
    if (!state->gl_context) return 0;
    return plat_gl_make_current(state->device_context, state->gl_context);
}

void window_shutdown(WindowState* state) {
    if (state->gl_context) {
        plat_gl_make_current(nullptr, nullptr);
        plat_gl_context_delete(state->gl_context);
        state->gl_context = nullptr;
    }
    state->device_context = nullptr;  // the drawable belongs to the window: nothing to release
    if (state->window) {
        plat_window_destroy(state->window);
        state->window = nullptr;
    }
    if (state->fullscreen) {
        plat_display_mode_restore();
        plat_cursor_show(1);
    }
    plat_video_quit();
}

void window_proc(const PlatEvent& ev) {
    switch (ev.kind) {
    case PLAT_EVENT_CLOSE:
        plat_post_quit();
        break;
    case PLAT_EVENT_KEY_DOWN:
        if (ev.key == PLAT_KEY_ESCAPE) plat_post_quit();
        break;
    case PLAT_EVENT_SIZE:
        glViewport(0, 0, ev.width, ev.height);
        break;
    default:
        break;
    }
}
