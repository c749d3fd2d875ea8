// The wave-out gate: the header written into the show's buffer, and what the wave player accepts.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "platform/audio.h"

static const unsigned char expected_header[44] = {
    'R', 'I', 'F', 'F', 0x24, 0xFF, 0x85, 0x02, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00,
    0x04, 0x00, 0x10, 0x00, 'd', 'a', 't', 'a', 0x00, 0xFF, 0x85, 0x02,
};

// Each process of this binary uses SDL's null output: it runs the callback but plays nothing.
static void use_dummy_driver() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

TEST(WaveHeader, EveryByteAndNothingPastIt) {
    EXPECT_EQ(wave_data_size(show_length_ms()), 42336000u) << "240 s of 16-bit stereo for the bundled show";
    // Lengths that are not whole seconds are rounded up; a 30-minute show still fits the header.
    EXPECT_EQ(wave_data_size(10001), 11u * 176400);
    EXPECT_EQ(wave_data_size(10000), 10u * 176400);
    EXPECT_EQ(wave_data_size(30 * 60 * 1000), 1800u * 176400);
    unsigned char buffer[64];
    memset(buffer, 0xAA, sizeof buffer);
    wave_write_header(buffer, wave_data_size(show_length_ms()));
    for (int i = 0; i < 44; ++i) EXPECT_EQ(buffer[i], expected_header[i]) << "offset " << i;
    for (int i = 44; i < 64; ++i) EXPECT_EQ(buffer[i], 0xAA) << "offset " << i;
}

// A well-formed image of 0.1 s; each case breaks one thing in it.
static std::vector<unsigned char> small_image() {
    const uint32_t size = 4410 * 4;
    std::vector<unsigned char> image(44 + size);
    wave_write_header(image.data(), size);
    return image;
}

struct Breakage {
    const char* what;
    int offset;
    std::vector<unsigned char> bytes;
};

TEST(WavePlayer, RefusesEveryBrokenFieldAndTakesTheGoodImage) {
    use_dummy_driver();
    const Breakage cases[] = {
        {"RIFF tag", 0, {'R', 'I', 'F', 'X'}},
        {"RIFF size", 4, {0x28, 0x45, 0x00, 0x00}},
        {"WAVE tag", 8, {'W', 'A', 'V', 'F'}},
        {"fmt tag", 12, {'f', 'm', 't', '_'}},
        {"fmt size", 16, {18, 0, 0, 0}},
        {"format", 20, {3, 0}},
        {"channels", 22, {1, 0}},
        {"rate", 24, {0x80, 0xBB, 0, 0}},
        {"byte rate", 28, {0x11, 0xB1, 0x02, 0}},
        {"block align", 32, {2, 0}},
        {"bits", 34, {8, 0}},
        {"data tag", 36, {'L', 'I', 'S', 'T'}},
        {"data size", 40, {0x00, 0x45, 0x01, 0x00}},
        // Sizes agree with each other but leave half a frame.
        {"partial frame", 4, {0x26, 0x45, 0x00, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
                              0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0x02, 0x45, 0, 0}},
    };
    for (const Breakage& b : cases) {
        std::vector<unsigned char> image = small_image();
        memcpy(image.data() + b.offset, b.bytes.data(), b.bytes.size());
        EXPECT_EQ(wave_play(image.data(), WAVE_ASYNC | WAVE_MEMORY), 0) << b.what;
    }
    std::vector<unsigned char> good = small_image();
    EXPECT_EQ(wave_play(good.data(), WAVE_ASYNC), 0) << "only memory images are played";
    EXPECT_EQ(wave_play(good.data(), WAVE_MEMORY), 0) << "only asynchronous play is offered";
    EXPECT_NE(wave_play(good.data(), WAVE_ASYNC | WAVE_MEMORY), 0);
    EXPECT_NE(wave_play(nullptr, 0), 0);
}

TEST(WaveOut, TheShowBufferIsAcceptedPlaysAndStops) {
    use_dummy_driver();
    EXPECT_NE(wave_play(nullptr, 0), 0) << "stopping before anything played is harmless";
    ASSERT_NE(wave_out_start(), 0);
    EXPECT_NE(wave_playing(), 0);
    EXPECT_EQ(memcmp(WaveBuffer, expected_header, 44), 0);
    const unsigned char* data = WaveBuffer + WAVE_HEADER_SIZE;
    size_t nonzero = 0;
    for (size_t i = 0; i < wave_data_size(show_length_ms()); ++i) nonzero += data[i] != 0;
    EXPECT_EQ(nonzero, 0u) << "the sample data stays silence";
    wave_out_stop();
    EXPECT_EQ(wave_playing(), 0);
    wave_out_stop();
    EXPECT_EQ(wave_playing(), 0);
}
