// The track view: layout, drawing, and the pointer gestures that become edits (click the axis to
// seek, click a key to select it, drag it in time with snapping to the beat grid, double-click a
// row to add a key, wheel to zoom, shift+wheel to scroll), and the questions about unsaved edits.
#include "track_view.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "timeline/params.h"
#include "timeline/program_set.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

const float LABELS_W = 170, INSPECTOR_W = 340, RULER_H = 22, SCENE_H = 24, WAVE_H = 34, ROW_H = 20;

struct Row {
    int row;        // edit::ROW_SCENE or a ShowParam
    int component;  // -1: the whole parameter (its keys); else one component's curve
    float y, h;
};

struct View {
    edit::Editor* editor = nullptr;
    int32_t length_ms = SHOW_LENGTH_MS;
    double start_ms = 0, end_ms = SHOW_LENGTH_MS;  // the visible stretch
    int selected = -1;                             // line of the selected key
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
    bool quit_chosen = false;
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
} v;

ImU32 row_colour(int row, int alpha = 255) {
    static const unsigned char C[][3] = {
        {217, 26, 26},  {230, 115, 77}, {153, 51, 179},  {51, 77, 230},  {26, 153, 179},
        {230, 153, 26}, {128, 128, 128}, {100, 200, 100}, {200, 200, 100},
    };
    if (row < 0) return IM_COL32(120, 120, 220, alpha);
    return IM_COL32(C[row][0], C[row][1], C[row][2], alpha);
}

double px_per_ms(float w) { return w / (v.end_ms - v.start_ms); }

float x_of(double ms, float x0, float w) { return x0 + (float)((ms - v.start_ms) * px_per_ms(w)); }

double ms_of(float x, float x0, float w) { return v.start_ms + (x - x0) / px_per_ms(w); }

std::string clock(double ms) {
    char buf[32];
    int s = (int)std::floor(ms / 1000);
    std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
    return buf;
}

// The beats (and whether each starts a bar) in [a, b] of the sheet's tempo map.
template <class Each>
void each_beat(double a, double b, Each each) {
    if (!v.editor) return;
    for (const sheet::Tempo& t : v.editor->script.tempo) {
        double beat = t.beat_ms();
        if (beat <= 0) continue;
        double lo = std::max(a, (double)t.start_ms), hi = std::min(b, (double)t.end_ms);
        for (long k = (long)std::ceil((lo - t.start_ms) / beat); t.start_ms + k * beat <= hi; ++k) each(t.start_ms + k * beat, k % 4 == 0);
    }
}

int32_t snapped(double ms, bool snap) {
    int32_t out = (int32_t)std::lround(ms);
    if (!snap || !v.editor) return std::clamp(out, 0, v.length_ms);
    double best = -1, dist = 1e18;
    each_beat(ms - 5000, ms + 5000, [&](double beat, bool) {
        if (std::fabs(beat - ms) < dist) dist = std::fabs(beat - ms), best = beat;
    });
    if (best >= 0) out = (int32_t)std::lround(best);
    return std::clamp(out, 0, v.length_ms);
}

// Every parameter at `ms`, worked from the start values, leaving the preview's values as they were.
ShowParams params_at(int32_t ms) {
    ShowParams saved = show_params, at;
    show_params = show_params_initial;
    tracks_evaluate(ms);
    at = show_params;
    show_params = saved;
    return at;
}

void sample_curves(float w) {
    size_t stamp = v.editor ? v.editor->undo.size() + 1000000 * v.editor->redo.size() : 0;
    if (v.samples_start == v.start_ms && v.samples_end == v.end_ms && v.samples_width == w && v.samples_undo == stamp &&
        !v.dragging)
        return;
    int columns = std::max(1, (int)w / 4);
    v.samples.resize((size_t)columns);
    for (int i = 0; i < columns; ++i) v.samples[(size_t)i] = params_at((int32_t)std::lround(v.start_ms + (v.end_ms - v.start_ms) * i / columns));
    v.samples_start = v.start_ms;
    v.samples_end = v.end_ms;
    v.samples_width = w;
    v.samples_undo = stamp;
}

