// The track view's questions to the maker, as modal popups: the sheet changed on disk while edits
// are unsaved (keep which?), and quitting with unsaved edits (save, discard or stay?).
#include <imgui.h>

#include <string>

#include "track_state.h"

namespace track {

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

}  // namespace track
