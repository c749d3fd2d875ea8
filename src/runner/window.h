// The show's one window: full-screen 1920x1080 with a double-buffered GL context, the few
// events that matter (Escape, close, resize), and the teardown that undoes it all.
#pragma once
#include <stdint.h>

struct PlatEvent;

struct WindowState {
    void* instance;        // the executable's module handle; set by the runner
    void* device_context;  // the window's verified 1920x1080 GL drawable; null until obtained
    void* gl_context;      // null until created
    void* window;          // null until created
    int32_t fullscreen;    // nonzero: switch the display mode and hide the cursor
};

enum { WINDOW_BITS = 32 };  // the window is SCREEN_WIDTH x SCREEN_HEIGHT (timeline/script.h)

extern WindowState window_state;  // zero at load
extern const char WINDOW_TITLE[];   // "Oruvane"

// Opens the window and makes its context current. Returns 1, or 0 leaving whatever it made in
// `state` for window_shutdown.
int window_init(WindowState* state);
// Releases what exists, in reverse order of creation; always restores the display mode and shows
// the cursor when full-screen was requested.
void window_shutdown(WindowState* state);
// Handles one event: close and Escape post a quit request, a size change sets the viewport.
void window_proc(const PlatEvent& ev);
