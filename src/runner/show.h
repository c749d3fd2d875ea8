// The show's entry routine: start-up order, the frame loop and its clock, shutdown.
#pragma once
#include <stdint.h>

// Runs the whole show through plat_run; returns 0 (in a browser, at once, with the show running
// on in the browser's frames). A start-up failure ends it with one message box.
int show_main();
// Does the next piece of the show: opening the window, one step of loading, the start (once the
// platform allows it: a browser waits for a click), then one frame per call. Returns 0 once the
// show is over, by its end, a quit request or a start-up failure, with the window released.
int show_step();
// One frame of the running show: the clock, the events, the frame drawn at the show time and
// presented. Returns 0 after the last frame (the time is up or a quit request came), else 1.
int show_frame();
// Milliseconds from `start` to `now` on the wrapping 32-bit tick counter, as a signed value.
int32_t show_elapsed(uint32_t now, uint32_t start);
