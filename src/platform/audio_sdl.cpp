// The sound output device over SDL2: SDL's audio thread pulls the shared mixer (audio_mix.cpp).
#include "platform/audio_device.h"
#include "platform/audio.h"
#include "platform/platform.h"

#include <SDL.h>

enum {
    DEVICE_FRAMES = 1024,  // ~23 ms per callback: low enough latency, cheap enough to keep up
    WAVE_START_TIMEOUT_MS = 2000,
};

static int32_t sdl_up;
static SDL_AudioDeviceID device_id;  // 0 until the first user opens it

static void audio_callback(void*, Uint8* stream, int len) { audio_mix_s16((int16_t*)stream, len / 4); }

// The one output device, opened by whoever needs it first and running from then on.
int audio_device_open(int device) {
    if (device_id) return 1;
    if (!sdl_up) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            plat_fail_reason("audio: %s", SDL_GetError());
            return 0;
        }
        sdl_up = 1;
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
    device_id = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (!device_id) {
        plat_fail_reason("audio: %s", SDL_GetError());
        return 0;
    }
    SDL_PauseAudioDevice(device_id, 0);
    return 1;
}

int audio_device_is_open() { return device_id != 0; }

void audio_device_lock() { SDL_LockAudioDevice(device_id); }

void audio_device_unlock() { SDL_UnlockAudioDevice(device_id); }

int audio_device_run() {
    if (!device_id) return 0;
    SDL_PauseAudioDevice(device_id, 0);
    return 1;
}

// Waits for the callback to take the first block of the wave.
int audio_device_wave_started() {
    Uint32 start = SDL_GetTicks();
    for (;;) {
        if (audio_mix_wave_seen()) return 1;
        if (SDL_GetTicks() - start > WAVE_START_TIMEOUT_MS) break;
        SDL_Delay(2);
    }
    plat_fail_reason("audio: the output did not start within %d ms", (int)WAVE_START_TIMEOUT_MS);
    return 0;
}

int audio_device_reads_wave_data() { return 1; }
