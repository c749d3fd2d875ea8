// Writing sound files for tests that play them: any format libsndfile writes, from a function of
// channel and time.
#pragma once
#include <gtest/gtest.h>
#include <sndfile.h>

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
    sf_writef_short(file, samples.data(), (sf_count_t)frames);
    sf_close(file);
    return samples;
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
