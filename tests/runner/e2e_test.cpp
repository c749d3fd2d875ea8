// The real executable under Xvfb: it runs in a folder of test assets, shows the probe show's
// picture, ends on Escape, and reports each start-up failure with its message and exit code 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <stb_image.h>
#include <stb_image_write.h>

#include "process.h"
#include "show_files.h"

namespace {

// The probe show: every scene draws a gradient, the post program paints (0.2, 0.6, 0.4) over it
// wherever the scene is not too bright, so the screen is one known colour.
const char* SCENE = "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv * 0.5, 0.0, 1.0); }\n";
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture;\nvarying vec2 uv;\n"
    "void main(){ vec4 s = texture2D(renderedTexture, uv); gl_FragColor = vec4(0.2, 0.6, 0.4, 1.0) + s * 0.0; }\n";

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

void write_probe_assets(int skip_file = -1) {
    std::vector<std::string> fragments(9, SCENE);
    fragments.push_back(POST);
    write_show(fragments);
    if (skip_file >= 0) std::filesystem::remove(std::to_string(skip_file) + ".ck");
    const unsigned char logo[4] = {255, 255, 255, 255};
    stbi_write_png("bitmap.png", 1, 1, 4, logo, 4);
}

// A 16-bit stereo WAV of a 440 Hz sine at half scale, `seconds` long.
void write_sine_wav(const std::string& path, double seconds) {
    const uint32_t rate = 44100, frames = (uint32_t)(rate * seconds), data = frames * 4;
    std::string b;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b += (char)(v >> (8 * i)); };
    auto u16 = [&](uint16_t v) { b += (char)v; b += (char)(v >> 8); };
    b += "RIFF"; u32(36 + data); b += "WAVEfmt "; u32(16); u16(1); u16(2); u32(rate); u32(rate * 4); u16(4); u16(16);
    b += "data"; u32(data);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t s = (int16_t)std::lround(16384.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
        u16((uint16_t)s);
        u16((uint16_t)s);
    }
    write_file(path, b);
}

