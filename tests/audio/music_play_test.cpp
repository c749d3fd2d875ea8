// The music start and the wave player heard through SDL's disk driver: each case runs one scenario
// in a child process that writes the device's output to out.raw, then checks what came out.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <stdio.h>
#include <string.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "sound_files.h"

static const double RATE = 44100.0;

struct Heard {
    std::map<std::string, int> said;  // the scenario's key=value lines
    int status = -1;
    std::vector<int16_t> pcm;         // interleaved stereo, disk driver only
    size_t frames() const { return pcm.size() / 2; }
    int16_t at(size_t frame, int ch) const { return pcm[2 * frame + ch]; }
};

static Heard run_scenario(const std::string& driver, const std::string& scenario, int ms = 0) {
    std::string command = "SDL_AUDIODRIVER=" + driver + " SDL_DISKAUDIOFILE=out.raw '" AUDIO_SCENARIO_PATH "' " +
                          scenario + " " + std::to_string(ms);
    Heard run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char line[256];
    while (fgets(line, sizeof line, pipe)) {
        char key[128];
        int value;
        if (sscanf(line, "%127[^=]=%d", key, &value) == 2) run.said[key] = value;
    }
    run.status = pclose(pipe);
    std::string raw = read_file("out.raw");
    run.pcm.resize(raw.size() / 4 * 2);
    if (!run.pcm.empty()) memcpy(run.pcm.data(), raw.data(), run.pcm.size() * 2);
    return run;
}

// Left 440 Hz, right 660 Hz, both starting at their peak so the first played frame is unmistakable.
static double stereo_tone(int ch, double t) { return 0.5 * std::cos(2 * M_PI * (ch == 0 ? 440.0 : 660.0) * t); }

static size_t first_loud(const Heard& run, int threshold, size_t from = 0) {
    for (size_t f = from; f < run.frames(); ++f)
        if (std::abs(run.at(f, 0)) > threshold || std::abs(run.at(f, 1)) > threshold) return f;
    return SIZE_MAX;
}

static size_t last_loud(const Heard& run, int threshold) {
    for (size_t f = run.frames(); f-- > 0;)
        if (std::abs(run.at(f, 0)) > threshold || std::abs(run.at(f, 1)) > threshold) return f;
    return SIZE_MAX;
}

// Frequency from the first and last upward zero crossings in [a, b), interpolated between samples.
static double frequency(const Heard& run, int ch, size_t a, size_t b) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t f = a + 1; f < b && f < run.frames(); ++f) {
        double y0 = run.at(f - 1, ch), y1 = run.at(f, ch);
        if (y0 < 0 && y1 >= 0) {
            double t = (double)(f - 1) + (-y0) / (y1 - y0);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * RATE / (last - first);
}

static double rms(const Heard& run, int ch, size_t a, size_t b) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = a; f < b && f < run.frames(); ++f, ++n) sum += (double)run.at(f, ch) * run.at(f, ch);
    return n ? std::sqrt(sum / n) / 32768.0 : 0;
}

static size_t frames_of(double seconds) { return (size_t)(seconds * RATE); }

// The file must come out sample for sample, exactly once, with silence before and after it.
static void expect_played_once_exactly(const Heard& run, const std::vector<int16_t>& file) {
    ASSERT_EQ(run.said.at("music_state"), 1);
    size_t start = first_loud(run, 0);
    ASSERT_NE(start, SIZE_MAX) << "nothing came out";
    size_t frames = file.size() / 2;
    ASSERT_GE(run.frames(), start + frames + frames_of(0.3)) << "output too short to see the end";
    size_t mismatches = 0;
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < 2; ++c) mismatches += run.at(start + f, c) != file[2 * f + c];
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(first_loud(run, 0, start + frames), SIZE_MAX) << "sound after the file's end";
}

TEST(MusicStream, WavPlaysOnceSampleForSampleBesideTheWaveOut) {
    ScratchDir dir;
    std::vector<int16_t> file = write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.5, stereo_tone);
    Heard run = run_scenario("disk", "show", 2100);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["wave"], 1);
    EXPECT_EQ(run.said["playing"], 1);
    EXPECT_EQ(run.said["playing_after_stop"], 0);
    expect_played_once_exactly(run, file);
}

TEST(MusicStream, SecondStartAddsNothing) {
    ScratchDir dir;
    std::vector<int16_t> file = write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.0, stereo_tone);
    Heard run = run_scenario("disk", "twice", 1600);
    EXPECT_EQ(run.status, 0);
    expect_played_once_exactly(run, file);  // a second channel would double or echo it
}

