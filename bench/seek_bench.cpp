// Seek latency of the preview's music against the capture's exact seek, side by side: the bundled
// music (a stream) and a long tracker module, each moved to times across the show. Runs on SDL's
// dummy audio driver when no other is set: seek_bench [MUSIC_FILE]
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_decode.h"
#include "scratch_dir.h"
#include "sound_files.h"

namespace {

double ms_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

void report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("  %-34s min %8.2f  median %8.2f  max %8.2f ms\n", what, v.front(), v[v.size() / 2], v.back());
}

void measure(const char* name, const std::string& path, bool module) {
    const double targets[] = {12.3, 97.05, 150.5, 33.3, 205.0, 1.0, 230.7};
    std::vector<double> channel, exact;
    uint32_t handle = module ? audio_music_load(0, path.c_str(), 0, 0, AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMP, AUDIO_RATE)
                             : audio_stream_create_file(0, path.c_str(), 0, 0, 0);
    if (!handle) {
        std::printf("%s: cannot load %s\n", name, path.c_str());
        return;
    }
    audio_channel_play(handle, 1);
    static AudioDecoder d;
    if (module) decoder_open_module(&d, 0, path.c_str(), 0, 0, AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMP);
    else decoder_open_stream(&d, 0, path.c_str(), 0, 0);
    for (int round = 0; round < 3; ++round)
        for (double s : targets) {
            auto t0 = std::chrono::steady_clock::now();
            audio_channel_seek(handle, (uint32_t)(s * 1000));
            channel.push_back(ms_since(t0));
            t0 = std::chrono::steady_clock::now();
            decoder_seek(&d, (int64_t)(s * AUDIO_RATE));
            exact.push_back(ms_since(t0));
        }
    decoder_close(&d);
    std::printf("%s (%s)\n", name, path.c_str());
    report("preview seek (audio_channel_seek)", channel);
    report("exact seek (decoder_seek)", exact);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!audio_init(-1, AUDIO_RATE, 0)) {
        std::fprintf(stderr, "seek_bench: no audio output\n");
        return 1;
    }
    std::string music = argc > 1 ? argv[1] : "vae5.wav";
    measure("stream", music, false);
    ScratchDir dir;
    write_file("long.mod", long_tracker_module(32));
    measure("module, 32 patterns (245.8 s)", (dir.path / "long.mod").string(), true);
    return 0;
}
