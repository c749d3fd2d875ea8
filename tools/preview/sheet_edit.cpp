// The sync editor's model: every edit changes the sheet's lines, is worked out again before it is
// kept, and leaves the previous lines on the undo stack.
#include "sheet_edit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "common/toolkit.h"
#include "timeline/params.h"
#include "timeline/program_set.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace edit {

namespace {

// Whether the file's mode bits deny this user writing it. Checked by hand because a save replaces
// the file by renaming a new one over it, which the file's own mode does not stop (and root passes
// every access check).
bool read_only(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    if (geteuid() == st.st_uid) return !(st.st_mode & S_IWUSR);
    if (getegid() == st.st_gid) return !(st.st_mode & S_IWGRP);
    return !(st.st_mode & S_IWOTH);
}

int32_t start_of(const Editor& e, const sheet::Line& l) { return sheet::when_ms(l.at, e.script); }

// Runs `change` on the sheet and keeps it when the sheet still works out; else puts the lines back.
template <class Change>
bool attempt(Editor& e, Change change) {
    std::vector<sheet::Line> before = e.sheet.lines;
    change();
    sheet::Script worked;
    std::string error;
    if (!sheet::resolve(e.sheet, worked, error)) {
        e.sheet.lines = before;
        e.message = "refused: " + error;
        return false;
    }
    bool timing = worked.slots.size() != e.script.slots.size() || worked.flash_ms != e.script.flash_ms ||
                  worked.logo_ms != e.script.logo_ms || worked.tempo.size() != e.script.tempo.size();
    for (size_t i = 0; !timing && i < worked.slots.size(); ++i)
        timing = worked.slots[i].start_ms != e.script.slots[i].start_ms || worked.slots[i].label != e.script.slots[i].label;
    for (size_t i = 0; !timing && i < worked.tempo.size(); ++i)
        timing = worked.tempo[i].start_ms != e.script.tempo[i].start_ms || worked.tempo[i].bars != e.script.tempo[i].bars ||
                 worked.tempo[i].bpm != e.script.tempo[i].bpm;
    e.script = worked;
    if (e.gesture <= 1) {
        e.undo.push_back(before);
        if (e.gesture == 1) e.gesture = 2;  // the gesture's one step is taken
    }
    e.redo.clear();
    e.dirty = true;
    e.message.clear();
    if (timing) e.music_stale = true;
    return true;
}

// Moves line `index` among the lines of its row so that they stay in time order, and returns its
// new index. At an equal start a set goes before a tween (the tween then runs from the set's value
// instead of the set overriding it), and the moved line goes after the lines of its own kind.
int place_in_order(Editor& e, int index) {
    std::vector<sheet::Line>& lines = e.sheet.lines;
    int row = row_of(lines[index]);
    if (row == ROW_SCENE || row < 0) return index;
    auto rank = [](const sheet::Line& l) { return l.kind == sheet::LINE_TWEEN ? 1 : 0; };
    int32_t at = start_of(e, lines[index]);
    int after = -1, first = -1;
    for (int i = 0; i < (int)lines.size(); ++i) {
        if (i == index || row_of(lines[i]) != row) continue;
        if (first < 0) first = i;
        int32_t t = start_of(e, lines[i]);
        if (t < at || (t == at && rank(lines[i]) <= rank(lines[index]))) after = i;
    }
    if (first < 0) return index;
    int to = after >= 0 ? after + 1 : first;
    if (to > index) --to;  // counted without the line itself
    sheet::Line moved = lines[index];
    lines.erase(lines.begin() + index);
    lines.insert(lines.begin() + to, moved);
    return to;
}

void shift(sheet::When& w, int32_t delta) { w.ms += delta; }

}  // namespace

int row_of(const sheet::Line& l) {
    if (l.kind == sheet::LINE_SCENE) return ROW_SCENE;
    if (l.kind == sheet::LINE_SET || l.kind == sheet::LINE_TWEEN) {
        int param = sheet::param_of(l.name);
        return param >= 0 ? param : -2;
    }
    return -2;
}

bool open(Editor& e, const std::string& path, std::string& error) {
    e = Editor{};
    e.path = path;
    std::string text;
    if (!tool::read_file(path, text, error)) return false;
    if (!sheet::parse(path, text, e.sheet, error) || !sheet::resolve(e.sheet, e.script, error)) return false;
    e.disk = text;
    struct stat st;
    if (stat(recovery_path(e).c_str(), &st) == 0)
        e.message = recovery_path(e) + " holds edits an earlier session could not save: compare it with the sheet, then remove it";
    return true;
}

std::vector<Key> keys(const Editor& e) {
    std::vector<Key> out;
    for (int i = 0; i < (int)e.sheet.lines.size(); ++i) {
        const sheet::Line& l = e.sheet.lines[i];
        int row = row_of(l);
        if (row == -2) continue;
        Key k{i, row, start_of(e, l), 0, l.kind == sheet::LINE_TWEEN};
        k.end_ms = k.tween ? sheet::when_ms(l.until, e.script) : k.start_ms;
        out.push_back(k);
    }
    return out;
}

