// The real executable under Xvfb: it runs in a folder of test assets, shows the probe show's
// picture, ends on Escape, and reports each start-up failure with its message and exit code 0.
#include <gtest/gtest.h>

#include <atomic>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "probe_show.h"

#include <X11/Xlib.h>  // after the tests' headers: its macros (None, Bool) would clash with them
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

// The time probe's post program paints each frame's show time: whole seconds in red, the fraction
// in green, and blue 0.5 to tell a show frame from the loading screen.
const char* time_probe_post() {
    return "#version 120\nuniform sampler2D renderedTexture; uniform float time;\nvarying vec2 uv;\n"
           "void main(){ gl_FragColor = vec4(floor(time) / 255.0, fract(time), 0.5, 1.0)"
           " + texture2D(renderedTexture, uv) * 0.0; }\n";
}

// A scene program whose build takes seconds on a software driver: a long chain of dependent
// trigonometry that no optimiser can fold away.
std::string slow_scene() {
    std::string s = "#version 120\nvarying vec2 uv;\nvoid main(){ float x = uv.x, y = uv.y;\n";
    for (int i = 0; i < 4000; ++i) {
        std::string k = std::to_string(1 + i * 1e-4);
        s += "x = sin(x * " + k + " + y); y = cos(y * " + k + " - x);\n";
    }
    return s + "gl_FragColor = vec4(x, y, 0.0, 1.0); }\n";
}

// The probe show with the time probe as its post program; with `slow_loading`, the two programs
// the script never draws (pt07, pt09) take seconds to build.
void write_time_probe_assets(bool slow_loading) {
    write_probe_assets();
    write_scene_file(19, time_probe_post());  // program i's fragment is file 2i + 1
    if (slow_loading) {
        write_scene_file(13, slow_scene());
        write_scene_file(17, slow_scene());
    }
}