std::vector<Row> layout(float top) {
    std::vector<Row> rows;
    float y = top;
    rows.push_back({edit::ROW_SCENE, -1, y, SCENE_H});
    y += SCENE_H + WAVE_H;
    for (int p = 0; p < SHOW_PARAM_COUNT; ++p) {
        rows.push_back({p, -1, y, ROW_H});
        y += ROW_H;
        if (v.expanded[p] && SHOW_PARAMS[p].components > 1)
            for (int c = 0; c < SHOW_PARAMS[p].components; ++c) {
                rows.push_back({p, c, y, ROW_H});
                y += ROW_H;
            }
    }
    return rows;
}

void draw_curve(ImDrawList* dl, int p, int component, float x0, float w, float y, float h) {
    if (v.samples.empty()) return;
    const ShowParamInfo& info = SHOW_PARAMS[p];
    int c0 = component < 0 ? 0 : component, c1 = component < 0 ? info.components : component + 1;
    float lo = 1e30f, hi = -1e30f;
    for (const ShowParams& s : v.samples)
        for (int c = c0; c < c1; ++c) {
            float value = show_param(const_cast<ShowParams&>(s), p)[c];
            lo = std::min(lo, value), hi = std::max(hi, value);
        }
    if (hi - lo < 1e-6f) lo -= 0.5f, hi += 0.5f;
    // Plain (not antialiased) lines: every curve of every row must fit one draw list's vertices.
    ImDrawListFlags flags = dl->Flags;
    dl->Flags &= ~ImDrawListFlags_AntiAliasedLines;
    std::vector<ImVec2> points(v.samples.size());
    for (int c = c0; c < c1; ++c) {
        for (size_t i = 0; i < v.samples.size(); ++i) {
            float value = show_param(const_cast<ShowParams&>(v.samples[i]), p)[c];
            points[i] = ImVec2(x0 + w * i / v.samples.size(), y + h - 3 - (h - 6) * (value - lo) / (hi - lo));
        }
        dl->AddPolyline(points.data(), (int)points.size(), row_colour(p, 110), ImDrawFlags_None, 1.0f);
    }
    dl->Flags = flags;
}

// The inspector's fields hold the selected key's values until it changes (an edit sets
// fields_line to -2 so that they are read again).
void refresh_fields() {
    edit::Editor& e = *v.editor;
    if (v.selected < 0 || v.selected >= (int)e.sheet.lines.size() || edit::row_of(e.sheet.lines[v.selected]) == -2) {
        v.selected = -1;
        v.fields_line = -2;
        return;
    }
    if (v.fields_line == v.selected) return;
    const sheet::Line& l = e.sheet.lines[v.selected];
    v.fields_line = v.selected;
    v.time_text = sheet::when_text(l.at);
    v.length_s = l.kind == sheet::LINE_TWEEN ? (sheet::when_ms(l.until, e.script) - sheet::when_ms(l.at, e.script)) / 1000.0f : 0;
    for (size_t i = 0; i < 4; ++i) v.values[i] = i < l.values.size() ? l.values[i] : 0;
}

