// A GL context with no display at all: EGL on Mesa's surfaceless platform, drawing into a pbuffer
// that stands in for the window's back buffer. Tools use it where the show would open its window;
// while it is current, plat_gl_proc_address and present_and_yield work through it.
#pragma once

// Opens the display-less context with an 8-bit RGBA width x height pbuffer as its default
// framebuffer, a compatibility-profile desktop GL context, and makes it current. Returns 1, or
// 0 with headless_error() saying what failed and nothing left open. Opening it twice fails.
int headless_open(int width, int height);
// Releases the context, the pbuffer and the display; harmless when nothing is open.
void headless_close();
// Why the last headless_open failed, as one line ("" when it did not).
const char* headless_error();
