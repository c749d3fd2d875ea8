// Writing sound files for tests that play them: any format libsndfile writes, from a function of
// channel and time; the compressed stream formats every platform's show plays, and the level and
// pitch of what came out.
#pragma once
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <functional>
#include <vector>

// Writes `seconds` of 16-bit sound through libsndfile; returns the samples written, interleaved.
inline std::vector<int16_t> write_sound(const char* name, int format, int rate, int channels, double seconds,
                                        const std::function<double(int, double)>& wave) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    std::vector<int16_t> samples;
    size_t frames = (size_t)std::lround(seconds * rate);
    for (size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) samples.push_back((int16_t)std::lround(32767 * wave(c, (double)f / rate)));
    SNDFILE* file = sf_open(name, SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (!file) return samples;
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        // libsndfile 1.2.0's MP3 encoder copies only half of each block of 16-bit samples it is
        // given (its floats are whole): the same samples go in as floats.
        std::vector<float> floats(samples.begin(), samples.end());
        for (float& v : floats) v /= 32768.0f;
        sf_writef_float(file, floats.data(), (sf_count_t)frames);
    } else {
        sf_writef_short(file, samples.data(), (sf_count_t)frames);
    }
    sf_close(file);
    return samples;
}

// A compressed stream format, and the rate a sine is written at in it.
struct StreamFormat {
    const char* name;  // also the file name the tests use
    int format;        // libsndfile's
    int rate;
};

// The compressed formats the show plays as a stream on every platform: Ogg Vorbis, Ogg Opus (at
// 48 kHz: its encoder takes no 44.1 kHz, and the show resamples), FLAC and MP3.
inline std::vector<StreamFormat> compressed_formats() {
    return {{"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100},
            {"opus.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
            {"flac.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100},
            {"mp3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100}};
}

// The test tone: 440 Hz at half scale on both channels of a stereo file.
const double TONE_HZ = 440.0, TONE_PEAK = 0.5;

// Writes `seconds` of the test tone into `name` as `f` (at its rate), whatever the name says.
inline void write_tone(const std::string& name, const StreamFormat& f, double seconds) {
    write_sound(name.c_str(), f.format, f.rate, 2, seconds,
                [](int, double t) { return TONE_PEAK * std::sin(2 * M_PI * TONE_HZ * t); });
}

// The level and pitch of a stretch of sound.
struct Tone {
    double rms;  // of the left channel, as a fraction of full scale
    double hz;   // from the rising zero crossings of the left channel
};

// The tone of `frames` interleaved frames of `channels` channels at `rate`, values scaled by `full`.
template <class T>
Tone tone_of(const T* samples, size_t frames, int channels, int rate, double full) {
    double sum = 0;
    long first = -1, last = -1, rises = 0;
    for (size_t i = 0; i < frames; ++i) {
        double v = samples[i * channels] / full;
        sum += v * v;
        if (i > 0 && samples[(i - 1) * channels] < 0 && samples[i * channels] >= 0) {
            if (first < 0) first = (long)i;
            last = (long)i;
            ++rises;
        }
    }
    Tone t{frames ? std::sqrt(sum / frames) : 0.0, 0.0};
    if (rises > 1) t.hz = (double)(rises - 1) * rate / (double)(last - first);
    return t;
}

// Expects `t` to be the test tone: its level within half a decibel, its pitch within 1 Hz.
inline void expect_test_tone(const Tone& t, const std::string& what) {
    EXPECT_NEAR(20 * std::log10(t.rms / (TONE_PEAK / std::sqrt(2.0))), 0.0, 0.5) << what << ": level " << t.rms;
    EXPECT_NEAR(t.hz, TONE_HZ, 1.0) << what << ": pitch";
}

// The level (RMS of the left channel, of full scale) of the loudest whole second in `pcm`, raw
// 16-bit stereo at 44.1 kHz as SDL's disk driver writes it.
inline double loudest_second(const std::string& pcm) {
    const int16_t* s16 = reinterpret_cast<const int16_t*>(pcm.data());
    double loudest = 0;
    for (size_t at = 0; at + 44100 * 2 <= pcm.size() / 2; at += 44100 * 2)
        loudest = std::max(loudest, tone_of(s16 + at, 44100, 2, 44100, 32768.0).rms);
    return loudest;
}

// A 4-channel "M.K." tracker module of `patterns` patterns of 64 rows at speed 6 (7.68 s each):
// every row strikes a new note of a looped sine sample on each channel, its pitch stepping with
// the row, the pattern and the channel, so that every moment of the song sounds different.
inline std::string long_tracker_module(int patterns) {
    const int rows = 64, pattern_bytes = rows * 4 * 4, sample_words = 32;
    std::string m(1084 + (size_t)patterns * pattern_bytes + 2 * sample_words, '\0');
    std::memcpy(&m[0], "long test", 9);
    unsigned char* s = reinterpret_cast<unsigned char*>(&m[20]);  // sample 1, looped whole
    s[23] = sample_words;
    s[25] = 64;
    s[29] = sample_words;
    m[950] = (char)patterns;
    m[951] = 127;
    for (int p = 0; p < patterns; ++p) m[952 + p] = (char)p;
    std::memcpy(&m[1080], "M.K.", 4);
    for (int p = 0; p < patterns; ++p)
        for (int r = 0; r < rows; ++r)
            for (int ch = 0; ch < 4; ++ch) {
                unsigned char* c = reinterpret_cast<unsigned char*>(&m[1084 + (size_t)p * pattern_bytes + (size_t)r * 16 + ch * 4]);
                int period = 200 + (r * 7 + p * 13 + ch * 101) % 500;
                c[0] = (unsigned char)(0x00 | (period >> 8));
                c[1] = (unsigned char)(period & 0xFF);
                c[2] = 0x10;
                if (p == 0 && r == 0 && ch == 0) {
                    c[2] |= 0xF;  // speed 6
                    c[3] = 6;
                }
            }
    for (int i = 0; i < 2 * sample_words; ++i)
        m[1084 + (size_t)patterns * pattern_bytes + i] = (char)(int8_t)std::lround(100 * std::sin(2 * M_PI * i / (2 * sample_words)));
    return m;
}
