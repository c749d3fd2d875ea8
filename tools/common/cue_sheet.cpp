// Reading, working out and writing the cue sheet. Built into the build's sheet generator as well as
// the tools, so it leans only on the toolkit and the timeline's headers and parameter table, never
// on the generated show it describes.
#include "common/cue_sheet.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

#include "common/toolkit.h"
#include "timeline/params.h"
#include "timeline/program_set.h"
#include "timeline/tracks.h"

namespace sheet {

namespace {

const char* const EASINGS[] = {"step", "linear", "cosine", "thirds"};
const char* const MARKS[] = {"flash", "logo"};
const char BOM[] = "\xEF\xBB\xBF";

std::string where(const std::string& path, size_t index) { return path + ":" + std::to_string(index + 1) + ": "; }

// Bytes of the file as a message quotes them: printable ASCII as it is, anything else escaped, and
// no more than a short word's worth, so that a binary file gives one readable line.
std::string shown(const std::string& s) {
    const size_t MOST = 40;
    std::string out = "'";
    for (size_t i = 0; i < s.size() && i < MOST; ++i) {
        unsigned char c = (unsigned char)s[i];
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += (char)c;
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out + (s.size() > MOST ? "...'" : "'");
}

// Seconds with at most three decimals, to whole milliseconds. False for anything else; `too_far`
// tells a well-formed time past what 32 bits of milliseconds hold (far outside any show).
bool parse_seconds(const std::string& s, int32_t& ms, bool& too_far) {
    size_t i = 0;
    int64_t whole = 0, frac = 0;
    int digits = 0, decimals = 0;
    too_far = false;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) {
        if (whole < INT64_C(1000000000000)) whole = whole * 10 + (s[i] - '0');
        ++i, ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit((unsigned char)s[i])) {
            if (++decimals > 3) return false;
            frac = frac * 10 + (s[i++] - '0');
        }
    }
    if (i != s.size() || digits + decimals == 0) return false;
    while (decimals++ < 3) frac *= 10;
    int64_t total = whole * 1000 + frac;
    too_far = total > INT32_MAX;
    ms = too_far ? 0 : (int32_t)total;
    return !too_far;
}

bool parse_when(const std::string& s, When& w, bool& too_far) {
    w = When{};
    too_far = false;
    size_t i = 0;
    while (i < s.size() && (std::isalnum((unsigned char)s[i]) || s[i] == '_')) {
        if (i == 0 && std::isdigit((unsigned char)s[0])) break;
        ++i;
    }
    w.anchor = s.substr(0, i);
    if (i == s.size()) return !w.anchor.empty();
    if (w.anchor.empty()) return parse_seconds(s, w.ms, too_far);
    char sign = s[i];
    if (sign != '+' && sign != '-') return false;
    if (!parse_seconds(s.substr(i + 1), w.ms, too_far)) return false;
    if (sign == '-') w.ms = -w.ms;  // never INT32_MIN: parse_seconds keeps to INT32_MAX
    return true;
}

bool parse_float(const std::string& s, float& v) {
    const char* begin = s.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtof(begin, &end);
    return end != begin && *end == '\0' && errno != ERANGE && std::isfinite(v);
}

int easing_of(const std::string& name) {
    for (int i = 0; i < 4; ++i)
        if (name == EASINGS[i]) return i;
    return -1;
}

std::string param_names() {
    std::string all;
    for (const ShowParamInfo& p : SHOW_PARAMS) all += (all.empty() ? "" : ", ") + std::string(p.name);
    return all;
}

bool parse_line(const std::string& raw, Line& line, std::string& why) {
    line = Line{};
    line.text = raw;
    std::string body = raw;
    size_t hash = raw.find('#');
    if (hash != std::string::npos) {
        // With the space before it, so that an edited line keeps its comment where it was.
        size_t gap = raw.find_last_not_of(" \t", hash == 0 ? 0 : hash - 1);
        gap = hash == 0 || gap == std::string::npos ? 0 : gap + 1;
        line.comment = raw.substr(gap);
        body = raw.substr(0, hash);
    }
    std::istringstream in(body);
    std::vector<std::string> w{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
    if (w.empty()) return true;
    const std::string& key = w[0];
    auto need = [&](size_t n, const char* form) {
        if (w.size() == n) return true;
        why = key + " takes " + form;
        return false;
    };
    auto when = [&](size_t i, When& out) {
        bool too_far = false;
        if (parse_when(w[i], out, too_far)) return true;
        why = too_far ? "time " + shown(w[i]) + " is outside the show"
                      : shown(w[i]) + " is not a time (seconds with at most three decimals, or an anchor such as pt04-2.000)";
        return false;
    };
    auto values = [&](size_t from) {
        for (size_t i = from; i < w.size(); ++i) {
            float v = 0;
            if (!parse_float(w[i], v)) {
                why = shown(w[i]) + " is not a number";
                return false;
            }
            line.values.push_back(v);
        }
        return true;
    };
    if (key == "length") {
        line.kind = LINE_LENGTH;
        return need(2, "a time: length SECONDS") && when(1, line.at);
    }
    if (key == "mark") {
        line.kind = LINE_MARK;
        if (!need(3, "a name and a time: mark flash 3.000")) return false;
        line.name = w[1];
        return when(2, line.at);
    }
    if (key == "base") {
        line.kind = LINE_BASE;
        return need(2, "a time: base 0.000") && when(1, line.at);
    }
    if (key == "file") {
        line.kind = LINE_FILE;
        if (!need(3, "a role and a path: file logo logo.png, file music music.ogg")) return false;
        line.name = w[1];
        line.path = w[2];
        return true;
    }
    if (key == "scene") {
        line.kind = LINE_SCENE;
        if (!need(3, "a time and a program: scene 48.000 pt04")) return false;
        line.name = w[2];
        return when(1, line.at);
    }
    if (key == "tempo") {
        line.kind = LINE_TEMPO;
        if (w.size() == 4 && w[3] == "bars") {
            line.bars = true;
            w.pop_back();
        }
        if (!need(3, "a time and beats per minute, or a bar count: tempo 48.000 120, tempo pt04 12 bars")) return false;
        return when(1, line.at) && values(2);
    }
    if (key == "set") {
        line.kind = LINE_SET;
        if (w.size() < 4) return need(4, "a time, a parameter and its values: set 0.000 gamma 1");
        line.name = w[2];
        return when(1, line.at) && values(3);
    }
    if (key == "tween") {
        line.kind = LINE_TWEEN;
        if (w.size() < 6) return need(6, "two times, an easing, a parameter and its values: tween 46.000 48.000 linear gamma 0.01");
        line.mode = easing_of(w[3]);
        if (line.mode < 0) {
            why = "unknown easing " + shown(w[3]) + " (one of step, linear, cosine, thirds)";
            return false;
        }
        line.name = w[4];
        return when(1, line.at) && when(2, line.until) && values(5);
    }
    why = "unknown cue " + shown(key) + " (length, mark, tempo, base, scene, set, tween or file)";
    return false;
}

// The component counts a parameter's cues take: the cue functions set and tween 1, 3 or 4 floats,
// and never past the parameter's own.
bool count_fits(int components, size_t n) {
    if (components == 1) return n == 1;
    if (components == 3) return n == 3;
    return n == 3 || n == 4;
}

}  // namespace

const char* easing_name(int mode) { return mode >= 0 && mode < 4 ? EASINGS[mode] : "?"; }

int param_of(const std::string& name) {
    for (int i = 0; i < SHOW_PARAM_COUNT; ++i)
        if (name == SHOW_PARAMS[i].name) return i;
    return -1;
}

int scene_program_of(const std::string& label) {
    for (int i = 0; i < SCENE_PROGRAM_COUNT; ++i)
        if (label == PROGRAM_LABELS[i]) return i;
    return -1;
}

std::string value_text(float v) {
    char buf[64];
    // Plain decimals where they are short ("10", "-0.5", "0.01"), else the shortest exponent form.
    if (v == 0 || (std::fabs(v) >= 1e-4f && std::fabs(v) < 1e7f)) {
        for (int decimals = 0; decimals <= 12; ++decimals) {
            std::snprintf(buf, sizeof buf, "%.*f", decimals, (double)v);
            if (std::strtof(buf, nullptr) == v) return buf;
        }
    }
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, (double)v);
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

std::string when_text(const When& w) {
    char buf[32];
    int32_t ms = w.ms < 0 ? -w.ms : w.ms;
    std::snprintf(buf, sizeof buf, "%d.%03d", ms / 1000, ms % 1000);
    if (w.anchor.empty()) return buf;
    if (w.ms == 0) return w.anchor;
    return w.anchor + (w.ms < 0 ? "-" : "+") + buf;
}

namespace {

// The time of an anchor in a worked-out script; false for an unknown one.
bool anchor_ms(const std::string& anchor, const Script& script, int32_t& ms) {
    if (anchor == "end") return ms = script.length_ms, true;
    if (anchor == "flash") return ms = script.flash_ms, true;
    if (anchor == "logo") return ms = script.logo_ms, true;
    for (const Slot& s : script.slots)
        if (s.label == anchor) return ms = s.start_ms, true;
    return false;
}

}  // namespace

int32_t when_ms(const When& w, const Script& script) {
    int32_t base = 0;
    if (!w.anchor.empty() && !anchor_ms(w.anchor, script, base)) return -1;
    int64_t t = (int64_t)base + w.ms;
    return t < 0 ? -1 : t > INT32_MAX ? INT32_MAX : (int32_t)t;
}

bool parse(const std::string& path, const std::string& text, Sheet& out, std::string& error) {
    out = Sheet{};
    out.path = path;
    out.final_newline = text.empty() || text.back() == '\n';
    out.bom = text.compare(0, 3, BOM) == 0;
    size_t start = out.bom ? 3 : 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Line line;
        std::string why;
        if (!parse_line(text.substr(start, end - start), line, why)) {
            error = where(path, out.lines.size()) + why;
            return false;
        }
        out.lines.push_back(line);
        start = end + 1;
    }
    return true;
}

