// Sound output over SDL2: libsndfile streams and libopenmpt modules decoded in the audio callback,
// plus the in-memory wave, all mixed into one device so that every sound lands on the same output.
#include "platform/audio.h"
#include "platform/file.h"
#include "platform/platform.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

enum {
    KIND_FREE = 0,
    KIND_STREAM = 1,
    KIND_MODULE = 2,
    DEVICE_FRAMES = 1024,           // ~23 ms per callback: low enough latency, cheap enough to keep up
    MIX_FRAMES = 512,               // the callback mixes in slices of this size whatever SDL asks for
    DECODE_FRAMES = 1024,           // file frames read from a stream at a time
    WAVE_IMAGE_HEADER = 44,
    WAVE_START_TIMEOUT_MS = 2000,
};
static const int64_t MODULE_MAX_BYTES = 64 << 20;  // bigger is no module worth loading into memory

// A window onto a file or a memory block, seen by the decoders as a whole file.
struct AudioSource {
    FILE* file;                    // null for a memory window
    const unsigned char* memory;   // null for a file window
    int64_t base;                  // window start in the file
    int64_t size;
    int64_t pos;                   // read position within the window
    int64_t file_at;               // where the FILE* stands, -1 unknown: saves a seek per read
};

struct AudioChannel {
    int32_t kind;
    int32_t playing;
    int32_t ended;                 // set when the sound ran out, and before the first play
    AudioSource source;            // streams only: read from while playing
    SNDFILE* sound;
    int32_t file_channels;
    int32_t decoded;               // frames in this channel's decode buffer
    int32_t used;                  // of those, frames already taken
    int32_t at_end;                // the decoder has nothing more
    double step;                   // file frames per output frame
    double phase;                  // output position between prev and next, 0..1
    float prev[2];
    float next[2];
    int32_t prev_valid;            // prev is a real frame (not past the end)
    int32_t next_valid;
    openmpt_module* module;
};

struct WaveOut {
    const unsigned char* data;     // 16-bit stereo frames, little-endian
    uint32_t size;
    uint32_t pos;
    int32_t active;
    int32_t seen;                  // the callback has started on this wave
};

struct AudioState {
    int32_t sdl_up;
    SDL_AudioDeviceID device;      // 0 until the first user opens it
    int32_t ready;                 // audio_init succeeded
    AudioChannel channel[AUDIO_CHANNELS];
    WaveOut wave;
};

static AudioState audio;
static float decode_buffer[AUDIO_CHANNELS][DECODE_FRAMES * AUDIO_FILE_CHANNELS];
static float mix_buffer[MIX_FRAMES * 2];
static float module_buffer[MIX_FRAMES * 2];

// ---- sources ---------------------------------------------------------------------------------

static int source_open(AudioSource& s, int from_memory, const char* file, uint64_t offset, uint64_t length) {
    s = AudioSource{};
    s.file_at = -1;
    if (!file) return 0;
    if (from_memory) {
        if (length == 0 || length > (uint64_t)INT64_MAX) return 0;  // a memory block has no end to find
        s.memory = (const unsigned char*)file + offset;
        s.size = (int64_t)length;
        return 1;
    }
    FILE* f = plat_open_regular(file);
    if (!f) return 0;
    off_t end = -1;
    if (fseeko(f, 0, SEEK_END) == 0) end = ftello(f);
    if (end < 0 || offset > (uint64_t)end) {
        fclose(f);
        return 0;
    }
    uint64_t avail = (uint64_t)end - offset;
    s.file = f;
    s.base = (int64_t)offset;
    s.size = (int64_t)(length != 0 && length < avail ? length : avail);
    return 1;
}

static void source_close(AudioSource& s) {
    if (s.file) fclose(s.file);
    s = AudioSource{};
}

static sf_count_t source_length(void* user) { return ((AudioSource*)user)->size; }

static sf_count_t source_seek(sf_count_t offset, int whence, void* user) {
    AudioSource* s = (AudioSource*)user;
    sf_count_t to = offset;
    if (whence == SEEK_CUR) to = s->pos + offset;
    else if (whence == SEEK_END) to = s->size + offset;
    if (to < 0) return -1;
    s->pos = to;
    return to;
}

