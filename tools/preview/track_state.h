// The track view's state and geometry, shared by the files that draw it (track_view.cpp), turn
// the pointer and keys into edits (track_input.cpp), show the selected key (track_key_panel.cpp)
// and ask the maker's questions (track_questions.cpp). Used by those four files only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sheet_edit.h"
#include "timeline/params.h"
#include "track_view.h"

namespace track {

const float LABELS_W = 170, INSPECTOR_W = 340, RULER_H = 22, SCENE_H = 24, WAVE_H = 34, ROW_H = 20;

struct Row {
    int row;        // edit::ROW_SCENE or a ShowParam
    int component;  // -1: the whole parameter (its keys); else one component's curve
    float y, h;
};

struct View {
    edit::Editor* editor = nullptr;
    int32_t length_ms = 0;
    double start_ms = 0, end_ms = 0;  // the visible stretch
    int selected = -1;                // line of the selected key
    bool expanded[SHOW_PARAM_COUNT] = {};
    bool snap = true;
    // A drag in progress: the key's line, where the pointer and the key were when it began.
    int drag_line = -1;
    bool dragging = false;
    float press_x = 0;
    int32_t press_ms = 0;
    bool scrubbing = false;
    std::vector<float> peaks;
    int peaks_per_second = 0;
    bool ask_quit = false;
    bool music_follows_build = false;
    // Inspector fields being typed, for the selected line.
    int fields_line = -2;
    std::string time_text;
    float length_s = 0;
    float values[4] = {};
    // Sampled curves: per pixel column of the canvas, every float of ShowParams.
    std::vector<ShowParams> samples;
    double samples_start = -1, samples_end = -1;
    size_t samples_undo = (size_t)-1;
    float samples_width = 0;
};
extern View v;

// Where the canvas (the rows of keys over the shared time axis) lies on the screen this frame.
struct Canvas {
    float x, w;               // the time axis's left edge and width
    float label_x;            // the row labels' left edge
    float ruler_y, rows_top;  // the ruler's top, and the first row's
    float bottom;
    std::vector<Row> rows;
};

// Screen x of show time `ms` on the canvas, and back.
float x_of(double ms, const Canvas& c);
double ms_of(float x, const Canvas& c);
double px_per_ms(const Canvas& c);
// `ms` rounded to the nearest beat of the sheet's grid within 5 s when `snap`, kept in the show.
int32_t snapped(double ms, bool snap);
// Every parameter at `ms`, worked from the start values, leaving the preview's values as they were.
ShowParams params_at(int32_t ms);

// The pointer over the canvas: seek on the ruler, select, drag and add keys, zoom and scroll.
// `hovered` is the line of the key under the pointer (or -1).
void pointer(const Canvas& c, const std::vector<edit::Key>& keys, int hovered, TrackViewOut& out);
// The inspector of the selected key, in the rectangle (x, y, w, h). True when it edited the sheet.
bool inspector(float x, float y, float w, float h);
// The modal questions: the sheet changed on disk, and unsaved edits at quit.
void questions(TrackViewOut& out);

}  // namespace track
