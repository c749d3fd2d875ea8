// The real executable under Xvfb: it runs in a folder of test assets, shows the probe show's
// picture, ends on Escape, and reports each start-up failure with its message and exit code 0.
#include <gtest/gtest.h>

#include "probe_show.h"

namespace {

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
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
    // Runs the show as `s` says on `screen` and expects a start-up failure: the window released,
    // then the box with `message` (also the last line on stderr), then exit code 0.
    void expect_fails_with(const Spawn& s, const std::string& screen, const char* message) {
        pid_t pid = start(s);
        ASSERT_FALSE(x_wait_window(screen, "error", 30).empty()) << err();
        EXPECT_EQ(x_window_geometry(screen, "Oruvane"), "");
        EXPECT_TRUE(x_dismiss_error_box(screen, 5));
        EXPECT_EQ(wait_exit(pid, 15), 0);
        EXPECT_EQ(last_err_line(), message);
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
    expect_probe_picture(display(), (dir.path / "shot.png").string());
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
    expect_fails_with(s, small, "window_init()!");
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

TEST_F(E2e, MissingSceneFileFailsLoading) {
    write_probe_assets(7);
    expect_fails_with(spawn_in_dir(), display(), "intro_init()!");
}

TEST_F(E2e, DriverWithoutAnEntryPointFailsLoading) {
    write_probe_assets();
    Spawn s = spawn_in_dir();
    s.env.push_back({"MESA_GL_VERSION_OVERRIDE", "3.1"});
    s.env.push_back({"MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_multisample"});
    expect_fails_with(s, display(), "intro_init()!");
}

TEST_F(E2e, AudioOutputThatCannotOpenFailsTheWaveGate) {
    write_probe_assets();
    write_sine_wav(1.0);
    Spawn s = spawn_in_dir();
    s.env = {{"SDL_AUDIODRIVER", "no-such-driver"}};
    expect_fails_with(s, display(), "mzk???");
}

TEST_F(E2e, MusicSoundsThroughTheDiskDriver) {
    write_probe_assets();
    write_sine_wav(10.0);
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
    expect_sine_played(read_file(raw));
}

}  // namespace