// A stream as heard after lossy coding or resampling: right pitch, level and length.
static void expect_tone(const Heard& run, double seconds, double left_hz, double right_hz, double level, double level_tolerance) {
    ASSERT_EQ(run.said.at("music_state"), 1);
    size_t start = first_loud(run, 200), end = last_loud(run, 200);
    ASSERT_NE(start, SIZE_MAX) << "nothing came out";
    EXPECT_NEAR((double)(end - start) / RATE, seconds, 0.03);
    size_t a = start + frames_of(0.05), b = start + frames_of(seconds - 0.05);
    EXPECT_NEAR(frequency(run, 0, a, b), left_hz, 0.5);
    EXPECT_NEAR(frequency(run, 1, a, b), right_hz, 0.5);
    EXPECT_NEAR(rms(run, 0, a, b), level / std::sqrt(2.0), level_tolerance);
    EXPECT_NEAR(rms(run, 1, a, b), level / std::sqrt(2.0), level_tolerance);
}

class Resampled : public ::testing::TestWithParam<int> {};

TEST_P(Resampled, MonoFileComesOutAtItsPitchOnBothSides) {
    ScratchDir dir;
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, GetParam(), 1, 1.0,
                [](int, double t) { return 0.5 * std::sin(2 * M_PI * 440.0 * t); });
    Heard run = run_scenario("disk", "show", 1500);
    expect_tone(run, 1.0, 440.0, 440.0, 0.5, 0.01);
    size_t start = first_loud(run, 0), differ = 0;
    for (size_t f = start; f < run.frames(); ++f) differ += run.at(f, 0) != run.at(f, 1);
    EXPECT_EQ(differ, 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, Resampled, ::testing::Values(22050, 48000));

struct Coded {
    const char* name;
    int format;
    double level_tolerance;
};

static void PrintTo(const Coded& coded, std::ostream* os) { *os << coded.name; }

class CompressedStream : public ::testing::TestWithParam<Coded> {};

TEST_P(CompressedStream, PlaysAsAStream) {
    SF_INFO probe{};
    probe.samplerate = 44100;
    probe.channels = 2;
    probe.format = GetParam().format;
    if (!sf_format_check(&probe)) GTEST_SKIP() << "this libsndfile cannot write " << GetParam().name;
    ScratchDir dir;
    write_sound("vae5.wav", GetParam().format, 44100, 2, 1.0, stereo_tone);
    Heard run = run_scenario("disk", "show", 1500);
    expect_tone(run, 1.0, 440.0, 660.0, 0.5, GetParam().level_tolerance);
}

