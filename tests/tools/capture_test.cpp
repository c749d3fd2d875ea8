// oruvane-capture run on a probe show, its output decoded back with the FFmpeg libraries: the
// frames show the show times they claim, the sound is the music of the same span, and bad use
// ends with one line and no file. Every run but one has no DISPLAY.
#include <gtest/gtest.h>

#include <stb_image.h>
#include <stb_image_write.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "scratch_dir.h"
#include "show_files.h"
#include "sound_files.h"
#include "video_decode.h"

namespace {

// Every scene draws a gradient the post program ignores: the picture is (gamma, fract(time / 2),
// 0.5), so each frame carries its show time and the script's gamma.
const char* SCENE = "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv * 0.5, 0.0, 1.0); }\n";
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture; uniform float time; uniform float gamma;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = vec4(gamma, fract(time * 0.5), 0.5, 1.0) + texture2D(renderedTexture, uv) * 0.0; }\n";
const double SINE_HZ = 600.0;

std::vector<int16_t> write_probe_show(double music_seconds) {
    std::vector<std::string> fragments(9, SCENE);
    fragments.push_back(POST);
    write_show(fragments);
    const unsigned char logo[4] = {255, 255, 255, 255};
    stbi_write_png("bitmap.png", 1, 1, 4, logo, 4);
    return write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, music_seconds,
                       [](int, double t) { return 0.5 * std::sin(2.0 * M_PI * SINE_HZ * t); });
}

int capture(const std::string& args) { return run_tool("env -u DISPLAY '" CAPTURE_PATH "'", args); }

// Frequency of the left channel from its upward zero crossings in [a, b) seconds.
double frequency(const std::vector<float>& sound, double a, double b) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t f = (size_t)(a * 44100) + 1; f < (size_t)(b * 44100) && 2 * f < sound.size(); ++f) {
        double y0 = sound[2 * (f - 1)], y1 = sound[2 * f];
        if (y0 < 0 && y1 >= 0) {
            double t = (double)(f - 1) + (-y0) / (y1 - y0);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * 44100.0 / (last - first);
}

int channel_of(double v) { return (int)std::lround(255 * v); }
double show_seconds(int n, int fps, double from = 0) { return from + std::round(n * 1000.0 / fps) / 1000; }

class Capture : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string err() { return read_file("err.txt"); }
    // A failure says what failed in one line on standard error and exits nonzero.
    void expect_one_line_failure(const std::string& args, const std::string& says) {
        EXPECT_NE(capture(args), 0) << args;
        std::string e = err();
        EXPECT_EQ(e.rfind("oruvane-capture: ", 0), 0u) << e;
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
        EXPECT_NE(e.find(says), std::string::npos) << e;
    }
};

TEST_F(Capture, ProbeShowWithoutADisplayDecodesToItsShowTimesAndMusic) {
    write_probe_show(3.0);
    ASSERT_EQ(capture("--to 2 --fps 30 --out probe.mp4"), 0) << err();
    EXPECT_NE(read_file("out.txt").find("60/60 frames"), std::string::npos) << "plain progress lines off a terminal";
    Decoded d = decode("probe.mp4");
    ASSERT_EQ(d.frames, 60);
    EXPECT_EQ(d.width, 1920);
    EXPECT_EQ(d.height, 1080);
    for (int n : {0, 13, 30, 59}) {
        double t = show_seconds(n, 30);
        EXPECT_NEAR(d.centre[n][0], 255, 4) << "frame " << n;
        EXPECT_NEAR(d.centre[n][1], channel_of(t * 0.5 - std::floor(t * 0.5)), 4) << "frame " << n;
        EXPECT_NEAR(d.centre[n][2], 128, 4) << "frame " << n;
    }
    EXPECT_NEAR(d.seconds(), 2.0, 0.025);
    EXPECT_NEAR(frequency(d.sound, 0.1, 1.9), SINE_HZ, 0.5);
}

