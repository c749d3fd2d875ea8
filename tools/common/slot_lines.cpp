// Slot lines: the defines that hand a program its scene slot, and the driver's view of line numbers.
#include "show_sheet.h"
#include "slot_lines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "timeline/script.h"

std::vector<SlotSpan> built_in_slots() {
    std::vector<SlotSpan> out;
    for (const SceneSlot& s : scene_slots) out.push_back({s.label, s.start_ms, s.end_ms});
    return out;
}

namespace {

std::string seconds(int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
    return text;
}

// The version a "#version N [es]" first line declares, 110 (the default) when there is none.
int glsl_version(const std::string& text, bool& es) {
    es = false;
    if (text.compare(0, 8, "#version") != 0) return 110;
    std::istringstream in(text.substr(8, text.find('\n') == std::string::npos ? std::string::npos : text.find('\n') - 8));
    int v = 110;
    std::string profile;
    in >> v >> profile;
    es = profile == "es";
    return v;
}

// Whether "#line N" in `text` numbers the line after it N (GLSL 3.30 and ES 3.00 on) rather than
// N + 1 (before them).
bool line_directive_numbers_next_line(const std::string& text) {
    bool es = false;
    int v = glsl_version(text, es);
    return es ? v >= 300 : v >= 330;
}

}  // namespace

std::string slot_lines(const std::string& file_name, const std::string& text, const std::vector<SlotSpan>& slots) {
    size_t slash = file_name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
    if (base.size() < 5 || base.compare(base.size() - 4, 4, ".fsh") != 0) return text;
    std::string label = base.substr(0, base.size() - 4);
    const SlotSpan* slot = nullptr;
    for (const SlotSpan& s : slots)
        if (s.label == label) slot = &s;
    if (!slot) return text;

    size_t at = 0;
    int next_line = 1;  // the source line that follows the inserted lines
    std::string head;
    if (text.compare(0, 8, "#version") == 0) {
        size_t eol = text.find('\n');
        at = eol == std::string::npos ? text.size() : eol + 1;
        if (eol == std::string::npos) head = "\n";
        next_line = 2;
    }
    int directive = line_directive_numbers_next_line(text) ? next_line : next_line - 1;
    return text.substr(0, at) + head + "#define SLOT_START " + seconds(slot->start_ms) + "\n#define SLOT_END " +
           seconds(slot->end_ms) + "\n#line " + std::to_string(directive) + "\n" + text.substr(at);
}

std::string line_named(const std::string& text, int line) {
    bool next = line_directive_numbers_next_line(text);
    std::istringstream in(text);
    std::string s, found;
    int number = 1;
    while (std::getline(in, s)) {
        size_t p = s.find_first_not_of(" \t");
        if (p != std::string::npos && s.compare(p, 5, "#line") == 0) {
            int n = std::atoi(s.c_str() + p + 5);
            number = next ? n : n + 1;
            continue;
        }
        if (number == line) found = s;
        ++number;
    }
    return found;
}

std::string without_slot_lines(const std::string& text) {
    size_t at = 0;
    if (text.compare(0, 8, "#version") == 0) {
        size_t eol = text.find('\n');
        if (eol == std::string::npos) return text;
        at = eol + 1;
    }
    // Exactly the three lines slot_lines writes: two defines, then the #line directive.
    size_t end = at;
    for (const char* start : {"#define SLOT_START ", "#define SLOT_END ", "#line "}) {
        size_t n = std::strlen(start);
        if (text.compare(end, n, start) != 0) return text;
        size_t eol = text.find('\n', end);
        if (eol == std::string::npos) return text;
        end = eol + 1;
    }
    return text.substr(0, at) + text.substr(end);
}
