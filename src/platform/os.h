// What the SDL window backend needs from the operating system and window system beneath it: one
// file per system implements these (os_linux.cpp for X11 on Linux, os_win32.cpp for Windows).
// Used by window_sdl.cpp only.
#pragma once
#include <SDL.h>

// Before SDL's video starts: the video driver to use, and (once plat_show_exit_policy asked for
// them) the handlers for display errors that must be in place before SDL installs its own.
void os_video_before_init();
// Once SDL's video is up: whatever must be redone after SDL set its own handlers.
void os_video_after_init();
// How many times to try connecting to the display before giving up (at least 1).
int os_video_connect_tries();
// Notes a window just created, so that its destruction by another program can be recognised.
void os_window_created(SDL_Window* window);
// Called just before the show destroys `window`: leaves the keyboard focus somewhere sane.
void os_window_destroying(SDL_Window* window);
// Nonzero when `e` says the noted window was destroyed by another program.
int os_event_window_gone(const SDL_Event& e);
// Nonzero, once, when a close request arrived from outside the window (a signal); also notes that
// the frame loop is polling events from now on.
int os_close_requested();
// Nonzero, once, when the window system reported an error about the window: it is gone.
int os_window_lost();
