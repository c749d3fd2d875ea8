// The preview's overlay: Dear ImGui fed from the platform layer's events and drawn with its
// fixed-function OpenGL renderer after the show's frame is on the window.
#include "show_sheet.h"
#include "overlay.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>

#include "load/gl_entry.h"
#include "load/textures.h"
#include "platform/platform.h"
#include "timeline/params.h"
#include "timeline/script.h"

namespace {
bool ready;
int32_t show_length = SHOW_LENGTH_MS;
std::vector<SceneBand> scene_bands;
ImVec2 mouse(-1, -1);
int buttons;
int pressed;  // buttons pressed since the last frame: a click within one frame still counts
}  // namespace

void overlay_init(int32_t length_ms) {
    show_length = length_ms;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // nothing written beside the show
    // The platform's key codes index KeysDown directly.
    io.KeyMap[ImGuiKey_Tab] = PLAT_KEY_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = PLAT_KEY_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = PLAT_KEY_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = PLAT_KEY_UP;
    io.KeyMap[ImGuiKey_DownArrow] = PLAT_KEY_DOWN;
    io.KeyMap[ImGuiKey_PageUp] = PLAT_KEY_PAGE_UP;
    io.KeyMap[ImGuiKey_PageDown] = PLAT_KEY_PAGE_DOWN;
    io.KeyMap[ImGuiKey_Home] = PLAT_KEY_HOME;
    io.KeyMap[ImGuiKey_End] = PLAT_KEY_END;
    io.KeyMap[ImGuiKey_Insert] = PLAT_KEY_INSERT;
    io.KeyMap[ImGuiKey_Delete] = PLAT_KEY_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = PLAT_KEY_BACKSPACE;
    io.KeyMap[ImGuiKey_Space] = PLAT_KEY_SPACE;
    io.KeyMap[ImGuiKey_Enter] = PLAT_KEY_RETURN;
    io.KeyMap[ImGuiKey_Escape] = PLAT_KEY_ESCAPE;
    io.KeyMap[ImGuiKey_KeyPadEnter] = PLAT_KEY_RETURN;
    io.KeyMap[ImGuiKey_A] = 'a';
    io.KeyMap[ImGuiKey_C] = 'c';
    io.KeyMap[ImGuiKey_V] = 'v';
    io.KeyMap[ImGuiKey_X] = 'x';
    io.KeyMap[ImGuiKey_Y] = 'y';
    io.KeyMap[ImGuiKey_Z] = 'z';
    ImGui::StyleColorsDark();
    ImGui_ImplOpenGL2_Init();
    ready = true;
}

void overlay_set_bands(const std::vector<SceneBand>& bands) { scene_bands = bands; }

void overlay_event(const PlatEvent& ev) {
    if (!ready) return;
    ImGuiIO& io = ImGui::GetIO();
    if (ev.kind == PLAT_EVENT_MOUSE) {
        mouse = ImVec2((float)ev.x, (float)ev.y);
        pressed |= ev.buttons & ~buttons;
        buttons = ev.buttons;
    } else if (ev.kind == PLAT_EVENT_WHEEL) {
        io.MouseWheel += ev.wheel_y;
        io.MouseWheelH += ev.wheel_x;
    } else if (ev.kind == PLAT_EVENT_KEY_DOWN || ev.kind == PLAT_EVENT_KEY_UP) {
        if (ev.key > 0 && ev.key < PLAT_KEY_LIMIT && ev.key < (int)IM_ARRAYSIZE(io.KeysDown))
            io.KeysDown[ev.key] = ev.kind == PLAT_EVENT_KEY_DOWN;
        io.KeyShift = ev.shift != 0;
        io.KeyCtrl = ev.ctrl != 0;
        io.KeyAlt = ev.alt != 0;
    } else if (ev.kind == PLAT_EVENT_TEXT) {
        io.AddInputCharactersUTF8(ev.text);
    }
}

bool overlay_wants_keyboard() { return ready && ImGui::GetIO().WantTextInput; }

