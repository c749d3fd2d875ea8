// The music start and the wave-out gate, on top of the platform sound layer.
#include "audio/music.h"

#include "platform/audio.h"
#include "platform/audio_decode.h"

int32_t music_state;
unsigned char* WaveBuffer;

static const uint32_t MUSIC_MODULE_FLAGS = AUDIO_MUSIC_RAMP | AUDIO_MUSIC_LOOP;

uint32_t music_open() {
    if (!audio_init(-1, MUSIC_FREQ, 0)) return 0;
    // Whatever sampled format libsndfile reads goes first; anything else is tried as a tracker module.
    uint32_t handle = audio_stream_create_file(0, MUSIC_FILE, 0, 0, 0);
    if (handle == 0)
        handle = audio_music_load(0, MUSIC_FILE, 0, 0, MUSIC_MODULE_FLAGS, MUSIC_FREQ);
    return handle;
}

void music_start() {
    if (music_state != 0) return;
    uint32_t handle = music_open();
    if (handle == 0) return;
    audio_channel_play(handle, 1);
    audio_start();
    music_state = 1;
}

void music_start_at(uint32_t ms) {
    if (music_state != 0) return;
    uint32_t handle = music_open();
    if (handle == 0) return;
    // Let go on from where the seek left it: a stream that ends before `ms` stays silent, where
    // playing it would start it over.
    audio_channel_seek(handle, ms);
    audio_channel_pause(handle, 0);
    audio_start();
    music_state = 1;
}

int music_decoder_open(AudioDecoder* d) {
    return decoder_open_stream(d, 0, MUSIC_FILE, 0, 0) || decoder_open_module(d, 0, MUSIC_FILE, 0, 0, MUSIC_MODULE_FLAGS);
}

static void put_tag(unsigned char* p, const char* tag) {
    for (int i = 0; i < 4; ++i) p[i] = (unsigned char)tag[i];
}

static void put_u16(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

static void put_u32(unsigned char* p, uint32_t v) {
    put_u16(p, v & 0xFFFF);
    put_u16(p + 2, v >> 16);
}

uint32_t wave_data_size(int32_t length_ms) {
    uint32_t seconds = length_ms <= 0 ? 0 : ((uint32_t)length_ms + 999) / 1000;
    return seconds * MUSIC_FREQ * WAVE_FRAME_BYTES;
}

void wave_write_header(unsigned char* buffer, uint32_t data_size) {
    put_tag(buffer, "RIFF");
    put_u32(buffer + 4, data_size + 36);
    put_tag(buffer + 8, "WAVE");
    put_tag(buffer + 12, "fmt ");
    put_u32(buffer + 16, 16);
    put_u16(buffer + 20, 1);
    put_u16(buffer + 22, 2);
    put_u32(buffer + 24, 44100);
    put_u32(buffer + 28, 44100 * 4);
    put_u16(buffer + 32, 4);
    put_u16(buffer + 34, 16);
    put_tag(buffer + 36, "data");
    put_u32(buffer + 40, data_size);
}

int wave_out_start() {
    uint32_t size = wave_data_size(show_length_ms());
    if (!WaveBuffer) WaveBuffer = wave_image_alloc(size);
    if (!WaveBuffer) return 0;
    wave_write_header(WaveBuffer, size);
    return wave_play(WaveBuffer, WAVE_ASYNC | WAVE_MEMORY);
}

void wave_out_stop() { wave_play(nullptr, 0); }
