// The seam to SDL2 and the operating system (or to the browser) for the window, the GL context,
// events, the clock, the message box and the run of the show's steps. Everything above this layer
// reads like the show's own logic; nothing here calls up into it. Functions that can fail return
// 1 on success and 0 on failure.
#pragma once
#include <stdint.h>

// Events drained by the runner's message loop.
enum PlatEventKind {
    PLAT_EVENT_OTHER = 0,
    PLAT_EVENT_QUIT,      // a quit request posted by plat_post_quit: ends the frame loop
    PLAT_EVENT_CLOSE,     // the window (or the session) asks the show to close; `gone`: it is destroyed
    PLAT_EVENT_KEY_DOWN,  // `key` holds the key code, `shift`, `ctrl` and `alt` the modifiers
    PLAT_EVENT_SIZE,      // the drawable's new size in `width` and `height`
    PLAT_EVENT_MOUSE,     // the pointer moved or a button changed: `x`, `y` and `buttons`
    PLAT_EVENT_KEY_UP,    // as PLAT_EVENT_KEY_DOWN, for a key let go
    PLAT_EVENT_TEXT,      // typed text in `text` (UTF-8), for fields being edited
    PLAT_EVENT_WHEEL,     // the wheel turned: `wheel_x` and `wheel_y` notches (up and right positive)
};
// Key codes: printable keys are their ASCII code (lower case letters), and these.
enum {
    PLAT_KEY_BACKSPACE = 8,
    PLAT_KEY_TAB = 9,
    PLAT_KEY_RETURN = 13,
    PLAT_KEY_ESCAPE = 27,
    PLAT_KEY_SPACE = 32,
    PLAT_KEY_DELETE = 127,
    PLAT_KEY_LEFT = 0x101,
    PLAT_KEY_RIGHT = 0x102,
    PLAT_KEY_HOME = 0x103,
    PLAT_KEY_UP = 0x104,
    PLAT_KEY_DOWN = 0x105,
    PLAT_KEY_END = 0x106,
    PLAT_KEY_PAGE_UP = 0x107,
    PLAT_KEY_PAGE_DOWN = 0x108,
    PLAT_KEY_INSERT = 0x109,
    PLAT_KEY_LIMIT = 0x200,  // every key code is below this
};

enum { PLAT_TEXT_SIZE = 32 };

struct PlatEvent {
    int kind;
    int key;
    int width;
    int height;
    int shift;    // key events: nonzero while a shift key is held
    int x, y;     // PLAT_EVENT_MOUSE: pointer position in window pixels from the top left
    int buttons;  // PLAT_EVENT_MOUSE: bit 0 left, bit 1 right, bit 2 middle, set while held
    int ctrl;     // key events: nonzero while a control key is held
    int alt;      // key events: nonzero while an alt key is held
    float wheel_x, wheel_y;       // PLAT_EVENT_WHEEL
    char text[PLAT_TEXT_SIZE];    // PLAT_EVENT_TEXT, zero-terminated
    int gone;     // PLAT_EVENT_CLOSE: another program destroyed the window; nothing more shows in it
};

