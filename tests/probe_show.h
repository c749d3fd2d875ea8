// The probe show the end-to-end tests run the executable on (whatever platform it was built
// for), and the checks of what a person would see and hear from it.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <stb_image.h>
#include <stb_image_write.h>
#include <string>
#include <vector>

#include "process.h"
#include "show_files.h"
#include "sound_files.h"

// Every scene draws a gradient, the post program paints (0.2, 0.6, 0.4) over it wherever the
// scene is not too bright, so the screen is one known colour.
inline const char* probe_scene() {
    return "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(uv * 0.5, 0.0, 1.0); }\n";
}
inline const char* probe_post() {
    return "#version 120\nuniform sampler2D renderedTexture;\nvarying vec2 uv;\n"
           "void main(){ vec4 s = texture2D(renderedTexture, uv); gl_FragColor = vec4(0.2, 0.6, 0.4, 1.0) + s * 0.0; }\n";
}

// Writes the probe show's scene files (less scene file `skip_file`, when given) and a one-pixel
// logo into the current directory.
inline void write_probe_assets(int skip_file = -1) {
    std::vector<std::string> fragments(9, probe_scene());
    fragments.push_back(probe_post());
    write_show(fragments);
    if (skip_file >= 0) std::filesystem::remove(std::to_string(skip_file) + ".ck");
    const unsigned char logo[4] = {255, 255, 255, 255};
    stbi_write_png("bitmap.png", 1, 1, 4, logo, 4);
}

// "vae5.wav" in the current directory: a 16-bit stereo 440 Hz sine at half scale.
inline void write_sine_wav(double seconds) {
    write_sound("vae5.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, seconds,
                [](int, double t) { return 0.5 * std::sin(2.0 * M_PI * 440.0 * t); });
}

// Takes a picture of the whole 1920x1080 screen into `shot` and expects the probe colour at its
// corners, edges and centre.
inline void expect_probe_picture(const std::string& display, const std::string& shot) {
    x_run(display, "import -window root " + shot);
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(shot.c_str(), &w, &h, &n, 3);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(w, 1920);
    ASSERT_EQ(h, 1080);
    for (int y : {10, 540, 1070}) {
        for (int x : {10, 960, 1910}) {
            const unsigned char* p = pixels + (y * w + x) * 3;
            EXPECT_NEAR(p[0], 51, 1) << x << "," << y;
            EXPECT_NEAR(p[1], 153, 1) << x << "," << y;
            EXPECT_NEAR(p[2], 102, 1) << x << "," << y;
        }
    }
    stbi_image_free(pixels);
}

// Takes a picture of the whole screen into `shot`; returns the mean of its red, green and blue
// values (0-255), or -1 when there is no picture.
inline double screen_mean(const std::string& display, const std::string& shot) {
    x_run(display, "import -window root " + shot);
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load(shot.c_str(), &w, &h, &n, 3);
    if (!pixels) return -1;
    double sum = 0;
    for (size_t i = 0; i < (size_t)w * h * 3; ++i) sum += pixels[i];
    stbi_image_free(pixels);
    return sum / ((double)w * h * 3);
}

// Expects the raw 16-bit output of SDL's disk driver in `pcm` to hold more than half a second of
// the half-scale sine of write_sine_wav.
inline void expect_sine_played(const std::string& pcm) {
    ASSERT_GT(pcm.size(), 44100u * 4u / 2u) << "less than half a second was played";
    const int16_t* s16 = reinterpret_cast<const int16_t*>(pcm.data());
    size_t n = pcm.size() / 2;
    double sum = 0;
    int peak = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += (double)s16[i] * s16[i];
        peak = std::max(peak, std::abs((int)s16[i]));
    }
    EXPECT_NEAR(peak, 16384, 200);
    EXPECT_GT(std::sqrt(sum / n), 16384 * 0.5);  // a sine at half scale has RMS 0.707 of that
}
