// mkmusic: the WAV it writes (format, length, loudness per section, headroom, fades), that it
// is reproducible, and the arithmetic the synthesizer uses instead of libm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "score.h"
#include "template_score.h"

namespace {

const int RATE = 44100, SECONDS = 240;

int run(const std::string& args) { return run_tool(MKMUSIC_PATH, args); }

uint32_t u32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
uint32_t u16(const std::string& b, size_t at) { return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8; }

std::vector<int16_t> samples(const std::string& wav) {
    std::vector<int16_t> s((wav.size() - 44) / 2);
    std::memcpy(s.data(), wav.data() + 44, s.size() * 2);
    return s;
}

// RMS over both channels between two times, as a fraction of full scale.
double rms(const std::vector<int16_t>& s, double t0, double t1) {
    size_t a = size_t(t0 * RATE) * 2, b = size_t(t1 * RATE) * 2;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(b - a)) / 32768.0;
}

TEST(Mkmusic, WritesFourMinutesOfStereoCdAudio) {
    ScratchDir dir;
    ASSERT_EQ(run("music.wav"), 0) << read_file("err.txt");
    std::string wav = read_file("music.wav");
    const uint32_t data = uint32_t(SECONDS) * RATE * 4;
    ASSERT_EQ(wav.size(), 44 + size_t(data));
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(wav, 4), 36 + data);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(wav, 16), 16u);
    EXPECT_EQ(u16(wav, 20), 1u);  // PCM
    EXPECT_EQ(u16(wav, 22), 2u);
    EXPECT_EQ(u32(wav, 24), uint32_t(RATE));
    EXPECT_EQ(u32(wav, 28), uint32_t(RATE) * 4);
    EXPECT_EQ(u16(wav, 32), 4u);
    EXPECT_EQ(u16(wav, 34), 16u);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(u32(wav, 40), data);

    std::vector<int16_t> s = samples(wav);
    int peak = 0;
    for (int16_t x : s) peak = std::max(peak, std::abs(int(x)));
    EXPECT_LE(peak, 29205) << "peak must stay at or below -1 dBFS";
    EXPECT_GT(peak, 16384) << "the mix should use most of the range";

    // Every section of the show has music under it; none is much quieter than -30 dBFS RMS.
    const std::vector<synth::Section> plan = synth::sections();
    for (const synth::Section& sec : plan)
        EXPECT_GT(rms(s, sec.start, sec.end), 0.03) << sec.name << " from " << sec.start << " s";

    // Swells in from silence, blooms by the first scene, and fades out completely at the end.
    EXPECT_LT(rms(s, 0, 0.25), 0.002);
    EXPECT_GT(rms(s, 3, 4), 10 * rms(s, 0, 1));
    EXPECT_LT(rms(s, 239.5, 240), 0.01 * rms(s, 225, 230));
    EXPECT_LE(std::abs(s[s.size() - 1]), 2);
    EXPECT_LE(std::abs(s[0]), 2);

    // Each scene change lands on a hit after the quieter fill that leads into it, so sound and
    // picture cut together.
    for (size_t i = 1; i < plan.size(); ++i) {
        double c = plan[i].start;
        EXPECT_GT(rms(s, c, c + 0.15), 1.4 * rms(s, c - 0.15, c)) << "change at " << c << " s";
    }

    // A real stereo mix: both channels carry the music and they differ.
    double left = 0, right = 0, side = 0;
    for (size_t i = 0; i < s.size(); i += 2) {
        left += double(s[i]) * s[i];
        right += double(s[i + 1]) * s[i + 1];
        side += double(s[i] - s[i + 1]) * (s[i] - s[i + 1]);
    }
    EXPECT_NEAR(left / right, 1.0, 0.3);
    EXPECT_GT(side, 0.01 * (left + right));
}

TEST(Mkmusic, WavBytesAreLittleEndianInterleavedPcm) {
    std::vector<uint8_t> w = synth::wav_bytes({1, -2, 0x1234, -32768});
    ASSERT_EQ(w.size(), 44u + 8);
    std::string b(w.begin(), w.end());
    EXPECT_EQ(u32(b, 4), 36u + 8);
    EXPECT_EQ(u32(b, 40), 8u);
    const uint8_t data[8] = {0x01, 0x00, 0xfe, 0xff, 0x34, 0x12, 0x00, 0x80};
    EXPECT_EQ(std::memcmp(w.data() + 44, data, 8), 0);
}

