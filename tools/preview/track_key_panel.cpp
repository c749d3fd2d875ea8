// The track view's inspector: the selected key's line, and fields for its time (absolute or
// anchored), length, easing, values and program, each applied through the editing model.
#include <imgui.h>
#include <imgui_stdlib.h>

#include <cmath>
#include <string>

#include "timeline/program_set.h"
#include "track_state.h"

namespace track {

namespace {

// The fields hold the selected key's values until it changes (an edit sets fields_line to -2 so
// that they are read again).
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

}  // namespace

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

}  // namespace track
