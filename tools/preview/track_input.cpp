// The track view's input: the pointer over the canvas (click the axis to seek, click a key to
// select it, drag it in time snapping to the beat grid, double-click a row to add a key, wheel to
// zoom, shift+wheel to scroll) and the editor's keys, each turned into an edit of the model.
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/platform.h"
#include "track_state.h"

namespace track {

namespace {

// Zooms around the pointer with the wheel, and scrolls with shift+wheel or a sideways wheel.
void wheel(const Canvas& c) {
    ImGuiIO& io = ImGui::GetIO();
    double span = v.end_ms - v.start_ms;
    if (io.MouseWheel != 0) {
        if (io.KeyShift) {
            double d = std::clamp(-io.MouseWheel * span * 0.1, -v.start_ms, v.length_ms - v.end_ms);
            v.start_ms += d, v.end_ms += d;
        } else {
            double at = ms_of(io.MousePos.x, c);
            double new_span = std::clamp(span * std::pow(0.8, io.MouseWheel), 200.0, (double)v.length_ms);
            v.start_ms = std::clamp(at - (at - v.start_ms) * new_span / span, 0.0, v.length_ms - new_span);
            v.end_ms = v.start_ms + new_span;
        }
    }
    if (io.MouseWheelH != 0) {
        double d = std::clamp(-io.MouseWheelH * (v.end_ms - v.start_ms) * 0.1, -v.start_ms, v.length_ms - v.end_ms);
        v.start_ms += d, v.end_ms += d;
    }
}

}  // namespace

void pointer(const Canvas& c, const std::vector<edit::Key>& keys, int hovered, TrackViewOut& out) {
    edit::Editor& e = *v.editor;
    ImGuiIO& io = ImGui::GetIO();
    bool popup = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
    bool over_canvas = io.MousePos.x >= c.x && io.MousePos.x < c.x + c.w && io.MousePos.y >= c.ruler_y && io.MousePos.y < c.bottom;
    bool in_ruler = over_canvas && io.MousePos.y < c.rows_top;
    if (!popup && over_canvas) wheel(c);
    if (!popup && ImGui::IsMouseClicked(0) && in_ruler) v.scrubbing = true;
    if (v.scrubbing) {
        if (ImGui::IsMouseDown(0)) out.seek = std::clamp((int32_t)std::lround(ms_of(io.MousePos.x, c)), 0, v.length_ms);
        else v.scrubbing = false;
    }
    if (!popup && ImGui::IsMouseClicked(0) && over_canvas && !in_ruler && hovered >= 0) {
        v.selected = v.drag_line = hovered;
        v.press_x = io.MousePos.x;
        for (const edit::Key& k : keys)
            if (k.line == hovered) v.press_ms = k.start_ms;
    } else if (!popup && ImGui::IsMouseClicked(0) && over_canvas && !in_ruler) {
        v.selected = -1;
    }
    if (v.drag_line >= 0 && ImGui::IsMouseDown(0)) {
        if (!v.dragging && std::fabs(io.MousePos.x - v.press_x) > 2) {
            v.dragging = true;
            edit::begin_gesture(e);
        }
        if (v.dragging) {
            int32_t to = snapped(v.press_ms + (io.MousePos.x - v.press_x) / px_per_ms(c), v.snap && !io.KeyAlt);
            int line = v.drag_line;
            if (edit::move_key(e, line, to)) {
                out.edited = true;
                v.drag_line = v.selected = line;
                v.fields_line = -2;
            }
        }
    } else if (v.drag_line >= 0) {
        if (v.dragging) edit::end_gesture(e);
        v.dragging = false;
        v.drag_line = -1;
    }
    if (!popup && ImGui::IsMouseDoubleClicked(0) && over_canvas && !in_ruler && hovered < 0) {
        for (const Row& r : c.rows)
            if (r.component < 0 && io.MousePos.y >= r.y && io.MousePos.y < r.y + r.h) {
                int32_t at = snapped(ms_of(io.MousePos.x, c), v.snap && !io.KeyAlt);
                float now[4] = {0, 0, 0, 0};
                if (r.row >= 0) {
                    ShowParams p = params_at(at);
                    for (int k = 0; k < SHOW_PARAMS[r.row].components; ++k) now[k] = show_param(p, r.row)[k];
                }
                int line = edit::add_key(e, r.row, at, io.KeyShift, now);
                if (line >= 0) {
                    v.selected = line;
                    v.fields_line = -2;
                    out.edited = true;
                }
            }
    }
}

}  // namespace track

using track::v;

bool track_view_request_quit() {
    if (!v.editor || !v.editor->dirty) return true;
    v.ask_quit = true;
    return false;
}

bool track_view_key(int key, bool ctrl, bool shift, TrackViewOut& out) {
    if (!v.editor) return false;
    edit::Editor& e = *v.editor;
    if (ctrl && key == 's') {
        std::string error;
        if (!edit::save(e, error)) e.message = error;
        else e.message = "saved " + e.path;
        return true;
    }
    if (ctrl && (key == 'y' || (key == 'z' && shift))) {
        out.edited |= edit::redo(e);
        v.fields_line = -2;
        return true;
    }
    if (ctrl && key == 'z') {
        out.edited |= edit::undo(e);
        v.fields_line = -2;
        return true;
    }
    if (key == PLAT_KEY_DELETE && v.selected >= 0) {
        if (edit::delete_key(e, v.selected)) {
            v.selected = -1;
            out.edited = true;
        }
        return true;
    }
    return false;
}