TEST_F(Capture, SameCaptureTwiceGivesTheSameFramesAndSound) {
    write_probe_show(2.0);
    ASSERT_EQ(capture("--to 1 --fps 10 --out a.mp4"), 0) << err();
    ASSERT_EQ(capture("--to 1 --fps 10 --out b.mp4"), 0) << err();
    Decoded a = decode("a.mp4"), b = decode("b.mp4");
    EXPECT_EQ(a.frames, 10);
    EXPECT_EQ(a.hash, b.hash);
    EXPECT_EQ(a.sound, b.sound);
}

TEST_F(Capture, FromFortySevenSecondsStartsInTheGammaFade) {
    write_probe_show(49.5);
    ASSERT_EQ(capture("--from 47 --to 49 --fps 10 --out fade.mp4"), 0) << err();
    Decoded d = decode("fade.mp4");
    ASSERT_EQ(d.frames, 20);
    // Gamma falls linearly from 1 at 46 s to 0.01 at 48 s, then rises again.
    EXPECT_NEAR(d.centre[0][0], channel_of(0.505), 4);
    EXPECT_NEAR(d.centre[0][1], 128, 4) << "fract(47 / 2)";
    for (int n = 1; n <= 10; ++n) EXPECT_LT(d.centre[n][0], d.centre[n - 1][0] - 8) << "frame " << n;
    EXPECT_LE(d.centre[10][0], 8);
    EXPECT_GT(d.centre[19][0], 200);
    EXPECT_NEAR(d.seconds(), 2.0, 0.025);
}

TEST_F(Capture, PngFramesEqualTheLosslessDecodeAndBothSoundsAreTheMusicExactly) {
    std::vector<int16_t> music = write_probe_show(1.0);
    ASSERT_EQ(capture("--from 0.5 --to 0.7 --fps 30 --lossless --out exact.mkv"), 0) << err();
    ASSERT_EQ(capture("--from 0.5 --to 0.7 --fps 30 --png-dir frames"), 0) << err();
    int compared = 0;
    Decoded d = decode("exact.mkv", [&](int n, const uint8_t* rgb) {
        char name[64];
        std::snprintf(name, sizeof name, "frames/%06d.png", n);
        int w = 0, h = 0, c = 0;
        unsigned char* png = stbi_load(name, &w, &h, &c, 3);
        ASSERT_NE(png, nullptr) << name;
        EXPECT_TRUE(w == 1920 && h == 1080 && std::equal(png, png + (size_t)w * h * 3, rgb)) << name;
        stbi_image_free(png);
        ++compared;
    });
    EXPECT_EQ(compared, 6);
    EXPECT_FALSE(std::filesystem::exists("frames/000006.png"));
    // The sound of [0.5 s, 0.7 s) is the music's samples 22050 ... 30869, in both outputs.
    const size_t first = 22050, count = 8820;
    ASSERT_EQ(d.sound.size(), 2 * count);
    size_t differ = 0;
    for (size_t i = 0; i < 2 * count; ++i) differ += std::lround(d.sound[i] * 32768) != music[2 * first + i];
    EXPECT_EQ(differ, 0u);
    SF_INFO info{};
    SNDFILE* wav = sf_open("frames/audio.wav", SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    std::vector<int16_t> written(2 * count + 2);
    EXPECT_EQ(sf_readf_short(wav, written.data(), (sf_count_t)count + 1), (sf_count_t)count);
    sf_close(wav);
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 2 * count, music.begin() + 2 * first));
}

TEST_F(Capture, DrawingThroughTheXDisplayGivesTheSameFrames) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs DISPLAY (a 1920x1080 X server)";
    write_probe_show(1.0);
    ASSERT_EQ(run_tool("'" CAPTURE_PATH "'", "--x11 --to 0.2 --fps 30 --lossless --out x.mkv"), 0) << err();
    ASSERT_EQ(capture("--to 0.2 --fps 30 --lossless --out egl.mkv"), 0) << err();
    Decoded x = decode("x.mkv"), egl = decode("egl.mkv");
    EXPECT_EQ(x.frames, 6);
    EXPECT_EQ(x.hash, egl.hash);
}

