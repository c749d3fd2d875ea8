// The preview's overlay (Dear ImGui over the same GL context): the show time with a scrubber over
// the whole show and its scene bands, the current parameter values and the frame time, and below
// the picture the sync editor's track view.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "track_view.h"

struct PlatEvent;

struct SceneBand {
    int32_t start, end;  // ms
    std::string label;
};

struct OverlayFrame {
    int w, h;             // the window's drawable
    int32_t show_ms;
    bool paused;
    double frame_ms;      // the last frame's time
    const char* scene;    // the scene program's label
    float editor_h;       // the track view's height along the bottom
};

// Sets the overlay up on the current context, for a show of `length_ms`.
void overlay_init(int32_t length_ms);
// The scene bands the scrubber shows.
void overlay_set_bands(const std::vector<SceneBand>& bands);
// Hands an input event to the overlay: pointer, wheel, keys and typed text.
void overlay_event(const PlatEvent& ev);
// Whether a field being edited has the keyboard (space, arrows and Escape are then its own).
bool overlay_wants_keyboard();
// Draws the overlay over the window for one frame; what the track view asks comes back.
TrackViewOut overlay_draw(const OverlayFrame& f);
// Releases what overlay_init made; harmless when it was not set up.
void overlay_shutdown();