bool resolve(const Sheet& sheet, Script& out, std::string& error) {
    out = Script{};
    auto fail = [&](size_t i, const std::string& why) {
        error = where(sheet.path, i) + why;
        return false;
    };
    // The fixed points first, so that any cue may name them.
    int length_line = -1, mark_line[2] = {-1, -1};
    for (size_t i = 0; i < sheet.lines.size(); ++i) {
        const Line& l = sheet.lines[i];
        if (l.kind == LINE_LENGTH) {
            if (length_line >= 0) return fail(i, "a second length line (the first is line " + std::to_string(length_line + 1) + ")");
            if (!l.at.anchor.empty() || l.at.ms < LENGTH_MIN_MS || l.at.ms > LENGTH_MAX_MS)
                return fail(i, "the length is from " + when_text(When{"", LENGTH_MIN_MS}) + " to " + when_text(When{"", LENGTH_MAX_MS}) +
                                   " seconds");
            out.length_ms = l.at.ms;
            length_line = (int)i;
        } else if (l.kind == LINE_FILE) {
            bool logo = l.name == "logo";
            if (!logo && l.name != "music") return fail(i, "unknown file " + shown(l.name) + " (logo or music)");
            int& seen = logo ? out.logo_line : out.music_line;
            if (seen >= 0) return fail(i, "file " + l.name + " is named twice (the first is line " + std::to_string(seen + 1) + ")");
            seen = (int)i;
            (logo ? out.logo_file : out.music_file) = l.path;
        } else if (l.kind == LINE_MARK) {
            int m = l.name == MARKS[0] ? 0 : l.name == MARKS[1] ? 1 : -1;
            if (m < 0) return fail(i, "unknown mark " + shown(l.name) + " (flash or logo)");
            if (mark_line[m] >= 0) return fail(i, "mark " + l.name + " is set twice");
            if (!l.at.anchor.empty()) return fail(i, "a mark is an absolute time");
            (m == 0 ? out.flash_ms : out.logo_ms) = l.at.ms;
            mark_line[m] = (int)i;
        }
    }
    if (length_line < 0) return fail(0, "no length line (length SECONDS)");
    const std::string show = "0 to " + when_text(When{"", out.length_ms});
    for (int m = 0; m < 2; ++m) {
        if (mark_line[m] < 0) return fail(0, std::string("no mark ") + MARKS[m] + " line (mark " + MARKS[m] + " SECONDS)");
        if ((m == 0 ? out.flash_ms : out.logo_ms) > out.length_ms)
            return fail((size_t)mark_line[m], "time outside the show (" + show + ")");
    }
    // The scene slots: in time order, back to back from 0, each program once.
    for (size_t i = 0; i < sheet.lines.size(); ++i) {
        const Line& l = sheet.lines[i];
        if (l.kind != LINE_SCENE) continue;
        int program = scene_program_of(l.name);
        if (program < 0) return fail(i, "unknown scene program " + shown(l.name) + " (pt01 ... pt09)");
        if (!l.at.anchor.empty()) return fail(i, "a scene's time is absolute");
        for (const Slot& s : out.slots)
            if (s.label == l.name)
                return fail(i, l.name + " is already scheduled on line " + std::to_string(s.line + 1) + ": a program has one slot");
        if (l.at.ms >= out.length_ms) return fail(i, "time outside the show (" + show + ")");
        if (out.slots.empty() && l.at.ms != 0) return fail(i, "the first scene starts at 0.000");
        if (!out.slots.empty() && l.at.ms <= out.slots.back().start_ms)
            return fail(i, "scenes out of order or overlapping: " + l.name + " starts at " + when_text(l.at) + ", not after " +
                               out.slots.back().label + " (line " + std::to_string(out.slots.back().line + 1) + ")");
        if (!out.slots.empty()) out.slots.back().end_ms = l.at.ms;
        out.slots.push_back(Slot{l.name, l.at.ms, out.length_ms, (int)i});
    }
    if (out.slots.empty()) return fail(0, "no scene line (scene 0.000 pt05)");
    if ((int)out.slots.size() > SCENE_PROGRAM_COUNT) return fail((size_t)out.slots.back().line, "more scenes than scene programs");

    auto at = [&](size_t i, const When& w, int32_t& ms) {
        int32_t base = 0;
        if (!w.anchor.empty() && !anchor_ms(w.anchor, out, base)) {
            std::string anchors = "end, flash, logo";
            for (const Slot& s : out.slots) anchors += ", " + s.label;
            return fail(i, "unknown anchor " + shown(w.anchor) + " (" + anchors + ")");
        }
        int64_t t = (int64_t)base + w.ms;
        if (t < 0) return fail(i, "time " + when_text(w) + " is before the show starts (" + show + ")");
        if (t > out.length_ms) return fail(i, "time " + when_text(w) + " is outside the show (" + show + ")");
        ms = (int32_t)t;
        return true;
    };
    for (size_t i = 0; i < sheet.lines.size(); ++i) {
        const Line& l = sheet.lines[i];
        Cue c{};
        if (l.kind == LINE_TEMPO) {
            Tempo t{};
            if (!at(i, l.at, t.start_ms)) return false;
            if (t.start_ms >= out.length_ms) return fail(i, "time outside the show (" + show + ")");
            if (!out.tempo.empty() && t.start_ms <= out.tempo.back().start_ms) return fail(i, "tempo changes out of order");
            float v = l.values[0];
            if (l.bars ? (v < 1 || v != std::floor(v) || v > 100000) : !(v > 0 && v <= 1000))
                return fail(i, l.bars ? "a bar count is a whole number from 1" : "beats per minute above 0, up to 1000");
            t.bars = l.bars ? (int32_t)v : 0;
            t.bpm = l.bars ? 0 : v;
            t.end_ms = out.length_ms;
            if (!out.tempo.empty()) out.tempo.back().end_ms = t.start_ms;
            out.tempo.push_back(t);
            continue;
        }
        if (l.kind == LINE_BASE) {
            // Every consumer of a sheet (scene slots, marks, the editor's keys, the timeline's
            // bands) counts from the show's start, so a shifted base would move the tracks alone.
            c.kind = CUE_TIME_BASE;
            if (!l.at.anchor.empty() || l.at.ms != 0)
                return fail(i, "base takes only 0.000: every time in the sheet counts from the show's start");
        } else if (l.kind == LINE_SCENE) {
            c.kind = CUE_PROGRAM;
            c.t = l.at.ms;
            c.target = scene_program_of(l.name);
            out.tracks += 1;
        } else if (l.kind == LINE_SET || l.kind == LINE_TWEEN) {
            c.kind = l.kind == LINE_SET ? CUE_SET : CUE_TWEEN;
            c.target = param_of(l.name);
            if (c.target < 0) return fail(i, "unknown parameter " + shown(l.name) + " (one of " + param_names() + ")");
            const ShowParamInfo& p = SHOW_PARAMS[c.target];
            if (!at(i, l.at, c.t)) return false;
            if (l.kind == LINE_TWEEN) {
                int32_t until = 0;
                if (!at(i, l.until, until)) return false;
                if (until < c.t) return fail(i, "the tween ends before it starts");
                c.duration = until - c.t;
                c.mode = l.mode;
            }
            if (p.integer_cues) {
                if (l.kind == LINE_TWEEN) return fail(i, l.name + " takes whole numbers: it is set, not tweened");
                if (l.values.size() != 1) return fail(i, l.name + " takes 1 value, not " + std::to_string(l.values.size()));
                float v = l.values[0];
                if (v != std::floor(v) || std::fabs(v) > 1000000) return fail(i, l.name + " takes a whole number");
            } else if (!count_fits(p.components, l.values.size())) {
                std::string counts = p.components == 1 ? "1 value" : p.components == 3 ? "3 values" : "3 or 4 values";
                return fail(i, l.name + " takes " + counts + ", not " + std::to_string(l.values.size()));
            }
            c.count = (int32_t)l.values.size();
            for (size_t k = 0; k < l.values.size(); ++k) c.v[k] = l.values[k];
            out.tracks += p.integer_cues ? 1 : c.count;
        } else {
            continue;
        }
        out.cues.push_back(c);
        out.cue_lines.push_back((int)i);
    }
    if (out.cues.size() > SHOW_TABLE_CUES)
        return fail((size_t)out.cue_lines[SHOW_TABLE_CUES], "more cues than a show holds (" + std::to_string((int)SHOW_TABLE_CUES) + ")");
    if (out.tracks > TRACK_CAPACITY) return fail(sheet.lines.size() - 1, "more tracks than the table holds");
    return true;
}

