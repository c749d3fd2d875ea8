// Frame time of every scene of the bundled show at 1920x1080 on the current driver: each
// scheduled scene (and the two unscheduled ones) drawn through render_frame at a moment inside
// its slot. Run from the folder holding the show's files, e.g. build/show.
#include <GL/gl.h>
#include <chrono>
#include <cstdio>

#include "load/intro.h"
#include "render/render.h"
#include "runner/window.h"
#include "timeline/cues.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

int main() {
    window_state.fullscreen = 1;
    if (!window_init(&window_state) || !intro_init()) {
        std::fprintf(stderr, "scene_bench: needs a 1920x1080 X display with GL, run from the show's folder\n");
        window_shutdown(&window_state);
        return 1;
    }
    struct Scene {
        const char* label;
        uint32_t program;
        int32_t t;
    } scenes[] = {
        {"pt05", program_set.pt05, 20000}, {"pt04", program_set.pt04, 60000},  {"pt06", program_set.pt06, 85000},
        {"pt03", program_set.pt03, 110000}, {"pt08", program_set.pt08, 140000}, {"pt01", program_set.pt01, 175000},
        {"pt02", program_set.pt02, 220000}, {"pt07", program_set.pt07, 30000},  {"pt09", program_set.pt09, 30000},
    };
    const int frames = 8;
    std::printf("scene  show time  ms/frame (scene + post + copy, %d frames)\n", frames);
    for (const Scene& s : scenes) {
        int base = track_count;
        cue_program(s.t - 1000, s.program);  // unscheduled scenes borrow a slot
        render_frame(s.t);                   // warm-up: shader variants, first-use costs
        glFinish();
        auto a = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) render_frame(s.t + i * 40);
        glFinish();
        auto b = std::chrono::steady_clock::now();
        track_count = base;
        std::printf("%-5s  %7.1f s  %8.1f\n", s.label, s.t / 1000.0,
                    std::chrono::duration<double, std::milli>(b - a).count() / frames);
    }
    window_shutdown(&window_state);
    return 0;
}
