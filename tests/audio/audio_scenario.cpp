// Runs one sound scenario in a process of its own (the sound layer is process-wide and SDL picks
// its driver once), printing what the calls returned as key=value lines for the test to read.
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/music.h"
#include "platform/audio.h"

static void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A valid wave image of `seconds` whose frame f holds sample(f, 0) on the left, sample(f, 1) on the right.
static std::vector<unsigned char> wave_image(double seconds, int16_t (*sample)(size_t, int)) {
    std::vector<unsigned char> image(WAVE_HEADER_SIZE + 4 * (size_t)(seconds * 44100));
    uint32_t size = (uint32_t)(image.size() - WAVE_HEADER_SIZE);
    wave_write_header(image.data(), size);
    for (size_t f = 0; f < size / 4; ++f) {
        for (int c = 0; c < 2; ++c) {
            int16_t v = sample(f, c);
            image[WAVE_HEADER_SIZE + 4 * f + 2 * c] = (unsigned char)(v & 0xFF);
            image[WAVE_HEADER_SIZE + 4 * f + 2 * c + 1] = (unsigned char)((uint16_t)v >> 8);
        }
    }
    return image;
}

// A 1 kHz tone at a quarter of full scale, starting at its peak.
static std::vector<unsigned char> tone_image(double seconds) {
    return wave_image(seconds, [](size_t f, int) { return (int16_t)std::lround(8192 * std::cos(2 * M_PI * 1000.0 * (double)f / 44100)); });
}

int main(int argc, char** argv) {
    std::string scenario = argc > 1 ? argv[1] : "";
    int ms = argc > 2 ? atoi(argv[2]) : 0;
    if (scenario == "show" || scenario == "twice") {
        // The runner's order: music, then the wave gate, the show, then the wave stopped.
        music_start();
        if (scenario == "twice") music_start();
        int wave = wave_out_start();
        printf("music_state=%d\nwave=%d\nplaying=%d\n", (int)music_state, wave, wave_playing());
        sleep_ms(ms);
        wave_out_stop();
        printf("playing_after_stop=%d\n", wave_playing());
        return 0;
    }
    if (scenario == "probe") {
        printf("init=%d\n", audio_init(-1, 44100, 0));
        printf("stream=%u\n", audio_stream_create_file(0, "vae5.wav", 0, 0, 0));
        printf("module=%u\n", audio_music_load(0, "vae5.wav", 0, 0, AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMP, 44100));
        return 0;
    }
    if (scenario == "seek_pause") {
        // Played from half a second in, held for a while, then let go on.
        printf("init=%d\n", audio_init(-1, 44100, 0));
        uint32_t handle = audio_stream_create_file(0, "vae5.wav", 0, 0, 0);
        printf("seek=%d\n", audio_channel_seek(handle, 500));
        printf("play=%d\n", audio_channel_play(handle, 0));
        sleep_ms(400);
        printf("pause=%d\n", audio_channel_pause(handle, 1));
        sleep_ms(300);
        printf("resume=%d\n", audio_channel_pause(handle, 0));
        printf("seek_unloaded=%d\n", audio_channel_seek(handle + 1, 0));
        sleep_ms(ms);
        return 0;
    }
    if (scenario == "wave_tone") {
        // A short tone that ends by itself, a gap, then a long one cut short by the stop call.
        std::vector<unsigned char> shorter = tone_image(0.4), longer = tone_image(5.0);
        printf("first=%d\n", wave_play(shorter.data(), WAVE_ASYNC | WAVE_MEMORY));
        sleep_ms(800);
        printf("playing_after_end=%d\n", wave_playing());
        printf("second=%d\n", wave_play(longer.data(), WAVE_ASYNC | WAVE_MEMORY));
        sleep_ms(400);
        printf("stop=%d\n", wave_play(nullptr, 0));
        printf("stop_again=%d\n", wave_play(nullptr, 0));
        printf("playing_after_stop=%d\n", wave_playing());
        sleep_ms(400);
        return 0;
    }
    if (scenario == "seek_play") {
        // Played from `ms` into the music.
        printf("init=%d\n", audio_init(-1, 44100, 0));
        uint32_t handle = audio_stream_create_file(0, "vae5.wav", 0, 0, 0);
        printf("seek=%d\n", audio_channel_seek(handle, (uint32_t)ms));
        printf("play=%d\n", audio_channel_play(handle, 0));
        sleep_ms(300);
        return 0;
    }
    if (scenario == "music_seek") {
        // The music opened as the show opens it, moved to `ms` and played from there for 2.2 s,
        // as the preview's seek does.
        uint32_t handle = music_open();
        printf("seek=%d\n", audio_channel_seek(handle, (uint32_t)ms));
        printf("play=%d\n", audio_channel_play(handle, 0));
        audio_start();
        sleep_ms(2200);
        return 0;
    }
    if (scenario == "music_and_wave") {
        // The music, and over it `ms` milliseconds of a wave holding three quarters of full scale,
        // positive on the left and negative on the right.
        music_start();
        std::vector<unsigned char> loud = wave_image(ms / 1000.0, [](size_t, int c) { return (int16_t)(c ? -24576 : 24576); });
        printf("music_state=%d\nwave=%d\n", (int)music_state, wave_play(loud.data(), WAVE_ASYNC | WAVE_MEMORY));
        sleep_ms(ms + 600);
        return 0;
    }
    fprintf(stderr, "unknown scenario '%s'\n", scenario.c_str());
    return 2;
}