static sf_count_t source_read(void* into, sf_count_t count, void* user) {
    AudioSource* s = (AudioSource*)user;
    if (count <= 0 || s->pos >= s->size) return 0;
    if (count > s->size - s->pos) count = s->size - s->pos;
    if (s->memory) {
        memcpy(into, s->memory + s->pos, (size_t)count);
    } else {
        int64_t at = s->base + s->pos;
        if (s->file_at != at && fseeko(s->file, (off_t)at, SEEK_SET) != 0) {
            s->file_at = -1;
            return 0;
        }
        count = (sf_count_t)fread(into, 1, (size_t)count, s->file);
        s->file_at = at + count;
    }
    s->pos += count;
    return count;
}

static sf_count_t source_write(const void*, sf_count_t, void*) { return 0; }

static sf_count_t source_tell(void* user) { return ((AudioSource*)user)->pos; }

static SF_VIRTUAL_IO source_io = {source_length, source_seek, source_read, source_write, source_tell};

// ---- mixing (audio thread) -------------------------------------------------------------------

// The next file frame as a stereo pair: mono on both sides, extra channels dropped. 0 at the end.
static int stream_next_frame(int index, float* frame) {
    AudioChannel& c = audio.channel[index];
    if (c.used >= c.decoded) {
        if (c.at_end) return 0;
        sf_count_t got = sf_readf_float(c.sound, decode_buffer[index], DECODE_FRAMES);
        if (got <= 0) {
            c.at_end = 1;
            return 0;
        }
        c.decoded = (int32_t)got;
        c.used = 0;
    }
    const float* f = decode_buffer[index] + (size_t)c.used * (size_t)c.file_channels;
    frame[0] = f[0];
    frame[1] = c.file_channels > 1 ? f[1] : f[0];
    ++c.used;
    return 1;
}

static void stream_prime(int index) {
    AudioChannel& c = audio.channel[index];
    c.prev_valid = stream_next_frame(index, c.prev);
    if (!c.prev_valid) c.prev[0] = c.prev[1] = 0.0f;
    c.next_valid = stream_next_frame(index, c.next);
    if (!c.next_valid) c.next[0] = c.next[1] = 0.0f;
    c.phase = 0.0;
}

// Linear interpolation between neighbouring file frames; at equal rates phase stays 0 and the
// file's samples pass through untouched.
static void mix_stream(int index, float* mix, int frames) {
    AudioChannel& c = audio.channel[index];
    for (int i = 0; i < frames; ++i) {
        if (!c.prev_valid) {
            c.playing = 0;
            c.ended = 1;
            return;
        }
        float t = (float)c.phase;
        mix[2 * i] += c.prev[0] + (c.next[0] - c.prev[0]) * t;
        mix[2 * i + 1] += c.prev[1] + (c.next[1] - c.prev[1]) * t;
        c.phase += c.step;
        while (c.phase >= 1.0 && c.prev_valid) {
            c.phase -= 1.0;
            c.prev[0] = c.next[0];
            c.prev[1] = c.next[1];
            c.prev_valid = c.next_valid;
            c.next_valid = c.next_valid && stream_next_frame(index, c.next);
            if (!c.next_valid) c.next[0] = c.next[1] = 0.0f;
        }
    }
}

static void mix_module(int index, float* mix, int frames) {
    AudioChannel& c = audio.channel[index];
    size_t got = openmpt_module_read_interleaved_float_stereo(c.module, AUDIO_RATE, (size_t)frames, module_buffer);
    for (size_t i = 0; i < got * 2; ++i) mix[i] += module_buffer[i];
    if (got < (size_t)frames) {
        c.playing = 0;
        c.ended = 1;
    }
}

static void mix_wave(float* mix, int frames) {
    WaveOut& w = audio.wave;
    if (!w.active) return;
    w.seen = 1;
    for (int i = 0; i < frames && w.size - w.pos >= 4; ++i) {
        const unsigned char* p = w.data + w.pos;
        mix[2 * i] += (float)(int16_t)(p[0] | p[1] << 8) * (1.0f / 32768.0f);
        mix[2 * i + 1] += (float)(int16_t)(p[2] | p[3] << 8) * (1.0f / 32768.0f);
        w.pos += 4;
    }
    if (w.size - w.pos < 4) w.active = 0;
}

