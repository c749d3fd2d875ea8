// Writing sound files for tests that play them: any format libsndfile writes, from a function of
// channel and time.
#pragma once
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
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
