// The preview's music on the platform sound layer: the show's own music channel, moved to the
// preview's show time and held while the preview is paused; and its waveform, decoded beside.
#include "music.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "audio/music.h"
#include "common/toolkit.h"
#include "platform/audio.h"
#include "platform/audio_decode.h"

namespace {
uint32_t channel;
int held;  // paused with the picture
int lost;  // the last seek could not move the music: silenced until one can

const int PEAKS_PER_SECOND = 100;
std::thread worker;
std::atomic<bool> done{false}, stop{false}, taken{false};
std::vector<float> peaks;
}  // namespace

int preview_music_start(int32_t ms) {
    channel = music_open();
    if (!channel) return 0;
    audio_channel_seek(channel, ms < 0 ? 0 : (uint32_t)ms);
    audio_channel_play(channel, 0);
    return audio_start();
}

void preview_music_pause(int paused) {
    held = paused;
    if (channel && !lost) audio_channel_pause(channel, paused);
}

int preview_music_seek(int32_t ms) {
    if (!channel) return 0;
    // A seek opens the music file again by name. When it cannot, the music would play on from
    // where it was, out of step with the picture: it is silenced instead, and the picture goes on.
    if (!audio_channel_seek(channel, ms < 0 ? 0 : (uint32_t)ms)) {
        if (!lost) {
            audio_channel_pause(channel, 1);
            tool::error(std::string("the music cannot follow the seek: ") + MUSIC_FILE +
                        " cannot be opened again (removed or replaced?); it is silent until a seek can move it");
        }
        lost = 1;
        return 0;
    }
    lost = 0;
    // A seek back from past the end of a stream plays again, unless the preview is paused.
    if (!held) audio_channel_play(channel, 0);
    return 1;
}

void preview_music_waveform_start(int32_t length_ms) {
    worker = std::thread([length_ms] {
        static AudioDecoder d;
        if (!music_decoder_open(&d)) return;
        const int per = AUDIO_RATE / PEAKS_PER_SECOND;
        std::vector<float> mix(2 * (size_t)per), out;
        for (int64_t at = 0; at < (int64_t)length_ms * AUDIO_RATE / 1000 && !stop; at += per) {
            std::fill(mix.begin(), mix.end(), 0.0f);
            int got = decoder_mix(&d, mix.data(), per);
            float lo = 0, hi = 0;
            for (int i = 0; i < 2 * got; ++i) lo = std::min(lo, mix[i]), hi = std::max(hi, mix[i]);
            out.push_back(lo);
            out.push_back(hi);
            if (got < per) break;
        }
        decoder_close(&d);
        peaks = std::move(out);
        done = true;
    });
}

bool preview_music_waveform_take(std::vector<float>& out, int& per_second) {
    if (!done || taken) return false;
    taken = true;
    out = std::move(peaks);
    per_second = PEAKS_PER_SECOND;
    return true;
}

void preview_music_waveform_stop() {
    stop = true;
    if (worker.joinable()) worker.join();
}
