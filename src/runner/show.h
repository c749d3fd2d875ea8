// The show's entry routine: start-up order, the frame loop and its clock, shutdown.
#pragma once
#include <stdint.h>

// Runs the whole show; always returns 0. A start-up failure ends it with one message box.
int show_main();
// Milliseconds from `start` to `now` on the wrapping 32-bit tick counter, as a signed value.
int32_t show_elapsed(uint32_t now, uint32_t start);
