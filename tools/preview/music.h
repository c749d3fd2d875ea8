// The preview's music: started at a show time, paused and resumed with the picture, and moved
// on seeks; and its waveform for the track view. The one place the preview touches the sound.
#pragma once
#include <stdint.h>

#include <vector>

// Opens the show folder's music and plays it from show time `ms`. Returns 1 when it plays.
int preview_music_start(int32_t ms);
// Pauses (1) or resumes (0) the music.
void preview_music_pause(int paused);
// Moves the music to show time `ms`. Returns 1 when it follows; 0 when the music cannot be
// opened again there (removed or replaced by something unplayable): it is then silenced, said
// so once on standard error, and stays silent until a seek can move it.
int preview_music_seek(int32_t ms);
// Starts working out the music's waveform over the first `length_ms` of the show, beside the
// preview, with the show's own decoders.
void preview_music_waveform_start(int32_t length_ms);
// Once the waveform is ready, hands it over once: (min, max) of every 1/per_second s. False before.
bool preview_music_waveform_take(std::vector<float>& peaks, int& per_second);
// Stops the work when it is still going.
void preview_music_waveform_stop();