bool inspector(float x, float y, float w, float h) {
    ImGui::SetCursorScreenPos(ImVec2(x, y));
    ImGui::BeginChild("inspector", ImVec2(w, h), true);
    bool edited = false;
    edit::Editor& e = *v.editor;
    refresh_fields();
    if (v.fields_line < 0) {
        ImGui::TextWrapped("Click a key to select it; double-click a row to add one.");
        ImGui::EndChild();
        return false;
    }
    int line = v.selected;
    const sheet::Line l = e.sheet.lines[line];
    ImGui::Text("line %d", line + 1);
    ImGui::TextWrapped("%s", sheet::format(l).c_str());
    ImGui::Separator();
    ImGui::SetNextItemWidth(150);
    if (ImGui::InputText("time", &v.time_text, ImGuiInputTextFlags_EnterReturnsTrue)) edited |= edit::set_time_text(e, line, v.time_text);
    if (l.kind == sheet::LINE_TWEEN) {
        ImGui::SetNextItemWidth(150);
        if (ImGui::InputFloat("length s", &v.length_s, 0.1f, 1.0f, "%.3f", ImGuiInputTextFlags_EnterReturnsTrue))
            edited |= edit::set_length(e, line, (int32_t)std::lround(v.length_s * 1000));
        int mode = l.mode;
        ImGui::SetNextItemWidth(150);
        if (ImGui::Combo("easing", &mode, "step\0linear\0cosine\0thirds\0")) edited |= edit::set_easing(e, line, mode);
    }
    if (l.kind == sheet::LINE_SET || l.kind == sheet::LINE_TWEEN) {
        static const char* const NAMES[] = {"x", "y", "z", "w"};
        for (size_t c = 0; c < l.values.size(); ++c) {
            ImGui::SetNextItemWidth(150);
            std::string label = l.values.size() == 1 ? std::string("value") : std::string("value ") + NAMES[c];
            if (ImGui::InputFloat(label.c_str(), &v.values[c], 0, 0, "%.4g", ImGuiInputTextFlags_EnterReturnsTrue))
                edited |= edit::set_value(e, line, (int)c, v.values[c]);
        }
    }
    if (l.kind == sheet::LINE_SCENE) {
        int current = 0;
        for (int p = 0; p < SCENE_PROGRAM_COUNT; ++p)
            if (l.name == PROGRAM_LABELS[p]) current = p;
        ImGui::SetNextItemWidth(150);
        if (ImGui::Combo("program", &current, PROGRAM_LABELS, SCENE_PROGRAM_COUNT))
            edited |= edit::set_program(e, line, PROGRAM_LABELS[current]);
    }
    if (ImGui::Button("delete key")) {
        if (edit::delete_key(e, line)) {
            v.selected = -1;
            edited = true;
        }
    }
    if (edited) {
        v.selected = line;
        v.fields_line = -2;
    }
    ImGui::EndChild();
    return edited;
}

