// The page in headless Chromium against the desktop show on the same machine, side by side in one
// run: the frame time of one scene (render_frame and the swap, on the X display's GL driver, then
// the same frames of the bundled page played from the same show time), and the time from opening
// the page to its first frame. Run from the folder holding the show's files (build/show), with
// DISPLAY a 1920x1080 X server:  web_bench [SECONDS [FRAMES]]  (default: 110 s, pt03; 8 frames)
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "show_sheet.h"
#include "browser.h"
#include "load/intro.h"
#include "platform/platform.h"
#include "render/render.h"
#include "runner/window.h"
#include "timeline/script.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void print_row(const char* what, const std::vector<double>& ms) {
    std::printf("%-28s %8.1f %8.1f %8.1f   (%zu frames)\n", what, *std::min_element(ms.begin(), ms.end()), median(ms),
                *std::max_element(ms.begin(), ms.end()), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 110.0;
    int frames = argc > 2 ? std::atoi(argv[2]) : 8;
    if (seconds < 0 || seconds > SHOW_LENGTH_MS / 1000.0 || frames < 2) {
        std::fprintf(stderr, "usage: web_bench [SECONDS [FRAMES]], run from the show's folder with DISPLAY set\n");
        return 2;
    }
    int32_t t = (int32_t)(seconds * 1000);

    // The desktop: the show's window and loading, then frames at consecutive show times, each
    // finished before the next, as the swap of a real frame loop waits for it.
    window_state.fullscreen = 1;
    if (!window_init(&window_state) || !intro_init()) {
        std::fprintf(stderr, "web_bench: needs a %dx%d X display with GL, run from the show's folder\n", SCREEN_WIDTH,
                     SCREEN_HEIGHT);
        window_shutdown(&window_state);
        return 1;
    }
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    std::printf("desktop GL: %s\n", renderer ? renderer : "?");
    render_clear_feedback();
    std::vector<double> desktop;
    for (int i = 0; i <= frames; ++i) {
        auto start = std::chrono::steady_clock::now();
        render_frame(t + i * 16);
        plat_swap(window_state.device_context);
        glFinish();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (i > 0) desktop.push_back(ms);  // the first frame also compiles the programs
    }
    window_shutdown(&window_state);

    // The page: the bundled dist played from the same time; a frame's time is from one frame on
    // the canvas to the next.
    ScratchDir dir;
    std::filesystem::create_directories(dir.path / "site");
    std::filesystem::create_symlink(ORUVANE_WEB_DIST, dir.path / "site" / "dist");
    std::string at = std::to_string(seconds);
    Browser browser(dir.path / "site", {"/dist/index.html?at=" + at + "#frames=" + std::to_string(frames + 1)});
    std::vector<Visit> v = browser.run(600);
    if (v.size() != 1 || v[0].presents_titled("oruvane").size() < (size_t)frames + 1) {
        std::fprintf(stderr, "web_bench: the page did not play %d frames\n", frames + 1);
        return 1;
    }
    std::vector<Visit::Present> played = v[0].presents_titled("oruvane");
    std::vector<double> web;
    for (size_t i = 1; i < played.size(); ++i) web.push_back(played[i].t - played[i - 1].t);
    std::vector<Visit::Present> bars = v[0].presents_titled("oruvane: loading");

    std::printf("\nframe at show time %.1f s (%s)   min   median      max  ms\n", seconds,
                [&] {
                    for (const SceneSlot& s : scene_slots)
                        if (t >= s.start_ms && t < s.end_ms) return s.label;
                    return "?";
                }());
    print_row("desktop (render + swap)", desktop);
    print_row("headless Chromium page", web);
    std::printf("page / desktop (medians): %.2fx\n", median(web) / median(desktop));
    std::printf("\npage opened -> first loading bar %.0f ms, last bar %.0f ms, first show frame %.0f ms\n",
                bars.empty() ? 0 : bars.front().t, bars.empty() ? 0 : bars.back().t, played.front().t);
    return 0;
}
