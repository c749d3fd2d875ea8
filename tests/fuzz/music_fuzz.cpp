// Fuzzes the music's open path from memory: the stream decoder first, then the module loader, as
// the music start tries them, each decoding a little of what it opened, moving on by a seek (the
// compressed streams' seeks take paths of their own) and decoding a little more. The seeds hold
// the tone in every stream format.
#include <stddef.h>
#include <stdint.h>

#include "platform/audio_decode.h"

static AudioDecoder decoder;
static float mix[2 * 2048];

static void decode_some() {
    decoder_mix(&decoder, mix, 2048);
    decoder_seek(&decoder, 3000);
    decoder_mix(&decoder, mix, 512);
    decoder_close(&decoder);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (decoder_open_stream(&decoder, 1, (const char*)data, 0, size)) decode_some();
    if (decoder_open_module(&decoder, 1, (const char*)data, 0, size, AUDIO_MUSIC_RAMP | AUDIO_MUSIC_LOOP)) decode_some();
    return 0;
}
