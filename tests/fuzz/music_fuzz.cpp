// Fuzzes the music's open path from memory: the stream decoder first, then the module loader, as
// the music start tries them, on SDL's silent output.
#include <stdint.h>
#include <stdlib.h>

#include "platform/audio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!audio_init(-1, 44100, 0)) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t stream = audio_stream_create_file(1, (const char*)data, 0, size, 0);
    audio_channel_free(stream);
    uint32_t module = audio_music_load(1, (const char*)data, 0, (uint32_t)size, AUDIO_MUSIC_RAMP | AUDIO_MUSIC_LOOP, 44100);
    audio_channel_free(module);
    return 0;
}
