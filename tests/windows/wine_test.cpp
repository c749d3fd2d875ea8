// The Windows executable under wine on the 1920x1080 Xvfb: it shows the probe picture full
// screen, ends on Escape and by itself, reports a missing scene file in its box, and sounds.
// One wine prefix, made in a scratch folder at the start, serves every case.
#include <gtest/gtest.h>

#include "probe_show.h"

namespace {

const char* WINE = "/usr/lib/wine/wine64";
std::string prefix;  // the run's WINEPREFIX

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

// The wine environment every run gets: the run's prefix, no debug chatter, and no offer to
// install the .NET and HTML runtimes while the prefix is made.
std::vector<std::pair<std::string, std::string>> wine_env() {
    return {{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

// Makes the prefix once for the whole run and stops its wine server at the end.
class WinePrefix : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(access(WINE, X_OK), 0) << "needs Debian's wine64 package";
        char tmpl[] = "/tmp/oruvane-wine-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        prefix = std::string(tmpl) + "/prefix";
        std::string env;
        for (const auto& kv : wine_env()) env += kv.first + "='" + kv.second + "' ";
        ASSERT_EQ(std::system((env + WINE + " wineboot -i >/dev/null 2>&1 && " + env + "/usr/lib/wine/wineserver -w").c_str()), 0);
    }
    void TearDown() override {
        if (prefix.empty()) return;
        std::system(("WINEPREFIX='" + prefix + "' /usr/lib/wine/wineserver -k >/dev/null 2>&1").c_str());
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(prefix).parent_path(), ec);
    }
};
const auto* wine_prefix = ::testing::AddGlobalTestEnvironment(new WinePrefix);

class Wine : public ::testing::Test {
protected:
    ScratchDir dir;
    std::vector<pid_t> started;
    void SetUp() override {
        ASSERT_FALSE(display().empty()) << "the wine tests need DISPLAY (a 1920x1080 Xvfb)";
        ASSERT_FALSE(prefix.empty());
    }
    // Starts `exe` (null: the oruvane.exe already there) under wine in the scratch folder, the
    // way a person double-clicks it beside its files; a failed test's leftovers are killed in TearDown.
    pid_t start(const char* exe, std::vector<std::pair<std::string, std::string>> env = {}) {
        if (exe) std::filesystem::copy_file(exe, dir.path / "oruvane.exe");
        write_file("start", std::string("#!/bin/sh\nexec ") + WINE + " oruvane.exe\n");
        std::filesystem::permissions(dir.path / "start", std::filesystem::perms::owner_all);
        Spawn s;
        s.cwd = dir.path.string();
        s.env = wine_env();
        s.env.push_back({"SDL_AUDIODRIVER", "dummy"});
        for (const auto& kv : env) s.env.push_back(kv);
        s.err = (dir.path / "stderr.txt").string();
        pid_t pid = spawn((dir.path / "start").string(), s);
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
    std::string err() { return read_file((dir.path / "stderr.txt").string()); }
};

TEST_F(Wine, ShowsTheProbePictureFullScreenAndEscapeEndsIt) {
    write_probe_assets();
    pid_t pid = start(ORUVANE_EXE);
    ASSERT_EQ(x_wait_window(display(), "Oruvane", 60), "1920x1080+0+0") << err();
    std::this_thread::sleep_for(std::chrono::seconds(5));  // loading done, frames running
    ASSERT_TRUE(alive(pid)) << err();
    expect_probe_picture(display(), (dir.path / "shot.png").string());
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << err();
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
}

TEST_F(Wine, EndsByItselfAfterFourMinutesOfShowTime) {
    // The test build's clock runs twenty times fast: the 240 s show takes 12 s.
    write_probe_assets();
    pid_t pid = start(ORUVANE_FASTCLOCK_EXE);
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 60).empty()) << err();
    EXPECT_EQ(wait_exit(pid, 120), 0) << err();
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
}