// A connection of the test's own to the X server, as a desktop always has some (while one is open
// the server does not reset between shows): it reads the time probe's picture straight from the
// server, fast enough to see every frame, and tells where the keyboard goes.
struct XClient {
    Display* x;
    // A server that has just lost its last client refuses connections while it resets: tried for
    // up to 3 s, as the show tries.
    explicit XClient(const std::string& display) : x(nullptr) {
        for (int i = 0; i < 30 && !(x = XOpenDisplay(display.c_str())); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~XClient() {
        if (x) XCloseDisplay(x);
    }
    // The show time in seconds of the frame on screen, or -1 while no show frame is there.
    double show_seconds() {
        XImage* image = XGetImage(x, DefaultRootWindow(x), 10, 10, 1, 1, AllPlanes, ZPixmap);
        if (!image) return -1;
        unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        return std::abs(b - 128) <= 1 ? r + g / 255.0 : -1;
    }
    // True when key presses reach no window at all.
    bool keyboard_goes_nowhere() {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(x, &focus, &revert);
        return focus == None;
    }
};

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
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
    // The whole group goes, so a message box the show forked cannot outlive the test.
    void TearDown() override {
        for (pid_t pid : started) kill_group(pid);
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
    // The last `back` + 1st line the show wrote on standard error (back 0: the last line).
    std::string err_line(int back) {
        std::string e = err();
        for (int i = 0; i <= back; ++i) {
            if (!e.empty() && e.back() == '\n') e.pop_back();
            size_t nl = e.rfind('\n');
            if (i == back) return nl == std::string::npos ? e : e.substr(nl + 1);
            e = nl == std::string::npos ? "" : e.substr(0, nl + 1);
        }
        return "";
    }
    // Expects `message` as the show's next-to-last line on stderr, and a reason after it that
    // contains `reason`.
    void expect_failure_lines(const char* message, const std::string& reason) {
        EXPECT_EQ(err_line(1), message) << err();
        EXPECT_NE(err_line(0).find(reason), std::string::npos) << err();
    }
    // Runs the show as `s` says on `screen` and expects a start-up failure: the window released,
    // then the box with `message`, taking Return, then exit code 0; stderr ends with the message
    // and the reason. Another client stays connected throughout, as on a desktop.
    void expect_fails_with(const Spawn& s, const std::string& screen, const char* message, const std::string& reason) {
        // A box whose show just ended may take a moment to go; one that stays is a leftover.
        ASSERT_TRUE(x_wait_window_gone(screen, "error", 5)) << "a box of an earlier test is still open";
        XClient desktop(screen);
        ASSERT_NE(desktop.x, nullptr);
        pid_t pid = start(s);
        ASSERT_FALSE(x_wait_window(screen, "error", 30).empty()) << err();
        EXPECT_EQ(x_window_geometry(screen, "Oruvane"), "");
        EXPECT_TRUE(x_dismiss_error_box_of(screen, pid));
        EXPECT_EQ(wait_exit(pid, 15), 0);
        expect_failure_lines(message, reason);
    }
    // Waits up to `seconds` for the pixel at (x, y) of `screen` to show `rgb` (within 1).
    bool wait_for_colour(const std::string& screen, int x, int y, const int rgb[3], double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            int got[3];
            if (screen_pixel(screen, x, y, got) && std::abs(got[0] - rgb[0]) <= 1 && std::abs(got[1] - rgb[1]) <= 1 &&
                std::abs(got[2] - rgb[2]) <= 1)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // The colour of one pixel of `screen`, as a person's screenshot shows it.
    bool screen_pixel(const std::string& screen, int x, int y, int rgb[3]) {
        std::string shot = (dir.path / "pixel.png").string();
        x_run(screen, "import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) + " " + shot);
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 3);
        if (!p) return false;
        for (int i = 0; i < 3; ++i) rgb[i] = p[i];
        stbi_image_free(p);
        return true;
    }
    void SetUp() override { ASSERT_FALSE(display().empty()) << "the end-to-end tests need DISPLAY (a 1920x1080 Xvfb)"; }
};

TEST_F(E2e, ShowsTheProbePictureFullScreenAndEscapeEndsIt) {
    write_probe_assets();
    XClient desktop(display());
    ASSERT_NE(desktop.x, nullptr);
    pid_t pid = start(spawn_in_dir());
    std::string g = x_wait_window(display(), "Oruvane", 20);
    ASSERT_EQ(g, "1920x1080+0+0") << err();
    const int probe[3] = {51, 153, 102};
    ASSERT_TRUE(wait_for_colour(display(), 960, 540, probe, 30)) << err();  // loading done, frames running
    ASSERT_TRUE(alive(pid)) << err();
    expect_probe_picture(display(), (dir.path / "shot.png").string());
    // Only Escape ends the show: other keys, typed or held with a modifier, do nothing.
    x_run(display(), "xdotool mousemove 960 540 key a key space key Return key q key ctrl+w key alt+F4");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(alive(pid)) << err();
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_EQ(err(), "");
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
    EXPECT_FALSE(desktop.keyboard_goes_nowhere()) << "the show took the keyboard focus with it";
}

TEST_F(E2e, RunsFourMinutesOfShowTimeThenEndsByItself) {
    // libfaketime runs the show's clocks ten times fast: the 240 s show takes 24 s.
    const char* faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
    ASSERT_EQ(access(faketime, R_OK), 0) << "needs Debian's faketime package";
    const double speed = 10;
    write_time_probe_assets(false);
    Spawn s = spawn_in_dir();
    s.env.push_back({"LD_PRELOAD", faketime});
    s.env.push_back({"FAKETIME", "+0 x10"});
    pid_t pid = start(s);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty()) << err();
    auto shown = std::chrono::steady_clock::now();
    XClient screen(display());
    ASSERT_NE(screen.x, nullptr);
    // A frame seen showing show time T at real time r proves the clock started by r - T / speed;
    // the newest frame seen is the show's last proof of running.
    double latest = -1, started_by = 1e9;
    while (!ended(pid) && seconds_since(shown) < 90) {
        double t = screen.show_seconds();
        if (t >= 0) {
            latest = std::max(latest, t);
            started_by = std::min(started_by, seconds_since(shown) - t / speed);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    double end = seconds_since(shown);
    EXPECT_EQ(wait_exit(pid, 10), 0);
    EXPECT_GE(latest, 230) << "no frame after 230 s of show time";
    // The clock starts after the window shows: a strict bound, loose by the loading time.
    EXPECT_GE(end * speed, 240) << "ended before 240 s of show time";
    // The frames' own clock is tighter, loose only by the quickest frame's drawing time.
    EXPECT_GE(speed * (end - started_by), 237) << "ended before 237 s of show time by the frames' clock";
    EXPECT_EQ(err(), "");
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
}

TEST_F(E2e, TheClockStartsOnlyOnceLoadingIsDone) {
    write_time_probe_assets(true);
    Spawn s = spawn_in_dir();
    s.env.push_back({"MESA_SHADER_CACHE_DISABLE", "true"});  // a cached build would take no time
    pid_t pid = start(s);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 20).empty()) << err();
    auto shown = std::chrono::steady_clock::now();
    XClient screen(display());
    ASSERT_NE(screen.x, nullptr);
    double first = -1;
    while (first < 0 && alive(pid) && seconds_since(shown) < 60) {
        first = screen.show_seconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    double loading = seconds_since(shown);
    ASSERT_GE(first, 0) << err();
    ASSERT_GT(loading, 1.0) << "the slow programs built too fast to tell";
    // A clock started with the window would have run through the whole of loading.
    EXPECT_LT(first, loading / 4) << "loading took " << loading << " s";
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 15), 0);
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
    // Only the message and X's reason: no other video backend is tried, none speaks.
    EXPECT_EQ(err(), "window_init()!\nvideo: x11 not available\n");
}

TEST_F(E2e, ScreenOfAnotherSizeFailsWindowInit) {
    write_probe_assets();
    std::string small;
    pid_t xvfb = start_xvfb("1280x1024", small);
    ASSERT_GT(xvfb, 0);
    Spawn s = spawn_in_dir();
    s.env.push_back({"DISPLAY", small});
    expect_fails_with(s, small, "window_init()!", "1920x1080");
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

// A window manager as far as the show's window needs one: it maps windows, grants the sizes they
// ask for up to `width` x `height` (less than the screen when it keeps a panel for itself), and
// keeps each window's _NET_WM_STATE as the window asks. It takes over the root's redirection
// before it returns, then serves on a thread of its own until it goes.
struct TestWindowManager {
    Display* x = nullptr;
    int width, height;
    Atom state = 0;
    std::atomic<bool> stop{false};
    std::thread serving;
    TestWindowManager(const std::string& screen, int w, int h) : width(w), height(h) {
        for (int i = 0; i < 30 && !(x = XOpenDisplay(screen.c_str())); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!x) return;
        state = XInternAtom(x, "_NET_WM_STATE", False);
        XSelectInput(x, DefaultRootWindow(x), SubstructureRedirectMask | SubstructureNotifyMask);
        XSync(x, False);
        serving = std::thread([this] { serve(); });
    }
    ~TestWindowManager() {
        stop = true;
        if (serving.joinable()) serving.join();
        if (x) XCloseDisplay(x);
    }
    // Adds (action 1), removes (0) or toggles (2) the states named in a _NET_WM_STATE request.
    void change_state(const XClientMessageEvent& m) {
        std::vector<Atom> now;
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(x, m.window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
                Success && data) {
            now.assign((Atom*)data, (Atom*)data + count);
            XFree(data);
        }
        for (int k = 1; k <= 2; ++k) {
            Atom a = (Atom)m.data.l[k];
            auto at = std::find(now.begin(), now.end(), a);
            if (a == 0) continue;
            if (at != now.end() && m.data.l[0] != 1) now.erase(at);
            else if (at == now.end() && m.data.l[0] != 0) now.push_back(a);
        }
        XChangeProperty(x, m.window, state, XA_ATOM, 32, PropModeReplace, (unsigned char*)now.data(), (int)now.size());
    }
    void serve() {
        while (!stop) {
            while (XPending(x)) {
                XEvent ev;
                XNextEvent(x, &ev);
                if (ev.type == MapRequest) {
                    XWindowAttributes a;
                    if (XGetWindowAttributes(x, ev.xmaprequest.window, &a))
                        XResizeWindow(x, ev.xmaprequest.window, std::min(a.width, width), std::min(a.height, height));
                    XMapWindow(x, ev.xmaprequest.window);
                } else if (ev.type == ConfigureRequest) {
                    const XConfigureRequestEvent& r = ev.xconfigurerequest;
                    XWindowChanges c{r.x, r.y, std::min(r.width, width), std::min(r.height, height), r.border_width,
                                     r.above, r.detail};
                    XConfigureWindow(x, r.window, (unsigned)r.value_mask, &c);
                } else if (ev.type == ClientMessage && ev.xclient.message_type == state) {
                    change_state(ev.xclient);
                }
            }
            XFlush(x);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST_F(E2e, ADrawableShortOfTheScreenOnOneSideFailsWindowInit) {
    // The screen has the 1920x1080 mode; the window manager leaves the window less on one side.
    write_probe_assets();
    std::string screen;
    pid_t xvfb = start_xvfb("1920x1080", screen);
    ASSERT_GT(xvfb, 0);
    for (auto size : {std::pair<int, int>{1920, 1000}, std::pair<int, int>{1800, 1080}}) {
        std::string drawable = std::to_string(size.first) + "x" + std::to_string(size.second);
        SCOPED_TRACE(drawable);
        TestWindowManager wm(screen, size.first, size.second);
        ASSERT_NE(wm.x, nullptr);
        Spawn s = spawn_in_dir();
        s.env.push_back({"DISPLAY", screen});
        expect_fails_with(s, screen, "window_init()!", "the drawable is " + drawable + ", not 1920x1080");
    }
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

TEST_F(E2e, TheWindowIsFullScreenByItsStateNotOnlyItsPlace) {
    // A centred 1920x1080 window sits at +0+0 on this screen too: what makes it full screen is the
    // state it asks the window manager for.
    write_probe_assets();
    std::string screen;
    pid_t xvfb = start_xvfb("1920x1080", screen);
    ASSERT_GT(xvfb, 0);
    {
        TestWindowManager wm(screen, 1920, 1080);
        ASSERT_NE(wm.x, nullptr);
        Spawn s = spawn_in_dir();
        s.env.push_back({"DISPLAY", screen});
        pid_t pid = start(s);
        EXPECT_EQ(x_wait_window(screen, "Oruvane", 20), "1920x1080+0+0") << err();
        std::string state;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (state.find("_NET_WM_STATE_FULLSCREEN") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            state = x_run(screen, "xprop -name Oruvane _NET_WM_STATE");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_NE(state.find("_NET_WM_STATE_FULLSCREEN"), std::string::npos) << state;
        x_run(screen, "xdotool mousemove 960 540 key Escape");
        EXPECT_EQ(wait_exit(pid, 15), 0) << err();
    }
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
}

TEST_F(E2e, MissingSceneFileFailsLoading) {
    write_probe_assets(7);
    expect_fails_with(spawn_in_dir(), display(), "intro_init()!", "scene file 7.ck");
}

TEST_F(E2e, DriverWithoutAnEntryPointFailsLoading) {
    write_probe_assets();
    Spawn s = spawn_in_dir();
    s.env.push_back({"MESA_GL_VERSION_OVERRIDE", "3.1"});
    s.env.push_back({"MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_multisample"});
    expect_fails_with(s, display(), "intro_init()!", "GL 3.1 (");
    EXPECT_NE(err_line(0).find("lacks glTexImage2DMultisample"), std::string::npos) << err();
}

TEST_F(E2e, AudioOutputThatCannotOpenFailsTheWaveGate) {
    write_probe_assets();
    write_sine_wav(1.0);
    Spawn s = spawn_in_dir();
    s.env = {{"SDL_AUDIODRIVER", "no-such-driver"}};
    expect_fails_with(s, display(), "mzk???", "audio: ");
}

TEST_F(E2e, AudioOutputWhoseCallbackNeverRunsFailsTheWaveGateAfterItsWait) {
    write_probe_assets();
    write_sine_wav(1.0);
    Spawn s = spawn_in_dir();
    s.env.push_back({"LD_PRELOAD", SILENT_OUTPUT_PATH});
    expect_fails_with(s, display(), "mzk???", "audio: the output did not start within");
}

// Puts a named pipe, a device or a listening socket at `name` in the current directory.
void put_special(const std::string& kind, const std::string& name) {
    std::filesystem::remove(name);
    if (kind == "fifo") {
        ASSERT_EQ(mkfifo(name.c_str(), 0644), 0);
    } else if (kind == "device") {
        std::filesystem::create_symlink("/dev/zero", name);  // endless, and never at its end
    } else {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (std::filesystem::current_path() / name).c_str());
        ASSERT_EQ(bind(fd, (sockaddr*)&addr, sizeof addr), 0);
        listen(fd, 1);  // left open: the socket lives until the test process ends
    }
}

TEST_F(E2e, PipesDevicesAndSocketsInPlaceOfItsFilesCountAsUnreadable) {
    const int probe[3] = {51, 153, 102};
    for (const char* kind : {"fifo", "device", "socket"}) {
        SCOPED_TRACE(kind);
        // Logo and music: the show runs without them.
        for (const char* name : {"bitmap.png", "vae5.wav", "5.ck"}) std::filesystem::remove(name);
        write_probe_assets();
        put_special(kind, "bitmap.png");
        put_special(kind, "vae5.wav");
        pid_t pid = start(spawn_in_dir());
        ASSERT_TRUE(wait_for_colour(display(), 960, 540, probe, 30)) << err();
        x_run(display(), "xdotool mousemove 960 540 key Escape");
        EXPECT_EQ(wait_exit(pid, 15), 0) << err();
        // A scene file: loading stops as for a missing one.
        put_special(kind, "5.ck");
        expect_fails_with(spawn_in_dir(), display(), "intro_init()!", "scene file 5.ck");
    }
}

TEST_F(E2e, SignalsALostDisplayOrADestroyedWindowEndItWithExitCodeZero) {
    write_probe_assets();
    const int probe[3] = {51, 153, 102};
    const struct {
        const char* how;
        int signal;
    } ways[] = {{"SIGHUP", SIGHUP}, {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"windowclose", 0}, {"windowkill", 0}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        pid_t pid = start(spawn_in_dir());
        ASSERT_TRUE(wait_for_colour(display(), 960, 540, probe, 30)) << err();
        kill(pid, SIGPIPE);  // what a write to a display that just went away raises: no ending
        if (way.signal) kill(pid, way.signal);
        else x_run(display(), std::string("xdotool search --name '^Oruvane$' ") + way.how);
        EXPECT_EQ(wait_exit(pid, 15), 0) << err();
    }

    // The display goes away under a running show.
    std::string own;
    pid_t xvfb = start_xvfb("1920x1080", own);
    ASSERT_GT(xvfb, 0);
    Spawn s = spawn_in_dir();
    s.env.push_back({"DISPLAY", own});
    pid_t pid = start(s);
    bool drawn = wait_for_colour(own, 960, 540, probe, 30);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    ASSERT_TRUE(drawn) << err();
    EXPECT_EQ(wait_exit(pid, 15), 0) << err();

    // A signal while the failure box is up ends the show and takes the box with it.
    std::filesystem::remove("3.ck");
    ASSERT_TRUE(x_wait_window_gone(display(), "error", 5)) << "a box of an earlier test is still open";
    pid = start(spawn_in_dir());
    ASSERT_FALSE(x_wait_window(display(), "error", 30).empty()) << err();
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_exit(pid, 15), 0);
    EXPECT_TRUE(x_wait_window_gone(display(), "error", 5));
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