void questions(TrackViewOut& out) {
    edit::Editor& e = *v.editor;
    if (e.conflict && !ImGui::IsPopupOpen("The sheet changed on disk")) ImGui::OpenPopup("The sheet changed on disk");
    if (ImGui::BeginPopupModal("The sheet changed on disk", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::Text("%s was changed by another program while your edits here are unsaved.", e.path.c_str());
        ImGui::Text("Keep one of the two; nothing is written until you save.");
        if (ImGui::Button("Keep my edits (saving replaces the file)")) {
            edit::keep_mine(e);
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("Take the file's version")) {
            if (edit::take_theirs(e)) out.edited = true;
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
    if (v.ask_quit && !ImGui::IsPopupOpen("Unsaved edits")) ImGui::OpenPopup("Unsaved edits");
    if (ImGui::BeginPopupModal("Unsaved edits", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::Text("%s has edits that are not saved.", e.path.c_str());
        std::string error;
        if (ImGui::Button("Save and quit")) {
            if (edit::save(e, error)) out.quit = true;
            else e.message = error;
            v.ask_quit = false;
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("Quit without saving")) {
            out.quit = true;
            v.ask_quit = false;
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("Cancel")) {
            v.ask_quit = false;
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
}

}  // namespace

void track_view_init(edit::Editor* editor, int32_t length_ms) {
    v.editor = editor;
    v.length_ms = length_ms;
    v.start_ms = 0;
    v.end_ms = length_ms;
}

void track_view_set_waveform(std::vector<float> peaks, int per_second) {
    v.peaks = std::move(peaks);
    v.peaks_per_second = per_second;
}

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

TrackViewOut track_view_draw(float x, float y, float w, float h, int32_t show_ms, bool playing) {
    TrackViewOut out;
    if (v.quit_chosen) out.quit = true;
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(x, y));
    ImGui::SetNextWindowSize(ImVec2(w, h));
    ImGui::SetNextWindowBgAlpha(0.92f);
    ImGui::Begin("timeline", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                     ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoBringToFrontOnFocus);
    if (!v.editor) {
        ImGui::Text("No cue sheet to edit: start with --script show/show.cues (or --src show, which holds it).");
        ImGui::End();
        return out;
    }
    edit::Editor& e = *v.editor;

    // Tool bar and status line.
    std::string error;
    if (ImGui::Button("Save")) {
        if (!edit::save(e, error)) e.message = error;
        else e.message = "saved " + e.path;
    }
    ImGui::SameLine();
    if (ImGui::Button("Undo") && edit::undo(e)) out.edited = true, v.fields_line = -2;
    ImGui::SameLine();
    if (ImGui::Button("Redo") && edit::redo(e)) out.edited = true, v.fields_line = -2;
    ImGui::SameLine();
    ImGui::Checkbox("snap to beats", &v.snap);
    ImGui::SameLine();
    if (ImGui::Button("Whole show")) v.start_ms = 0, v.end_ms = v.length_ms;
    ImGui::SameLine();
    ImGui::Text("%s%s", e.path.c_str(), e.dirty ? "  (unsaved)" : "");
    if (e.music_stale)
        ImGui::TextColored(ImVec4(1, 0.8f, 0.4f, 1),
                           "Scenes, marks or tempo moved: the picture follows now, the bundled music after a rebuild.");
    if (!e.message.empty()) ImGui::TextColored(ImVec4(1, 0.6f, 0.6f, 1), "%s", e.message.c_str());

    ImVec2 origin = ImGui::GetCursorScreenPos();
    float canvas_x = origin.x + LABELS_W, canvas_w = w - LABELS_W - INSPECTOR_W - 20;
    float top = origin.y, ruler_y = top, rows_top = top + RULER_H;
    float bottom = y + h - 8;
    if (canvas_w < 100) canvas_w = 100;
    ImDrawList* dl = ImGui::GetWindowDrawList();
    std::vector<Row> rows = layout(rows_top);

    // Zoom with the wheel around the pointer, scroll with shift+wheel.
    bool over_canvas = io.MousePos.x >= canvas_x && io.MousePos.x < canvas_x + canvas_w && io.MousePos.y >= top && io.MousePos.y < bottom;
    if (over_canvas && io.MouseWheel != 0) {
        double span = v.end_ms - v.start_ms;
        if (io.KeyShift) {
            double d = -io.MouseWheel * span * 0.1;
            d = std::clamp(d, -v.start_ms, v.length_ms - v.end_ms);
            v.start_ms += d, v.end_ms += d;
        } else {
            double at = ms_of(io.MousePos.x, canvas_x, canvas_w);
            double scale = std::pow(0.8, io.MouseWheel);
            double new_span = std::clamp(span * scale, 200.0, (double)v.length_ms);
            v.start_ms = std::clamp(at - (at - v.start_ms) * new_span / span, 0.0, v.length_ms - new_span);
            v.end_ms = v.start_ms + new_span;
        }
    }
    if (over_canvas && io.MouseWheelH != 0) {
        double d = -io.MouseWheelH * (v.end_ms - v.start_ms) * 0.1;
        d = std::clamp(d, -v.start_ms, v.length_ms - v.end_ms);
        v.start_ms += d, v.end_ms += d;
    }
    // The play head stays in view while playing.
    if (playing && !v.dragging && (show_ms < v.start_ms || show_ms > v.end_ms)) {
        double span = v.end_ms - v.start_ms;
        v.start_ms = std::clamp(show_ms - span * 0.1, 0.0, v.length_ms - span);
        v.end_ms = v.start_ms + span;
    }
    sample_curves(canvas_w);

    dl->PushClipRect(ImVec2(origin.x, top), ImVec2(canvas_x + canvas_w, bottom), true);
    // Ruler.
    dl->AddRectFilled(ImVec2(canvas_x, ruler_y), ImVec2(canvas_x + canvas_w, ruler_y + RULER_H), IM_COL32(45, 45, 55, 255));
    double step = 1000;
    while (step * px_per_ms(canvas_w) < 70) step *= step == 1000 ? 5 : step == 5000 ? 2 : 3;
    for (double t = std::ceil(v.start_ms / step) * step; t <= v.end_ms; t += step) {
        float tx = x_of(t, canvas_x, canvas_w);
        dl->AddLine(ImVec2(tx, ruler_y + 12), ImVec2(tx, ruler_y + RULER_H), IM_COL32(200, 200, 200, 255));
        dl->AddText(ImVec2(tx + 3, ruler_y + 2), IM_COL32(220, 220, 220, 255), clock(t).c_str());
    }
    // Beat grid, as fine as it can be seen.
    double beat_px = 1e9;
    for (const sheet::Tempo& t : e.script.tempo) beat_px = std::min(beat_px, t.beat_ms() * px_per_ms(canvas_w));
    if (!e.script.tempo.empty() && beat_px * 4 >= 5)
        each_beat(v.start_ms, v.end_ms, [&](double b, bool bar) {
            if (!bar && beat_px < 5) return;
            float bx = x_of(b, canvas_x, canvas_w);
            dl->AddLine(ImVec2(bx, rows_top), ImVec2(bx, bottom), bar ? IM_COL32(90, 90, 110, 110) : IM_COL32(70, 70, 85, 70));
        });
    // Scene bands, from the sheet being edited.
    for (size_t i = 0; i < e.script.slots.size(); ++i) {
        const sheet::Slot& s = e.script.slots[i];
        float x0 = x_of(s.start_ms, canvas_x, canvas_w), x1 = x_of(s.end_ms, canvas_x, canvas_w);
        dl->AddRectFilled(ImVec2(x0, rows[0].y + 2), ImVec2(x1, rows[0].y + SCENE_H - 2),
                          i % 2 ? IM_COL32(70, 70, 140, 255) : IM_COL32(90, 90, 170, 255));
        dl->AddText(ImVec2(x0 + 14, rows[0].y + 4), IM_COL32(230, 230, 255, 255), s.label.c_str());
    }
    // The music's waveform.
    float wave_y = rows[0].y + SCENE_H, wave_mid = wave_y + WAVE_H / 2;
    if (v.peaks_per_second > 0)
        for (int px = 0; px < (int)canvas_w; px += 2) {
            double a = ms_of(canvas_x + px, canvas_x, canvas_w), b = ms_of(canvas_x + px + 2, canvas_x, canvas_w);
            long i0 = (long)(a * v.peaks_per_second / 1000), i1 = std::max(i0 + 1, (long)(b * v.peaks_per_second / 1000));
            float lo = 0, hi = 0;
            for (long i = i0; i < i1 && 2 * i + 1 < (long)v.peaks.size(); ++i) lo = std::min(lo, v.peaks[2 * i]), hi = std::max(hi, v.peaks[2 * i + 1]);
            dl->AddRectFilled(ImVec2(canvas_x + px, wave_mid - hi * WAVE_H / 2), ImVec2(canvas_x + px + 2, wave_mid - lo * WAVE_H / 2 + 1),
                              IM_COL32(110, 160, 110, 255));
        }
    dl->PopClipRect();

    // Row labels, with the vectors' expanders.
    for (const Row& r : rows) {
        ImGui::SetCursorScreenPos(ImVec2(origin.x + (r.component >= 0 ? 18 : 2), r.y + 2));
        if (r.row == edit::ROW_SCENE) {
            ImGui::TextUnformatted("scene program");
            ImGui::SetCursorScreenPos(ImVec2(origin.x + 2, r.y + SCENE_H + 8));
            ImGui::TextDisabled("music");
        } else if (r.component >= 0) {
            ImGui::TextDisabled("%c", "xyzw"[r.component]);
        } else if (SHOW_PARAMS[r.row].components > 1) {
            std::string label = std::string(v.expanded[r.row] ? "- " : "+ ") + SHOW_PARAMS[r.row].name;
            if (ImGui::SmallButton(label.c_str())) v.expanded[r.row] = !v.expanded[r.row];
        } else {
            ImGui::TextUnformatted(SHOW_PARAMS[r.row].name);
        }
    }

    // Curves under the keys, then the keys.
    dl->PushClipRect(ImVec2(canvas_x, rows_top), ImVec2(canvas_x + canvas_w, bottom), true);
    for (const Row& r : rows) {
        if (r.row == edit::ROW_SCENE) continue;
        dl->AddLine(ImVec2(canvas_x, r.y + r.h), ImVec2(canvas_x + canvas_w, r.y + r.h), IM_COL32(60, 60, 70, 255));
        draw_curve(dl, r.row, r.component, canvas_x, canvas_w, r.y, r.h);
    }
    std::vector<edit::Key> keys = edit::keys(e);
    int hovered = -1;
    auto row_y = [&](int row) {
        for (const Row& r : rows)
            if (r.row == row && r.component < 0) return r.y + r.h / 2;
        return -1.0f;
    };
    for (const edit::Key& k : keys) {
        float ky = row_y(k.row), kx = x_of(k.start_ms, canvas_x, canvas_w);
        if (ky < 0) continue;
        bool selected = k.line == v.selected;
        if (k.tween) {
            float ex = x_of(k.end_ms, canvas_x, canvas_w);
            dl->AddRectFilled(ImVec2(kx, ky - 3), ImVec2(std::max(ex, kx + 2), ky + 3), row_colour(k.row, 150), 2);
            if (selected) dl->AddRect(ImVec2(kx, ky - 4), ImVec2(std::max(ex, kx + 2), ky + 4), IM_COL32(255, 255, 255, 255), 2);
        }
        float r = 6;
        dl->AddQuadFilled(ImVec2(kx, ky - r), ImVec2(kx + r, ky), ImVec2(kx, ky + r), ImVec2(kx - r, ky), row_colour(k.row));
        if (selected) dl->AddQuad(ImVec2(kx, ky - r - 1), ImVec2(kx + r + 1, ky), ImVec2(kx, ky + r + 1), ImVec2(kx - r - 1, ky),
                                  IM_COL32(255, 255, 255, 255), 2);
        bool on_marker = std::fabs(io.MousePos.x - kx) <= r + 1 && std::fabs(io.MousePos.y - ky) <= r + 1;
        bool on_span = k.tween && io.MousePos.x >= kx && io.MousePos.x <= x_of(k.end_ms, canvas_x, canvas_w) &&
                       std::fabs(io.MousePos.y - ky) <= 4;
        if (on_marker || (on_span && hovered < 0)) hovered = k.line;
    }
    // The play head.
    float head = x_of(show_ms, canvas_x, canvas_w);
    dl->AddLine(ImVec2(head, ruler_y), ImVec2(head, bottom), IM_COL32(255, 220, 80, 255), 2);
    dl->PopClipRect();

    // The pointer: seek on the ruler, select and drag keys, add on a double-click.
    bool popup = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
    bool in_ruler = io.MousePos.x >= canvas_x && io.MousePos.x < canvas_x + canvas_w && io.MousePos.y >= ruler_y &&
                    io.MousePos.y < ruler_y + RULER_H;
    if (!popup && ImGui::IsMouseClicked(0) && in_ruler) v.scrubbing = true;
    if (v.scrubbing) {
        if (ImGui::IsMouseDown(0)) out.seek = std::clamp((int32_t)std::lround(ms_of(io.MousePos.x, canvas_x, canvas_w)), 0, v.length_ms);
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
            int32_t to = snapped(v.press_ms + (io.MousePos.x - v.press_x) / px_per_ms(canvas_w), v.snap && !io.KeyAlt);
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
        for (const Row& r : rows)
            if (r.component < 0 && io.MousePos.y >= r.y && io.MousePos.y < r.y + r.h) {
                int32_t at = snapped(ms_of(io.MousePos.x, canvas_x, canvas_w), v.snap && !io.KeyAlt);
                float now[4] = {0, 0, 0, 0};
                if (r.row >= 0) {
                    ShowParams p = params_at(at);
                    for (int c = 0; c < SHOW_PARAMS[r.row].components; ++c) now[c] = show_param(p, r.row)[c];
                }
                int line = edit::add_key(e, r.row, at, io.KeyShift, now);
                if (line >= 0) {
                    v.selected = line;
                    v.fields_line = -2;
                    out.edited = true;
                }
            }
    }

    out.edited |= inspector(x + w - INSPECTOR_W - 8, top, INSPECTOR_W, bottom - top);
    questions(out);
    ImGui::End();
    if (out.edited) v.samples_undo = (size_t)-1;
    return out;
}
