// The show's piece for the synthesizer engine: its sections, laid out on the show script's scene
// slots, and its notes.
#pragma once
#include <string>
#include <vector>

#include "synth.h"

namespace synth {

// A stretch of the piece, in seconds from the start of the show.
struct Section {
    const char* name;
    double start, end;
};

// The piece's nine sections in order, back to back from 0 to the end of the show: the intro
// under the opening flash, one section per scene slot (the last slot split where the logo comes
// in), and the closing theme under the logo.
std::vector<Section> sections();
// Every note of the piece, sorted by start time.
std::vector<Note> compose();
// The whole soundtrack: the notes rendered, rising out of silence over the intro.
std::vector<int16_t> render_music();
// Why the show's cue sheet does not fit this score, or "" when it does: the score is written for
// seven scene slots, and the sheet's tempo map must be the score's own grid.
std::string sheet_mismatch();

}  // namespace synth
