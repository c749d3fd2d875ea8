// The page against the desktop show on the same machine, side by side in one run: the frame time
// of one scene on the same GL driver (the desktop's render_frame and swap on the X display's GL,
// then the bundled page drawn by Chromium through ANGLE on that same GL, its probe reading no
// pixels back), and the page's downloads and first show frame over a throttled link (25 Mbit/s,
// 20 ms before each answer) and over loopback. Both play from the same show time with their
// clocks running, as a live show draws. The one difference in work: the page keeps its feedback
// copy in RGBA8, the desktop in RGBA32F. Run from the folder holding the show's files
// (build/show), with DISPLAY a 1920x1080 X server:  web_bench [SECONDS [FRAMES]]  (default: 100 s,
// pt03; 12 frames)
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

double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return v.empty() ? 0 : sum / v.size();
}

void print_row(const char* what, const std::vector<double>& ms) {
    std::printf("%-34s %8.1f %8.1f %8.1f %8.1f   (%zu frames)\n", what, *std::min_element(ms.begin(), ms.end()), median(ms),
                mean(ms), *std::max_element(ms.begin(), ms.end()), ms.size());
}

// One visit of the bundled page; fails the run when it did not end or drew on another driver.
Visit visit(const std::filesystem::path& site, const std::string& path, const BrowserSetup& setup) {
    Browser browser(site, {path}, setup);
    std::vector<Visit> v = browser.run(900);
    if (v.size() != 1) {
        std::fprintf(stderr, "web_bench: the page %s did not end\n%s\n", path.c_str(), browser.chromium_log().substr(0, 3000).c_str());
        std::exit(1);
    }
    // A silent fall-back to SwiftShader (or any other driver) would time the wrong thing.
    if (v[0].renderer.find("llvmpipe") == std::string::npos) {
        std::fprintf(stderr, "web_bench: the page drew on \"%s\", not on llvmpipe\n", v[0].renderer.c_str());
        std::exit(1);
    }
    return v[0];
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 100.0;
    int frames = argc > 2 ? std::atoi(argv[2]) : 12;
    if (seconds < 0 || seconds > SHOW_LENGTH_MS / 1000.0 || frames < 2) {
        std::fprintf(stderr, "usage: web_bench [SECONDS [FRAMES]], run from the show's folder with DISPLAY set\n");
        return 2;
    }
    int32_t t = (int32_t)(seconds * 1000);

    // The desktop: the show's window and loading, then frames at the show times its clock gives,
    // each finished before the next, as the swap of a real frame loop waits for it.
    window_state.fullscreen = 1;
    if (!window_init(&window_state) || !intro_init()) {
        std::fprintf(stderr, "web_bench: needs a %dx%d X display with GL, run from the show's folder\n", SCREEN_WIDTH,
                     SCREEN_HEIGHT);
        window_shutdown(&window_state);
        return 1;
    }
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    std::string desktop_gl = renderer ? renderer : "?";
    render_clear_feedback();
    // The first frame also compiles the programs: it is drawn before the clock starts.
    render_frame(t);
    plat_swap(window_state.device_context);
    glFinish();
    std::vector<double> desktop;
    auto clock_start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        auto start = std::chrono::steady_clock::now();
        render_frame(t + (int32_t)std::chrono::duration<double, std::milli>(start - clock_start).count());
        plat_swap(window_state.device_context);
        glFinish();
        desktop.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    window_shutdown(&window_state);

    // The page through ANGLE on the same driver, played from the same time; a frame's time is from
    // one frame on the canvas to the next.
    ScratchDir dir;
    std::filesystem::path site = dir.path / "site";
    std::filesystem::create_directories(site);
    std::filesystem::create_symlink(ORUVANE_WEB_DIST, site / "dist");
    BrowserSetup host_gl{true, 0, 0, {}};
    Visit played = visit(site, "/dist/index.html?at=" + std::to_string(seconds) + "#read=0&frames=" + std::to_string(frames + 1), host_gl);
    std::vector<Visit::Present> shown = played.presents_titled("oruvane");
    if (shown.size() < (size_t)frames + 1) {
        std::fprintf(stderr, "web_bench: the page drew %zu frames, not %d\n", shown.size(), frames + 1);
        return 1;
    }
    std::vector<double> web;
    for (size_t i = 1; i < shown.size(); ++i) web.push_back(shown[i].t - shown[i - 1].t);

    // Opening the page, over the throttled link and over loopback.
    BrowserSetup throttled{true, 25, 20, {}};
    Visit slow = visit(site, "/dist/index.html#read=0&frames=1", throttled);
    Visit fast = visit(site, "/dist/index.html#read=0&frames=1", host_gl);

    std::printf("desktop GL: %s\npage WebGL: %s\n", desktop_gl.c_str(), played.renderer.c_str());
    std::printf("\nframe from show time %.1f s (%s)       min   median     mean      max  ms\n", seconds, [&] {
        for (const SceneSlot& s : scene_slots)
            if (t >= s.start_ms && t < s.end_ms) return s.label;
        return "?";
    }());
    print_row("desktop (render + swap)", desktop);
    print_row("page (Chromium, ANGLE on the GL)", web);
    // Without a read-back a page's frames overlap in the browser's pipeline, so that single
    // intervals scatter: the mean over the frames is its rate.
    std::printf("page / desktop: %.2fx (means), %.2fx (medians)\n", mean(web) / mean(desktop), median(web) / median(desktop));

    std::printf("\nopening the page (%.1f MB)              downloads done   first show frame\n", slow.download_bytes() / 1048576);
    for (const Visit* v : {&slow, &fast}) {
        std::vector<Visit::Present> first = v->presents_titled("oruvane");
        std::printf("%-38s %10.0f ms %15.0f ms\n", v == &slow ? "over 25 Mbit/s, 20 ms latency" : "over loopback",
                    v->downloads_done(), first.empty() ? 0.0 : first.front().t);
    }
    std::printf("\nthe downloads over 25 Mbit/s          bytes    asked for   came in (ms)\n");
    for (const Visit::Download& d : slow.downloads)
        std::printf("%-34s %9.0f %12.0f %12.0f\n", d.path.c_str(), d.bytes, d.start, d.end);
    return 0;
}
