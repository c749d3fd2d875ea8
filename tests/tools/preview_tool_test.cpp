// oruvane-preview under Xvfb with a probe show whose scenes each paint their own colour: it starts
// at the asked time, rebuilds a saved shader in place, keeps the old picture when the new text
// is broken, and wraps a looped range.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <stb_image.h>
#include <stb_image_write.h>
#include <thread>

#include "process.h"
#include "show_files.h"

namespace {

// Scene n paints (n / 10, 0.5, 1 - n / 10); the post program shows the scene as it is.
std::string scene(double r, double g, double b) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(%.2f, %.2f, %.2f, 1.0); }\n", r, g, b);
    return buf;
}
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = texture2D(renderedTexture, uv); }\n";

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

// The screen's pixels whose colour is within 4 of `rgb`, as (x, y) from the top left.
std::vector<std::pair<int, int>> pixels_of(const std::string& shot, int r, int g, int b) {
    std::vector<std::pair<int, int>> found;
    int w = 0, h = 0, n = 0;
    unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 3);
    for (int y = 0; p && y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* c = p + (size_t(y) * w + x) * 3;
            if (std::abs(c[0] - r) <= 4 && std::abs(c[1] - g) <= 4 && std::abs(c[2] - b) <= 4) found.emplace_back(x, y);
        }
    stbi_image_free(p);
    return found;
}

// A sheet of the maker's for the editor: gamma keys at 0 s and 100 s.
const std::string GAMMA_SHEET = "length 240.000\nmark flash 1.000\nmark logo 200.000\nscene 0.000 pt01\n"
                                "set 0.000 gamma 1\nset 100.000 gamma 0.5   # dragged\n";

