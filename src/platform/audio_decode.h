// Sound decoding without an output device: sampled-sound streams (libsndfile) and tracker modules
// (libopenmpt) rendered as stereo float frames at AUDIO_RATE, and the conversion of a mix to
// 16-bit output. The sound device and the tools that write sound into files share them.
#pragma once
#include <stdint.h>

#include "platform/audio.h"

enum {
    AUDIO_DECODER_NONE = 0,
    AUDIO_DECODER_STREAM = 1,
    AUDIO_DECODER_MODULE = 2,
    AUDIO_DECODE_FRAMES = 1024,  // file frames read from a stream at a time
    AUDIO_MODULE_FRAMES = 512,   // frames rendered from a module at a time
};

// A window onto a file or a memory block, seen by the decoders as a whole file.
struct AudioSource {
    void* file;                    // FILE*; null for a memory window
    const unsigned char* memory;   // null for a file window
    int64_t base;                  // window start in the file
    int64_t size;
    int64_t pos;                   // read position within the window
    int64_t file_at;               // where the FILE* stands, -1 unknown: saves a seek per read
};

struct openmpt_module;
struct sf_private_tag;

// One open sound and where it stands. Zero-initialised it holds nothing (kind AUDIO_DECODER_NONE).
struct AudioDecoder {
    int32_t kind;
    int32_t at_end;                // nothing more will come out until the next seek
    // Streams: the file, its decode buffer, and linear interpolation between neighbouring frames.
    AudioSource source;
    sf_private_tag* sound;
    int32_t file_channels;
    int32_t file_rate;             // the file's frames per second
    int64_t file_frames;           // the file's length in its own frames
    int32_t decoded;               // frames in `buffer`
    int32_t used;                  // of those, frames already taken
    int32_t file_done;             // the file has no frames left to read
    int32_t seek_via_start;        // every seek goes back to the file's start first (Ogg Vorbis, Opus)
    int32_t seek_preroll;          // file frames decoded and dropped before a seek's target (MP3)
    int64_t seek_tail;             // a seek past this file frame starts here and decodes on; -1 none
    double step;                   // file frames per output frame
    double phase;                  // output position between prev and next, 0..1
    float prev[2];
    float next[2];
    int32_t prev_valid;            // prev is a real frame (not past the end)
    int32_t next_valid;
    float buffer[AUDIO_DECODE_FRAMES * AUDIO_FILE_CHANNELS];
    // Modules.
    openmpt_module* module;
    float module_buffer[AUDIO_MODULE_FRAMES * 2];
};

// Opens anything libsndfile reads as a stream (with from_memory, `file` points at `length` bytes;
// else it is a path and length 0 means to the end), positioned at its start. Returns 1, or 0 with
// `d` left empty when it cannot be read or has no channels, over AUDIO_FILE_CHANNELS, or no rate.
int decoder_open_stream(AudioDecoder* d, int from_memory, const char* file, uint64_t offset, uint64_t length);
// Loads anything libopenmpt reads (up to 64 MiB) the same way, positioned at its start;
// AUDIO_MUSIC_LOOP repeats the song forever, AUDIO_MUSIC_RAMP ramps volume changes. Returns 1 or 0.
int decoder_open_module(AudioDecoder* d, int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t flags);
// The sound's length in seconds, from the start (a looping module: one pass of its song); 0 when
// `d` holds nothing.
double decoder_length_seconds(const AudioDecoder* d);
// Releases what `d` holds and leaves it empty; harmless on an empty decoder.
void decoder_close(AudioDecoder* d);
// Positions `d` so that the next frame out is output frame `frame` (AUDIO_RATE frames from the
// start): exact for streams at AUDIO_RATE, and for modules, which render from their start and
// drop. Past the end the decoder is at its end. Returns 1, or 0 when `d` holds nothing.
int decoder_seek(AudioDecoder* d, int64_t frame);
// Positions `d` near output frame `frame` quickly: streams exactly as decoder_seek does; modules at
// the row that holds it, then rendered on to it, which lands within a few milliseconds of where
// rendering from the start would (effects running across rows may differ). Returns 1, or 0 when
// `d` holds nothing.
int decoder_seek_near(AudioDecoder* d, int64_t frame);
// Adds the next `frames` stereo frames to mix[2 * frames] (mono on both sides, channels past two
// dropped). Returns the frames added: fewer than asked once the sound has ended.
int decoder_mix(AudioDecoder* d, float* mix, int frames);
// Converts `samples` mixed values to 16 bits: scaled by 32768 (16-bit files come back bit-exact),
// clipped, rounded half away from zero.
void audio_mix_to_s16(const float* mix, int16_t* out, int samples);
