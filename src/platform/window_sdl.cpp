// SDL2 backend of the window, GL context, event, clock and message-box seam.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "platform.h"

struct PlatState {
    int video_up;
    int mode_selected;
    SDL_DisplayMode mode;
    Uint32 quit_event;  // registered SDL event type of our quit requests; 0 until registered
    Uint32 window_id;   // SDL id of the last window created; 0 until one is
    Window x_window;    // its X window, to tell when another client destroys it
    int signals_caught;
};

static PlatState plat;

enum { VIDEO_CONNECT_TRIES = 30, VIDEO_CONNECT_RETRY_MS = 100 };
// Set from signal handlers: a hang-up, terminate or interrupt arrived while frames were running.
static volatile sig_atomic_t close_requested;
static volatile sig_atomic_t events_polled;

// Before the frame loop polls for events (loading, the message box) nothing could act on a close
// request, so the process ends at once with the show's only exit code; afterwards the loop ends
// the show the ordinary way, as it does for the window's own close.
static void on_close_signal(int) {
    if (!events_polled) _exit(0);
    close_requested = 1;
}

// A display connection that breaks (the server gone, or another client killed ours) cannot be
// recovered from; Xlib would print and exit with 1.
static int on_x_connection_lost(Display*) { _exit(0); }

// Any X error means the window or its drawable is gone from under the show (another client
// destroyed it): the show ends. SDL's own handler would first try to restore the display mode
// with calls back into Xlib from inside Xlib's error path, which deadlocks.
static int on_x_error(Display*, XErrorEvent*) {
    close_requested = 1;
    return 0;
}

// SDL shows its message box from a forked child: the child must not outlive the show, or its box
// stays open after a signal ended the parent.
static void die_with_parent() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

static void catch_signals() {
    if (plat.signals_caught) return;
    plat.signals_caught = 1;
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    // Installed before SDL starts, so SDL leaves these alone instead of adding its own.
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    pthread_atfork(nullptr, nullptr, die_with_parent);
}

void* plat_module_handle() {
    static void* self = dlopen(nullptr, RTLD_LAZY);
    return self;
}

int plat_video_init() {
    // X11 only (SDL_VIDEODRIVER still overrides): when X cannot be reached SDL would otherwise go
    // on to try every other backend, each with its own complaints, and the reason that matters
    // (X's) would be lost behind the last one's.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    catch_signals();
    // Set before SDL starts as well, so that these are what SDL puts back when it shuts down.
    XSetIOErrorHandler(on_x_connection_lost);
    XSetErrorHandler(on_x_error);
    // An X server whose last client has just left resets itself, and for that moment it refuses
    // new connections: a show started right after another X program ended would fail for no
    // visible reason. With a display named, the connection is tried again for a while.
    const char* display = getenv("DISPLAY");
    int tries = display && display[0] ? VIDEO_CONNECT_TRIES : 1;
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
    XSetIOErrorHandler(on_x_connection_lost);
    XSetErrorHandler(on_x_error);
    // X's own events reach plat_poll_event too: that is where a destroyed window shows up.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
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

static SDL_Window* window_try(const char* title, int width, int height, int fullscreen, int alpha, int depth) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    Uint32 flags = SDL_WINDOW_OPENGL | (fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
    SDL_Window* w = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!w) {
        plat_fail_reason("window: %s", SDL_GetError());
        return nullptr;
    }
    if (fullscreen && plat.mode_selected && SDL_SetWindowDisplayMode(w, &plat.mode) != 0) {
        plat_fail_reason("window: display mode: %s", SDL_GetError());
        SDL_DestroyWindow(w);
        return nullptr;
    }
    return w;
}

void* plat_window_create(const char* title, int width, int height, int fullscreen, int alpha_bits, int depth_bits) {
    if (!plat.video_up) return nullptr;
    // Drivers rarely offer every depth: walk down to the nearest drawable they have.
    const int depths[] = {32, 24, 16, 0};
    const int alphas[] = {alpha_bits, 0};
    for (int alpha : alphas) {
        for (int depth : depths) {
            if (depth > depth_bits) continue;
            SDL_Window* w = window_try(title, width, height, fullscreen, alpha, depth);
            if (w) {
                SDL_SysWMinfo info;
                SDL_VERSION(&info.version);
                plat.window_id = SDL_GetWindowID(w);
                plat.x_window = SDL_GetWindowWMInfo(w, &info) && info.subsystem == SDL_SYSWM_X11 ? info.info.x11.window : 0;
                SDL_PumpEvents();
                return w;
            }
        }
    }
    return nullptr;
}

void plat_window_destroy(void* window) { SDL_DestroyWindow((SDL_Window*)window); }

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

void* plat_gl_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

void plat_screensaver_inhibit() {
    if (plat.video_up) SDL_DisableScreenSaver();
}

void plat_swap(void* window) { SDL_GL_SwapWindow((SDL_Window*)window); }

void present_and_yield() {
    SDL_Window* w = SDL_GL_GetCurrentWindow();
    if (w) SDL_GL_SwapWindow(w);
    SDL_Delay(1);
}

void plat_sleep_ms(uint32_t ms) { SDL_Delay(ms); }

uint32_t plat_ticks() { return (uint32_t)SDL_GetTicks(); }

int plat_poll_event(PlatEvent* ev) {
    events_polled = 1;
    if (close_requested) {
        close_requested = 0;
        *ev = PlatEvent{PLAT_EVENT_CLOSE, 0, 0, 0};
        return 1;
    }
    SDL_Event e;
    if (!plat.video_up || !SDL_PollEvent(&e)) return 0;
    *ev = PlatEvent{PLAT_EVENT_OTHER, 0, 0, 0};
    if (e.type == SDL_SYSWMEVENT) {
        const XEvent& x = e.syswm.msg->msg.x11.event;
        if (x.type == DestroyNotify && plat.x_window && x.xdestroywindow.window == plat.x_window) ev->kind = PLAT_EVENT_CLOSE;
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
    } else if (e.type == SDL_KEYDOWN) {
        ev->kind = PLAT_EVENT_KEY_DOWN;
        ev->key = e.key.keysym.sym == SDLK_ESCAPE ? PLAT_KEY_ESCAPE : (int)e.key.keysym.sym;
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
    // thereby lost its last client and is resetting, it is tried again like the window's.
    const char* display = getenv("DISPLAY");
    int tries = display && display[0] ? VIDEO_CONNECT_TRIES : 1;
    while (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr) != 0 && --tries > 0)
        SDL_Delay(VIDEO_CONNECT_RETRY_MS);
}