TrackViewOut overlay_draw(const OverlayFrame& f) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2((float)f.w, (float)f.h);
    io.DeltaTime = f.frame_ms > 0 ? (float)(f.frame_ms / 1000.0) : 1.0f / 60.0f;
    io.MousePos = mouse;
    for (int b = 0; b < 3; ++b) io.MouseDown[b] = ((buttons | pressed) >> b) & 1;
    pressed = 0;
    ImGui_ImplOpenGL2_NewFrame();
    ImGui::NewFrame();

    const ShowParams& p = show_params;
    const float show_s = show_length / 1000.0f, width = 560;
    ImGui::SetNextWindowPos(ImVec2(10, 10), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowBgAlpha(0.8f);
    ImGui::Begin("oruvane-preview", nullptr, ImGuiWindowFlags_AlwaysAutoResize);
    int ms = f.show_ms;
    ImGui::Text("%d:%06.3f  %s%s", ms / 60000, (ms % 60000) / 1000.0, f.scene, f.paused ? "  (paused)" : "");
    float seconds = f.show_ms / 1000.0f;
    int32_t scrubbed = -1;
    ImGui::SetNextItemWidth(width);
    if (ImGui::SliderFloat("##time", &seconds, 0, show_s, "%.2f s")) scrubbed = (int32_t)(seconds * 1000);
    // The scene bands under the scrubber, on the same scale.
    ImVec2 at = ImGui::GetCursorScreenPos();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    for (size_t i = 0; i < scene_bands.size(); ++i) {
        float x0 = at.x + width * scene_bands[i].start / show_length, x1 = at.x + width * scene_bands[i].end / show_length;
        draw->AddRectFilled(ImVec2(x0, at.y), ImVec2(x1, at.y + 18), i % 2 ? IM_COL32(70, 70, 140, 255) : IM_COL32(90, 90, 170, 255));
        draw->AddText(ImVec2(x0 + 3, at.y + 2), IM_COL32(230, 230, 255, 255), scene_bands[i].label.c_str());
    }
    float now_x = at.x + width * f.show_ms / show_length;
    draw->AddLine(ImVec2(now_x, at.y), ImVec2(now_x, at.y + 18), IM_COL32(255, 220, 80, 255), 2);
    ImGui::Dummy(ImVec2(width, 20));
    ImGui::Text("gamma       %.3f", p.gamma);
    ImGui::Text("flashColor  %.3f %.3f %.3f %.3f", p.flashColor[0], p.flashColor[1], p.flashColor[2], p.flashColor[3]);
    ImGui::Text("logoColor   %.3f %.3f %.3f %.3f", p.logoColor[0], p.logoColor[1], p.logoColor[2], p.logoColor[3]);
    ImGui::Text("displayLogo %.0f   logo_slot %.0f   useEffect %.0f   skip_render %.0f", p.displayLogo, p.logo_slot,
                p.useEffect, p.skip_render);
    ImGui::Text("campos      %.3f %.3f %.3f", p.campos[0], p.campos[1], p.campos[2]);
    ImGui::Text("camtar      %.3f %.3f %.3f", p.camtar[0], p.camtar[1], p.camtar[2]);
    ImGui::Text("frame       %.1f ms", f.frame_ms);
    ImGui::End();

    TrackViewOut out;
    if (f.editor_h > 0) out = track_view_draw(0, (float)f.h - f.editor_h, (float)f.w, f.editor_h, f.show_ms, !f.paused);
    if (out.seek < 0) out.seek = scrubbed;
    ImGui::Render();

    // Fixed-function drawing: no program, and no texture unit but 0 left enabled from the passes.
    glUseProgram(0);
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1}) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
    }
    glActiveTexture(GL_TEXTURE0);
    glViewport(0, 0, f.w, f.h);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    // The scene pass finds the feedback texture on unit 0.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    return out;
}

void overlay_shutdown() {
    if (!ready) return;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui::DestroyContext();
    ready = false;
}