INSTANTIATE_TEST_SUITE_P(Formats, CompressedStream,
                         ::testing::Values(Coded{"Flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.005},
                                           Coded{"OggVorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.03}),
                         [](const ::testing::TestParamInfo<Coded>& info) { return std::string(info.param.name); });

// A 4-channel "M.K." module, 8 rows at speed 3 (0.48 s): a looping tone for rows 0-3, silenced on
// row 4, and a pattern break on row 7 that ends the song.
static std::string tracker_module() {
    std::string m(1084 + 1024 + 64, '\0');
    memcpy(&m[0], "loop test", 9);
    unsigned char* s = (unsigned char*)&m[20];  // sample 1: 32 words, volume 64, looped whole
    s[23] = 32;
    s[25] = 64;
    s[29] = 32;
    m[950] = 1;    // song length
    m[951] = 127;
    m[952] = 0;    // order 0: pattern 0
    memcpy(&m[1080], "M.K.", 4);
    auto cell = [&](int row, int ch, int sample, int period, int effect, int param) {
        unsigned char* p = (unsigned char*)&m[1084 + (row * 4 + ch) * 4];
        p[0] = (unsigned char)((sample & 0xF0) | (period >> 8));
        p[1] = (unsigned char)(period & 0xFF);
        p[2] = (unsigned char)(((sample & 0x0F) << 4) | effect);
        p[3] = (unsigned char)param;
    };
    cell(0, 0, 1, 428, 0xF, 3);
    cell(4, 0, 0, 0, 0xC, 0);
    cell(7, 1, 0, 0, 0xD, 0);
    for (int i = 0; i < 64; ++i) m[1084 + 1024 + i] = (char)(int8_t)std::lround(100 * std::sin(2 * M_PI * i / 32));
    return m;
}

static double loudness(const Heard& run, size_t a, size_t b) { return std::hypot(rms(run, 0, a, b), rms(run, 1, a, b)); }

TEST(MusicModule, NotAStreamButAModule) {
    ScratchDir dir;
    write_file("vae5.wav", tracker_module());
    Heard run = run_scenario("dummy", "probe");
    EXPECT_EQ(run.said["init"], 1);
    EXPECT_EQ(run.said["stream"], 0);
    EXPECT_NE(run.said["module"], 0);
}

// Three passes of the test module's 0.48 s song from the first loud frame on, each loud for its
// first four rows and silent after the tone is cut on row 4.
static void expect_three_passes(const Heard& run) {
    size_t start = first_loud(run, 300);
    ASSERT_NE(start, SIZE_MAX) << "nothing came out";
    for (int k = 0; k < 3; ++k) {
        double at = (double)start / RATE + 0.48 * k;
        ASSERT_GE(run.frames(), frames_of(at + 0.45)) << "output too short";
        EXPECT_GT(loudness(run, frames_of(at + 0.03), frames_of(at + 0.2)), 0.05) << "pass " << k;
        EXPECT_LT(loudness(run, frames_of(at + 0.28), frames_of(at + 0.45)), 0.002) << "pass " << k;
    }
}

TEST(MusicModule, PlaysAndLoopsPastItsSongLength) {
    ScratchDir dir;
    write_file("vae5.wav", tracker_module());
    Heard run = run_scenario("disk", "show", 2000);
    ASSERT_EQ(run.said["music_state"], 1);
    expect_three_passes(run);
}

TEST(MusicModule, GoesOnLoopingAfterASeek) {
    ScratchDir dir;
    write_file("vae5.wav", tracker_module());
    // 0.96 s is the start of the third pass: a module that stopped looping has ended there.
    Heard run = run_scenario("disk", "music_seek", 960);
    ASSERT_EQ(run.said["seek"], 1);
    ASSERT_EQ(run.said["play"], 1);
    expect_three_passes(run);
}

class Unplayable : public ::testing::TestWithParam<const char*> {};

TEST_P(Unplayable, LeavesMusicOffAndTheWaveOutWorking) {
    ScratchDir dir;
    std::string kind = GetParam();
    if (kind == "Empty") write_file("vae5.wav", "");
    if (kind == "Text") {
        std::string text;
        for (int i = 0; i < 200; ++i) text += "this is not a sound file\n";
        write_file("vae5.wav", text);
    }
    if (kind == "Noise") {
        std::mt19937 random(1);
        std::string noise(8192, '\0');
        for (char& c : noise) c = (char)random();
        write_file("vae5.wav", noise);
    }
    if (kind == "CutWav") {
        write_sound("whole.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 0.1, stereo_tone);
        write_file("vae5.wav", read_file("whole.wav").substr(0, 30));
    }
    Heard run = run_scenario("dummy", "show", 100);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["music_state"], 0);
    EXPECT_EQ(run.said["wave"], 1);
}

INSTANTIATE_TEST_SUITE_P(Files, Unplayable, ::testing::Values("Missing", "Empty", "Text", "Noise", "CutWav"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST(NoAudioDriver, MusicStaysOffAndTheWaveOutFails) {
    ScratchDir dir;
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 0.2, stereo_tone);
    Heard run = run_scenario("no_such_driver", "show", 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["music_state"], 0);
    EXPECT_EQ(run.said["wave"], 0);
    EXPECT_EQ(run.said["playing"], 0);
}

// Writes `seconds` of 32-bit float stereo holding `left` and `right`, which may lie beyond full scale.
static void write_float_wav(const char* name, double seconds, float left, float right) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> frames;
    for (size_t f = 0; f < frames_of(seconds); ++f) frames.insert(frames.end(), {left, right});
    SNDFILE* file = sf_open(name, SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, frames.data(), (sf_count_t)frames_of(seconds));
    sf_close(file);
}

// How many frames of `run` hold each (left, right) pair other than silence.
static std::map<std::pair<int, int>, size_t> frame_values(const Heard& run) {
    std::map<std::pair<int, int>, size_t> seen;
    for (size_t f = 0; f < run.frames(); ++f)
        if (run.at(f, 0) || run.at(f, 1)) ++seen[{run.at(f, 0), run.at(f, 1)}];
    return seen;
}

TEST(MusicLevel, AboveFullScaleAloneOrWithTheWaveOutClipsInsteadOfWrapping) {
    ScratchDir dir;
    write_float_wav("vae5.wav", 0.5, 1.5f, -1.5f);
    Heard alone = run_scenario("disk", "show", 800);
    ASSERT_EQ(alone.said["music_state"], 1);
    std::map<std::pair<int, int>, size_t> clipped{{{32767, -32768}, frames_of(0.5)}};
    EXPECT_EQ(frame_values(alone), clipped);

    // Three quarters of full scale in the music and as much in the wave: together beyond it. The
    // music ends 0.4 s before the run does, so a disk driver running late still writes all of it.
    write_float_wav("vae5.wav", 0.6, 0.75f, -0.75f);
    Heard both = run_scenario("disk", "music_and_wave", 400);
    ASSERT_EQ(both.said["music_state"], 1);
    ASSERT_EQ(both.said["wave"], 1);
    std::map<std::pair<int, int>, size_t> expected{{{32767, -32768}, frames_of(0.4)},
                                                   {{24576, -24576}, frames_of(0.6) - frames_of(0.4)}};
    EXPECT_EQ(frame_values(both), expected);
}

// Runs of sound separated by at least 10 ms of silence: {first frame, length}.
static std::vector<std::pair<size_t, size_t>> sounding_runs(const Heard& run) {
    std::vector<std::pair<size_t, size_t>> runs;
    size_t f = first_loud(run, 0);
    while (f != SIZE_MAX) {
        size_t end = f, quiet = 0;
        for (size_t g = f; g < run.frames() && quiet < frames_of(0.01); ++g) {
            if (run.at(g, 0) != 0 || run.at(g, 1) != 0) end = g, quiet = 0;
            else ++quiet;
        }
        runs.push_back({f, end + 1 - f});
        f = first_loud(run, 0, end + 1);
    }
    return runs;
}

TEST(WavePlayer, PlaysItsLengthAndStopsOnRequest) {
    ScratchDir dir;
    Heard run = run_scenario("disk", "wave_tone");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["first"], 1);
    EXPECT_EQ(run.said["playing_after_end"], 0);
    EXPECT_EQ(run.said["second"], 1);
    EXPECT_EQ(run.said["stop"], 1);
    EXPECT_EQ(run.said["stop_again"], 1);
    EXPECT_EQ(run.said["playing_after_stop"], 0);
    std::vector<std::pair<size_t, size_t>> runs = sounding_runs(run);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].second, frames_of(0.4)) << "the whole short wave, no more";
    EXPECT_NEAR(frequency(run, 0, runs[0].first, runs[0].first + runs[0].second), 1000.0, 0.5);
    EXPECT_NEAR(rms(run, 1, runs[0].first, runs[0].first + runs[0].second), 0.25 / std::sqrt(2.0), 0.005);
    EXPECT_NEAR((double)runs[1].second / RATE, 0.4, 0.15) << "the long wave, cut by the stop";
}

