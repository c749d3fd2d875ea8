// The show's cue sheet (show/show.cues): the whole script as plain text, one cue per line, read by
// the build (which turns it into the compiled-in table), by the tools (--script) and by the
// preview's editor, which writes it back changing only the lines that were edited.
//
//   # a comment; blank lines and comments are kept as they are
//   length 240.000                       the show's length
//   mark flash 3.000                     the two marks the score follows: the flash rise ends,
//   mark logo 205.000                    and the logo comes in
//   tempo flash 22 bars                  the beat grid: 22 bars of four beats up to the next
//   tempo logo 120                       tempo line (or the end); or beats at 120 per minute
//   base 0.000                           the time base of the cues after it; only 0.000, since
//                                          every time in a sheet counts from the show's start
//   scene 48.000 pt04                    a scene slot: pt04 runs from 48 s to the next scene
//   set 11.000 displayLogo 0             a set cue (1, 3 or 4 values; whole numbers for the
//   set 0.000 skip_render 0                integer parameters skip_render, useEffect, logo_slot)
//   tween pt04-2.000 pt04 linear gamma 0.01   a tween from one time to another, with an easing
//   file logo logo.png                   the project's logo image and music, by their path from
//   file music music.ogg                   the sheet's folder (packed as bitmap.png and vae5.wav)
//
// Times are seconds with at most three decimals, either absolute or from an anchor: a scheduled
// program's label (its scene change), a mark (flash, logo) or `end`, with an offset such as
// "pt04-2.000". Anchored cues move with their scene change or mark. Line order is insertion order.
// A UTF-8 byte-order mark at the start is skipped, and written back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "timeline/cues.h"
#include "timeline/show_table.h"

namespace sheet {

// The lengths a show may have. Every time a sheet names lies within its show, so every time the
// reader keeps fits 32 bits with room to add an anchor.
enum : int32_t { LENGTH_MIN_MS = 10 * 1000, LENGTH_MAX_MS = 30 * 60 * 1000 };

// A time as the sheet writes it.
struct When {
    std::string anchor;  // "": absolute; else a scene's program label, "flash", "logo" or "end"
    int32_t ms = 0;      // absolute ms, or the offset from the anchor
    bool operator==(const When& o) const { return anchor == o.anchor && ms == o.ms; }
};

enum LineKind { LINE_TEXT, LINE_LENGTH, LINE_MARK, LINE_TEMPO, LINE_BASE, LINE_SCENE, LINE_SET, LINE_TWEEN, LINE_FILE };

struct Line {
    LineKind kind = LINE_TEXT;  // LINE_TEXT: blank or a comment
    std::string text;           // as read, without its line break; printed as it is unless edited
    bool edited = false;        // printed from the fields instead
    When at;                    // the time (a tween's start)
    When until;                 // a tween's end
    int mode = 0;               // Easing of a tween
    std::string name;           // the parameter; a scene's program label; a mark's name; a file's role
    std::string path;           // a file line's path, as written
    std::vector<float> values;  // set and tween values; a tempo's bpm or bar count
    bool bars = false;          // a tempo given as "N bars"
    std::string comment;        // a trailing comment, from its '#'
};

struct Sheet {
    std::string path;  // named in messages
    std::vector<Line> lines;
    bool final_newline = true;
    bool bom = false;  // the text began with a UTF-8 byte-order mark
};

struct Slot {
    std::string label;
    int32_t start_ms, end_ms;
    int line;  // index in Sheet::lines
};

struct Tempo {
    int32_t start_ms, end_ms;
    int32_t bars;  // > 0: this many bars of four beats fill the span; 0: beats at bpm
    double bpm;
    double beat_ms() const { return bars > 0 ? (double)(end_ms - start_ms) / (4.0 * bars) : 60000.0 / bpm; }
};

// The sheet worked out into what the show's tables hold.
struct Script {
    int32_t length_ms = 0;
    int32_t flash_ms = 0, logo_ms = 0;
    std::vector<Slot> slots;
    std::vector<Tempo> tempo;
    std::vector<Cue> cues;
    std::vector<int> cue_lines;  // the index in Sheet::lines of each cue
    int tracks = 0;              // tracks the cues add
    std::string logo_file, music_file;  // the paths the file lines give, as written ("": none)
    int logo_line = -1, music_line = -1;  // their index in Sheet::lines
};

// Reads sheet text. False with `error` as "path:line: message" for a line that is not a cue.
bool parse(const std::string& path, const std::string& text, Sheet& out, std::string& error);
// Works a parsed sheet out. False with `error` as "path:line: message" for any mistake: an
// unknown parameter, easing, program or anchor, a time outside the show, scenes out of order or
// overlapping, a program scheduled twice, a wrong component count, a missing length or mark.
bool resolve(const Sheet& sheet, Script& out, std::string& error);
// The table an executable carries for `script`: its length and its cues, every other entry the
// filler; for no script, a table that holds no show (an engine's). Both the build and the exporter
// write tables only through this, so that the same sheet gives the same bytes.
void fill_table(const Script* script, ShowTable& table);

// Reads (a regular file only, never waiting on a pipe), parses and works out the sheet file at
// `path`. False with `error` set (one line).
bool load(const std::string& path, Sheet& sheet, Script& script, std::string& error);
// The sheet as text: each line as read, or from its fields once edited.
std::string print(const Sheet& sheet);
// One line from its fields, in the sheet's own spelling.
std::string format(const Line& line);

// The absolute time of `w` in a worked-out script (anchors resolved), or -1 for an unknown anchor.
// In a script that resolve() accepted, every time of its sheet lies within the show.
int32_t when_ms(const When& w, const Script& script);
// The parameter (ShowParam) named `name`, or -1.
int param_of(const std::string& name);
// The scene program (index in PROGRAM_TABLE, pt01 ... pt09) labelled `label`, or -1.
int scene_program_of(const std::string& label);
// `w` as the sheet writes it: "48.000", "pt04", "pt04-2.000".
std::string when_text(const When& w);
// The shortest decimal that reads back as `v`.
std::string value_text(float v);
// "step", "linear", "cosine", "thirds".
const char* easing_name(int mode);

}  // namespace sheet