static void audio_callback(void*, Uint8* stream, int len) {
    Sint16* out = (Sint16*)stream;
    int frames = len / 4;
    while (frames > 0) {
        int n = frames < MIX_FRAMES ? frames : MIX_FRAMES;
        memset(mix_buffer, 0, sizeof(float) * 2 * (size_t)n);
        for (int k = 0; k < AUDIO_CHANNELS; ++k) {
            if (!audio.channel[k].playing) continue;
            if (audio.channel[k].kind == KIND_STREAM) mix_stream(k, mix_buffer, n);
            else mix_module(k, mix_buffer, n);
        }
        mix_wave(mix_buffer, n);
        // Scaled by 32768 (as libsndfile normalises 16-bit data) so 16-bit files come out bit-exact.
        for (int i = 0; i < 2 * n; ++i) {
            float v = mix_buffer[i] * 32768.0f;
            v = v < -32768.0f ? -32768.0f : v > 32767.0f ? 32767.0f : v;
            out[i] = (Sint16)(v < 0 ? v - 0.5f : v + 0.5f);
        }
        out += 2 * n;
        frames -= n;
    }
}

// ---- device ----------------------------------------------------------------------------------

// The one output device, opened by whoever needs it first and running from then on.
static int device_open(int device) {
    if (audio.device) return 1;
    if (!audio.sdl_up) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            plat_fail_reason("audio: %s", SDL_GetError());
            return 0;
        }
        audio.sdl_up = 1;
    }
    const char* name = nullptr;
    if (device >= 1) {
        name = SDL_GetAudioDeviceName(device - 1, 0);
        if (!name) return 0;
    } else if (device != -1) {
        return 0;
    }
    SDL_AudioSpec want;
    SDL_AudioSpec have;
    SDL_zero(want);
    want.freq = AUDIO_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DEVICE_FRAMES;
    want.callback = audio_callback;
    // No allowed changes: SDL converts to whatever the hardware takes, so the callback's format is fixed.
    audio.device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (!audio.device) {
        plat_fail_reason("audio: %s", SDL_GetError());
        return 0;
    }
    SDL_PauseAudioDevice(audio.device, 0);
    return 1;
}

static int channel_from_handle(uint32_t handle) {
    if (handle == 0 || handle > AUDIO_CHANNELS) return -1;
    return audio.channel[handle - 1].kind == KIND_FREE ? -1 : (int)handle - 1;
}

static int channel_free() {
    for (int k = 0; k < AUDIO_CHANNELS; ++k)
        if (audio.channel[k].kind == KIND_FREE) return k;
    return -1;
}

// ---- public ----------------------------------------------------------------------------------

int audio_init(int device, uint32_t, uint32_t) {
    if (audio.ready) return 1;
    if (!device_open(device)) return 0;
    audio.ready = 1;
    return 1;
}

uint32_t audio_stream_create_file(int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t) {
    if (!audio.ready) return 0;
    int index = channel_free();
    if (index < 0) return 0;
    // A free channel is never looked at by the callback, so it is filled without the lock.
    AudioChannel& c = audio.channel[index];
    c = AudioChannel{};
    if (!source_open(c.source, from_memory, file, offset, length)) return 0;
    SF_INFO info;
    memset(&info, 0, sizeof info);
    SNDFILE* sound = sf_open_virtual(&source_io, SFM_READ, &info, &c.source);
    if (!sound || info.channels < 1 || info.channels > AUDIO_FILE_CHANNELS || info.samplerate <= 0) {
        if (sound) sf_close(sound);
        source_close(c.source);
        return 0;
    }
    c.sound = sound;
    c.file_channels = info.channels;
    c.step = (double)info.samplerate / AUDIO_RATE;
    c.ended = 1;
    c.kind = KIND_STREAM;
    return (uint32_t)index + 1;
}