TEST(ChannelControl, SeekSetsWherePlayStartsAndPauseHoldsThePlace) {
    ScratchDir dir;
    std::vector<int16_t> file = write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.5, stereo_tone);
    Heard run = run_scenario("disk", "seek_pause", 1200);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["seek"], 1);
    EXPECT_EQ(run.said["play"], 1);
    EXPECT_EQ(run.said["pause"], 1);
    EXPECT_EQ(run.said["resume"], 1);
    EXPECT_EQ(run.said["seek_unloaded"], 0);
    std::vector<std::pair<size_t, size_t>> runs = sounding_runs(run);
    ASSERT_EQ(runs.size(), 2u) << "played, held, then played on";
    EXPECT_NEAR((double)(runs[1].first - runs[0].first - runs[0].second) / RATE, 0.3, 0.1);
    // Together the two runs are the file from 0.5 s to its end, sample for sample.
    size_t at = frames_of(0.5), mismatches = 0;
    EXPECT_EQ(runs[0].second + runs[1].second, file.size() / 2 - at);
    for (const auto& r : runs)
        for (size_t f = 0; f < r.second && at < file.size() / 2; ++f, ++at)
            for (int c = 0; c < 2; ++c) mismatches += run.at(r.first + f, c) != file[2 * at + c];
    EXPECT_EQ(mismatches, 0u);
}

TEST(ChannelControl, SeekPastTwoMinutesLandsOnTheExactFrame) {
    ScratchDir dir;
    // Every frame says which it is: (its number modulo 30000) + 1 on the left, the rest on the right.
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 150.5, [](int ch, double t) {
        long f = std::lround(t * RATE);
        return (ch == 0 ? f % 30000 + 1 : f / 30000 + 1) / 32767.0;
    });
    // 150.007 s is frame 6615308.7: the nearest is 6615309. A 32-bit product of milliseconds and
    // rate would have wrapped after 97.4 s.
    Heard run = run_scenario("disk", "seek_play", 150007);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.said["seek"], 1);
    EXPECT_EQ(run.said["play"], 1);
    size_t start = first_loud(run, 0);
    ASSERT_NE(start, SIZE_MAX) << "nothing came out";
    ASSERT_GT(run.frames(), start + 1000);
    auto frame_number = [&](size_t f) { return (long)(run.at(f, 1) - 1) * 30000 + (run.at(f, 0) - 1); };
    EXPECT_EQ(frame_number(start), 6615309);
    EXPECT_EQ(frame_number(start + 1000), 6615309 + 1000);
}