bool move_key(Editor& e, int& line, int32_t start_ms) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || row_of(e.sheet.lines[line]) == -2) return false;
    sheet::Line& l = e.sheet.lines[line];
    int32_t now = start_of(e, l);
    int32_t delta = start_ms - now;
    if (delta == 0) return true;
    if (l.kind == sheet::LINE_SCENE) {
        // A scene keeps its place between its neighbours; the first one starts the show.
        int32_t before = -1, after = e.script.length_ms;
        for (size_t i = 0; i < e.script.slots.size(); ++i)
            if (e.script.slots[i].line == line) {
                if (i == 0) {
                    e.message = "the first scene starts the show at 0.000";
                    return false;
                }
                before = e.script.slots[i - 1].start_ms;
                if (i + 1 < e.script.slots.size()) after = e.script.slots[i + 1].start_ms;
            }
        start_ms = std::clamp(start_ms, before + 1, after - 1);
        delta = start_ms - now;
    }
    int placed = line;
    bool ok = attempt(e, [&] {
        sheet::Line& m = e.sheet.lines[line];
        shift(m.at, delta);
        if (m.kind == sheet::LINE_TWEEN) shift(m.until, delta);
        m.edited = true;
        placed = place_in_order(e, line);
    });
    if (ok) line = placed;
    return ok;
}

bool set_length(Editor& e, int line, int32_t ms) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || e.sheet.lines[line].kind != sheet::LINE_TWEEN || ms < 0) return false;
    return attempt(e, [&] {
        sheet::Line& m = e.sheet.lines[line];
        int32_t end = start_of(e, m) + ms;
        m.until.ms += end - sheet::when_ms(m.until, e.script);
        m.edited = true;
    });
}

bool set_value(Editor& e, int line, int component, float v) {
    if (line < 0 || line >= (int)e.sheet.lines.size()) return false;
    sheet::Line& l = e.sheet.lines[line];
    if ((l.kind != sheet::LINE_SET && l.kind != sheet::LINE_TWEEN) || component < 0 || component >= (int)l.values.size()) return false;
    return attempt(e, [&] {
        e.sheet.lines[line].values[component] = v;
        e.sheet.lines[line].edited = true;
    });
}

bool set_easing(Editor& e, int line, int mode) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || e.sheet.lines[line].kind != sheet::LINE_TWEEN || mode < 0 || mode > 3)
        return false;
    return attempt(e, [&] {
        e.sheet.lines[line].mode = mode;
        e.sheet.lines[line].edited = true;
    });
}

bool set_program(Editor& e, int line, const std::string& label) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || e.sheet.lines[line].kind != sheet::LINE_SCENE) return false;
    std::string old = e.sheet.lines[line].name;
    // Cues anchored to the old label follow the slot to its new program.
    return attempt(e, [&] {
        for (sheet::Line& m : e.sheet.lines) {
            if (m.at.anchor == old) m.at.anchor = label, m.edited = true;
            if (m.until.anchor == old) m.until.anchor = label, m.edited = true;
        }
        e.sheet.lines[line].name = label;
        e.sheet.lines[line].edited = true;
    });
}

bool set_time_text(Editor& e, int& line, const std::string& text) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || row_of(e.sheet.lines[line]) == -2) return false;
    // Read through the sheet's own reader, as a line with this time.
    sheet::Sheet one;
    std::string error;
    if (!sheet::parse(e.path, "base " + text, one, error) || one.lines.empty()) {
        e.message = "refused: '" + text + "' is not a time";
        return false;
    }
    sheet::When w = one.lines[0].at;
    if (e.sheet.lines[line].kind == sheet::LINE_SCENE && !w.anchor.empty()) {
        e.message = "refused: a scene's time is absolute";
        return false;
    }
    int placed = line;
    bool ok = attempt(e, [&] {
        sheet::Line& m = e.sheet.lines[line];
        if (m.kind == sheet::LINE_TWEEN) {
            int32_t delta = sheet::when_ms(w, e.script) - start_of(e, m);
            m.until.ms += delta;
        }
        m.at = w;
        m.edited = true;
        placed = place_in_order(e, line);
    });
    if (ok) line = placed;
    return ok;
}

