// Frame time of every scene of the bundled show on the current driver, against a reference: a
// plain 64-step sphere-tracer of a sphere on a plane with one light, drawn by the same harness in
// the same run. Each scheduled scene is drawn through render_frame in the middle of its slot, the
// two unscheduled ones borrow the first slot. Run from the folder holding the show's files, e.g.
// build/show:  scene_bench [--frames N] [--shots DIR] [LABEL...]
// With --project DIR it times a show project instead (its show.cues and GLSL sources, as the
// starter project holds them) against a flat-colour scene: the budget a project's scenes are
// held to is a frame of at most 1.5 times one whose scene pass does nothing.
#define GL_GLEXT_PROTOTYPES 1  // the link status is read straight from the library
#include <GL/gl.h>
#include <GL/glext.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "common/cue_sheet.h"
#include "common/slot_lines.h"
#include "load/gl_entry.h"
#include "load/intro.h"
#include "project_files.h"
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

// The reference of a project: a scene pass that only fills the target with one colour, so the
// ratio is what a scene costs on top of the post pass and the copy every frame pays.
const char* FLAT_FRAGMENT = "#version 120\nvoid main() { gl_FragColor = vec4(0.4, 0.4, 0.4, 1.0); }\n";

GLuint build_reference(const char* fragment) {
    GLuint program = glCreateProgram();
    GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, &REFERENCE_VERTEX, nullptr);
    glShaderSource(fs, 1, &fragment, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    return ok ? program : 0;
}

// One timed frame: the wall-clock time, and the processor time of the whole process (the
// driver's rendering threads included). Other work on a shared machine delays a frame far more
// than it adds to the processor time the frame takes, so the ratios are taken from the latter.
struct Sample {
    double wall_ms;
    double cpu_ms;
};

struct Scene {
    const char* label;
    uint32_t program;
    int32_t t;
    std::vector<Sample> samples;
    std::vector<double> ratios;  // per scene frame, against the reference frames on either side
};

double cpu_ms_now() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

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

// Draws `program` as the scene at show time t and times it until the GL is done.
Sample timed_frame(uint32_t program, int32_t t) {
    int base = track_count;
    cue_program(t - 1000, program);  // the reference and the unscheduled scenes borrow a slot
    auto a = std::chrono::steady_clock::now();
    double cpu_a = cpu_ms_now();
    render_frame(t);
    glFinish();
    double cpu_b = cpu_ms_now();
    auto b = std::chrono::steady_clock::now();
    track_count = base;
    return {std::chrono::duration<double, std::milli>(b - a).count(), cpu_b - cpu_a};
}

