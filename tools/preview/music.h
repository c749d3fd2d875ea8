// The preview's music: started at a show time, paused and resumed with the picture, and moved
// on seeks. The one place the preview touches the sound.
#pragma once
#include <stdint.h>

// Opens the show folder's music and plays it from show time `ms`. Returns 1 when it plays.
int preview_music_start(int32_t ms);
// Pauses (1) or resumes (0) the music.
void preview_music_pause(int paused);
// Moves the music to show time `ms`.
void preview_music_seek(int32_t ms);
