// The preview's music on the platform sound layer. The layer can start a channel from its
// beginning but cannot yet move or pause one, so the music plays only when the preview starts at
// the top of the show, and runs on untouched through pauses and seeks (with a note the first time).
#include "music.h"

#include <cstdio>

#include "audio/music.h"
#include "platform/audio.h"

namespace {
uint32_t channel;
bool noted;

void note_unsynced() {
    if (noted || !channel) return;
    noted = true;
    std::fprintf(stderr, "oruvane-preview: the music cannot pause or seek yet and plays on from where it is\n");
}
}  // namespace

int preview_music_start(int32_t ms) {
    if (ms != 0) {
        std::fprintf(stderr, "oruvane-preview: the music can only start at 0 s for now; playing silent\n");
        return 0;
    }
    if (!audio_init(-1, MUSIC_FREQ, 0)) return 0;
    channel = audio_stream_create_file(0, "vae5.wav", 0, 0, 0);
    if (!channel) channel = audio_music_load(0, "vae5.wav", 0, 0, AUDIO_MUSIC_RAMP | AUDIO_MUSIC_LOOP, MUSIC_FREQ);
    if (!channel) return 0;
    audio_channel_play(channel, 1);
    return audio_start();
}

void preview_music_pause(int paused) {
    (void)paused;  // audio_channel_pause(channel, paused) once the layer has it
    note_unsynced();
}

void preview_music_seek(int32_t ms) {
    (void)ms;  // audio_channel_seek(channel, ms) once the layer has it
    note_unsynced();
}
