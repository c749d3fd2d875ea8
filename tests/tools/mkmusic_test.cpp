// mkmusic: the WAV it writes (format, length, loudness per section, headroom, fades), the Ogg
// Vorbis it writes by default against it (length, level second by second), that both are
// reproducible, the renumbering of Ogg pages behind that, the starter project's piece, and the
// arithmetic the synthesizer uses instead of libm.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/ogg_vorbis.h"
#include "scratch_dir.h"
#include "score.h"
#include "sound_files.h"
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

// Every sample of a sound file libsndfile reads, as 16-bit interleaved values; `rate` and
// `channels` are set from the file.
std::vector<int16_t> decode(const std::string& name, int& rate, int& channels) {
    SF_INFO info{};
    SNDFILE* f = sf_open(name.c_str(), SFM_READ, &info);
    EXPECT_NE(f, nullptr) << name << ": " << sf_strerror(nullptr);
    if (!f) return {};
    rate = info.samplerate;
    channels = info.channels;
    std::vector<int16_t> s((size_t)info.frames * (size_t)info.channels);
    s.resize((size_t)sf_readf_short(f, s.data(), info.frames) * (size_t)info.channels);
    sf_close(f);
    return s;
}

// Expects the Ogg Vorbis file `ogg` to hold the samples of the WAV file `wav` as the show plays
// them: 44.1 kHz stereo, exactly as long, every second louder than -50 dBFS within 1 dB of the
// WAV's level, the quieter ones (the rise out of silence, the last fade) within 0.001 of full
// scale. Prints the size and the largest differences.
void expect_levels_kept(const std::string& ogg, const std::string& wav_file) {
    SF_INFO info{};
    SNDFILE* f = sf_open(ogg.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << ogg;
    sf_close(f);
    EXPECT_EQ(info.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    int rate = 0, channels = 0;
    std::vector<int16_t> decoded = decode(ogg, rate, channels);
    EXPECT_EQ(rate, RATE);
    EXPECT_EQ(channels, 2);
    std::vector<int16_t> wav = samples(read_file(wav_file));
    ASSERT_EQ(decoded.size(), wav.size()) << "the length in frames";

    const int seconds = (int)(wav.size() / 2 / RATE);
    double loud = 0, quiet = 0;
    int loud_seconds = 0;
    for (int s = 0; s < seconds; ++s) {
        double want = rms(wav, s, s + 1), got = rms(decoded, s, s + 1);
        if (20 * std::log10(want) > -50) {
            ++loud_seconds;
            double db = std::fabs(20 * std::log10(got / want));
            loud = std::max(loud, db);
            EXPECT_LE(db, 1.0) << "second " << s << " at " << 20 * std::log10(want) << " dBFS";
        } else {
            quiet = std::max(quiet, std::fabs(got - want));
            EXPECT_LE(std::fabs(got - want), 0.001) << "second " << s << " at " << 20 * std::log10(want) << " dBFS";
        }
    }
    EXPECT_GT(loud_seconds, seconds - 10);
    std::printf("%s: Ogg Vorbis %zu bytes; level differences: %.3f dB at most in the %d seconds above -50 dBFS, "
                "%.5f of full scale in the other %d\n", ogg.c_str(), (size_t)std::filesystem::file_size(ogg), loud,
                loud_seconds, quiet, seconds - loud_seconds);
}

TEST(Mkmusic, WritesFourMinutesOfStereoCdAudio) {
    ScratchDir dir;
    ASSERT_EQ(run("--wav music.wav"), 0) << read_file("err.txt");
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

// The music as the show ships it: Ogg Vorbis as long as the show, whose every second louder than
// -50 dBFS keeps the rendered level within 1 dB, the quieter ones (the rise out of silence, the
// last fade) within 0.001 of full scale; the same bytes on every run, as the WAV's are.
TEST(Mkmusic, OggVorbisKeepsTheLevelOfEverySecondAndTheSameBytesOnEveryRun) {
    ScratchDir dir;
    ASSERT_EQ(run("a.ogg"), 0) << read_file("err.txt");
    ASSERT_EQ(run("b.ogg"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--wav a.wav"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--wav b.wav"), 0) << read_file("err.txt");
    std::string ogg = read_file("a.ogg");
    EXPECT_TRUE(ogg == read_file("b.ogg"));
    EXPECT_TRUE(read_file("a.wav") == read_file("b.wav"));
    EXPECT_EQ(ogg.substr(0, 4), "OggS");
    EXPECT_LT(ogg.size(), read_file("a.wav").size() / 8);

    expect_levels_kept("a.ogg", "a.wav");
}

TEST(Mkmusic, OggPagesTakeOneSerialWithChecksumsThatStillRead) {
    ScratchDir dir;
    // libsndfile numbers the stream from the clock; renumbered, the file reads back the same.
    write_sound("tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 3.0,
                [](int c, double t) { return 0.4 * std::sin(2 * M_PI * (c ? 330.0 : 440.0) * t); });
    std::string ogg = read_file("tone.ogg"), renumbered = ogg;
    ASSERT_TRUE(sound::ogg_set_serial(renumbered, 0x12345678u));
    ASSERT_EQ(renumbered.size(), ogg.size());
    int pages = 0;
    for (size_t at = renumbered.find("OggS"); at != std::string::npos; at = renumbered.find("OggS", at + 1)) {
        EXPECT_EQ(u32(renumbered, at + 14), 0x12345678u) << "page at " << at;
        ++pages;
    }
    EXPECT_GT(pages, 3);
    write_file("renumbered.ogg", renumbered);
    int rate = 0, channels = 0;
    // libogg drops a page whose checksum is wrong: every sample still comes back.
    EXPECT_TRUE(decode("renumbered.ogg", rate, channels) == decode("tone.ogg", rate, channels));

    // A checksum is of the whole page with the field zeroed: one changed byte changes it.
    std::string broken = renumbered;
    broken[broken.size() - 1] ^= 1;
    std::string fixed = broken;
    ASSERT_TRUE(sound::ogg_set_serial(fixed, 0x12345678u));
    EXPECT_NE(fixed.substr(0, fixed.size() - 1), renumbered.substr(0, renumbered.size() - 1));

    // Anything but whole pages is left as it was.
    for (std::string bad : {renumbered.substr(0, renumbered.size() - 1), "RIFF" + renumbered, std::string()}) {
        std::string before = bad;
        EXPECT_FALSE(sound::ogg_set_serial(bad, 1));
        EXPECT_TRUE(bad == before);
    }
    // The checksum's definition: CRC-32 with polynomial 0x04c11db7, unreflected, from zero.
    const unsigned char check[] = "123456789";
    EXPECT_EQ(sound::ogg_crc(check, 9), 0x89a1897fu);
}

TEST(Mkmusic, FailsClearlyOnBadUse) {
    ScratchDir dir;
    EXPECT_NE(run(""), 0);
    EXPECT_NE(read_file("err.txt").find("OUT is required"), std::string::npos) << read_file("err.txt");
    EXPECT_NE(run("a.wav b.wav"), 0);
    EXPECT_NE(run("no/such/dir/music.wav"), 0);
    EXPECT_NE(read_file("err.txt").find("no/such/dir/music.wav"), std::string::npos);
    EXPECT_NE(run("--wav"), 0);
}

// The starter project's piece: as long as its sheet, the same bytes on every run, music under
// every section with a hit on each scene change, and its Ogg Vorbis keeping the levels; a sheet
// whose beat is not the piece's is refused and nothing is written.
TEST(MkmusicTemplate, NinetySecondsLaidOnTheStarterSheet) {
    ScratchDir dir;
    const std::string sheet = TEMPLATE_SOURCE_DIR "/show.cues";
    ASSERT_EQ(run("--wav --template " + sheet + " a.wav"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--template " + sheet + " b.wav --wav"), 0) << read_file("err.txt");
    std::string a = read_file("a.wav");
    EXPECT_TRUE(a == read_file("b.wav"));
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

    // As the project holds it: Ogg Vorbis, the same bytes on every run.
    ASSERT_EQ(run("--template " + sheet + " a.ogg"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--template " + sheet + " b.ogg"), 0) << read_file("err.txt");
    EXPECT_TRUE(read_file("a.ogg") == read_file("b.ogg"));
    expect_levels_kept("a.ogg", "a.wav");

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
