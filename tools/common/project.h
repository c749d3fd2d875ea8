// A show project: the folder a maker edits and keeps in version control. It holds the cue sheet
// show.cues and the GLSL sources of the ten programs (pt01.vsh, pt01.fsh ... pt09.fsh, post.vsh,
// post.fsh), and its sheet names the logo image and the music by their path from the project
// ("file logo logo.png", "file music music.ogg"). Packing turns it into the show's own form: the
// twenty scene files 0.ck ... 19.ck (each source with its scene slot, scrambled), bitmap.png and
// vae5.wav. A packed folder holds no sheet and no sources.
#pragma once
#include <string>
#include <vector>

#include "common/cue_sheet.h"
#include "common/slot_lines.h"
#include "timeline/program_set.h"

namespace project {

extern const char* const SHEET_NAME;  // "show.cues"

enum Kind {
    NOT_A_SHOW = 0,  // neither
    PROJECT = 1,     // holds show.cues
    PACKED = 2,      // holds scene files and no sheet
};
// What the folder `dir` holds.
Kind kind_of(const std::string& dir);

struct Project {
    std::string dir;                          // the folder, as given
    std::string sheet_path;                   // dir/show.cues
    sheet::Sheet sheet;
    sheet::Script script;
    std::string sources[PROGRAM_COUNT][2];    // each program's vertex and fragment source, in build order
    std::string logo, music;                  // the files the sheet names, from the working folder ("": none named)
};

// Reads the project in `dir`: its sheet worked out, and every source there as a regular file.
// False with `error` as one line: "path:line: message" for the sheet, or the source missing.
bool open(const std::string& dir, Project& p, std::string& error);
// The scene slots the project's sheet schedules.
std::vector<SlotSpan> slots(const Project& p);

struct PackedFile {
    std::string name;   // "7.ck", "bitmap.png", "vae5.wav"
    std::string bytes;  // the file's contents
};
// The project in the show's own form: the twenty scene files, then the logo and the music under the
// show's names when the sheet names them and they can be read. A named file that cannot be read
// gives a line in `notes` (the show runs without it). False with `error` for a source that cannot
// be read or cannot go into a scene file.
bool pack(const Project& p, std::vector<PackedFile>& files, std::vector<std::string>& notes, std::string& error);
// `text` as a scene file holds it: scrambled, with the final byte the show does not read. False
// (with `why`) for a text the show could not take whole: one holding a zero byte.
bool scene_file_bytes(const std::string& text, std::string& bytes, std::string& why);

}  // namespace project