class PreviewTool : public ::testing::Test {
public:
    ScratchDir dir;
    pid_t pid = -1;
    void SetUp() override {
        ASSERT_FALSE(display().empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
        std::vector<std::string> f, v;
        std::filesystem::create_directory("src");
        for (int i = 0; i < 9; ++i) f.push_back(scene((i + 1) / 10.0, 0.5, 1 - (i + 1) / 10.0));
        f.push_back(POST);
        write_show(f);
        // The same programs as sources, for --src.
        const char* labels[10] = {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"};
        for (int i = 0; i < 10; ++i) {
            write_file(std::string("src/") + labels[i] + ".vsh", probe_vertex());
            write_file(std::string("src/") + labels[i] + ".fsh", f[i]);
        }
        const unsigned char logo[4] = {255, 255, 255, 255};
        stbi_write_png("bitmap.png", 1, 1, 4, logo, 4);
    }
    void TearDown() override {
        if (pid > 0 && alive(pid)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    void start(const std::vector<std::string>& args) {
        Spawn s;
        s.cwd = dir.path.string();
        s.env = {{"SDL_AUDIODRIVER", "dummy"}};
        s.out = (dir.path / "stdout.txt").string();
        s.err = (dir.path / "stderr.txt").string();
        s.args = args;
        pid = spawn(PREVIEW_PATH, s);
        ASSERT_FALSE(x_wait_window(display(), "oruvane-preview", 20).empty()) << err();
    }
    std::string out() { return read_file((dir.path / "stdout.txt").string()); }
    std::string err() { return read_file((dir.path / "stderr.txt").string()); }
    // The colour at (x, y) from the top left of the screen.
    std::vector<int> pixel(int x, int y) {
        std::string shot = (dir.path / "shot.png").string();
        x_run(display(), "import -window root " + shot);
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 3);
        if (!p) return {};
        const unsigned char* c = p + (size_t(y) * w + x) * 3;
        std::vector<int> rgb{c[0], c[1], c[2]};
        stbi_image_free(p);
        return rgb;
    }
    // Waits up to `seconds` for the pixel at (x, y) to satisfy `ok`.
    template <class Ok>
    bool wait_pixel(int x, int y, Ok ok, double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            std::vector<int> c = pixel(x, y);
            if (c.size() == 3 && ok(c)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    // Waits up to `seconds` for the middle of the screen to show `rgb` (within 2 of each channel).
    bool wait_colour(std::vector<int> rgb, double seconds) {
        return wait_pixel(960, 540, [&](const std::vector<int>& c) {
            return std::abs(c[0] - rgb[0]) <= 2 && std::abs(c[1] - rgb[1]) <= 2 && std::abs(c[2] - rgb[2]) <= 2;
        }, seconds);
    }
    // Where the track view shows the gamma row's keys (the only pixels of their colour): the left
    // edge of the first (cut in half at 0 s by the view's edge) and the centre of the last.
    struct GammaKeys {
        bool found = false;
        int left = 0, last_x = 0, y = 0;
        size_t pixels = 0;
    };
    GammaKeys gamma_keys(int tries = 50) {
        GammaKeys k;
        std::string shot = (dir.path / "editor.png").string();
        for (int t = 0; t < tries; ++t) {
            if (t > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
            x_run(display(), "import -window root " + shot);
            std::vector<std::pair<int, int>> keys = pixels_of(shot, 217, 26, 26);
            if (keys.empty()) continue;
            int left = 1 << 30, right = 0;
            for (auto& p : keys) left = std::min(left, p.first), right = std::max(right, p.first);
            long sum_x = 0, sum_y = 0, count = 0;
            for (auto& p : keys)
                if (p.first > right - 12) sum_x += p.first, sum_y += p.second, ++count;
            k = GammaKeys{true, left, (int)(sum_x / count), (int)(sum_y / count), keys.size()};
            break;
        }
        return k;
    }
    bool wait_text(std::string (PreviewTool::*stream)(), const std::string& text, double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            if ((this->*stream)().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
};

TEST_F(PreviewTool, StartsAtTheAskedSceneAndReloadsSavedShaders) {
    start({"--at", "100", "--src", "src", "--no-music"});
    // 100 s is pt03's stretch: (0.3, 0.5, 0.7).
    EXPECT_TRUE(wait_colour({77, 128, 179}, 10)) << err();

    write_file("src/pt03.fsh", scene(0.9, 0.1, 0.2));
    EXPECT_TRUE(wait_colour({230, 26, 51}, 5)) << err();
    EXPECT_TRUE(wait_text(&PreviewTool::out, "reloaded pt03: built in", 5)) << out();

    // Broken on line 3: the driver's log with file and line, and the last good picture stays.
    write_file("src/pt03.fsh", "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(1.0) }\n");
    std::string where = (dir.path / "src/pt03.fsh:3:").string();
    EXPECT_TRUE(wait_text(&PreviewTool::err, where, 5)) << err();
    EXPECT_TRUE(wait_colour({230, 26, 51}, 1));
    ASSERT_TRUE(alive(pid));

    // Space pauses; Tab shows the overlay in the top-left corner (beside its first line of text).
    x_run(display(), "xdotool mousemove 960 540 key space key Tab");
    EXPECT_TRUE(wait_text(&PreviewTool::out, "paused at 1", 5)) << out();
    EXPECT_TRUE(wait_pixel(500, 40, [](const std::vector<int>& c) { return c[0] < 200; }, 5));
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0) << err();
}

TEST_F(PreviewTool, WithoutSourcesARewrittenSceneFileRebuildsItsProgram) {
    start({"--at", "60", "--no-music"});
    // 60 s is pt04's stretch: (0.4, 0.5, 0.6). Its fragment text is scene file 7.
    EXPECT_TRUE(wait_colour({102, 128, 153}, 10)) << err();
    write_scene_file(7, scene(0.9, 0.1, 0.2));
    EXPECT_TRUE(wait_colour({230, 26, 51}, 5)) << err();
    EXPECT_TRUE(wait_text(&PreviewTool::out, "reloaded pt04: built in", 5)) << out();
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0) << err();
}

TEST_F(PreviewTool, LoopWrapsBackToTheRangeStart) {
    start({"--loop", "94", "98", "--no-music"});
    // The range straddles pt06's hand-over to pt03: the picture shows each scene in turn.
    EXPECT_TRUE(wait_text(&PreviewTool::out, "loop: back to 94.000 s", 15)) << out() << err();
    EXPECT_TRUE(wait_colour({153, 128, 102}, 5));  // pt06: (0.6, 0.5, 0.4)
    EXPECT_TRUE(wait_colour({77, 128, 179}, 5));   // pt03
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0) << err();
}

// The bundled show's own sources, as the README tells a maker to rehearse them: every program
// rebuilds from its source exactly as the build compiles it, and a mistake is reported on the line
// of the source file it is on.
TEST_F(PreviewTool, TheBundledShowsSourcesRebuildAndAMistakeIsReportedOnItsOwnLine) {
    std::filesystem::remove_all("src");
    std::filesystem::copy(SHOW_SOURCE_DIR, "src");
    start({"--dir", SHOW_BUILD_DIR, "--src", "src", "--at", "97", "--no-music"});
    ASSERT_TRUE(wait_text(&PreviewTool::out, "playing from 97.000 s", 60)) << err();
    for (const char* label : {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"}) {
        for (const char* stage : {".vsh", ".fsh"}) {
            std::string name = std::string("src/") + label + stage;
            write_file(name, read_file(name));
        }
    }
    for (const char* label : {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"})
        EXPECT_TRUE(wait_text(&PreviewTool::out, std::string("reloaded ") + label + ":", 90)) << label << "\n" << out() << err();
    EXPECT_EQ(err().find("does not compile"), std::string::npos) << err();
    // A mistake on line 40 of pt06's fragment source.
    std::string text = read_file("src/pt06.fsh");
    size_t at = 0;
    for (int line = 1; line < 40; ++line) at = text.find('\n', at) + 1;
    text.insert(at, "float broken = ;\n");
    write_file("src/pt06.fsh", text);
    EXPECT_TRUE(wait_text(&PreviewTool::err, (dir.path / "src/pt06.fsh:40:").string(), 60)) << err();
    x_run(display(), "xdotool key Escape");
    EXPECT_EQ(wait_exit(pid, 60), 0) << err();
}

// The editor on a sheet of the maker's: a gamma key dragged from 100 s to about 7 s with the
// pointer and saved, the sheet on disk says so, the timeline tool reads the new value there, and
// a show built from that sheet plays it.
TEST_F(PreviewTool, AKeyDraggedInTheEditorIsSavedAndAShowBuiltFromTheSheetPlaysIt) {
    const std::string sheet = GAMMA_SHEET;
    write_file("show.cues", sheet);
    write_scene_file(19, "#version 120\nuniform float gamma;\nvoid main(){ gl_FragColor = vec4(vec3(gamma), 1.0); }\n");
    start({"--script", "show.cues", "--no-music"});
    ASSERT_TRUE(wait_text(&PreviewTool::out, "playing from 0.000 s", 30)) << err();
    x_run(display(), "xdotool mousemove 960 200 key Tab");
    GammaKeys k = gamma_keys();
    ASSERT_TRUE(k.found) << "no gamma keys on the screen";
    int left = k.left, key_x = k.last_x, key_y = k.y;
    double px_per_s = (key_x - left) / 100.0;  // the first key is cut in half at 0 s by the view's edge
    int to_x = left + (int)std::lround(7 * px_per_s);
    std::string xy = std::to_string(key_x) + " " + std::to_string(key_y);
    x_run(display(), "xdotool mousemove " + xy + " sleep 0.5 mousedown 1 sleep 0.3");
    for (int step = 1; step <= 8; ++step)
        x_run(display(), "xdotool mousemove " + std::to_string(key_x + (to_x - key_x) * step / 8) + " " + std::to_string(key_y) +
                             " sleep 0.15");
    x_run(display(), "xdotool sleep 0.3 mouseup 1 sleep 0.3 key ctrl+s");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (read_file("show.cues") == sheet && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string saved = read_file("show.cues");
    ASSERT_NE(saved, sheet) << err();
    size_t at = saved.find("\nset ", saved.find("set 0.000 gamma 1"));
    ASSERT_NE(at, std::string::npos) << saved;
    double t = std::stod(saved.substr(at + 5));
    EXPECT_NEAR(t, 7.0, 1.5) << saved;
    EXPECT_NE(saved.find(" gamma 0.5   # dragged\n"), std::string::npos) << "the line keeps its comment: " << saved;
    EXPECT_EQ(saved.substr(0, at + 1), sheet.substr(0, sheet.find("set 100"))) << "only the edited line is rewritten";
    char when[32];
    std::snprintf(when, sizeof when, "%.3f", t);
    ASSERT_EQ(run_tool(TIMELINE_PATH, std::string("--script show.cues at ") + when), 0) << read_file("err.txt");
    EXPECT_NE(read_file("out.txt").find("\ngamma 0.5\n"), std::string::npos) << read_file("out.txt");
    std::snprintf(when, sizeof when, "%.3f", t - 0.5);
    ASSERT_EQ(run_tool(TIMELINE_PATH, std::string("--script show.cues at ") + when), 0);
    EXPECT_NE(read_file("out.txt").find("\ngamma 1\n"), std::string::npos) << read_file("out.txt");
    x_run(display(), "xdotool key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << "nothing unsaved: Escape quits at once. " << err();

    // The show built from the saved sheet: grey 1 at first, 0.5 from the moved key on.
    std::string build = (dir.path / "build").string();
    ASSERT_EQ(std::system(("cmake -S '" SOURCE_ROOT "' -B '" + build + "' -G Ninja -DORUVANE_SHEET='" + (dir.path / "show.cues").string() +
                           "' -DORUVANE_TESTS=OFF -DORUVANE_BENCH=OFF >build.log 2>&1 && cmake --build '" + build +
                           "' --target oruvane >>build.log 2>&1").c_str()),
              0)
        << read_file("build.log");
    Spawn s;
    s.cwd = dir.path.string();
    s.env = {{"SDL_AUDIODRIVER", "dummy"}};
    pid = spawn(build + "/bin/oruvane", s);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty());
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(wait_colour({255, 255, 255}, 5));
    EXPECT_TRUE(wait_colour({128, 128, 128}, t + 10));
    double seen = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GT(seen, t - 3) << "gamma fell at the key's new time, not before";
    x_run(display(), "xdotool key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0);
}

TEST_F(PreviewTool, APipeAmongTheSourcesIsRefusedWithoutFreezingAndSignalsEndIt) {
    start({"--at", "100", "--src", "src", "--no-music"});
    EXPECT_TRUE(wait_colour({77, 128, 179}, 10)) << err();
    // A named pipe saved in place of a source: written to and closed, as an editor would.
    std::filesystem::remove("src/pt03.fsh");
    ASSERT_EQ(mkfifo("src/pt03.fsh", 0644), 0);
    int fd = open("src/pt03.fsh", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "x", 1), 1);
    close(fd);
    EXPECT_TRUE(wait_text(&PreviewTool::err, "src/pt03.fsh is not a regular file", 5)) << err();
    // Still drawing and taking keys: space pauses.
    x_run(display(), "xdotool mousemove 960 540 key space");
    EXPECT_TRUE(wait_text(&PreviewTool::out, "paused at 1", 5)) << out();
    // A tool keeps the usual meaning of a signal: 128 + its number.
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_exit(pid, 15), 128 + SIGTERM) << err();
}

// Unsaved edits survive every way the preview can be ended without asking: a signal, or its window
// destroyed by another program. The editor's keys act only while its view is on the screen.
TEST_F(PreviewTool, TheEditorsKeysActOnlyInItsViewAndUnsavedEditsOutliveASignal) {
    write_file("show.cues", GAMMA_SHEET);
    write_scene_file(19, "#version 120\nuniform float gamma;\nvoid main(){ gl_FragColor = vec4(vec3(gamma), 1.0); }\n");
    start({"--script", "show.cues", "--no-music"});
    ASSERT_TRUE(wait_text(&PreviewTool::out, "playing from 0.000 s", 30)) << err();
    x_run(display(), "xdotool mousemove 960 200 key Tab");
    GammaKeys k = gamma_keys();
    ASSERT_TRUE(k.found) << "no gamma keys on the screen";
    // Select the key at 100 s, hide the view and press Delete: nothing happens.
    x_run(display(), "xdotool mousemove " + std::to_string(k.last_x) + " " + std::to_string(k.y) + " sleep 0.3 click 1 sleep 0.3");
    x_run(display(), "xdotool mousemove 960 200 sleep 0.2 key Tab sleep 0.5 key Delete sleep 0.5 key Tab");
    GammaKeys shown = gamma_keys();
    ASSERT_TRUE(shown.found);
    EXPECT_NEAR(shown.last_x, k.last_x, 4) << "Delete removed a key the maker could not see";
    // With the view shown, Delete removes it.
    x_run(display(), "xdotool key Delete");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (gamma_keys(1).last_x > k.left + 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_LT(gamma_keys(1).last_x, k.left + 20) << "the key at 100 s is still there";

    kill(pid, SIGTERM);
    EXPECT_EQ(wait_exit(pid, 20), 128 + SIGTERM) << err();
    EXPECT_EQ(read_file("show.cues"), GAMMA_SHEET) << "the sheet itself is not touched";
    std::string kept = read_file("show.cues.unsaved");
    EXPECT_NE(kept.find("set 0.000 gamma 1\n"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("set 100.000"), std::string::npos) << kept;
    EXPECT_NE(err().find("show.cues.unsaved"), std::string::npos) << err();

    // The next start says the recovery file is there.
    start({"--script", "show.cues", "--no-music"});
    EXPECT_TRUE(wait_text(&PreviewTool::err, "show.cues.unsaved holds edits", 30)) << err();
    x_run(display(), "xdotool mousemove 960 200 key Escape");
    EXPECT_EQ(wait_exit(pid, 20), 0) << err();
}

TEST_F(PreviewTool, AWindowDestroyedByAnotherProgramEndsThePreviewAndKeepsUnsavedEdits) {
    write_file("show.cues", GAMMA_SHEET);
    start({"--script", "show.cues", "--no-music"});
    ASSERT_TRUE(wait_text(&PreviewTool::out, "playing from 0.000 s", 30)) << err();
    x_run(display(), "xdotool mousemove 960 200 key Tab");
    GammaKeys k = gamma_keys();
    ASSERT_TRUE(k.found);
    x_run(display(), "xdotool mousemove " + std::to_string(k.last_x) + " " + std::to_string(k.y) + " sleep 0.3 click 1 sleep 0.3 key Delete");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (gamma_keys(1).last_x > k.left + 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::string id = x_run(display(), "xdotool search --name '^oruvane-preview$'");
    ASSERT_FALSE(id.empty());
    x_run(display(), "xdotool windowclose " + id.substr(0, id.find('\n')));
    EXPECT_EQ(wait_exit(pid, 20), 0) << "ends as on a quit, not by an X error: " << err();
    EXPECT_NE(err().find("closed by another program"), std::string::npos) << err();
    EXPECT_EQ(read_file("show.cues"), GAMMA_SHEET);
    EXPECT_EQ(read_file("show.cues.unsaved").find("set 100.000"), std::string::npos);
    EXPECT_NE(read_file("show.cues.unsaved").find("set 0.000 gamma 1"), std::string::npos);
}

// Without sources, a scene moved in the sheet is rebuilt from its scene file with its new slot.
TEST_F(PreviewTool, WithoutSourcesAMovedSceneGetsItsNewSlotFromItsSceneFile) {
    const std::string sheet = "length 240.000\nmark flash 1.000\nmark logo 200.000\nscene 0.000 pt01\nscene 100.000 pt02\n";
    write_file("show.cues", sheet);
    // pt02 as packed for a slot from 100 s: its red is the slot's start over 200 s.
    write_scene_file(3, "#version 120\n#define SLOT_START 100.000\n#define SLOT_END 240.000\n#line 1\n"
                        "void main(){ gl_FragColor = vec4(SLOT_START / 200.0, 0.5, 0.5, 1.0); }\n");
    start({"--script", "show.cues", "--no-music", "--at", "150"});
    EXPECT_TRUE(wait_colour({128, 128, 128}, 20)) << err();
    // Moved in a text editor: the slot starts at 50 s.
    write_file("show.cues", sheet.substr(0, sheet.find("scene 100")) + "scene 50.000 pt02\n");
    EXPECT_TRUE(wait_colour({64, 128, 128}, 10)) << err();
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0) << err();
}

}  // namespace
