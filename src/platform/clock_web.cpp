// The show clock in a browser: the page's millisecond clock (performance.now), cut to 32 bits so
// it wraps like the system's. Kept alone in its file, as clock_sdl.cpp is, so that a test build
// can link a copy with PLAT_CLOCK_RATE set (the clock running that many times fast); the page
// that ships never has it.
#include <emscripten.h>

#include "platform.h"

#ifndef PLAT_CLOCK_RATE
#define PLAT_CLOCK_RATE 1
#endif

uint32_t plat_ticks() { return (uint32_t)(uint64_t)emscripten_get_now() * (uint32_t)PLAT_CLOCK_RATE; }
