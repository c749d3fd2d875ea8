// The starter project's piece for the synthesizer engine: a minute and a half in D minor at 120
// beats a minute, one section per scene of the starter sheet (template/show.cues), laid on that
// sheet's scenes and marks. mkmusic --template renders it when the package is built.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/cue_sheet.h"
#include "score.h"

namespace synth {

// The piece's eleven sections in order, back to back from 0 to the end of `script`: the intro
// under the opening flash, one section per scene slot (the first from the flash mark, the last
// ending at the logo mark), and the close under the logo. Empty when `script` does not have the
// nine slots the piece is written for.
std::vector<Section> template_sections(const sheet::Script& script);
// Why `script` does not fit the piece, or "" when it does: nine scene slots, the flash inside
// the first and the logo inside the last, and a tempo map whose beat at every section's start is
// the piece's own, with the section starting on a bar of it.
std::string template_mismatch(const sheet::Script& script);
// Every note of the piece laid on `script` (which must fit it), sorted by start time.
std::vector<Note> template_compose(const sheet::Script& script);
// Reads the sheet at `sheet_path`, checks that it fits the piece and renders the piece for the
// sheet's length (whole seconds, rounded up). False with `why` set to one line.
bool template_music(const std::string& sheet_path, std::vector<int16_t>& out, std::string& why);

}  // namespace synth
