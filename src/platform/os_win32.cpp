// Windows beneath SDL: the module handle; SDL's own Win32 video reports closing, the console's
// Ctrl-C and a destroyed window as its usual quit and window events, so nothing else is watched.
#include <windows.h>

#include "os.h"
#include "platform.h"

void* plat_module_handle() { return (void*)GetModuleHandleW(nullptr); }

// SDL's own Win32 video already turns closing, Ctrl-C and a destroyed window into the quit and
// window events the frame loop ends on.
void plat_show_exit_policy() {}

void os_video_before_init() {}

void os_video_after_init() {}

int os_video_connect_tries() { return 1; }

void os_window_created(SDL_Window*) {}

void os_window_destroying(SDL_Window*) {}

int os_event_window_gone(const SDL_Event&) { return 0; }

int os_close_requested() { return 0; }

int os_window_lost() { return 0; }
