// A show project's folder (show.cues, the ten programs' GLSL sources, logo.png) turned into the
// files the show loads, for the tests and benchmarks that play a project through the show's own
// loader: each source given its slot from the project's sheet exactly as the build gives it.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "common/cue_sheet.h"
#include "common/slot_lines.h"
#include "common/toolkit.h"
#include "load/intro.h"
#include "show_files.h"
#include "timeline/program_set.h"

// Reads the sheet of the project in `dir` into `script` and writes the project's programs as the
// twenty scene files into the current directory, with its logo (when it has one) as the show's
// logo file. False with `why` set to one line.
inline bool write_project_show(const std::string& dir, sheet::Script& script, std::string& why) {
    sheet::Sheet sheet;
    if (!sheet::load(dir + "/show.cues", sheet, script, why)) return false;
    std::vector<SlotSpan> slots;
    for (const sheet::Slot& s : script.slots) slots.push_back({s.label, s.start_ms, s.end_ms});
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        const char* names[2] = {e.vertex_label, e.fragment_label};
        for (int stage = 0; stage < 2; ++stage) {
            std::string text;
            if (!tool::read_file(dir + "/" + names[stage], text, why)) return false;
            write_scene_file(e.files[stage], slot_lines(names[stage], text, slots));
        }
    }
    std::error_code ec;
    std::filesystem::copy_file(dir + "/logo.png", LOGO_FILE, std::filesystem::copy_options::overwrite_existing, ec);
    return true;
}
