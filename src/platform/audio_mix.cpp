// The sound layer's mixer, the same on every backend: streams and modules (audio_decode.cpp)
// decoded as the device pulls, plus the in-memory wave, all mixed into one output so that every
// sound lands on the same device. The device itself is the backend's (audio_device.h).
#include "platform/audio.h"
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>

#include "platform/audio_decode.h"
#include "platform/audio_device.h"

enum {
    MIX_FRAMES = 512,  // the pull mixes in slices of this size whatever the device asks for
    WAVE_IMAGE_HEADER = 44,
};

enum { AUDIO_PATH_SIZE = 1024 };

// What a channel was loaded from, so that a seek can open the same sound again beside it.
struct AudioOrigin {
    int32_t from_memory;
    const char* memory;            // from_memory: the caller's block
    char path[AUDIO_PATH_SIZE];    // else the file
    uint64_t offset, length;
    uint32_t flags;
};

struct AudioChannel {
    int32_t playing;
    int32_t ended;                 // set when the sound ran out, and before the first play or seek
    AudioDecoder decoders[2];      // the one playing, and the one a seek prepares without the lock
    int32_t active;                // index of the playing one; its kind AUDIO_DECODER_NONE: the channel is free
    AudioOrigin origin;
};

static AudioDecoder& playing_decoder(AudioChannel& c) { return c.decoders[c.active]; }

struct WaveOut {
    const unsigned char* data;     // 16-bit stereo frames, little-endian; null: silence counted, not read
    uint32_t size;
    uint32_t pos;
    int32_t active;
    int32_t seen;                  // the device has started on this wave
};

struct AudioState {
    int32_t ready;                 // audio_init succeeded
    AudioChannel channel[AUDIO_CHANNELS];
    WaveOut wave;
};

static AudioState audio;
static float mix_buffer[MIX_FRAMES * 2];

// ---- mixing (the device's pull) --------------------------------------------------------------

static void mix_wave(float* mix, int frames) {
    WaveOut& w = audio.wave;
    if (!w.active) return;
    w.seen = 1;
    for (int i = 0; i < frames && w.size - w.pos >= 4; ++i) {
        if (!w.data) {
            w.pos += 4;
            continue;
        }
        const unsigned char* p = w.data + w.pos;
        mix[2 * i] += (float)(int16_t)(p[0] | p[1] << 8) * (1.0f / 32768.0f);
        mix[2 * i + 1] += (float)(int16_t)(p[2] | p[3] << 8) * (1.0f / 32768.0f);
        w.pos += 4;
    }
    if (w.size - w.pos < 4) w.active = 0;
}

void audio_mix_s16(int16_t* out, int frames) {
    while (frames > 0) {
        int n = frames < MIX_FRAMES ? frames : MIX_FRAMES;
        memset(mix_buffer, 0, sizeof(float) * 2 * (size_t)n);
        for (int k = 0; k < AUDIO_CHANNELS; ++k) {
            AudioChannel& c = audio.channel[k];
            if (!c.playing) continue;
            if (decoder_mix(&playing_decoder(c), mix_buffer, n) < n) {
                c.playing = 0;
                c.ended = 1;
            }
        }
        mix_wave(mix_buffer, n);
        audio_mix_to_s16(mix_buffer, out, 2 * n);
        out += 2 * n;
        frames -= n;
    }
}

// ---- channels --------------------------------------------------------------------------------

static int channel_from_handle(uint32_t handle) {
    if (handle == 0 || handle > AUDIO_CHANNELS) return -1;
    return playing_decoder(audio.channel[handle - 1]).kind == AUDIO_DECODER_NONE ? -1 : (int)handle - 1;
}

static int channel_free() {
    for (int k = 0; k < AUDIO_CHANNELS; ++k)
        if (playing_decoder(audio.channel[k]).kind == AUDIO_DECODER_NONE) return k;
    return -1;
}

static int origin_keep(AudioOrigin& o, int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t flags) {
    o = AudioOrigin{};
    if (!file) return 0;
    o.from_memory = from_memory;
    if (from_memory) {
        o.memory = file;
    } else {
        size_t n = strlen(file);
        if (n >= AUDIO_PATH_SIZE) return 0;
        memcpy(o.path, file, n + 1);
    }
    o.offset = offset;
    o.length = length;
    o.flags = flags;
    return 1;
}

int audio_init(int device, uint32_t, uint32_t) {
    if (audio.ready) return 1;
    if (!audio_device_open(device)) return 0;
    audio.ready = 1;
    return 1;
}

uint32_t audio_stream_create_file(int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t) {
    if (!audio.ready) return 0;
    int index = channel_free();
    if (index < 0) return 0;
    // A free channel is never looked at by the pull, so it is filled without the lock.
    AudioChannel& c = audio.channel[index];
    c = AudioChannel{};
    if (!origin_keep(c.origin, from_memory, file, offset, length, 0)) return 0;
    if (!decoder_open_stream(&playing_decoder(c), from_memory, file, offset, length)) return 0;
    c.ended = 1;
    return (uint32_t)index + 1;
}

uint32_t audio_music_load(int from_memory, const char* file, uint64_t offset, uint32_t length, uint32_t flags, uint32_t) {
    if (!audio.ready) return 0;
    int index = channel_free();
    if (index < 0) return 0;
    AudioChannel& c = audio.channel[index];
    c = AudioChannel{};
    if (!origin_keep(c.origin, from_memory, file, offset, length, flags)) return 0;
    if (!decoder_open_module(&playing_decoder(c), from_memory, file, offset, length, flags)) return 0;
    c.ended = 1;
    return (uint32_t)index + 1;
}