// Handle of the running executable (never null).
void* plat_module_handle();
// The show's own way of ending, for the show's runner only (tools keep the usual meaning of
// signals and of a display connection that breaks; for them too, a window destroyed from outside
// is a close event that says so, and the errors it causes are not fatal): from now on a hang-up, terminate or interrupt signal, a display
// connection that breaks and a window destroyed from outside end the show with exit code 0 (at
// once while loading, through a close event once the frame loop polls), and a write to a display
// that went away is not fatal. Call before plat_video_init.
void plat_show_exit_policy();
// Starts the video subsystem on a real display. Fails with no display, and on drivers that
// draw nowhere (offscreen, dummy), which SDL would otherwise pick silently.
int plat_video_init();
// Shuts the video subsystem down; harmless when it is not up.
void plat_video_quit();
// Checks that the display offers a width x height mode at `bpp` bits and selects it for the
// next full-screen window. Fails when no such mode exists.
int plat_display_mode_change(int width, int height, int bpp);
// Forgets the selected mode: the desktop mode comes back when the full-screen window goes.
void plat_display_mode_restore();
// Hides (0) or shows (1) the mouse cursor over the show.
void plat_cursor_show(int show);
enum { PLAT_WINDOW_FULLSCREEN = 1, PLAT_WINDOW_HIDDEN = 2 };  // plat_window_create's flags
// Opens a centred window, exclusive full-screen in the selected mode with PLAT_WINDOW_FULLSCREEN,
// never shown with PLAT_WINDOW_HIDDEN, with a double-buffered 8-bit RGB drawable for a
// compatibility (not core) GL context, and the nearest alpha and depth bits the driver offers at
// or below those asked. Returns the window, or null.
void* plat_window_create(const char* title, int width, int height, int flags, int alpha_bits, int depth_bits);
// The usable size of the desktop the window would open on, or 0 x 0 when it cannot be known.
void plat_display_size(int* width, int* height);
// Destroys a window made by plat_window_create.
void plat_window_destroy(void* window);
// The size in pixels of the window's GL drawable.
void plat_drawable_size(void* window, int* width, int* height);
// Creates a GL context for the window, or returns null.
void* plat_gl_context_create(void* window);
// Makes the context current on the window (both null: releases the current context).
int plat_gl_make_current(void* window, void* context);
void plat_gl_context_delete(void* context);
// Address of a GL entry point, from the GL backend in use. Non-null does not prove the driver offers it.
void* plat_gl_proc_address(const char* name);
// The framebuffer that stands for the window's back buffer: 0 where the window system gives the
// context one (SDL, EGL); in a browser, the show's own 1920x1080 RGBA8 framebuffer, which every
// swap puts on the page's canvas, scaled to fit. It is bound when the context is made current.
uint32_t plat_gl_window_framebuffer();

// A GL backend other than the window's (the headless one) that takes over entry-point lookup
// and presenting while its context is current.
struct PlatGlBackend {
    void* (*proc_address)(const char* name);
    void (*present)();  // shows (or finishes) what was drawn into the default framebuffer
};
// Routes plat_gl_proc_address and present_and_yield through `backend`; null returns them to the window.
void plat_gl_backend_use(const PlatGlBackend* backend);
// Holds off the screen saver and monitor power-down while the video subsystem is up.
void plat_screensaver_inhibit();

// Swaps the buffers of the window. In a browser's still run, the page title becomes
// "oruvane: still" once that frame is on the page.
void plat_swap(void* window);
// Swaps the buffers of the window whose context is current (or presents through the backend in
// use), then sleeps 1 ms: used while loading.
void present_and_yield();
// Millisecond tick count, 32 bits, wrapping about every 49.7 days.
uint32_t plat_ticks();

// Calls `step` until it returns 0: in a loop on the desktop; in a browser once per browser frame,
// returning at once while the steps go on in the browser's frames.
void plat_run(int (*step)());
// What the viewer asked of this run of the show.
struct PlatRunRequest {
    int32_t start_ms;  // the show time to begin at (0: the start)
    int32_t still;     // nonzero: draw only the frame at start_ms and hold it, without sound
};
// The desktop executable takes no arguments: always {0, 0}. A browser reads the page's address
// (?at=SEC, and &still); the start is then whatever the address asks, the runner keeps it within the show.
PlatRunRequest plat_run_request();
// Nonzero once the show may start its sound and clock: at once on the desktop; in a browser once
// the viewer has clicked (the only way a page may make sound) and the sound output runs, or at
// once for a still.
int plat_start_allowed();

// Removes the next pending event into `ev`; 0 when none is pending.
int plat_poll_event(PlatEvent* ev);
// Posts a quit request: a later plat_poll_event returns PLAT_EVENT_QUIT.
void plat_post_quit();

// Writes `text` as one line on standard error, then the failure reason (if one was given) as a
// second line, then shows `text` in a modal box with a warning icon, `caption` as title and no
// owner window. Returns when the box is closed or cannot be shown.
void plat_message_box(const char* text, const char* caption);

enum { PLAT_REASON_SIZE = 256 };
// Records why a step failed (printf-style), replacing any earlier reason; cut to one line of at
// most PLAT_REASON_SIZE - 1 characters. Every layer calls it on the failure paths it reports.
void plat_fail_reason(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The last recorded reason, or "" when none was.
const char* plat_failure_reason();