TEST(Mkmusic, SameBytesOnEveryRun) {
    ScratchDir dir;
    ASSERT_EQ(run("a.wav"), 0);
    ASSERT_EQ(run("b.wav"), 0);
    std::string a = read_file("a.wav"), b = read_file("b.wav");
    EXPECT_GT(a.size(), 44u);
    EXPECT_TRUE(a == b);
}

TEST(Mkmusic, FailsClearlyOnBadUse) {
    ScratchDir dir;
    EXPECT_NE(run(""), 0);
    EXPECT_NE(read_file("err.txt").find("OUT is required"), std::string::npos) << read_file("err.txt");
    EXPECT_NE(run("a.wav b.wav"), 0);
    EXPECT_NE(run("no/such/dir/music.wav"), 0);
    EXPECT_NE(read_file("err.txt").find("no/such/dir/music.wav"), std::string::npos);
}

// The starter project's piece: as long as its sheet, the same bytes on every run, music under
// every section with a hit on each scene change; a sheet whose beat is not the piece's is refused
// and nothing is written.
TEST(MkmusicTemplate, NinetySecondsLaidOnTheStarterSheet) {
    ScratchDir dir;
    const std::string sheet = TEMPLATE_SOURCE_DIR "/show.cues";
    ASSERT_EQ(run("--template " + sheet + " a.ogg"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--template " + sheet + " b.ogg"), 0) << read_file("err.txt");
    std::string a = read_file("a.ogg");
    EXPECT_TRUE(a == read_file("b.ogg"));
    ASSERT_EQ(a.size(), 44 + size_t(90) * RATE * 4);
    std::vector<int16_t> s = samples(a);
    sheet::Sheet parsed;
    sheet::Script script;
    std::string error;
    ASSERT_TRUE(sheet::load(sheet, parsed, script, error)) << error;
    const std::vector<synth::Section> plan = synth::template_sections(script);
    ASSERT_EQ(plan.size(), 11u);
    EXPECT_EQ(plan.back().end, 90.0);
    for (const synth::Section& sec : plan) EXPECT_GT(rms(s, sec.start, std::min(sec.end, 87.0)), 0.03) << sec.name;
    for (const sheet::Slot& slot : script.slots) {
        double c = slot.start_ms / 1000.0;
        if (c > 0) {
            EXPECT_GT(rms(s, c, c + 0.15), 1.4 * rms(s, c - 0.15, c)) << "change at " << c << " s";
        }
    }
    EXPECT_LE(std::abs(s[0]), 2);
    EXPECT_LE(std::abs(s[s.size() - 1]), 2);

    std::string text = read_file(sheet);
    size_t at = text.find("\ntempo 0.000 120\n");
    ASSERT_NE(at, std::string::npos);
    write_file("show.cues", text.replace(at, 17, "\ntempo 0.000 126\n"));
    EXPECT_EQ(run("--template show.cues c.ogg"), 1);
    EXPECT_NE(read_file("err.txt").find("show.cues: the sheet's beat grid is not the starter score's"), std::string::npos)
        << read_file("err.txt");
    EXPECT_FALSE(std::filesystem::exists("c.ogg"));
}

// The synthesizer avoids libm's sin/exp2 so its output cannot change with the C library;
// its replacements must still be accurate over the ranges the synthesizer uses.
TEST(MkmusicMath, SineAndPowerOfTwoMatchTheLibraryClosely) {
    for (double x = -40.0; x <= 40.0; x += 0.0137) EXPECT_NEAR(synth::dsin(x), std::sin(x), 1e-12) << x;
    for (double x : {0.0, 1e-9, 1.5707963267948966, 3.141592653589793, -2.5, 6.283185307179586})
        EXPECT_NEAR(synth::dsin(x), std::sin(x), 1e-13) << x;
    for (double x = -30.0; x <= 20.0; x += 0.0173) {
        double want = std::exp2(x);
        EXPECT_NEAR(synth::dexp2(x), want, want * 1e-13) << x;
    }
    EXPECT_EQ(synth::dexp2(0), 1.0);
    EXPECT_EQ(synth::dexp2(3), 8.0);
    EXPECT_EQ(synth::dexp2(-1), 0.5);
}

}  // namespace
