// Show initialisation: everything made before the first frame, in a fixed order, either at once
// or one step at a time so that a caller that must return between steps (a browser frame) can
// present the loading bar.
#pragma once

// The logo image, read from the current directory.
const char LOGO_FILE[] = "bitmap.png";

enum IntroStep {
    INTRO_FAILED = 0,  // loading stopped: an entry point is missing or a scene file cannot be read
    INTRO_MORE = 1,    // a step was done; call intro_step again
    INTRO_DONE = 2,    // everything is made
};

// Does the next step of loading: first the GL entry points, then one program per call (each
// drawing the loading bar and presenting it), then in one go the logo, the framebuffer, the two
// float targets and the show script. Needs a current GL context. Once it has returned
// INTRO_FAILED or INTRO_DONE, only intro_init starts loading again.
int intro_step();
// Runs every step of intro_step in order, from the first. Returns 1, or 0 when an entry point is
// missing or a scene file cannot be read.
int intro_init();