TEST_F(Wine, MissingSceneFileFailsLoading) {
    write_probe_assets(7);
    pid_t pid = start(ORUVANE_EXE);
    ASSERT_FALSE(x_wait_window(display(), "error", 60).empty()) << err();
    EXPECT_EQ(x_window_geometry(display(), "Oruvane"), "");
    EXPECT_TRUE(x_dismiss_error_box_of(display(), pid));
    EXPECT_EQ(wait_exit(pid, 30), 0) << err();
    EXPECT_NE(err().find("intro_init()!"), std::string::npos) << err();
}

// The raw 16-bit stereo output of SDL's disk driver, without the silence before and after the
// music, as a tone.
Tone played_tone(const std::string& pcm) {
    const int16_t* s16 = reinterpret_cast<const int16_t*>(pcm.data());
    size_t frames = pcm.size() / 4, first = 0, last = frames;
    while (first < frames && std::abs(s16[2 * first]) < 100) ++first;
    while (last > first && std::abs(s16[2 * (last - 1)]) < 100) --last;
    EXPECT_GT(last - first, 44100u / 2) << "less than half a second was played";
    return tone_of(s16 + 2 * first, last - first, 2, 44100, 32768.0);
}

// The tone in every stream format, the show's music under wine, plays at its level and pitch.
TEST_F(Wine, MusicInEveryStreamFormatSoundsThroughTheDiskDriver) {
    write_probe_assets();
    std::vector<StreamFormat> formats = compressed_formats();
    formats.insert(formats.begin(), {"pcm.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100});
    for (const StreamFormat& f : formats) {
        SCOPED_TRACE(f.name);
        write_tone("vae5.wav", f, 10.0);
        std::filesystem::remove(dir.path / "played.raw");
        pid_t pid = start(started.empty() ? ORUVANE_EXE : nullptr, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "played.raw"}});
        ASSERT_FALSE(x_wait_window(display(), "Oruvane", 60).empty()) << err();
        std::this_thread::sleep_for(std::chrono::seconds(4));
        x_run(display(), "xdotool mousemove 960 540 key Escape");
        EXPECT_EQ(wait_exit(pid, 30), 0) << err();
        ASSERT_TRUE(x_wait_window_gone(display(), "Oruvane", 10));
        expect_test_tone(played_tone(read_file((dir.path / "played.raw").string())), f.name);
    }
}

// The zip as a person unpacks it, a download of at most 10 MB: the bundled show plays, and its
// music (Ogg Vorbis) is heard.
TEST_F(Wine, TheUnpackedZipPlaysTheBundledShowWithItsMusic) {
    EXPECT_LE(std::filesystem::file_size(ORUVANE_ZIP), 10'000'000u);
    ASSERT_EQ(run_tool("unzip", "-q " + std::string(ORUVANE_ZIP)), 0);
    for (int n = 0; n < 20; ++n) EXPECT_TRUE(std::filesystem::exists(std::to_string(n) + ".ck")) << n;
    for (const char* name : {"bitmap.png", "vae5.wav", "README.txt"}) EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_EQ(read_file("vae5.wav").substr(0, 4), "OggS");
    pid_t pid = start(nullptr, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "played.raw"}});
    ASSERT_EQ(x_wait_window(display(), "Oruvane", 60), "1920x1080+0+0") << err();
    std::this_thread::sleep_for(std::chrono::seconds(20));  // past loading, into the show
    ASSERT_TRUE(alive(pid)) << err();
    EXPECT_GT(screen_mean(display(), (dir.path / "shot.png").string()), 3) << "the first scene shows";
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << err();
    // The music rises out of silence over its first seconds; every section is louder than
    // -30 dBFS, which the loudest second played must reach.
    std::string pcm = read_file((dir.path / "played.raw").string());
    ASSERT_GT(pcm.size(), 44100u * 4u * 5u) << "less than five seconds were played";
    EXPECT_GT(loudest_second(pcm), 0.03) << "the music is heard";
}

}  // namespace