// The clock probe's post program paints each frame's show time in whole milliseconds, the low
// byte in red and the high byte in green, over a top half in blue and a bottom half in black.
const char* CLOCK_POST =
    "#version 120\nuniform sampler2D renderedTexture; uniform float time;\nvarying vec2 uv;\n"
    "void main(){ float ms = floor(time * 1000.0 + 0.5);\n"
    "  gl_FragColor = vec4(mod(ms, 256.0) / 255.0, floor(ms / 256.0) / 255.0, uv.y > 0.5 ? 1.0 : 0.0, 1.0)"
    " + texture2D(renderedTexture, uv) * 0.0; }\n";

// Expects an RGB frame (top row first) of the clock probe to show `ms`, and its top half at the top.
void expect_clock_frame(const uint8_t* rgb, int ms, const std::string& what) {
    const uint8_t* top = rgb + ((size_t)10 * 1920 + 960) * 3;
    const uint8_t* bottom = rgb + ((size_t)1070 * 1920 + 960) * 3;
    EXPECT_EQ(top[0] + 256 * top[1], ms) << what;
    EXPECT_EQ(bottom[0] + 256 * bottom[1], ms) << what;
    EXPECT_EQ(top[2], 255) << what << ": upside down";
    EXPECT_EQ(bottom[2], 0) << what << ": upside down";
}

TEST_F(Capture, FrameNShowsItsRoundedMillisecondTopRowFirst) {
    write_probe_show(2.0);
    write_scene_file(19, CLOCK_POST);
    // At 7 and 30 frames per second most frame times are not whole milliseconds: frame 1 at 7 fps
    // is 142.86 ms, frame 2 at 30 fps is 66.67 ms. 7 fps goes to PNG frames, 30 fps to video.
    ASSERT_EQ(capture("--to 1 --fps 7 --png-dir frames"), 0) << err();
    for (int n = 0; n < 7; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "frames/%06d.png", n);
        int w = 0, h = 0, c = 0;
        unsigned char* png = stbi_load(name, &w, &h, &c, 3);
        ASSERT_NE(png, nullptr) << name;
        ASSERT_TRUE(w == 1920 && h == 1080) << name;
        expect_clock_frame(png, (int)std::lround(n * 1000.0 / 7), name);
        stbi_image_free(png);
    }
    EXPECT_FALSE(std::filesystem::exists("frames/000007.png"));
    ASSERT_EQ(capture("--to 0.2 --fps 30 --lossless --out clock.mkv"), 0) << err();
    Decoded d = decode("clock.mkv", [](int n, const uint8_t* rgb) {
        expect_clock_frame(rgb, (int)std::lround(n * 1000.0 / 30), "video frame " + std::to_string(n));
    });
    EXPECT_EQ(d.frames, 6);
}

TEST_F(Capture, SoundStartsAtFromInMusicThatNeverRepeats) {
    write_probe_show(1.0);
    // Every music frame says which it is: (its number modulo 30000) + 1 on the left, the rest on
    // the right. No offset can find the same sound elsewhere, as it can in a steady tone.
    std::vector<int16_t> music = write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 2.0, [](int ch, double t) {
        long f = std::lround(t * 44100);
        return (ch == 0 ? f % 30000 + 1 : f / 30000 + 1) / 32767.0;
    });
    ASSERT_EQ(capture("--from 1.3 --to 1.5 --fps 10 --png-dir frames"), 0) << err();
    ASSERT_EQ(capture("--from 1.3 --to 1.5 --fps 10 --lossless --out ramp.mkv"), 0) << err();
    const size_t first = 57330, count = 8820;  // 1.3 s and 0.2 s at 44100 Hz
    SF_INFO info{};
    SNDFILE* wav = sf_open("frames/audio.wav", SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    std::vector<int16_t> written(2 * count);
    EXPECT_EQ(sf_readf_short(wav, written.data(), (sf_count_t)count), (sf_count_t)count);
    sf_close(wav);
    EXPECT_EQ(written[0], 27331) << "the left side of music frame 57330";
    EXPECT_EQ(written[1], 2) << "the right side of music frame 57330";
    EXPECT_TRUE(std::equal(written.begin(), written.end(), music.begin() + 2 * first));
    Decoded d = decode("ramp.mkv");
    ASSERT_EQ(d.sound.size(), 2 * count);
    size_t differ = 0;
    for (size_t i = 0; i < 2 * count; ++i) differ += std::lround(d.sound[i] * 32768) != music[2 * first + i];
    EXPECT_EQ(differ, 0u);
}

