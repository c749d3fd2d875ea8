// The show's sound: the music started once at load, and the silent wave that runs for the length
// of the show through the system wave player.
#pragma once
#include <stdint.h>

#include "timeline/script.h"
struct AudioDecoder;

enum {
    WAVE_HEADER_SIZE = 44,
    MUSIC_FREQ = 44100,
    WAVE_FRAME_BYTES = 4,  // 16-bit stereo
};

// The music, read from the current directory.
const char MUSIC_FILE[] = "vae5.wav";

extern int32_t music_state;  // zero at load; 1 once the music plays
// The silent wave that runs for the whole show: null at load, made once by wave_out_start (the
// header and wave_data_size bytes of zeros, kept for the process); only the header is ever written.
extern unsigned char* WaveBuffer;

// Plays "vae5.wav" from the current directory, as a stream or else as a looping module. Does
// nothing once music_state is 1; every failure is silent and leaves music_state 0.
void music_start();
// As music_start, with the music moved to `ms` from its start before it plays: for a show that
// begins part-way through. A looping module is moved through its loops.
void music_start_at(uint32_t ms);
// Opens the output and loads the music as music_start does (stream, else looping module) without
// playing it. Returns the channel handle, or 0 when there is no device or no music.
uint32_t music_open();
// Opens the music as music_start plays it (the same file, stream or else looping module) into a
// decoder with no device behind it, at its start, for rendering offline. Returns 1, or 0 with `d`
// empty when there is no music.
int music_decoder_open(AudioDecoder* d);
// The bytes of 44100 Hz 16-bit stereo silence that last `length_ms`, rounded up to whole seconds.
uint32_t wave_data_size(int32_t length_ms);
// Writes the 44-byte PCM WAVE header describing `data_size` bytes of 44100 Hz 16-bit stereo.
void wave_write_header(unsigned char* buffer, uint32_t data_size);
// Makes WaveBuffer for the show's length (once), writes its header and hands it to the wave player;
// nonzero once it plays, 0 when the memory or the player fails.
int wave_out_start();
// Stops the wave player; harmless when nothing plays.
void wave_out_stop();
