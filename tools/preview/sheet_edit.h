// The sync editor's model: the keys of the cue sheet being edited, the edits a maker makes to them
// (move, add, delete, change a value, an easing or a length), undo and redo, and the sheet's text
// in and out, kept in step with the file on disk. No drawing here: the overlay draws from it, and
// tests drive it without a window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/cue_sheet.h"

namespace edit {

enum { ROW_SCENE = -1 };  // the scene program's row; every other row is a ShowParam

// One key on the track view: a line of the sheet that is a cue.
struct Key {
    int line;          // index in the sheet's lines
    int row;           // ROW_SCENE or a ShowParam
    int32_t start_ms;  // where it begins
    int32_t end_ms;    // a tween's end; start_ms for the others
    bool tween;
};

struct Editor {
    std::string path;         // the sheet file
    sheet::Sheet sheet;       // as edited
    sheet::Script script;     // worked out, always valid
    std::vector<std::vector<sheet::Line>> undo, redo;  // earlier and undone states of the lines
    bool dirty = false;       // edited since the last save or load
    std::string message;      // why the last edit was refused, or what to know about it
    bool music_stale = false;  // a scene, mark or tempo moved: the bundled music follows on a rebuild
    std::string disk;         // the file's text as last read or written
    bool conflict = false;    // the file changed on disk while edits were unsaved
    std::string theirs;       // that text
    int gesture = 0;          // > 0 while one undo step gathers edits (a drag)
};

// Reads and works out the sheet at `path`. False with `error` as file:line: message. A recovery
// file left beside it by an earlier session is named in `message`.
bool open(Editor& e, const std::string& path, std::string& error);
// Every cue line as a key, in line order.
std::vector<Key> keys(const Editor& e);
// The row a line's key is on, or -2 for a line that is no key (text, length, mark, tempo, base).
int row_of(const sheet::Line& line);

// Edits. Each works the sheet out again and returns true; a change that would make the sheet wrong
// is refused, leaving it as it was, with `message` saying why. Each applied edit is one undo step
// (or part of the open gesture's).
// Moves the key on `line` to `start_ms`: a tween keeps its length, an anchored time keeps its
// anchor, and the line goes among its row's lines in time order (`line` follows it). A scene stays
// between its neighbours.
bool move_key(Editor& e, int& line, int32_t start_ms);
// Sets a tween's length.
bool set_length(Editor& e, int line, int32_t ms);
// Sets value `component` of a set or tween (a whole number for the integer parameters).
bool set_value(Editor& e, int line, int component, float v);
// Sets a tween's easing.
bool set_easing(Editor& e, int line, int mode);
// Schedules another scene program in a scene's slot.
bool set_program(Editor& e, int line, const std::string& label);
// Sets a key's time from text as the sheet writes it ("97.5", "pt03-1.000"); `line` follows it.
bool set_time_text(Editor& e, int& line, const std::string& text);
// Adds a key on `row` at `at_ms` among the row's lines in time order: a set (or a one-second
// linear tween) of the value the parameter has there, or a scene slot for a program not yet
// scheduled. Returns the new line's index, or -1 when refused.
int add_key(Editor& e, int row, int32_t at_ms, bool tween, const float value_now[4]);
// Removes a key's line.
bool delete_key(Editor& e, int line);
// Gathers the edits until end_gesture into one undo step.
void begin_gesture(Editor& e);
void end_gesture(Editor& e);
// Goes back or forth one step. False when there is none.
bool undo(Editor& e);
bool redo(Editor& e);

// The sheet's text: untouched lines as they were read, edited ones written anew.
std::string text(const Editor& e);
// Writes the sheet to its file (beside it first, then renamed). Refused while a conflict with the
// file on disk is undecided, and for a read-only file. False with `error` set.
bool save(Editor& e, std::string& error);
// Where edits that cannot be saved in the sheet itself are kept: beside it, "NAME.unsaved".
std::string recovery_path(const Editor& e);
// Writes the edited text to recovery_path, leaving the sheet as it is. False with `error` set.
bool save_recovery(const Editor& e, std::string& error);
// Looks at the file on disk: a change made elsewhere is taken at once when nothing is unsaved
// (returns 1; 0 when nothing changed; a file with a mistake is not taken, `message` says why, and
// it still counts as changed on disk), or marked as a conflict when something is (returns 2).
int check_disk(Editor& e);
// Settles a conflict: keep the edits (the next save replaces the file), or take the file's text.
void keep_mine(Editor& e);
bool take_theirs(Editor& e);

// Builds the edited script into the track table, with the names program_set holds.
void apply(const Editor& e);

}  // namespace edit