// Music as the bundled show ships it, Ogg Vorbis: the sound from a later start (less than two
// seconds in, where libsndfile skips to the start instead of searching for it) is the music as
// decoding from its beginning gives it, sample for sample.
TEST_F(Capture, SoundFromALaterStartOfOggVorbisMusicIsTheMusicDecodedThroughToThere) {
    write_probe_show(1.0);
    // A sweep: no offset finds the same sound elsewhere.
    write_sound("vae5.wav", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 3.0,
                [](int ch, double t) { return 0.4 * std::sin(2 * M_PI * (200 + 300 * t) * t + ch); });
    SF_INFO info{};
    SNDFILE* ogg = sf_open("vae5.wav", SFM_READ, &info);
    ASSERT_NE(ogg, nullptr);
    std::vector<float> music((size_t)info.frames * 2);
    ASSERT_EQ(sf_readf_float(ogg, music.data(), info.frames), info.frames);
    sf_close(ogg);
    ASSERT_EQ(capture("--from 1.3 --to 1.5 --fps 10 --png-dir frames"), 0) << err();
    const size_t first = 57330, count = 8820;  // 1.3 s and 0.2 s at 44100 Hz
    SNDFILE* wav = sf_open("frames/audio.wav", SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    std::vector<int16_t> written(2 * count);
    EXPECT_EQ(sf_readf_short(wav, written.data(), (sf_count_t)count), (sf_count_t)count);
    sf_close(wav);
    size_t differ = 0;
    for (size_t i = 0; i < 2 * count; ++i) differ += written[i] != std::lround(music[2 * first + i] * 32768);
    EXPECT_EQ(differ, 0u);
}

TEST_F(Capture, AnInterruptedCaptureLeavesNeitherItsOutputNorItsPartFile) {
    write_probe_show(1.0);
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(sig));
        Spawn s;
        s.cwd = dir.path.string();
        s.unset = {"DISPLAY"};
        s.out = (dir.path / "out.txt").string();
        s.err = (dir.path / "err.txt").string();
        s.args = {"--out", "long.mp4"};  // the whole show: hours of frames on a software driver
        std::filesystem::remove("out.txt");
        pid_t pid = spawn(CAPTURE_PATH, s);
        // Interrupted once frames are going into the part file (its first progress line).
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (read_file("out.txt").find(" frames ") == std::string::npos && alive(pid) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // The video goes into a part file beside its name (long.mp4.XXXXXX.part) until it is complete.
        auto outputs = [] {
            std::vector<std::string> found;
            for (const auto& e : std::filesystem::directory_iterator("."))
                if (e.path().filename().string().rfind("long.mp4", 0) == 0) found.push_back(e.path().filename().string());
            return found;
        };
        std::vector<std::string> writing = outputs();
        kill(pid, sig);
        int code = wait_exit(pid, 30);
        ASSERT_EQ(writing.size(), 1u) << err();
        EXPECT_NE(writing[0].find(".part"), std::string::npos) << writing[0];
        EXPECT_EQ(code, 128 + sig) << "an interrupted capture is a failure, by its signal";
        EXPECT_TRUE(outputs().empty()) << "neither the output nor its part file is left";
    }
}

TEST_F(Capture, UnwritableOutputFailsAndLeavesNothing) {
    write_probe_show(1.0);
    expect_one_line_failure("--to 0.1 --out no-such-folder/show.mp4", "cannot write");
    EXPECT_FALSE(std::filesystem::exists("no-such-folder"));
    expect_one_line_failure("--to 0.1 --png-dir bitmap.png", "is not a new or empty folder");
}

TEST_F(Capture, MissingSceneFileFailsBeforeAnythingIsWritten) {
    write_probe_show(1.0);
    std::filesystem::remove("7.ck");
    expect_one_line_failure("--to 0.1", "7.ck is missing");
    EXPECT_FALSE(std::filesystem::exists("show.mp4"));
    expect_one_line_failure("--to 0.1 --dir no-such-show", "--dir no-such-show is not a folder");
}

