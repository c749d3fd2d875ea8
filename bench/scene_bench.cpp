// Frame time of every scene of the bundled show on the current driver, against a reference: a
// plain 64-step sphere-tracer of a sphere on a plane with one light, drawn by the same harness in
// the same run. Each scheduled scene is drawn through render_frame in the middle of its slot, the
// two unscheduled ones borrow the first slot. Run from the folder holding the show's files, e.g.
// build/show:  scene_bench [--frames N] [--shots DIR] [LABEL...]
#define GL_GLEXT_PROTOTYPES 1  // the link status is read straight from the library
#include <GL/gl.h>
#include <GL/glext.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "load/gl_entry.h"
#include "load/intro.h"
#include "render/render.h"
#include "runner/window.h"
#include "timeline/cues.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

const char* REFERENCE_VERTEX =
    "#version 120\nvarying vec2 uv;\n"
    "void main() { gl_Position = gl_Vertex; uv = gl_Vertex.xy * 0.5 + 0.5; }\n";
const char* REFERENCE_FRAGMENT = R"(#version 120
uniform vec2 resolution;
uniform float time;
varying vec2 uv;
float map(vec3 p) { return min(length(p - vec3(0.0, 1.0, 0.0)) - 1.0, p.y); }
vec3 normal(vec3 p) {
    vec2 e = vec2(0.001, 0.0);
    return normalize(vec3(map(p + e.xyy) - map(p - e.xyy), map(p + e.yxy) - map(p - e.yxy),
                          map(p + e.yyx) - map(p - e.yyx)));
}
void main() {
    vec2 q = (uv * 2.0 - 1.0) * vec2(resolution.x / resolution.y, 1.0);
    float a = time * 0.2;
    vec3 ro = vec3(4.0 * sin(a), 1.6, -4.0 * cos(a));
    vec3 fw = normalize(vec3(0.0, 0.8, 0.0) - ro), rt = normalize(cross(vec3(0.0, 1.0, 0.0), fw));
    vec3 rd = normalize(q.x * rt + q.y * cross(fw, rt) + 1.8 * fw);
    float t = 0.0;
    for (int i = 0; i < 64; i++) {
        float d = map(ro + rd * t);
        if (d < 0.001 * t || t > 40.0) break;
        t += d;
    }
    vec3 col = vec3(0.6, 0.7, 0.9) - rd.y * 0.3;
    if (t < 40.0) {
        vec3 p = ro + rd * t, n = normal(p), l = normalize(vec3(0.6, 0.8, -0.4));
        col = vec3(0.8, 0.75, 0.7) * (0.15 + 0.85 * max(dot(n, l), 0.0));
    }
    gl_FragColor = vec4(col, 1.0);
}
)";

GLuint build_reference() {
    GLuint program = glCreateProgram();
    GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, &REFERENCE_VERTEX, nullptr);
    glShaderSource(fs, 1, &REFERENCE_FRAGMENT, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    return ok ? program : 0;
}

struct Scene {
    const char* label;
    uint32_t program;
    int32_t t;
    std::vector<double> ms;
};

// Saves the presented frame as a quarter-size PNG (box-filtered), for comparing looks.
void save_shot(const std::string& path) {
    const int w = SCREEN_WIDTH, h = SCREEN_HEIGHT, f = 4;
    std::vector<unsigned char> full((size_t)w * h * 4), small((size_t)(w / f) * (h / f) * 3);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, full.data());
    for (int y = 0; y < h / f; ++y)
        for (int x = 0; x < w / f; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < f; ++j)
                    for (int i = 0; i < f; ++i) sum += full[((size_t)(y * f + j) * w + (x * f + i)) * 4 + c];
                // GL rows run bottom up, image rows top down.
                small[((size_t)(h / f - 1 - y) * (w / f) + x) * 3 + c] = (unsigned char)(sum / (f * f));
            }
    if (!stbi_write_png(path.c_str(), w / f, h / f, 3, small.data(), (w / f) * 3))
        std::fprintf(stderr, "scene_bench: cannot write %s\n", path.c_str());
}

void measure(Scene& s, int frames, const std::string& shots) {
    int base = track_count;
    cue_program(s.t - 1000, s.program);  // the reference and the unscheduled scenes borrow a slot
    for (int k = 2; k >= 1; --k) render_frame(s.t - k * 40);  // warm-up, and a previous frame
    glFinish();
    for (int i = 0; i < frames; ++i) {
        auto a = std::chrono::steady_clock::now();
        render_frame(s.t + i * 40);
        glFinish();
        auto b = std::chrono::steady_clock::now();
        s.ms.push_back(std::chrono::duration<double, std::milli>(b - a).count());
        if (i == 0 && !shots.empty()) save_shot(shots + "/" + s.label + ".png");
    }
    track_count = base;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 5;
    std::string shots;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--shots") && i + 1 < argc) {
            shots = argv[++i];
        } else if (argv[i][0] == '-') {
            std::printf("usage: scene_bench [--frames N] [--shots DIR] [LABEL...]\n"
                        "Times every scene (or the LABELs) against a reference sphere-tracer; run from the show's folder.\n"
                        "--shots DIR saves each scene's first timed frame there as a quarter-size PNG.\n");
            return std::strcmp(argv[i], "--help") ? 2 : 0;
        } else {
            only.push_back(argv[i]);
        }
    }
    if (frames < 1) frames = 1;

    window_state.fullscreen = 1;
    if (!window_init(&window_state) || !intro_init()) {
        std::fprintf(stderr, "scene_bench: needs a %dx%d X display with GL, run from the show's folder\n",
                     SCREEN_WIDTH, SCREEN_HEIGHT);
        window_shutdown(&window_state);
        return 1;
    }
    const SceneSlot& first = scene_slots[0];
    const int32_t borrowed = (first.start_ms + first.end_ms) / 2;
    std::vector<Scene> scenes;
    scenes.push_back({"ref", build_reference(), borrowed, {}});
    if (!scenes[0].program) {
        std::fprintf(stderr, "scene_bench: the reference program does not build\n");
        window_shutdown(&window_state);
        return 1;
    }
    for (const SceneSlot& slot : scene_slots) scenes.push_back({slot.label, program_set.*slot.program, (slot.start_ms + slot.end_ms) / 2, {}});
    scenes.push_back({"pt07", program_set.pt07, borrowed, {}});
    scenes.push_back({"pt09", program_set.pt09, borrowed, {}});

    std::printf("scene  show time   ms/frame (scene + post + copy, %d frames)\n", frames);
    std::printf("                   min    median       max\n");
    double reference = 0;
    for (Scene& s : scenes) {
        bool wanted = only.empty() || s.label == std::string("ref") ||
                      std::find(only.begin(), only.end(), s.label) != only.end();
        if (!wanted) continue;
        measure(s, frames, shots);
        double med = median(s.ms);
        if (s.label == std::string("ref")) reference = med;
        std::printf("%-5s  %7.1f s  %8.1f  %8.1f  %8.1f\n", s.label, s.t / 1000.0,
                    *std::min_element(s.ms.begin(), s.ms.end()), med, *std::max_element(s.ms.begin(), s.ms.end()));
        std::fflush(stdout);
    }
    std::printf("\nmedian frame time as a ratio to the reference\n");
    for (const Scene& s : scenes)
        if (!s.ms.empty() && s.label != std::string("ref")) std::printf("%s %.2fx\n", s.label, median(s.ms) / reference);
    window_shutdown(&window_state);
    return 0;
}
