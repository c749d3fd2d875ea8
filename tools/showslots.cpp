// showslots: hands the show script's scene slots to the shaders. Each fragment source of a
// scheduled program gets its slot as two defines right after its #version line, so the shader
// files never write a scene time of their own.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "timeline/script.h"

namespace fs = std::filesystem;

static const char* USAGE =
    "usage: showslots [-o DIR] SOURCE...\n"
    "       showslots --list\n"
    "\n"
    "Copies each shader SOURCE into DIR (default: the current directory) under its own name; a\n"
    "fragment source (.fsh) whose program the show script schedules gets, after its #version line,\n"
    "  #define SLOT_START <seconds>\n"
    "  #define SLOT_END <seconds>\n"
    "--list  prints the scene slots: label, start and end in milliseconds\n";

static const SceneSlot* slot_of(const std::string& label) {
    for (const SceneSlot& s : scene_slots)
        if (label == s.label) return &s;
    return nullptr;
}

static std::string seconds(int32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
    return text;
}

// The source with the slot's defines inserted after its first line when that is #version,
// else before everything.
static std::string with_slot(const std::string& text, const SceneSlot& slot) {
    std::string defines = "#define SLOT_START " + seconds(slot.start_ms) + "\n#define SLOT_END " + seconds(slot.end_ms) + "\n";
    size_t at = 0;
    if (text.compare(0, 8, "#version") == 0) {
        size_t eol = text.find('\n');
        at = eol == std::string::npos ? text.size() : eol + 1;
        if (eol == std::string::npos) defines = "\n" + defines;
    }
    return text.substr(0, at) + defines + text.substr(at);
}

int main(int argc, char** argv) {
    fs::path out_dir = ".";
    int first = 1;
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--list")) {
        for (const SceneSlot& s : scene_slots) std::printf("%s %d %d\n", s.label, s.start_ms, s.end_ms);
        return 0;
    }
    if (argc >= 3 && !std::strcmp(argv[1], "-o")) {
        out_dir = argv[2];
        first = 3;
    }
    if (first >= argc || argv[first][0] == '-') {
        std::fputs(USAGE, stderr);
        return 2;
    }
    std::error_code ec;
    fs::create_directories(out_dir, ec);
    for (int i = first; i < argc; ++i) {
        fs::path source = argv[i];
        std::ifstream in(source, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            std::fprintf(stderr, "showslots: cannot read %s\n", argv[i]);
            return 1;
        }
        const SceneSlot* slot = source.extension() == ".fsh" ? slot_of(source.stem().string()) : nullptr;
        if (slot) text = with_slot(text, *slot);
        // Written beside the target and renamed, so a failed run leaves no half-written file.
        fs::path target = out_dir / source.filename(), part = target;
        part += ".part";
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            out.close();
            fs::remove(part, ec);
            std::fprintf(stderr, "showslots: cannot write %s\n", target.string().c_str());
            return 1;
        }
        out.close();
        fs::rename(part, target, ec);
        if (ec) {
            std::fprintf(stderr, "showslots: cannot write %s\n", target.string().c_str());
            return 1;
        }
    }
    return 0;
}
