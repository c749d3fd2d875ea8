// Sound output: one shared 44100 Hz stereo device that mixes decoded streams, tracker modules and
// an in-memory PCM wave. Files are opened at start-up; the audio thread only decodes and mixes.
#pragma once
#include <stdint.h>

enum {
    AUDIO_RATE = 44100,        // the device's rate; everything is resampled or rendered to it
    AUDIO_CHANNELS = 4,        // streams and modules that can be loaded in one process
    AUDIO_FILE_CHANNELS = 8,   // most channels a stream file may have (the first two are played)
    AUDIO_MUSIC_LOOP = 0x4,    // audio_music_load: start over at the song's end, forever
    AUDIO_MUSIC_RAMP = 0x200,  // audio_music_load: ramp volume changes instead of stepping them
    WAVE_ASYNC = 0x1,          // wave_play: return while the sound plays (the only mode there is)
    WAVE_MEMORY = 0x4,         // wave_play: `sound` points at a WAV image in memory (the only source)
};

// Opens the output device if needed (device -1 = default, n >= 1 = the n-th output) and makes the
// load calls usable. Output is always AUDIO_RATE whatever `freq` says. Nonzero once ready; repeating it is harmless.
int audio_init(int device, uint32_t freq, uint32_t flags);
// Opens a sampled-sound file (anything libsndfile reads) to be decoded while it plays, once. With
// from_memory, `file` points at `length` bytes; else it is a path and length 0 means to the end.
// Returns a channel handle, or 0 when not initialised, unreadable or out of channels. `flags` are unused.
uint32_t audio_stream_create_file(int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t flags);
// Loads a tracker module (anything libopenmpt reads) the same way; AUDIO_MUSIC_LOOP and
// AUDIO_MUSIC_RAMP as above. It renders at AUDIO_RATE whatever `freq` says. Returns a handle or 0.
uint32_t audio_music_load(int from_memory, const char* file, uint64_t offset, uint32_t length, uint32_t flags, uint32_t freq);
// Starts a loaded channel; from its beginning when `restart` is nonzero or it had ended. Nonzero ok.
int audio_channel_play(uint32_t handle, int restart);
// Moves a loaded channel to `ms` from the start of its sound (rounded to the nearest frame),
// playing or not; a later play without restart goes on from there. Past the end it has ended. Nonzero ok.
int audio_channel_seek(uint32_t handle, uint32_t ms);
// Holds a playing channel where it stands (paused nonzero), or lets it go on from there (0; an
// ended or never-played channel stays silent until played or moved). Nonzero ok.
int audio_channel_pause(uint32_t handle, int paused);
// Makes sure the device is running. Nonzero when there is a device.
int audio_start();

// Plays a WAV image held in memory (flags must include WAVE_ASYNC | WAVE_MEMORY): only a 16-bit
// PCM stereo 44100 Hz image with the plain 44-byte header and consistent sizes is taken. Replaces
// what played before. Returns nonzero once the device has begun consuming it, 0 if refused, with no
// device, or not started within two seconds. A null `sound` stops the wave (always nonzero).
int wave_play(const void* sound, uint32_t flags);
// A zeroed WAV image of `data_size` bytes of sound for wave_play, for the process's lifetime: the
// header's 44 bytes and the data, or, where the output plays silence without reading it (the
// browser), the header's room alone, the data then counted instead of read. Null (with the reason
// set) when the memory cannot be had.
unsigned char* wave_image_alloc(uint32_t data_size);
// Nonzero when the 44 bytes at `header` are a header wave_play takes; stores its data length.
int wave_header_check(const unsigned char* header, uint32_t* data_size);
// Nonzero while a wave given to wave_play still has data left to play.
int wave_playing();
