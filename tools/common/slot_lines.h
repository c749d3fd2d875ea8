// The scene slot a scheduled program's fragment source is given before it is packed, exactly as
// the build gives it, for every tool that compiles a source: the slot as two defines, then a #line
// directive so that the driver numbers the lines as the source file does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SlotSpan {
    std::string label;  // the program's label, e.g. "pt05"
    int32_t start_ms, end_ms;
};

// The compiled-in show's slots.
std::vector<SlotSpan> built_in_slots();

// `text` as the build compiles it: when `file_name` is a fragment source ("pt05.fsh") of a program
// that `slots` schedules, "#define SLOT_START <s>" and "#define SLOT_END <s>" (seconds) and a
// #line directive follow its #version line (or come first when it has none); any other text is
// returned as it is.
std::string slot_lines(const std::string& file_name, const std::string& text, const std::vector<SlotSpan>& slots);

// `text` with the slot lines slot_lines gave it taken out again (a scene file holds its source with
// them), so that it can be given another slot; a text without them is returned as it is.
std::string without_slot_lines(const std::string& text);

// The line of `text` that a driver's line number `line` names, honouring #line directives the way
// the text's GLSL version reads them; "" when none does.
std::string line_named(const std::string& text, int line);
