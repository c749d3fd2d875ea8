// Capture throughput against the render-only frame rate of the same frames on the same driver,
// side by side in one run: rounds alternate between drawing the frames alone and capturing them
// to H.264 + AAC (the tool's default), so load from elsewhere on the machine hits both alike.
// Usage: capture_bench [SHOW_DIR [FRAMES [ROUNDS [FROM_SECONDS]]]]; without SHOW_DIR a trivial
// probe show is made in a scratch folder. Runs headless (EGL).
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music.h"
#include "timeline/script.h"
#include "capture.h"
#include "load/intro.h"
#include "platform/audio_decode.h"
#include "platform/headless.h"
#include "render/render.h"
#include "show_files.h"

namespace {

const char* SCENE =
    "#version 120\nuniform float time;\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv, fract(time), 1.0); }\n";
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture; uniform sampler2D backBuffer; uniform float gamma;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = texture2D(renderedTexture, uv) * gamma + texture2D(backBuffer, uv) * 0.1; }\n";

double seconds_since(std::chrono::steady_clock::time_point a) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 2 ? std::atoi(argv[2]) : 60;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const double from = argc > 4 ? std::atof(argv[4]) : 0;
    const std::filesystem::path show = argc > 1 ? std::filesystem::absolute(argv[1]) : "";
    ScratchDir scratch;  // the probe show, and the videos of every show
    std::string label = "probe show";
    if (argc > 1) {
        std::filesystem::current_path(show);
        label = argv[1];
    } else {
        std::vector<std::string> fragments(9, SCENE);
        fragments.push_back(POST);
        write_show(fragments);
    }
    if (!headless_open(SCREEN_WIDTH, SCREEN_HEIGHT) || !intro_init()) {
        std::fprintf(stderr, "capture_bench: cannot load the show (%s)\n", headless_error());
        return 1;
    }
    static AudioDecoder music;
    bool have_music = music_decoder_open(&music);
    CaptureRange range;
    range.fps = 60;
    range.from_ms = (int32_t)(from * 1000);
    range.to_ms = range.from_ms + (int32_t)((frames * 1000 + 59) / 60);
    const int64_t count = capture_frame_count(range);

    std::vector<double> render_fps, capture_fps;
    for (int r = 0; r < rounds; ++r) {
        auto a = std::chrono::steady_clock::now();
        for (int64_t n = 0; n < count; ++n) render_frame(capture_frame_time(range, n));
        glFinish();
        render_fps.push_back(count / seconds_since(a));

        SinkOptions o;
        o.out = (scratch.path / "bench.mp4").string();
        o.width = SCREEN_WIDTH;
        o.height = SCREEN_HEIGHT;
        std::string error;
        auto b = std::chrono::steady_clock::now();
        SinkPtr sink = sink_open(o, error);
        if (!sink || !capture_run(range, *sink, have_music ? &music : nullptr, CaptureProgress{}, error)) {
            std::fprintf(stderr, "capture_bench: %s\n", error.c_str());
            return 1;
        }
        capture_fps.push_back(count / seconds_since(b));
        std::printf("round %d: render-only %7.3f fps, capture %7.3f fps\n", r + 1, render_fps.back(), capture_fps.back());
        std::fflush(stdout);
    }
    double render = median(render_fps), captured = median(capture_fps);
    std::printf("%s, %lld frames of 1920x1080 from %.1f s, median of %d rounds:\n", label.c_str(), (long long)count,
                from, rounds);
    std::printf("render-only  %8.3f fps\ncapture      %8.3f fps (H.264 + AAC)\nratio        %8.3f\n", render, captured,
                captured / render);
    decoder_close(&music);
    headless_close();
    return 0;
}
