// SDL2 backend of the window, GL context, event, clock and message-box seam. What differs by
// operating system and window system lives behind os.h.
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "os.h"
#include "platform.h"

struct PlatState {
    int video_up;
    int mode_selected;
    SDL_DisplayMode mode;
    Uint32 quit_event;  // registered SDL event type of our quit requests; 0 until registered
    const PlatGlBackend* gl_backend;  // null: the SDL window's context
};

static PlatState plat;

enum { VIDEO_CONNECT_RETRY_MS = 100, BOX_FAILS_WITHIN_MS = 1000 };

int plat_video_init() {
    os_video_before_init();
    int tries = os_video_connect_tries();
    while (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (--tries <= 0) {
            plat_fail_reason("video: %s", SDL_GetError());
            return 0;
        }
        SDL_Delay(VIDEO_CONNECT_RETRY_MS);
    }
    plat.video_up = 1;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0) {
        plat_fail_reason("video: driver '%s' shows nothing on a screen", driver ? driver : "");
        return 0;
    }
    os_video_after_init();
    if (!plat.quit_event) {
        Uint32 type = SDL_RegisterEvents(1);
        if (type == (Uint32)-1) {
            plat_fail_reason("video: %s", SDL_GetError());
            return 0;
        }
        plat.quit_event = type;
    }
    return 1;
}

void plat_video_quit() {
    if (!plat.video_up) return;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    plat.video_up = 0;
}

int plat_display_mode_change(int width, int height, int bpp) {
    if (!plat.video_up) return 0;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
        // X reports 32-bit pixels as depth 24: both are 8 bits per colour channel.
        int bits = SDL_BITSPERPIXEL(m.format);
        if (m.w == width && m.h == height && (bits == bpp || (bpp == 32 && bits == 24))) {
            plat.mode = m;
            plat.mode_selected = 1;
            return 1;
        }
    }
    if (count < 1) plat_fail_reason("display mode: no modes listed: %s", SDL_GetError());
    else plat_fail_reason("display mode: no %dx%d at %d bits among %d modes", width, height, bpp, count);
    return 0;
}

void plat_display_mode_restore() { plat.mode_selected = 0; }

void plat_cursor_show(int show) {
    if (plat.video_up) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

static void window_destroy(SDL_Window* w) {
    os_window_destroying(w);
    SDL_DestroyWindow(w);
}

static SDL_Window* window_try(const char* title, int width, int height, int window_flags, int alpha, int depth) {
    int fullscreen = window_flags & PLAT_WINDOW_FULLSCREEN;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    Uint32 flags = SDL_WINDOW_OPENGL | (fullscreen ? SDL_WINDOW_FULLSCREEN : 0) |
                   ((window_flags & PLAT_WINDOW_HIDDEN) ? SDL_WINDOW_HIDDEN : 0);
    SDL_Window* w = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!w) {
        plat_fail_reason("window: %s", SDL_GetError());
        return nullptr;
    }
    if (fullscreen && plat.mode_selected && SDL_SetWindowDisplayMode(w, &plat.mode) != 0) {
        plat_fail_reason("window: display mode: %s", SDL_GetError());
        window_destroy(w);
        return nullptr;
    }
    return w;
}

void* plat_window_create(const char* title, int width, int height, int flags, int alpha_bits, int depth_bits) {
    if (!plat.video_up) return nullptr;
    // Drivers rarely offer every depth: walk down to the nearest drawable they have.
    const int depths[] = {32, 24, 16, 0};
    const int alphas[] = {alpha_bits, 0};
    for (int alpha : alphas) {
        for (int depth : depths) {
            if (depth > depth_bits) continue;
            SDL_Window* w = window_try(title, width, height, flags, alpha, depth);
            if (w) {
                os_window_created(w);
                SDL_PumpEvents();
                return w;
            }
        }
    }
    return nullptr;
}

void plat_display_size(int* width, int* height) {
    SDL_Rect r{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) r = SDL_Rect{0, 0, 0, 0};
    *width = r.w;
    *height = r.h;
}

void plat_window_destroy(void* window) { window_destroy((SDL_Window*)window); }

void plat_drawable_size(void* window, int* width, int* height) { SDL_GL_GetDrawableSize((SDL_Window*)window, width, height); }

void* plat_gl_context_create(void* window) {
    SDL_GLContext context = SDL_GL_CreateContext((SDL_Window*)window);
    if (!context) plat_fail_reason("GL context: %s", SDL_GetError());
    return context;
}

int plat_gl_make_current(void* window, void* context) {
    if (SDL_GL_MakeCurrent((SDL_Window*)window, (SDL_GLContext)context) == 0) return 1;
    plat_fail_reason("GL make current: %s", SDL_GetError());
    return 0;
}

void plat_gl_context_delete(void* context) { SDL_GL_DeleteContext((SDL_GLContext)context); }

void* plat_gl_proc_address(const char* name) {
    if (plat.gl_backend) return plat.gl_backend->proc_address(name);
    return SDL_GL_GetProcAddress(name);
}

void plat_gl_backend_use(const PlatGlBackend* backend) { plat.gl_backend = backend; }

void plat_screensaver_inhibit() {
    if (plat.video_up) SDL_DisableScreenSaver();
}

void plat_swap(void* window) { SDL_GL_SwapWindow((SDL_Window*)window); }

void present_and_yield() {
    if (plat.gl_backend) {
        plat.gl_backend->present();
    } else if (SDL_Window* w = SDL_GL_GetCurrentWindow()) {
        SDL_GL_SwapWindow(w);
    }
    SDL_Delay(1);
}

