// Linux with X11 beneath SDL: the module handle, signals that end the show, and the X connection
// and window watched for what another program does to them.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "os.h"
#include "platform.h"

// An X server whose last client has just left resets itself, and for that moment it refuses new
// connections: a show started right after another X program ended would fail for no visible
// reason. With a display named, the connection is tried again for up to 3 s.
enum { VIDEO_CONNECT_TRIES = 30 };

static Window x_window;  // the X window of the last window created, to tell when another client destroys it
static int show_policy;     // plat_show_exit_policy was called: signals and display errors end the show with 0
// Set from signal handlers: a hang-up, terminate or interrupt arrived while frames were running.
static volatile sig_atomic_t close_requested;
static volatile sig_atomic_t events_polled;
static int window_lost;  // an X error said the window or its drawable is gone

void* plat_module_handle() {
    static void* self = dlopen(nullptr, RTLD_LAZY);
    return self;
}

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

// Any X error means the window or its drawable is gone from under the program (another client
// destroyed it): the show ends, and a tool is told through a close event that says the window is
// gone. Xlib's own handler would exit at once, from inside whatever call met the error (a tool
// then loses what it had not saved, and its threads abort the exit); SDL's would first try to
// restore the display mode with calls back into Xlib from inside Xlib's error path, which deadlocks.
static int on_x_error(Display*, XErrorEvent*) {
    window_lost = 1;
    return 0;
}

// SDL shows its message box from a forked child: the child must not outlive the show, or its box
// stays open after a signal ended the parent.
static void die_with_parent() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

void plat_show_exit_policy() {
    if (show_policy) return;
    show_policy = 1;
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    // Installed before SDL starts, so SDL leaves these alone instead of adding its own.
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // Xlib writes to the display without asking to be spared SIGPIPE: a server that goes away
    // while a frame is being sent would kill the show by the signal. Ignored, the write fails and
    // the connection-lost handler ends the show as for any other lost display.
    sa.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &sa, nullptr);
    pthread_atfork(nullptr, nullptr, die_with_parent);
}

void os_video_before_init() {
    // X11 only (SDL_VIDEODRIVER still overrides): when X cannot be reached SDL would otherwise go
    // on to try every other backend, each with its own complaints, and the reason that matters
    // (X's) would be lost behind the last one's.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    // Set before SDL starts as well, so that these are what SDL puts back when it shuts down.
    XSetErrorHandler(on_x_error);
    if (show_policy) XSetIOErrorHandler(on_x_connection_lost);
}

void os_video_after_init() {
    // X's own events reach plat_poll_event too: that is where a destroyed window shows up.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    XSetErrorHandler(on_x_error);
    if (show_policy) XSetIOErrorHandler(on_x_connection_lost);
}

int os_video_connect_tries() {
    const char* display = getenv("DISPLAY");
    return display && display[0] ? VIDEO_CONNECT_TRIES : 1;
}

void os_window_created(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    x_window = SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 ? info.info.x11.window : 0;
}

// With no window manager, SDL gives a shown window the keyboard focus with "revert to none": once
// the window is gone, no window gets keys at all, neither the message box that follows a failure
// nor whatever the user turns to after the show. (An X server that just lost its last client resets
// the focus, which is why this only shows while other programs are connected.) A focus the show
// holds that way is handed to whichever window the pointer is over before the window goes.
void os_window_destroying(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == info.info.x11.window && revert == RevertToNone)
        XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
}

int os_event_window_gone(const SDL_Event& e) {
    if (e.type != SDL_SYSWMEVENT) return 0;
    const XEvent& x = e.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && x_window && x.xdestroywindow.window == x_window;
}

int os_close_requested() {
    events_polled = 1;
    if (!close_requested) return 0;
    close_requested = 0;
    return 1;
}

int os_window_lost() {
    if (!window_lost) return 0;
    window_lost = 0;
    return 1;
}
