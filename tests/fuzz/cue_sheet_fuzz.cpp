// Fuzzes the cue sheet reader as the tools and the build call it: any text either parses and works
// out or is refused with "path:line: " and one line; a parsed sheet prints back byte for byte, and
// every line written from its fields reads back as the same line.
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "common/cue_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    if (!sheet::parse("f.cues", text, s, error) || !sheet::resolve(s, script, error)) {
        if (error.compare(0, 7, "f.cues:") != 0 || error.find('\n') != std::string::npos) abort();
        return 0;
    }
    if (sheet::print(s) != text) abort();
    if (script.length_ms < sheet::LENGTH_MIN_MS || script.length_ms > sheet::LENGTH_MAX_MS) abort();
    for (size_t i = 0; i < s.lines.size(); ++i) {
        if (s.lines[i].kind == sheet::LINE_TEXT) continue;
        sheet::Sheet again;
        if (!sheet::parse("f.cues", sheet::format(s.lines[i]), again, error) || again.lines.size() != 1) abort();
        if (sheet::format(again.lines[0]) != sheet::format(s.lines[i])) abort();
    }
    for (size_t i = 0; i < script.cues.size(); ++i)
        if (script.cues[i].t < 0 || script.cues[i].t > script.length_ms || script.cues[i].duration < 0) abort();
    return 0;
}
