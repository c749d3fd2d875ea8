// The capture's frame loop: every frame drawn by the show's own render_frame at its exact show
// time, read back asynchronously through pixel-buffer objects, and handed with its slice of the
// music to an encoding thread.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "sink.h"

struct AudioDecoder;

struct CaptureRange {
    int32_t from_ms = 0;  // show time of frame 0
    int32_t to_ms = 0;    // frames start before this show time
    int fps = 60;
};

// Frames in the range: frame n shows from_ms + round(n * 1000 / fps), for every such time before to_ms.
int64_t capture_frame_count(const CaptureRange& r);
// Show time of frame n.
int32_t capture_frame_time(const CaptureRange& r, int64_t n);
// First sound frame (at `rate`, counted from the start of the music) that belongs to frame n.
int64_t capture_sound_frame(const CaptureRange& r, int64_t n, int rate);

struct CaptureProgress {
    std::function<void(int64_t done, int64_t total)> report;  // after each frame handed over
    const volatile int* stop = nullptr;  // set nonzero (e.g. by a signal) to give up
};

// Draws and writes every frame of `r` into `sink`, with `music` (may be null: silence) rendered
// from the range's start. Needs the show loaded (intro_init) with its context current. Returns
// false with `error` set; the sink is then left for the caller to abandon.
bool capture_run(const CaptureRange& r, Sink& sink, AudioDecoder* music, const CaptureProgress& progress,
                 std::string& error);