uint32_t audio_music_load(int from_memory, const char* file, uint64_t offset, uint32_t length, uint32_t flags, uint32_t) {
    if (!audio.ready) return 0;
    int index = channel_free();
    if (index < 0) return 0;
    AudioSource source;
    if (!source_open(source, from_memory, file, offset, length)) return 0;
    openmpt_module* module = nullptr;
    if (source.size > 0 && source.size <= MODULE_MAX_BYTES) {
        // libopenmpt wants the whole module at once; it keeps its own copy, so ours goes straight back.
        void* bytes = malloc((size_t)source.size);
        if (bytes && source_read(bytes, source.size, &source) == source.size)
            module = openmpt_module_create_from_memory2(bytes, (size_t)source.size, openmpt_log_func_silent, nullptr,
                                                        openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
        free(bytes);
    }
    source_close(source);
    if (!module) return 0;
    openmpt_module_set_repeat_count(module, (flags & AUDIO_MUSIC_LOOP) ? -1 : 0);
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);  // linear
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    (flags & AUDIO_MUSIC_RAMP) ? -1 : 0);  // -1: libopenmpt's usual ramp
    AudioChannel& c = audio.channel[index];
    c = AudioChannel{};
    c.module = module;
    c.ended = 1;
    c.kind = KIND_MODULE;
    return (uint32_t)index + 1;
}

int audio_channel_play(uint32_t handle, int restart) {
    int index = channel_from_handle(handle);
    if (index < 0 || !audio.device) return 0;
    AudioChannel& c = audio.channel[index];
    SDL_LockAudioDevice(audio.device);
    if (restart || c.ended) {
        if (c.kind == KIND_STREAM) {
            sf_seek(c.sound, 0, SEEK_SET);
            c.decoded = c.used = 0;
            c.at_end = 0;
            stream_prime(index);
        } else {
            openmpt_module_set_position_seconds(c.module, 0.0);
        }
        c.ended = 0;
    }
    c.playing = 1;
    SDL_UnlockAudioDevice(audio.device);
    return 1;
}

void audio_channel_free(uint32_t handle) {
    int index = channel_from_handle(handle);
    if (index < 0) return;
    AudioChannel& c = audio.channel[index];
    if (audio.device) SDL_LockAudioDevice(audio.device);
    c.playing = 0;
    int kind = c.kind;
    c.kind = KIND_FREE;  // from here on the callback passes it by
    if (audio.device) SDL_UnlockAudioDevice(audio.device);
    if (kind == KIND_STREAM) {
        sf_close(c.sound);
        source_close(c.source);
    } else {
        openmpt_module_destroy(c.module);
    }
    c = AudioChannel{};
}

int audio_start() {
    if (!audio.device) return 0;
    SDL_PauseAudioDevice(audio.device, 0);
    return 1;
}

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
    if (!audio.device) return;
    SDL_LockAudioDevice(audio.device);
    audio.wave = WaveOut{};
    SDL_UnlockAudioDevice(audio.device);
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
    if (!device_open(-1)) return 0;
    SDL_LockAudioDevice(audio.device);
    audio.wave = WaveOut{};
    audio.wave.data = image + WAVE_IMAGE_HEADER;
    audio.wave.size = size;
    audio.wave.active = 1;
    SDL_UnlockAudioDevice(audio.device);
    // Success means sound is really going out, so wait for the callback to take the first block.
    Uint32 start = SDL_GetTicks();
    for (;;) {
        SDL_LockAudioDevice(audio.device);
        int seen = audio.wave.seen;
        SDL_UnlockAudioDevice(audio.device);
        if (seen) return 1;
        if (SDL_GetTicks() - start > WAVE_START_TIMEOUT_MS) break;
        SDL_Delay(2);
    }
    plat_fail_reason("audio: the output did not start within %d ms", (int)WAVE_START_TIMEOUT_MS);
    wave_clear();
    return 0;
}

int wave_playing() {
    if (!audio.device) return 0;
    SDL_LockAudioDevice(audio.device);
    int active = audio.wave.active;
    SDL_UnlockAudioDevice(audio.device);
    return active;
}