int audio_channel_play(uint32_t handle, int restart) {
    int index = channel_from_handle(handle);
    if (index < 0 || !audio_device_is_open()) return 0;
    AudioChannel& c = audio.channel[index];
    audio_device_lock();
    if (restart || c.ended) {
        decoder_seek(&playing_decoder(c), 0);
        c.ended = 0;
    }
    c.playing = 1;
    audio_device_unlock();
    return 1;
}

int audio_channel_seek(uint32_t handle, uint32_t ms) {
    int index = channel_from_handle(handle);
    if (index < 0 || !audio_device_is_open()) return 0;
    AudioChannel& c = audio.channel[index];
    int64_t frame = ((int64_t)ms * AUDIO_RATE + 500) / 1000;
    // The sound is opened again beside the playing one and moved there without the lock, so the
    // output goes on meanwhile; then the two change places in a moment under the lock.
    AudioDecoder& spare = c.decoders[1 - c.active];
    const AudioOrigin& o = c.origin;
    const char* file = o.from_memory ? o.memory : o.path;
    int opened = playing_decoder(c).kind == AUDIO_DECODER_STREAM ? decoder_open_stream(&spare, o.from_memory, file, o.offset, o.length)
                                                                 : decoder_open_module(&spare, o.from_memory, file, o.offset, o.length, o.flags);
    if (!opened) return 0;
    decoder_seek_near(&spare, frame);
    audio_device_lock();
    c.active = 1 - c.active;
    c.ended = spare.at_end;
    if (c.ended) c.playing = 0;
    audio_device_unlock();
    decoder_close(&c.decoders[1 - c.active]);
    return 1;
}

int audio_channel_pause(uint32_t handle, int paused) {
    int index = channel_from_handle(handle);
    if (index < 0 || !audio_device_is_open()) return 0;
    AudioChannel& c = audio.channel[index];
    audio_device_lock();
    c.playing = !paused && !c.ended;
    audio_device_unlock();
    return 1;
}

int audio_start() { return audio_device_run(); }

// ---- the wave --------------------------------------------------------------------------------

static uint32_t read_u32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static uint32_t read_u16(const unsigned char* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }

// Only the one shape the mixer plays without conversion: plain 44-byte header, PCM 16-bit stereo 44100.
static int wave_image_ok(const unsigned char* h, uint32_t* data_size) {
    if (memcmp(h, "RIFF", 4) != 0 || memcmp(h + 8, "WAVEfmt ", 8) != 0 || memcmp(h + 36, "data", 4) != 0) return 0;
    if (read_u32(h + 16) != 16 || read_u16(h + 20) != 1 || read_u16(h + 22) != 2) return 0;
    if (read_u32(h + 24) != 44100 || read_u32(h + 28) != 176400 || read_u16(h + 32) != 4 || read_u16(h + 34) != 16) return 0;
    uint32_t size = read_u32(h + 40);
    if (size % 4 != 0 || (uint64_t)read_u32(h + 4) != (uint64_t)size + 36) return 0;
    *data_size = size;
    return 1;
}

int wave_header_check(const unsigned char* header, uint32_t* data_size) { return wave_image_ok(header, data_size); }

static void wave_clear() {
    if (!audio_device_is_open()) return;
    audio_device_lock();
    audio.wave = WaveOut{};
    audio_device_unlock();
}

int audio_mix_wave_seen() {
    audio_device_lock();
    int seen = audio.wave.seen;
    audio_device_unlock();
    return seen;
}

// The image wave_image_alloc made with the header's room alone, if it did.
static const unsigned char* header_only_image;

unsigned char* wave_image_alloc(uint32_t data_size) {
    int header_only = !audio_device_reads_wave_data();
    unsigned char* image = (unsigned char*)calloc(1, WAVE_IMAGE_HEADER + (header_only ? 0 : (size_t)data_size));
    if (!image) {
        plat_fail_reason("wave: no memory for %u bytes of sound", (unsigned)data_size);
        return nullptr;
    }
    if (header_only) header_only_image = image;
    return image;
}

int wave_play(const void* sound, uint32_t flags) {
    if (!sound) {
        wave_clear();
        return 1;
    }
    if ((flags & (WAVE_ASYNC | WAVE_MEMORY)) != (WAVE_ASYNC | WAVE_MEMORY)) return 0;
    const unsigned char* image = (const unsigned char*)sound;
    uint32_t size = 0;
    if (!wave_image_ok(image, &size)) {
        plat_fail_reason("wave: not a 16-bit stereo 44100 Hz PCM image");
        return 0;
    }
    if (!audio_device_open(-1)) return 0;
    audio_device_lock();
    audio.wave = WaveOut{};
    audio.wave.data = image == header_only_image ? nullptr : image + WAVE_IMAGE_HEADER;
    audio.wave.size = size;
    audio.wave.active = 1;
    audio_device_unlock();
    // Success means sound is really going out.
    if (audio_device_wave_started()) return 1;
    wave_clear();
    return 0;
}

int wave_playing() {
    if (!audio_device_is_open()) return 0;
    audio_device_lock();
    int active = audio.wave.active;
    audio_device_unlock();
    return active;
}