class E2e : public ::testing::Test {
protected:
    ScratchDir dir;
    std::vector<pid_t> started;
    // Starts the show; whatever a failed test leaves running is killed in TearDown.
    pid_t start(const Spawn& s) {
        pid_t pid = spawn(ORUVANE_PATH, s);
        started.push_back(pid);
        return pid;
    }
    void TearDown() override {
        for (pid_t pid : started) {
            if (alive(pid)) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    Spawn spawn_in_dir() {
        Spawn s;
        s.cwd = dir.path.string();
        s.env = {{"SDL_AUDIODRIVER", "dummy"}};
        s.out = (dir.path / "stdout.txt").string();
        s.err = (dir.path / "stderr.txt").string();
        return s;
    }
    std::string err() { return read_file((dir.path / "stderr.txt").string()); }
    // The last line the show wrote on standard error (SDL may have said something before it).
    std::string last_err_line() {
        std::string e = err();
        if (!e.empty() && e.back() == '\n') e.pop_back();
        size_t nl = e.rfind('\n');
        return nl == std::string::npos ? e : e.substr(nl + 1);
    }
    void SetUp() override { ASSERT_FALSE(display().empty()) << "the end-to-end tests need DISPLAY (a 1920x1080 Xvfb)"; }
};

TEST_F(E2e, ShowsTheProbePictureFullScreenAndEscapeEndsIt) {
    write_probe_assets();
    pid_t pid = start(spawn_in_dir());
    std::string g = x_wait_window(display(), "Oruvane", 20);
    ASSERT_EQ(g, "1920x1080+0+0") << err();
    std::this_thread::sleep_for(std::chrono::seconds(3));  // loading done, frames running
    ASSERT_TRUE(alive(pid)) << err();
    x_run(display(), "import -window root " + (dir.path / "shot.png").string());
    int w = 0, h = 0, n = 0;
    unsigned char* shot = stbi_load((dir.path / "shot.png").c_str(), &w, &h, &n, 3);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(w, 1920);
    ASSERT_EQ(h, 1080);
    for (int y : {10, 540, 1070}) {
        for (int x : {10, 960, 1910}) {
            const unsigned char* p = shot + (y * w + x) * 3;
            EXPECT_NEAR(p[0], 51, 1) << x << "," << y;
            EXPECT_NEAR(p[1], 153, 1) << x << "," << y;
            EXPECT_NEAR(p[2], 102, 1) << x << "," << y;
        }
    }
    stbi_image_free(shot);
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(err(), "");
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
}

TEST_F(E2e, EndsByItselfAfterFourMinutesOfShowTime) {
    // libfaketime runs the process's clocks twenty times fast: the 240 s show takes 12 s.
    const char* faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
    ASSERT_EQ(access(faketime, R_OK), 0) << "needs Debian's faketime package";
    write_probe_assets();
    Spawn s = spawn_in_dir();
    s.env.push_back({"LD_PRELOAD", faketime});
    s.env.push_back({"FAKETIME", "+0 x20"});
    pid_t pid = start(s);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty()) << err();
    EXPECT_EQ(wait_exit(pid, 90), 0);
    EXPECT_EQ(err(), "");
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
}

TEST_F(E2e, ASecondEscapeIsHarmless) {
    write_probe_assets();
    pid_t pid = start(spawn_in_dir());
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty()) << err();
    x_run(display(), "xdotool mousemove 960 540 key Escape key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(err(), "");
}

TEST_F(E2e, NoDisplayFailsWindowInit) {
    write_probe_assets();
    Spawn s = spawn_in_dir();
    s.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    EXPECT_EQ(wait_exit(start(s), 20), 0);
    EXPECT_EQ(last_err_line(), "window_init()!");
}

TEST_F(E2e, ScreenOfAnotherSizeFailsWindowInit) {
    write_probe_assets();
    std::string small;
    pid_t xvfb = start_xvfb("1280x1024", small);
    ASSERT_GT(xvfb, 0);
    Spawn s = spawn_in_dir();
    s.env.push_back({"DISPLAY", small});
    pid_t pid = start(s);
    EXPECT_TRUE(x_dismiss_error_box(small, 20)) << err();
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(last_err_line(), "window_init()!");
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

TEST_F(E2e, MissingSceneFileFailsLoadingAfterTheWindowIsGone) {
    write_probe_assets(7);
    pid_t pid = start(spawn_in_dir());
    ASSERT_FALSE(x_wait_window(display(), "error", 20).empty()) << err();
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");  // released before the box
    EXPECT_TRUE(x_dismiss_error_box(display(), 5));
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(last_err_line(), "intro_init()!");
}

TEST_F(E2e, DriverWithoutAnEntryPointFailsLoading) {
    write_probe_assets();
    Spawn s = spawn_in_dir();
    s.env.push_back({"MESA_GL_VERSION_OVERRIDE", "3.1"});
    s.env.push_back({"MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_multisample"});
    pid_t pid = start(s);
    ASSERT_FALSE(x_wait_window(display(), "error", 20).empty()) << err();
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
    EXPECT_TRUE(x_dismiss_error_box(display(), 5));
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(last_err_line(), "intro_init()!");
}

TEST_F(E2e, AudioOutputThatCannotOpenFailsTheWaveGate) {
    write_probe_assets();
    write_sine_wav((dir.path / "vae5.wav").string(), 1.0);
    Spawn s = spawn_in_dir();
    s.env = {{"SDL_AUDIODRIVER", "no-such-driver"}};
    pid_t pid = start(s);
    EXPECT_TRUE(x_dismiss_error_box(display(), 30)) << err();
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(last_err_line(), "mzk???");
}

TEST_F(E2e, MusicSoundsThroughTheDiskDriver) {
    write_probe_assets();
    write_sine_wav((dir.path / "vae5.wav").string(), 10.0);
    Spawn s = spawn_in_dir();
    std::string raw = (dir.path / "played.raw").string();
    s.env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", raw}};
    pid_t pid = start(s);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty()) << err();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(err().find("()!"), std::string::npos) << err();  // the disk driver says where it writes
    EXPECT_EQ(err().find("mzk???"), std::string::npos) << err();
    std::string pcm = read_file(raw);
    ASSERT_GT(pcm.size(), 44100u * 4u / 2u) << "less than half a second was played";
    const int16_t* s16 = reinterpret_cast<const int16_t*>(pcm.data());
    size_t n = pcm.size() / 2;
    double sum = 0;
    int peak = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += (double)s16[i] * s16[i];
        peak = std::max(peak, std::abs((int)s16[i]));
    }
    EXPECT_NEAR(peak, 16384, 200);
    EXPECT_GT(std::sqrt(sum / n), 16384 * 0.5);  // a sine at half scale has RMS 0.707 of that
}

}  // namespace