TEST_F(Capture, PostProgramThatFailsToBuildIsNamedWithTheDriverLog) {
    write_probe_show(1.0);
    write_scene_file(19, "#version 120\nvoid main(){ gl_FragColor = undeclared_colour; }\n");
    expect_one_line_failure("--to 0.1", "program post (scene files 18.ck, 19.ck) failed to build: ");
    EXPECT_NE(err().find("undeclared_colour"), std::string::npos) << err();
    EXPECT_FALSE(std::filesystem::exists("show.mp4"));
    EXPECT_FALSE(std::filesystem::exists("show.mp4.part"));
}

TEST_F(Capture, BadArgumentsAreRefused) {
    write_probe_show(1.0);
    for (const char* args : {"--fps 0", "--from 5 --to 2", "--to 300", "--crf 60", "--lossless --png-dir f", "--frobnicate"}) {
        EXPECT_NE(capture(args), 0) << args;
        EXPECT_NE(err(), "") << args;
    }
    EXPECT_FALSE(std::filesystem::exists("show.mp4"));
    // An empty name is refused as a mistake, not taken for the default one.
    expect_one_line_failure("--to 0.1 --out ''", "--out needs a file name");
    expect_one_line_failure("--to 0.1 --png-dir ''", "--png-dir needs a folder name");
    EXPECT_FALSE(std::filesystem::exists("show.mp4"));
    EXPECT_EQ(capture("--help"), 0);
    EXPECT_NE(read_file("out.txt").find("--png-dir"), std::string::npos);
}

}  // namespace

namespace {

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// Starts a long capture with `args` in the current folder, waits until its output has begun (a
// temporary file appeared in or under the folder), then sends `sig`; returns its exit status.
int capture_stopped_by(int sig, const std::vector<std::string>& args) {
    Spawn s;
    s.unset = {"DISPLAY"};
    s.args = args;
    s.err = "err.txt";
    pid_t pid = spawn(CAPTURE_PATH, s);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool begun = false;
    while (!begun && !ended(pid) && std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(".", ec))
            if (e.path().filename().string().find(".part") != std::string::npos) begun = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(begun) << read_file("err.txt");
    kill(pid, sig);
    return wait_exit(pid, 60);
}

TEST_F(Capture, TheContainerFollowsTheFileName) {
    write_probe_show(1.0);
    ASSERT_EQ(capture("--to 0.1 --fps 10 --out plain.mkv"), 0) << err();
    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, "plain.mkv", nullptr, nullptr), 0);
    EXPECT_NE(std::string(format->iformat->name).find("matroska"), std::string::npos) << format->iformat->name;
    avformat_close_input(&format);
    EXPECT_EQ(decode("plain.mkv").frames, 1);
    // Lossless without a name: Matroska, the container that holds FFV1 and FLAC.
    ASSERT_EQ(capture("--to 0.05 --fps 20 --lossless"), 0) << err();
    ASSERT_EQ(avformat_open_input(&format, "show.mkv", nullptr, nullptr), 0);
    EXPECT_NE(std::string(format->iformat->name).find("matroska"), std::string::npos) << format->iformat->name;
    avformat_close_input(&format);
    EXPECT_EQ(decode("show.mkv").frames, 1);
    std::filesystem::remove("show.mkv");
    // A name whose container cannot hold the streams, or names none, is refused before any work.
    expect_one_line_failure("--to 0.1 --lossless --out exact.mp4", "cannot hold FFV1");
    expect_one_line_failure("--to 0.1 --out show.xyz", "no container is known");
    EXPECT_EQ(names_in("."), (std::set<std::string>{"0.ck", "1.ck", "2.ck", "3.ck", "4.ck", "5.ck", "6.ck", "7.ck", "8.ck", "9.ck",
                                                    "10.ck", "11.ck", "12.ck", "13.ck", "14.ck", "15.ck", "16.ck", "17.ck", "18.ck",
                                                    "19.ck", "bitmap.png", "vae5.wav", "plain.mkv", "out.txt", "err.txt"}));
}

