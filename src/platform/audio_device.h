// The output device beneath the shared mixer (audio_mix.cpp): one file per backend implements it
// (audio_sdl.cpp on SDL2, audio_web.cpp on Web Audio). Used by the sound layer only.
#pragma once
#include <stdint.h>

// Opens the output (device -1 the default, n >= 1 the n-th) once and starts it pulling
// audio_mix_s16; later calls only report whether it is open. Returns 1, or 0 with the reason set.
int audio_device_open(int device);
// Nonzero while the device is open.
int audio_device_is_open();
// Keeps audio_mix_s16 from running while the mixer's state changes; nothing to do where the device
// pulls on the caller's own thread.
void audio_device_lock();
void audio_device_unlock();
// Makes sure the open device runs. Nonzero when it is open.
int audio_device_run();
// Waits, as far as the backend can, until the device has begun consuming the wave just handed to
// the mixer (audio_mix_wave_seen). Returns 1 once it has, else 0 with the reason set.
int audio_device_wave_started();

// Whether the output needs the in-memory wave's data: where it does not (the browser, which keeps
// no silent data), the wave is a header and a count of silent frames.
int audio_device_reads_wave_data();

// Mixes the next `frames` stereo frames of every playing channel and the wave into out[2 * frames]
// as 16-bit samples: the device's pull, called by the backend without the lock held.
void audio_mix_s16(int16_t* out, int frames);
// Nonzero once audio_mix_s16 has started on the wave given to wave_play. Takes the lock.
int audio_mix_wave_seen();
