// The preview's overlay: Dear ImGui fed from the platform layer's events and drawn with its
// fixed-function OpenGL renderer after the show's frame is on the window.
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
std::vector<SceneBand> scene_bands;
ImVec2 mouse(-1, -1);
int buttons;
int pressed;  // buttons pressed since the last frame: a click within one frame still counts
}  // namespace

void overlay_init(const std::vector<SceneBand>& bands) {
    scene_bands = bands;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // nothing written beside the show
    ImGui::StyleColorsDark();
    ImGui_ImplOpenGL2_Init();
    ready = true;
}

void overlay_event(const PlatEvent& ev) {
    if (ev.kind != PLAT_EVENT_MOUSE) return;
    mouse = ImVec2((float)ev.x, (float)ev.y);
    pressed |= ev.buttons & ~buttons;
    buttons = ev.buttons;
}

int32_t overlay_draw(int w, int h, int32_t show_ms, bool paused, double frame_ms, const char* scene) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2((float)w, (float)h);
    io.DeltaTime = frame_ms > 0 ? (float)(frame_ms / 1000.0) : 1.0f / 60.0f;
    io.MousePos = mouse;
    for (int b = 0; b < 3; ++b) io.MouseDown[b] = ((buttons | pressed) >> b) & 1;
    pressed = 0;
    ImGui_ImplOpenGL2_NewFrame();
    ImGui::NewFrame();

    int32_t target = -1;
    const ShowParams& p = show_params;
    const float show_s = SHOW_LENGTH_MS / 1000.0f, width = 560;
    ImGui::SetNextWindowPos(ImVec2(10, 10), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowBgAlpha(0.8f);
    ImGui::Begin("oruvane-preview", nullptr, ImGuiWindowFlags_AlwaysAutoResize);
    int ms = show_ms;
    ImGui::Text("%d:%06.3f  %s%s", ms / 60000, (ms % 60000) / 1000.0, scene, paused ? "  (paused)" : "");
    float seconds = show_ms / 1000.0f;
    ImGui::SetNextItemWidth(width);
    if (ImGui::SliderFloat("##time", &seconds, 0, show_s, "%.2f s")) target = (int32_t)(seconds * 1000);
    // The scene bands under the scrubber, on the same scale.
    ImVec2 at = ImGui::GetCursorScreenPos();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    for (size_t i = 0; i < scene_bands.size(); ++i) {
        float x0 = at.x + width * scene_bands[i].start / SHOW_LENGTH_MS, x1 = at.x + width * scene_bands[i].end / SHOW_LENGTH_MS;
        draw->AddRectFilled(ImVec2(x0, at.y), ImVec2(x1, at.y + 18), i % 2 ? IM_COL32(70, 70, 140, 255) : IM_COL32(90, 90, 170, 255));
        draw->AddText(ImVec2(x0 + 3, at.y + 2), IM_COL32(230, 230, 255, 255), scene_bands[i].label.c_str());
    }
    float now_x = at.x + width * show_ms / SHOW_LENGTH_MS;
    draw->AddLine(ImVec2(now_x, at.y), ImVec2(now_x, at.y + 18), IM_COL32(255, 220, 80, 255), 2);
    ImGui::Dummy(ImVec2(width, 20));
    ImGui::Text("gamma       %.3f", p.gamma);
    ImGui::Text("flashColor  %.3f %.3f %.3f %.3f", p.flashColor[0], p.flashColor[1], p.flashColor[2], p.flashColor[3]);
    ImGui::Text("logoColor   %.3f %.3f %.3f %.3f", p.logoColor[0], p.logoColor[1], p.logoColor[2], p.logoColor[3]);
    ImGui::Text("displayLogo %.0f   logo_slot %.0f   useEffect %.0f   skip_render %.0f", p.displayLogo, p.logo_slot,
                p.useEffect, p.skip_render);
    ImGui::Text("campos      %.3f %.3f %.3f", p.campos[0], p.campos[1], p.campos[2]);
    ImGui::Text("camtar      %.3f %.3f %.3f", p.camtar[0], p.camtar[1], p.camtar[2]);
    ImGui::Text("frame       %.1f ms", frame_ms);
    ImGui::End();
    ImGui::Render();

    // Fixed-function drawing: no program, and no texture unit but 0 left enabled from the passes.
    glUseProgram(0);
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1}) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
    }
    glActiveTexture(GL_TEXTURE0);
    glViewport(0, 0, w, h);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    // The scene pass finds the feedback texture on unit 0.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    return target;
}

void overlay_shutdown() {
    if (!ready) return;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui::DestroyContext();
    ready = false;
}
