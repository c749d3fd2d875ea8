// The show clock: SDL's millisecond tick count, cut to 32 bits so it wraps like the system's.
// Kept alone in its file so a test build can link a copy with PLAT_CLOCK_RATE set (the clock
// running that many times fast) ahead of the library's, where nothing outside the process can
// speed its clock; the shipped executable never has it.
#include <SDL.h>

#include "platform.h"

#ifndef PLAT_CLOCK_RATE
#define PLAT_CLOCK_RATE 1
#endif

uint32_t plat_ticks() { return (uint32_t)SDL_GetTicks() * (uint32_t)PLAT_CLOCK_RATE; }
