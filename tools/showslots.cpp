// showslots: hands the show script's scene slots to the shaders. Each fragment source of a
// scheduled program gets its slot as two defines right after its #version line, so the shader
// files never write a scene time of their own. A source is never rewritten in place.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/slot_lines.h"
#include "common/toolkit.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    tool::init("showslots");
    CLI::App app{"Copies each shader SOURCE into DIR under its own name; a fragment source (.fsh) whose program the\n"
                 "show script schedules gets, after its #version line,\n"
                 "  #define SLOT_START <seconds>\n"
                 "  #define SLOT_END <seconds>\n"
                 "  #line <n>   (so that the driver's line numbers stay those of the source)"};
    app.name("showslots");
    std::string out_dir = ".";
    std::vector<std::string> sources;
    bool list = false;
    app.add_option("-o", out_dir, "output folder (made when missing)")->capture_default_str();
    app.add_flag("--list", list, "print the scene slots: label, start and end in milliseconds");
    app.add_option("SOURCE", sources, "shader sources");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;

    const std::vector<SlotSpan> slots = built_in_slots();
    if (list) {
        for (const SlotSpan& s : slots) std::printf("%s %d %d\n", s.label.c_str(), s.start_ms, s.end_ms);
        return tool::finish(0);
    }
    if (sources.empty()) {
        tool::error("no SOURCE given (see --help)");
        return 2;
    }
    std::error_code ec;
    if (fs::exists(out_dir, ec) && !fs::is_directory(out_dir, ec)) {
        tool::error("-o " + out_dir + " is not a folder");
        return 2;
    }
    std::vector<std::string> texts;
    for (const std::string& source : sources) {
        std::string text, why;
        if (!tool::read_file(source, text, why)) return tool::error(why);
        tool::note_input(source);
        texts.push_back(slot_lines(source, text, slots));
    }
    std::vector<std::string> targets;
    for (const std::string& source : sources) targets.push_back((fs::path(out_dir) / fs::path(source).filename()).string());
    if (!fs::exists(out_dir, ec) && !fs::create_directories(out_dir, ec)) return tool::error("cannot create " + out_dir + ": " + ec.message());
    for (size_t i = 0; i < targets.size(); ++i) {
        for (size_t k = 0; k < i; ++k)
            if (targets[k] == targets[i]) return tool::error("two sources would both be written to " + targets[i]);
        std::string why = tool::check_output(targets[i]);
        if (!why.empty()) return tool::error(why);
    }
    // Every output complete before any replaces its target.
    std::vector<std::unique_ptr<tool::Output>> outs;
    for (size_t i = 0; i < targets.size(); ++i) {
        std::string why;
        outs.push_back(std::make_unique<tool::Output>());
        if (!outs.back()->open(targets[i], why)) return tool::error(why);
        if (std::fwrite(texts[i].data(), 1, texts[i].size(), outs.back()->file()) != texts[i].size())
            return tool::error("cannot write " + targets[i]);
    }
    for (auto& o : outs) {
        std::string why;
        if (!o->commit(why)) return tool::error(why);
    }
    return tool::finish(0);
}