TEST_F(Capture, ALogoTheShowCannotDecodeIsWarnedAboutAsAMissingOneIs) {
    write_probe_show(1.0);
    std::string png = read_file("bitmap.png");
    // A PNG that claims 60000x60000 pixels in its header.
    std::string huge = png;
    for (int at : {16, 20}) huge.replace(at, 4, std::string("\x00\x00\xea\x60", 4));
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = (char)(i * 2654435761u >> 13);
    for (const auto& logo : std::vector<std::pair<std::string, std::string>>{
             {"random bytes", noise}, {"cut short", png.substr(0, png.size() / 2)}, {"60000x60000", huge}, {"missing", ""}}) {
        SCOPED_TRACE(logo.first);
        if (logo.first == "missing") std::filesystem::remove("bitmap.png");
        else write_file("bitmap.png", logo.second);
        ASSERT_EQ(capture("--to 0.05 --fps 20 --out logo.mkv"), 0) << err();
        std::string e = err();
        EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
        EXPECT_EQ(e.rfind("oruvane-capture: warning: ", 0), 0u) << e;
        EXPECT_NE(e.find("bitmap.png"), std::string::npos) << e;
        EXPECT_NE(e.find("the logo stays empty"), std::string::npos) << e;
    }
    // The good logo says nothing.
    write_file("bitmap.png", png);
    ASSERT_EQ(capture("--to 0.05 --fps 20 --out logo.mkv"), 0) << err();
    EXPECT_EQ(err(), "");
}

TEST_F(Capture, TheUsersFilesSurviveEverySignalAndNothingPartialIsLeft) {
    write_probe_show(1.0);
    write_file("show.mp4", "an older video");
    std::set<std::string> before = names_in(".");
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(sig);
        EXPECT_EQ(capture_stopped_by(sig, {"--to", "200", "--out", "show.mp4"}), 128 + sig);
        EXPECT_EQ(read_file("show.mp4"), "an older video");
        std::set<std::string> now = names_in(".");
        now.erase("err.txt");
        EXPECT_EQ(now, before);
    }
    // Frames into a new folder: the folder goes with them; into an empty one, it stays empty.
    EXPECT_EQ(capture_stopped_by(SIGTERM, {"--to", "200", "--png-dir", "frames"}), 128 + SIGTERM);
    EXPECT_FALSE(std::filesystem::exists("frames"));
    std::filesystem::create_directory("empty");
    EXPECT_EQ(capture_stopped_by(SIGINT, {"--to", "200", "--png-dir", "empty"}), 128 + SIGINT);
    EXPECT_TRUE(std::filesystem::is_empty("empty"));
}

TEST_F(Capture, AFolderWithFilesInItOrAnInputIsNeverWrittenOver) {
    write_probe_show(1.0);
    std::filesystem::create_directory("frames");
    write_file("frames/000000.png", "mine");
    write_file("frames/notes.txt", "also mine");
    expect_one_line_failure("--to 0.1 --png-dir frames", "is not a new or empty folder");
    EXPECT_EQ(names_in("frames"), (std::set<std::string>{"000000.png", "notes.txt"}));
    EXPECT_EQ(read_file("frames/000000.png"), "mine");
    // The show's own music, or a folder, as the video.
    std::string music = read_file("vae5.wav");
    expect_one_line_failure("--to 0.1 --out vae5.wav", "inputs");
    EXPECT_EQ(read_file("vae5.wav"), music);
    expect_one_line_failure("--to 0.1 --out frames", "is a folder");
}

TEST_F(Capture, DrawingOnTheXDisplayEndsOnASignalLikeAnyTool) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs DISPLAY (a 1920x1080 X server)";
    write_probe_show(1.0);
    Spawn s;
    s.args = {"--x11", "--to", "200", "--out", "x.mp4"};
    s.err = "err.txt";
    pid_t pid = spawn(CAPTURE_PATH, s);
    ASSERT_FALSE(x_wait_window(std::getenv("DISPLAY"), "oruvane-capture", 30).empty()) << err();
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_exit(pid, 30), 128 + SIGTERM) << "the show's exit-0 policy belongs to the show alone";
    for (const std::string& n : names_in(".")) EXPECT_EQ(n.find("x.mp4"), std::string::npos) << n;
}

}  // namespace
