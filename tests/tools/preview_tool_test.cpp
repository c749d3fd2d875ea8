// oruvane-preview under Xvfb with a probe show whose scenes each paint their own colour: it starts
// at the asked time, rebuilds a saved shader in place, keeps the old picture when the new text
// is broken, and wraps a looped range.
#include <gtest/gtest.h>

#include <chrono>
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

}  // namespace