int add_key(Editor& e, int row, int32_t at_ms, bool tween, const float value_now[4]) {
    sheet::Line l;
    l.edited = true;
    l.at = sheet::When{"", at_ms};
    int insert_at = (int)e.sheet.lines.size();
    if (row == ROW_SCENE) {
        std::string free_label;
        for (int p = 0; p < SCENE_PROGRAM_COUNT && free_label.empty(); ++p) {
            bool used = false;
            for (const sheet::Slot& s : e.script.slots) used = used || s.label == PROGRAM_LABELS[p];
            if (!used) free_label = PROGRAM_LABELS[p];
        }
        if (free_label.empty()) {
            e.message = "refused: every scene program is scheduled already";
            return -1;
        }
        l.kind = sheet::LINE_SCENE;
        l.name = free_label;
        for (const sheet::Slot& s : e.script.slots)
            if (s.start_ms < at_ms) insert_at = s.line + 1;
    } else if (row >= 0 && row < SHOW_PARAM_COUNT) {
        const ShowParamInfo& p = SHOW_PARAMS[row];
        if (p.integer_cues && tween) {
            e.message = std::string("refused: ") + p.name + " is set, not tweened";
            return -1;
        }
        l.kind = tween ? sheet::LINE_TWEEN : sheet::LINE_SET;
        l.name = p.name;
        for (int i = 0; i < p.components; ++i) l.values.push_back(p.integer_cues ? std::nearbyint(value_now[i]) : value_now[i]);
        if (tween) {
            l.mode = EASE_LINEAR;
            l.until = sheet::When{"", std::min(at_ms + 1000, e.script.length_ms)};
        }
    } else {
        return -1;
    }
    l.text = sheet::format(l);
    int placed = -1;
    bool ok = attempt(e, [&] {
        e.sheet.lines.insert(e.sheet.lines.begin() + insert_at, l);
        placed = l.kind == sheet::LINE_SCENE ? insert_at : place_in_order(e, insert_at);
    });
    return ok ? placed : -1;
}

bool delete_key(Editor& e, int line) {
    if (line < 0 || line >= (int)e.sheet.lines.size() || row_of(e.sheet.lines[line]) == -2) return false;
    return attempt(e, [&] { e.sheet.lines.erase(e.sheet.lines.begin() + line); });
}

void begin_gesture(Editor& e) { e.gesture = 1; }

void end_gesture(Editor& e) { e.gesture = 0; }

static bool step(Editor& e, std::vector<std::vector<sheet::Line>>& from, std::vector<std::vector<sheet::Line>>& to) {
    if (from.empty()) return false;
    sheet::Sheet s = e.sheet;
    s.lines = from.back();
    sheet::Script worked;
    std::string error;
    if (!sheet::resolve(s, worked, error)) return false;
    to.push_back(e.sheet.lines);
    from.pop_back();
    e.sheet = s;
    e.script = worked;
    e.dirty = true;
    e.message.clear();
    return true;
}

bool undo(Editor& e) { return step(e, e.undo, e.redo); }
bool redo(Editor& e) { return step(e, e.redo, e.undo); }

std::string text(const Editor& e) { return sheet::print(e.sheet); }

bool save(Editor& e, std::string& error) {
    check_disk(e);
    if (e.conflict) {
        error = e.path + " changed on disk: keep your edits or take the file's first";
        return false;
    }
    if (read_only(e.path)) {
        error = "cannot write " + e.path + ": the file is read-only; make it writable to save, or keep editing";
        return false;
    }
    std::string t = text(e);
    if (!tool::write_file(e.path, t, error)) return false;
    e.disk = t;
    e.dirty = false;
    for (sheet::Line& l : e.sheet.lines)
        if (l.edited) {
            l.text = sheet::format(l);
            l.edited = false;
        }
    return true;
}

std::string recovery_path(const Editor& e) { return e.path + ".unsaved"; }

bool save_recovery(const Editor& e, std::string& error) { return tool::write_file(recovery_path(e), text(e), error); }

int check_disk(Editor& e) {
    std::string t, why;
    if (!tool::read_file(e.path, t, why) || t == e.disk) return 0;
    if (e.dirty) {
        e.conflict = true;
        e.theirs = t;
        return 2;
    }
    sheet::Sheet s;
    sheet::Script worked;
    std::string error;
    // Not recorded as seen until taken: a sheet on disk the editor could not take still counts as
    // changed, so that a later save asks before replacing it.
    if (!sheet::parse(e.path, t, s, error) || !sheet::resolve(s, worked, error)) {
        e.message = "the sheet on disk has a mistake, the one shown stays: " + error;
        return 0;
    }
    e.disk = t;
    e.undo.push_back(e.sheet.lines);
    e.redo.clear();
    e.sheet = s;
    e.script = worked;
    e.message = "read the sheet again from disk";
    return 1;
}

void keep_mine(Editor& e) {
    if (!e.conflict) return;
    e.disk = e.theirs;
    e.conflict = false;
    e.theirs.clear();
}

bool take_theirs(Editor& e) {
    if (!e.conflict) return false;
    sheet::Sheet s;
    sheet::Script worked;
    std::string error;
    if (!sheet::parse(e.path, e.theirs, s, error) || !sheet::resolve(s, worked, error)) {
        e.message = "the sheet on disk has a mistake: " + error;
        return false;
    }
    e.undo.push_back(e.sheet.lines);
    e.redo.clear();
    e.sheet = s;
    e.script = worked;
    e.disk = e.theirs;
    e.dirty = false;
    e.conflict = false;
    e.theirs.clear();
    return true;
}

void apply(const Editor& e) { script_rebuild(e.script.cues.data(), (int32_t)e.script.cues.size()); }

}  // namespace edit