uint32_t plat_gl_window_framebuffer() { return 0; }

void plat_run(int (*step)()) {
    while (step()) {
    }
}

PlatRunRequest plat_run_request() { return PlatRunRequest{0, 0}; }

int plat_start_allowed() { return 1; }

int plat_poll_event(PlatEvent* ev) {
    int lost = os_window_lost();
    if (os_close_requested() || lost) {
        *ev = PlatEvent{};
        ev->kind = PLAT_EVENT_CLOSE;
        ev->gone = lost;
        return 1;
    }
    SDL_Event e;
    if (!plat.video_up || !SDL_PollEvent(&e)) return 0;
    *ev = PlatEvent{};
    if (os_event_window_gone(e)) {
        ev->kind = PLAT_EVENT_CLOSE;
        ev->gone = 1;
    } else if (plat.quit_event && e.type == plat.quit_event) {
        ev->kind = PLAT_EVENT_QUIT;
    } else if (e.type == SDL_QUIT) {
        ev->kind = PLAT_EVENT_CLOSE;  // SDL's own request: last window closed, or SIGINT/SIGTERM
    } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
        ev->kind = PLAT_EVENT_CLOSE;
    } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        ev->kind = PLAT_EVENT_SIZE;
        SDL_Window* w = SDL_GetWindowFromID(e.window.windowID);
        if (w) {
            SDL_GL_GetDrawableSize(w, &ev->width, &ev->height);
        } else {
            ev->width = e.window.data1;
            ev->height = e.window.data2;
        }
    } else if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
        ev->kind = e.type == SDL_KEYDOWN ? PLAT_EVENT_KEY_DOWN : PLAT_EVENT_KEY_UP;
        SDL_Keycode k = e.key.keysym.sym;
        ev->key = k == SDLK_ESCAPE      ? PLAT_KEY_ESCAPE
                  : k == SDLK_LEFT      ? PLAT_KEY_LEFT
                  : k == SDLK_RIGHT     ? PLAT_KEY_RIGHT
                  : k == SDLK_HOME      ? PLAT_KEY_HOME
                  : k == SDLK_UP        ? PLAT_KEY_UP
                  : k == SDLK_DOWN      ? PLAT_KEY_DOWN
                  : k == SDLK_END       ? PLAT_KEY_END
                  : k == SDLK_PAGEUP    ? PLAT_KEY_PAGE_UP
                  : k == SDLK_PAGEDOWN  ? PLAT_KEY_PAGE_DOWN
                  : k == SDLK_INSERT    ? PLAT_KEY_INSERT
                  : k == SDLK_KP_ENTER  ? PLAT_KEY_RETURN
                  : k < PLAT_KEY_LIMIT  ? (int)k
                                        : 0;
        ev->shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
        ev->ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
        ev->alt = (e.key.keysym.mod & KMOD_ALT) != 0;
    } else if (e.type == SDL_TEXTINPUT) {
        ev->kind = PLAT_EVENT_TEXT;
        SDL_strlcpy(ev->text, e.text.text, sizeof ev->text);
    } else if (e.type == SDL_MOUSEWHEEL) {
        ev->kind = PLAT_EVENT_WHEEL;
        ev->wheel_x = e.wheel.preciseX;
        ev->wheel_y = e.wheel.preciseY;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            ev->wheel_x = -ev->wheel_x;
            ev->wheel_y = -ev->wheel_y;
        }
    } else if (e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
        // Each event's own position and buttons, not the state by the time it is read.
        ev->kind = PLAT_EVENT_MOUSE;
        Uint32 held = e.type == SDL_MOUSEMOTION ? e.motion.state : SDL_GetMouseState(nullptr, nullptr);
        if (e.type != SDL_MOUSEMOTION) {
            held = (held & ~SDL_BUTTON(e.button.button)) | (e.type == SDL_MOUSEBUTTONDOWN ? SDL_BUTTON(e.button.button) : 0);
        }
        ev->x = e.type == SDL_MOUSEMOTION ? e.motion.x : e.button.x;
        ev->y = e.type == SDL_MOUSEMOTION ? e.motion.y : e.button.y;
        ev->buttons = ((held & SDL_BUTTON_LMASK) ? 1 : 0) | ((held & SDL_BUTTON_RMASK) ? 2 : 0) |
                      ((held & SDL_BUTTON_MMASK) ? 4 : 0);
    }
    return 1;
}

void plat_post_quit() {
    if (!plat.quit_event) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = plat.quit_event;
    SDL_PushEvent(&e);
}

void plat_message_box(const char* text, const char* caption) {
    const char* reason = plat_failure_reason();
    if (reason[0]) fprintf(stderr, "%s\n%s\n", text, reason);
    else fprintf(stderr, "%s\n", text);
    fflush(stderr);
    // The box makes a connection of its own, right after the window's went: on a server that
    // thereby lost its last client and is resetting, it is tried again like the window's. Only a
    // box that failed at once is tried again: one that was up for a while was seen and closed,
    // whatever SDL then reports, and must not come back.
    for (int tries = os_video_connect_tries(); tries > 0; --tries) {
        Uint32 start = SDL_GetTicks();
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr) == 0) return;
        if (SDL_GetTicks() - start > BOX_FAILS_WITHIN_MS) return;
        SDL_Delay(VIDEO_CONNECT_RETRY_MS);
    }
}
