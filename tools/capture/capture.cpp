// The frame loop of the capture. The main thread only draws and starts readbacks; the oldest of
// a ring of pixel-buffer objects is mapped (by then long finished) and copied into a free frame
// of a small pool, which the encoding thread turns into video together with the frame's sound.
#include "capture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_decode.h"
#include "render/render.h"
#include "timeline/script.h"

namespace {

const int READBACK_BUFFERS = 3;  // frames in flight between drawing and copying out
const int POOL_FRAMES = 4;       // frames waiting for (or in) the encoder

struct Frame {
    std::vector<uint8_t> pixels;
    int64_t n = 0;
};

// Frames go from the pool to the queue (filled) and back (encoded).
struct Handoff {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Frame*> free, queued;
    bool closed = false;  // no more frames will be queued
    bool failed = false;  // the encoder gave up; `error` says why
    std::string error;
};

void encode_loop(Handoff& h, Sink& sink, AudioDecoder* music, const CaptureRange& r) {
    std::vector<float> mix;
    std::vector<int16_t> sound;
    for (;;) {
        Frame* f = nullptr;
        {
            std::unique_lock<std::mutex> g(h.lock);
            h.changed.wait(g, [&] { return !h.queued.empty() || h.closed; });
            if (h.queued.empty()) return;
            f = h.queued.front();
            h.queued.pop_front();
        }
        std::string error;
        bool ok = sink_video(sink, f->pixels.data(), error);
        int64_t a = capture_sound_frame(r, f->n, AUDIO_RATE), b = capture_sound_frame(r, f->n + 1, AUDIO_RATE);
        int frames = (int)(b - a);
        mix.assign(2 * (size_t)frames, 0.0f);
        sound.resize(2 * (size_t)frames);
        if (music) decoder_mix(music, mix.data(), frames);
        audio_mix_to_s16(mix.data(), sound.data(), 2 * frames);
        ok = ok && sink_audio(sink, sound.data(), frames, error);
        std::lock_guard<std::mutex> g(h.lock);
        h.free.push_back(f);
        if (!ok) {
            h.failed = true;
            h.error = error;
            h.queued.clear();
        }
        h.changed.notify_all();
        if (!ok) return;
    }
}

}  // namespace

int64_t capture_frame_count(const CaptureRange& r) {
    int64_t span = (int64_t)r.to_ms - r.from_ms;
    if (span <= 0) return 0;
    // Frames n with round(n * 1000 / fps) < span.
    int64_t n = span * r.fps / 1000;
    while (capture_frame_time(r, n) - r.from_ms < span) ++n;
    while (n > 0 && capture_frame_time(r, n - 1) - r.from_ms >= span) --n;
    return n;
}

int32_t capture_frame_time(const CaptureRange& r, int64_t n) {
    return r.from_ms + (int32_t)((2 * n * 1000 + r.fps) / (2 * r.fps));
}

int64_t capture_sound_frame(const CaptureRange& r, int64_t n, int rate) {
    // The range starts at from_ms of the music; frame n's sound at n / fps seconds after it.
    int64_t start = ((int64_t)r.from_ms * rate + 500) / 1000;
    return start + (2 * n * rate + r.fps) / (2 * r.fps);
}

bool capture_run(const CaptureRange& r, Sink& sink, AudioDecoder* music, const CaptureProgress& progress,
                 std::string& error) {
    const int width = SCREEN_WIDTH, height = SCREEN_HEIGHT;
    const size_t bytes = (size_t)width * height * 4;
    const int64_t total = capture_frame_count(r);
    if (music) decoder_seek(music, capture_sound_frame(r, 0, AUDIO_RATE));

    std::vector<Frame> pool(POOL_FRAMES);
    Handoff h;
    for (Frame& f : pool) {
        f.pixels.resize(bytes);
        h.free.push_back(&f);
    }
    GLuint pbo[READBACK_BUFFERS];
    glGenBuffers(READBACK_BUFFERS, pbo);
    for (GLuint b : pbo) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
        glBufferData(GL_PIXEL_PACK_BUFFER, (GLsizeiptr)bytes, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    std::thread encoder(encode_loop, std::ref(h), std::ref(sink), music, std::cref(r));

    // Copies frame m out of its buffer into a pool frame and queues it; false once the encoder failed.
    auto hand_over = [&](int64_t m) {
        Frame* f = nullptr;
        {
            std::unique_lock<std::mutex> g(h.lock);
            h.changed.wait(g, [&] { return !h.free.empty() || h.failed; });
            if (h.failed) return false;
            f = h.free.front();
            h.free.pop_front();
        }
        glBindBuffer(GL_PIXEL_PACK_BUFFER, pbo[m % READBACK_BUFFERS]);
        const void* p = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
        bool mapped = p != nullptr;
        if (mapped) std::memcpy(f->pixels.data(), p, bytes);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        f->n = m;
        std::lock_guard<std::mutex> g(h.lock);
        if (!mapped) {
            h.free.push_back(f);
            h.failed = true;
            h.error = "cannot read the frame back from the GL driver";
            return false;
        }
        h.queued.push_back(f);
        h.changed.notify_all();
        return true;
    };

    bool ok = true;
    int64_t handed = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // From any --from, the first frame finds the empty previous frame the live show starts with.
    render_clear_feedback();
    for (int64_t n = 0; n < total && ok; ++n) {
        if (progress.stop && *progress.stop) {
            ok = false;
            error = "interrupted";
            break;
        }
        render_frame(capture_frame_time(r, n));
        glBindBuffer(GL_PIXEL_PACK_BUFFER, pbo[n % READBACK_BUFFERS]);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        if (n - handed + 1 < READBACK_BUFFERS) continue;
        ok = hand_over(handed++);
        if (ok && progress.report) progress.report(handed, total);
    }
    while (ok && handed < total) {
        ok = hand_over(handed++);
        if (ok && progress.report) progress.report(handed, total);
    }
    {
        std::lock_guard<std::mutex> g(h.lock);
        h.closed = true;
        h.changed.notify_all();
    }
    encoder.join();
    glDeleteBuffers(READBACK_BUFFERS, pbo);
    if (h.failed) {
        error = h.error;
        return false;
    }
    if (!ok) return false;
    return sink_finish(sink, error);
}