bool load(const std::string& path, Sheet& sheet, Script& script, std::string& error) {
    std::string text;
    return tool::read_file(path, text, error) && parse(path, text, sheet, error) && resolve(sheet, script, error);
}

void fill_table(const Script* script, ShowTable& t) {
    std::memset(&t, 0, sizeof t);
    std::memcpy(t.magic, SHOW_TABLE_MAGIC, sizeof t.magic);
    t.version = SHOW_TABLE_VERSION;
    t.size = (int32_t)sizeof t;
    t.length_ms = script ? script->length_ms : 0;
    t.cue_count = script ? (int32_t)script->cues.size() : 0;
    const uint32_t filler = SHOW_TABLE_FILLER_BITS;
    for (int i = 0; i < SHOW_TABLE_CUES; ++i) {
        if (i < t.cue_count) {
            t.cues[i] = script->cues[(size_t)i];
            continue;
        }
        // Byte for byte: every int and float of the entry holds the filler's bits.
        unsigned char* p = reinterpret_cast<unsigned char*>(&t.cues[i]);
        for (size_t k = 0; k < sizeof(Cue); k += 4) std::memcpy(p + k, &filler, 4);
    }
}

std::string format(const Line& l) {
    std::string s;
    auto vals = [&](size_t from) {
        for (size_t i = from; i < l.values.size(); ++i) s += " " + value_text(l.values[i]);
    };
    switch (l.kind) {
    case LINE_TEXT: return l.text;
    case LINE_LENGTH: s = "length " + when_text(l.at); break;
    case LINE_MARK: s = "mark " + l.name + " " + when_text(l.at); break;
    case LINE_BASE: s = "base " + when_text(l.at); break;
    case LINE_FILE: s = "file " + l.name + " " + l.path; break;
    case LINE_SCENE: s = "scene " + when_text(l.at) + " " + l.name; break;
    case LINE_TEMPO:
        s = "tempo " + when_text(l.at);
        vals(0);
        if (l.bars) s += " bars";
        break;
    case LINE_SET:
        s = "set " + when_text(l.at) + " " + l.name;
        vals(0);
        break;
    case LINE_TWEEN:
        s = "tween " + when_text(l.at) + " " + when_text(l.until) + " " + easing_name(l.mode) + " " + l.name;
        vals(0);
        break;
    }
    if (!l.comment.empty()) s += (l.comment[0] == '#' ? "  " : "") + l.comment;
    return s;
}

std::string print(const Sheet& sheet) {
    std::string out = sheet.bom ? BOM : "";
    for (size_t i = 0; i < sheet.lines.size(); ++i) {
        const Line& l = sheet.lines[i];
        out += l.edited ? format(l) : l.text;
        if (i + 1 < sheet.lines.size() || sheet.final_newline) out += "\n";
    }
    return out;
}

}  // namespace sheet
