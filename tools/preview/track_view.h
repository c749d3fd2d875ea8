// The sync editor's track view (Dear ImGui, inside the overlay's frame): one row per show
// parameter with its keys on a shared time axis, the scene bands and the music's waveform under
// them, a beat grid, the play head, and an inspector for the selected key. Edits go through the
// editing model (sheet_edit.h); this file only draws and turns the pointer and keys into edits.
#pragma once
#include <cstdint>
#include <vector>

#include "sheet_edit.h"

// What a frame of the view asks of the preview.
struct TrackViewOut {
    int32_t seek = -1;    // a show time the maker clicked or dragged the axis to
    bool edited = false;  // the sheet changed: the preview builds the track table again
    bool quit = false;    // the maker chose to quit (after deciding about unsaved edits)
};

// Starts the view on `editor` (null: no sheet to edit; the view says how to give one), for a show
// of `length_ms` whose music is rendered from the sheet at build time (`music_follows_build`, the
// bundled show's) or is a file of the maker's, which stays as it is when scenes move.
void track_view_init(edit::Editor* editor, int32_t length_ms, bool music_follows_build);
// The music's loudness: (min, max) of each `per_second`-th of a second from the start, in -1..1.
void track_view_set_waveform(std::vector<float> peaks, int per_second);
// Draws the view into the rectangle (x, y, w, h) of the display, for the frame at `show_ms`.
TrackViewOut track_view_draw(float x, float y, float w, float h, int32_t show_ms, bool playing);
// Asks to quit: at once when nothing is unsaved, else through a question in the view.
bool track_view_request_quit();
// The key-bound commands: save (Ctrl+S), undo (Ctrl+Z), redo (Ctrl+Y or Ctrl+Shift+Z), delete the
// selected key (Delete). Returns true when it took the key.
bool track_view_key(int key, bool ctrl, bool shift, TrackViewOut& out);
