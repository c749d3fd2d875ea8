// The preview's music on the platform sound layer: the show's own music channel, moved to the
// preview's show time and held while the preview is paused.
#include "music.h"

#include "audio/music.h"
#include "platform/audio.h"

namespace {
uint32_t channel;
int held;  // paused with the picture
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
    if (channel) audio_channel_pause(channel, paused);
}

void preview_music_seek(int32_t ms) {
    if (!channel) return;
    audio_channel_seek(channel, ms < 0 ? 0 : (uint32_t)ms);
    // A seek back from past the end of a stream plays again, unless the preview is paused.
    if (!held) audio_channel_play(channel, 0);
}
