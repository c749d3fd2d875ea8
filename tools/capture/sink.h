// Where captured frames and sound go: a video file (H.264 + AAC in MP4, or FFV1 + FLAC in
// Matroska) through the FFmpeg libraries, or a numbered PNG sequence with the sound as a WAV.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

struct SinkOptions {
    std::string out;      // video file, its container by its name; written beside it, renamed when complete
    std::string png_dir;  // non-empty: PNG frames and audio.wav here (a new or empty folder) instead
    bool lossless = false;
    int fps = 60;
    int crf = 18;
    int width = 0, height = 0;  // the frame size; the caller sets it
    int rate = 44100;     // stereo sound at this rate
};

struct Sink;
// Frees the sink; an output neither finished nor abandoned is abandoned.
void sink_free(Sink* s);
struct SinkDeleter {
    void operator()(Sink* s) const { sink_free(s); }
};
using SinkPtr = std::unique_ptr<Sink, SinkDeleter>;

// Checks, before any work, that the output can be made as asked: the container the file name
// names can hold the streams (--out x.mkv is Matroska). False with `error` set (one line).
bool sink_check(const SinkOptions& o, std::string& error);
// Opens the output. Returns null with `error` set (one line) when it cannot be written.
SinkPtr sink_open(const SinkOptions& o, std::string& error);
// Adds the next frame: `bgra` holds width x height 8-bit BGRA pixels, bottom row first, as GL
// reads them. Returns false with `error` set.
bool sink_video(Sink& s, const uint8_t* bgra, std::string& error);
// Adds `frames` stereo 16-bit frames of sound, which continue the sound given so far.
bool sink_audio(Sink& s, const int16_t* samples, int frames, std::string& error);
// Flushes the encoders and completes the output under its final name. Returns false with `error` set.
bool sink_finish(Sink& s, std::string& error);
// Abandons the output: everything written so far is removed. Harmless after sink_finish failed.
void sink_abort(Sink& s);
