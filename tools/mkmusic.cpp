// mkmusic: writes the show's four-minute soundtrack as a 44.1 kHz 16-bit stereo WAV file.
#include <cstdio>
#include <fstream>

#include "score.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: mkmusic OUT.wav\nwrites the %d-second soundtrack (%d Hz, 16-bit stereo PCM)\n",
                     synth::SECONDS, synth::RATE);
        return 2;
    }
    // Open first so a bad path fails before the rendering work.
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "mkmusic: cannot write %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> wav = synth::wav_bytes(synth::render_music());
    out.write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "mkmusic: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
