// Show initialisation: everything made before the first frame, in a fixed order.
#pragma once

// Fetches the GL entry points, builds the ten programs with the loading bar, loads the logo,
// makes the framebuffer and the two float targets, and builds the show script. Needs a current
// GL context. Returns 1, or 0 when an entry point is missing or a scene file cannot be read.
int intro_init();
