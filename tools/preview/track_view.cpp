// The sync editor's track view: its layout and drawing (the ruler and beat grid, the scene bands,
// the music's waveform, one row per show parameter with its curves and keys, the play head) and
// the frame that puts it together with the pointer, the inspector and the questions.
#include "track_view.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "timeline/script.h"
#include "timeline/tracks.h"
#include "track_state.h"

namespace track {

View v;

double px_per_ms(const Canvas& c) { return c.w / (v.end_ms - v.start_ms); }

float x_of(double ms, const Canvas& c) { return c.x + (float)((ms - v.start_ms) * px_per_ms(c)); }

double ms_of(float x, const Canvas& c) { return v.start_ms + (x - c.x) / px_per_ms(c); }

namespace {

ImU32 row_colour(int row, int alpha = 255) {
    static const unsigned char C[][3] = {
        {217, 26, 26},  {230, 115, 77}, {153, 51, 179},  {51, 77, 230},  {26, 153, 179},
        {230, 153, 26}, {128, 128, 128}, {100, 200, 100}, {200, 200, 100},
    };
    if (row < 0) return IM_COL32(120, 120, 220, alpha);
    return IM_COL32(C[row][0], C[row][1], C[row][2], alpha);
}

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

}  // namespace

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

ShowParams params_at(int32_t ms) {
    ShowParams saved = show_params, at;
    show_params = show_params_initial;
    tracks_evaluate(ms);
    at = show_params;
    show_params = saved;
    return at;
}

namespace {

// The ruler, the beat grid, the scene bands and the music's waveform along the canvas.
void draw_axis(ImDrawList* dl, const Canvas& c, float top) {
    const edit::Editor& e = *v.editor;
    dl->PushClipRect(ImVec2(c.label_x, top), ImVec2(c.x + c.w, c.bottom), true);
    dl->AddRectFilled(ImVec2(c.x, c.ruler_y), ImVec2(c.x + c.w, c.ruler_y + RULER_H), IM_COL32(45, 45, 55, 255));
    double step = 1000;
    while (step * px_per_ms(c) < 70) step *= step == 1000 ? 5 : step == 5000 ? 2 : 3;
    for (double t = std::ceil(v.start_ms / step) * step; t <= v.end_ms; t += step) {
        float tx = x_of(t, c);
        dl->AddLine(ImVec2(tx, c.ruler_y + 12), ImVec2(tx, c.ruler_y + RULER_H), IM_COL32(200, 200, 200, 255));
        dl->AddText(ImVec2(tx + 3, c.ruler_y + 2), IM_COL32(220, 220, 220, 255), clock(t).c_str());
    }
    // Beat grid, as fine as it can be seen.
    double beat_px = 1e9;
    for (const sheet::Tempo& t : e.script.tempo) beat_px = std::min(beat_px, t.beat_ms() * px_per_ms(c));
    if (!e.script.tempo.empty() && beat_px * 4 >= 5)
        each_beat(v.start_ms, v.end_ms, [&](double b, bool bar) {
            if (!bar && beat_px < 5) return;
            float bx = x_of(b, c);
            dl->AddLine(ImVec2(bx, c.rows_top), ImVec2(bx, c.bottom), bar ? IM_COL32(90, 90, 110, 110) : IM_COL32(70, 70, 85, 70));
        });
    // Scene bands, from the sheet being edited.
    const Row& scenes = c.rows[0];
    for (size_t i = 0; i < e.script.slots.size(); ++i) {
        const sheet::Slot& s = e.script.slots[i];
        float x0 = x_of(s.start_ms, c), x1 = x_of(s.end_ms, c);
        dl->AddRectFilled(ImVec2(x0, scenes.y + 2), ImVec2(x1, scenes.y + SCENE_H - 2),
                          i % 2 ? IM_COL32(70, 70, 140, 255) : IM_COL32(90, 90, 170, 255));
        dl->AddText(ImVec2(x0 + 14, scenes.y + 4), IM_COL32(230, 230, 255, 255), s.label.c_str());
    }
    // The music's waveform.
    float wave_mid = scenes.y + SCENE_H + WAVE_H / 2;
    if (v.peaks_per_second > 0)
        for (int px = 0; px < (int)c.w; px += 2) {
            double a = ms_of(c.x + px, c), b = ms_of(c.x + px + 2, c);
            long i0 = (long)(a * v.peaks_per_second / 1000), i1 = std::max(i0 + 1, (long)(b * v.peaks_per_second / 1000));
            float lo = 0, hi = 0;
            for (long i = i0; i < i1 && 2 * i + 1 < (long)v.peaks.size(); ++i) lo = std::min(lo, v.peaks[2 * i]), hi = std::max(hi, v.peaks[2 * i + 1]);
            dl->AddRectFilled(ImVec2(c.x + px, wave_mid - hi * WAVE_H / 2), ImVec2(c.x + px + 2, wave_mid - lo * WAVE_H / 2 + 1),
                              IM_COL32(110, 160, 110, 255));
        }
    dl->PopClipRect();
}

// The row labels, with the vectors' expanders.
void draw_labels(const Canvas& c) {
    for (const Row& r : c.rows) {
        ImGui::SetCursorScreenPos(ImVec2(c.label_x + (r.component >= 0 ? 18 : 2), r.y + 2));
        if (r.row == edit::ROW_SCENE) {
            ImGui::TextUnformatted("scene program");
            ImGui::SetCursorScreenPos(ImVec2(c.label_x + 2, r.y + SCENE_H + 8));
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
}

// The curves under the keys, the keys, and the play head. Returns the line of the key under the
// pointer, or -1.
int draw_keys(ImDrawList* dl, const Canvas& c, const std::vector<edit::Key>& keys, int32_t show_ms) {
    ImGuiIO& io = ImGui::GetIO();
    dl->PushClipRect(ImVec2(c.x, c.rows_top), ImVec2(c.x + c.w, c.bottom), true);
    for (const Row& r : c.rows) {
        if (r.row == edit::ROW_SCENE) continue;
        dl->AddLine(ImVec2(c.x, r.y + r.h), ImVec2(c.x + c.w, r.y + r.h), IM_COL32(60, 60, 70, 255));
        draw_curve(dl, r.row, r.component, c.x, c.w, r.y, r.h);
    }
    int hovered = -1;
    auto row_y = [&](int row) {
        for (const Row& r : c.rows)
            if (r.row == row && r.component < 0) return r.y + r.h / 2;
        return -1.0f;
    };
    for (const edit::Key& k : keys) {
        float ky = row_y(k.row), kx = x_of(k.start_ms, c);
        if (ky < 0) continue;
        bool selected = k.line == v.selected;
        if (k.tween) {
            float ex = x_of(k.end_ms, c);
            dl->AddRectFilled(ImVec2(kx, ky - 3), ImVec2(std::max(ex, kx + 2), ky + 3), row_colour(k.row, 150), 2);
            if (selected) dl->AddRect(ImVec2(kx, ky - 4), ImVec2(std::max(ex, kx + 2), ky + 4), IM_COL32(255, 255, 255, 255), 2);
        }
        float r = 6;
        dl->AddQuadFilled(ImVec2(kx, ky - r), ImVec2(kx + r, ky), ImVec2(kx, ky + r), ImVec2(kx - r, ky), row_colour(k.row));
        if (selected) dl->AddQuad(ImVec2(kx, ky - r - 1), ImVec2(kx + r + 1, ky), ImVec2(kx, ky + r + 1), ImVec2(kx - r - 1, ky),
                                  IM_COL32(255, 255, 255, 255), 2);
        bool on_marker = std::fabs(io.MousePos.x - kx) <= r + 1 && std::fabs(io.MousePos.y - ky) <= r + 1;
        bool on_span = k.tween && io.MousePos.x >= kx && io.MousePos.x <= x_of(k.end_ms, c) && std::fabs(io.MousePos.y - ky) <= 4;
        if (on_marker || (on_span && hovered < 0)) hovered = k.line;
    }
    float head = x_of(show_ms, c);
    dl->AddLine(ImVec2(head, c.ruler_y), ImVec2(head, c.bottom), IM_COL32(255, 220, 80, 255), 2);
    dl->PopClipRect();
    return hovered;
}

}  // namespace

}  // namespace track

using namespace track;

void track_view_init(edit::Editor* editor, int32_t length_ms, bool music_follows_build) {
    v.editor = editor;
    v.music_follows_build = music_follows_build;
    v.length_ms = length_ms;
    v.start_ms = 0;
    v.end_ms = length_ms;
}

void track_view_set_waveform(std::vector<float> peaks, int per_second) {
    v.peaks = std::move(peaks);
    v.peaks_per_second = per_second;
}

TrackViewOut track_view_draw(float x, float y, float w, float h, int32_t show_ms, bool playing) {
    TrackViewOut out;
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
        ImGui::TextColored(ImVec4(1, 0.8f, 0.4f, 1), "%s",
                           v.music_follows_build ? "Scenes, marks or tempo moved: the picture follows now, the bundled music after a rebuild."
                                                 : "Scenes, marks or tempo moved: the picture follows now; the music is the project's file "
                                                   "and stays as it is.");
    if (!e.message.empty()) ImGui::TextColored(ImVec4(1, 0.6f, 0.6f, 1), "%s", e.message.c_str());

    ImVec2 origin = ImGui::GetCursorScreenPos();
    Canvas c;
    c.label_x = origin.x;
    c.x = origin.x + LABELS_W;
    c.w = std::max(100.0f, w - LABELS_W - INSPECTOR_W - 20);
    c.ruler_y = origin.y;
    c.rows_top = origin.y + RULER_H;
    c.bottom = y + h - 8;
    c.rows = layout(c.rows_top);
    // The play head stays in view while playing.
    if (playing && !v.dragging && (show_ms < v.start_ms || show_ms > v.end_ms)) {
        double span = v.end_ms - v.start_ms;
        v.start_ms = std::clamp(show_ms - span * 0.1, 0.0, v.length_ms - span);
        v.end_ms = v.start_ms + span;
    }
    sample_curves(c.w);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    draw_axis(dl, c, origin.y);
    draw_labels(c);
    std::vector<edit::Key> keys = edit::keys(e);
    int hovered = draw_keys(dl, c, keys, show_ms);
    pointer(c, keys, hovered, out);
    out.edited |= inspector(x + w - INSPECTOR_W - 8, origin.y, INSPECTOR_W, c.bottom - origin.y);
    questions(out);
    ImGui::End();
    if (out.edited) v.samples_undo = (size_t)-1;
    return out;
}
