// The preview's overlay (Dear ImGui over the same GL context): the show time with a scrubber over
// the whole show and its scene bands, the current parameter values and the frame time.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

struct PlatEvent;

struct SceneBand {
    int32_t start, end;  // ms
    std::string label;
};

// Sets the overlay up on the current context, with the scene bands the scrubber shows.
void overlay_init(const std::vector<SceneBand>& bands);
// Takes the pointer's position and buttons from a mouse event; other events are ignored.
void overlay_event(const PlatEvent& ev);
// Draws the overlay over the window's w x h drawable for the frame at show time `show_ms`, after
// `frame_ms` for the last frame. Returns the show time the scrubber was moved to, or -1.
int32_t overlay_draw(int w, int h, int32_t show_ms, bool paused, double frame_ms, const char* scene);
// Releases what overlay_init made; harmless when it was not set up.
void overlay_shutdown();