// Reference and scene frames alternate, a reference frame on either side of every scene frame,
// and each scene frame is set against the mean of its two neighbours: a load that changes
// slowly weighs on both alike, and one that comes and goes shows as spread between the ratios.
void measure(Scene& s, Scene& reference, int frames, const std::string& shots) {
    for (int k = 2; k >= 0; --k) timed_frame(s.program, s.t - k * 40);  // warm-up, and a previous frame
    if (!shots.empty()) save_shot(shots + "/" + s.label + ".png");
    Sample before = timed_frame(reference.program, reference.t);
    reference.samples.push_back(before);
    for (int i = 0; i < frames; ++i) {
        Sample scene = timed_frame(s.program, s.t + (i + 1) * 40);
        Sample after = timed_frame(reference.program, reference.t + (i + 1) * 40);
        s.samples.push_back(scene);
        reference.samples.push_back(after);
        s.ratios.push_back(2 * scene.cpu_ms / (before.cpu_ms + after.cpu_ms));
        before = after;
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> walls(const std::vector<Sample>& v) {
    std::vector<double> out;
    for (const Sample& s : v) out.push_back(s.wall_ms);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 9;
    std::string shots, project_dir;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--shots") && i + 1 < argc) {
            shots = argv[++i];
        } else if (!std::strcmp(argv[i], "--project") && i + 1 < argc) {
            project_dir = argv[++i];
        } else if (argv[i][0] == '-') {
            std::printf("usage: scene_bench [--frames N] [--shots DIR] [--project DIR] [LABEL...]\n"
                        "Times every scene (or the LABELs) against a reference sphere-tracer; run from the show's folder.\n"
                        "Each of N scene frames (default 9) sits between two reference frames; its ratio is its\n"
                        "processor time over theirs, and a scene's ratio is the median of its N, shown with their range.\n"
                        "--shots DIR saves each scene's first timed frame there as a quarter-size PNG.\n"
                        "--project DIR times the scenes of a show project (show.cues, pt01.vsh ... post.fsh, logo.png)\n"
                        "against a flat-colour scene instead, on the project's own post program and script.\n");
            return std::strcmp(argv[i], "--help") ? 2 : 0;
        } else {
            only.push_back(argv[i]);
        }
    }
    if (frames < 1) frames = 1;

    // A project is loaded through the show's own loader: its programs, given their slots from its
    // sheet, are written as scene files into a scratch folder beside its logo and loaded from
    // there, and the sheet's script then replaces the compiled-in one.
    sheet::Script project;
    std::filesystem::path previous = std::filesystem::current_path();
    std::string scratch;
    if (!project_dir.empty()) {
        char name[] = "/tmp/scene_bench-XXXXXX";
        if (!mkdtemp(name)) {
            std::fprintf(stderr, "scene_bench: cannot make a scratch folder\n");
            return 1;
        }
        scratch = name;
        project_dir = std::filesystem::absolute(project_dir).string();
        std::filesystem::current_path(scratch);
        std::string why;
        if (!write_project_show(project_dir, project, why)) {
            std::fprintf(stderr, "scene_bench: %s\n", why.c_str());
            std::filesystem::current_path(previous);
            std::filesystem::remove_all(scratch);
            return 1;
        }
    }
    window_state.fullscreen = 1;
    bool loaded = window_init(&window_state) && intro_init();
    if (!scratch.empty()) {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(scratch);
    }
    if (!loaded) {
        std::fprintf(stderr, "scene_bench: needs a %dx%d X display with GL, run from the show's folder\n",
                     SCREEN_WIDTH, SCREEN_HEIGHT);
        window_shutdown(&window_state);
        return 1;
    }
    // The scheduled scenes in show order, each in the middle of its slot; the programs no slot
    // names borrow the first.
    std::vector<SlotSpan> slots = built_in_slots();
    if (!project_dir.empty()) {
        slots.clear();
        for (const sheet::Slot& s : project.slots) slots.push_back({s.label, s.start_ms, s.end_ms});
        script_clear();
        script_run(project.cues.data(), (int32_t)project.cues.size());
    }
    const int32_t borrowed = (slots[0].start_ms + slots[0].end_ms) / 2;
    std::vector<Scene> scenes;
    scenes.push_back({"ref", build_reference(project_dir.empty() ? REFERENCE_FRAGMENT : FLAT_FRAGMENT), borrowed, {}, {}});
    if (!scenes[0].program) {
        std::fprintf(stderr, "scene_bench: the reference program does not build\n");
        window_shutdown(&window_state);
        return 1;
    }
    for (const SlotSpan& slot : slots)
        for (const ProgramEntry& e : PROGRAM_TABLE)
            if (slot.label == e.label) scenes.push_back({e.label, program_set.*e.program, (slot.start_ms + slot.end_ms) / 2, {}, {}});
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        bool scheduled = std::any_of(slots.begin(), slots.end(), [&](const SlotSpan& s) { return s.label == e.label; });
        if (!scheduled && e.program != &ProgramSet::post) scenes.push_back({e.label, program_set.*e.program, borrowed, {}, {}});
    }

    if (!shots.empty()) std::filesystem::create_directories(shots);
    timed_frame(scenes[0].program, scenes[0].t);  // warm-up
    std::printf("scene  show time   wall ms/frame (scene + post + copy)   reference     ratio of processor time, %d frames\n", frames);
    std::printf("                   min    median       max            median        median   (range)    wall median\n");
    for (size_t i = 1; i < scenes.size(); ++i) {
        Scene& s = scenes[i];
        if (!only.empty() && std::find(only.begin(), only.end(), s.label) == only.end()) continue;
        size_t first_ref = scenes[0].samples.size();
        measure(s, scenes[0], frames, shots);
        std::vector<Sample> ref(scenes[0].samples.begin() + (long)first_ref, scenes[0].samples.end());
        std::vector<double> wall = walls(s.samples), ref_wall = walls(ref), wall_ratios;
        for (size_t k = 0; k < s.samples.size(); ++k) wall_ratios.push_back(2 * wall[k] / (ref_wall[k] + ref_wall[k + 1]));
        std::printf("%-5s  %7.1f s  %8.1f  %8.1f  %8.1f       %8.1f        %.2fx  (%.2f-%.2f)   %.2fx\n", s.label,
                    s.t / 1000.0, *std::min_element(wall.begin(), wall.end()), median(wall),
                    *std::max_element(wall.begin(), wall.end()), median(ref_wall), median(s.ratios),
                    *std::min_element(s.ratios.begin(), s.ratios.end()), *std::max_element(s.ratios.begin(), s.ratios.end()),
                    median(wall_ratios));
        std::fflush(stdout);
    }
    std::vector<double> r = walls(scenes[0].samples);
    if (!r.empty())
        std::printf("ref    %7.1f s  %8.1f  %8.1f  %8.1f  (all reference frames)\n", scenes[0].t / 1000.0,
                    *std::min_element(r.begin(), r.end()), median(r), *std::max_element(r.begin(), r.end()));
    std::printf("\nframe time as a ratio to the reference (median, and the range of the single frames)\n");
    for (size_t i = 1; i < scenes.size(); ++i)
        if (!scenes[i].ratios.empty())
            std::printf("%s %.2fx (%.2f-%.2f)\n", scenes[i].label, median(scenes[i].ratios),
                        *std::min_element(scenes[i].ratios.begin(), scenes[i].ratios.end()),
                        *std::max_element(scenes[i].ratios.begin(), scenes[i].ratios.end()));
    window_shutdown(&window_state);
    return 0;
}
