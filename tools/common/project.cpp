// Show projects: reading one, and packing it into the files the show reads, exactly as the build
// packs the bundled show.
#include "common/project.h"

#include <filesystem>

#include "audio/music.h"
#include "common/toolkit.h"
#include "load/intro.h"
#include "load/scene_file.h"

namespace fs = std::filesystem;

namespace project {

const char* const SHEET_NAME = "show.cues";

Kind kind_of(const std::string& dir) {
    std::error_code ec;
    if (fs::exists(fs::path(dir) / SHEET_NAME, ec)) return PROJECT;
    if (fs::exists(fs::path(dir) / "0.ck", ec)) return PACKED;
    return NOT_A_SHOW;
}

bool open(const std::string& dir, Project& p, std::string& error) {
    p = Project{};
    p.dir = dir;
    p.sheet_path = (fs::path(dir) / SHEET_NAME).string();
    std::string text;
    if (!tool::read_file(p.sheet_path, text, error)) return false;
    if (!sheet::parse(p.sheet_path, text, p.sheet, error) || !sheet::resolve(p.sheet, p.script, error)) return false;
    for (int i = 0; i < PROGRAM_COUNT; ++i) {
        const char* names[2] = {PROGRAM_TABLE[i].vertex_label, PROGRAM_TABLE[i].fragment_label};
        for (int k = 0; k < 2; ++k) {
            p.sources[i][k] = (fs::path(dir) / names[k]).string();
            std::error_code ec;
            fs::file_status st = fs::status(p.sources[i][k], ec);
            if (!fs::exists(st)) {
                error = p.sources[i][k] + ": missing: a project holds the sources of all ten programs (pt01 ... pt09, post)";
                return false;
            }
            if (!fs::is_regular_file(st)) {
                error = p.sources[i][k] + " is not a regular file";
                return false;
            }
        }
    }
    if (!p.script.logo_file.empty()) p.logo = (fs::path(dir) / p.script.logo_file).string();
    if (!p.script.music_file.empty()) p.music = (fs::path(dir) / p.script.music_file).string();
    return true;
}

std::vector<SlotSpan> slots(const Project& p) {
    std::vector<SlotSpan> out;
    for (const sheet::Slot& s : p.script.slots) out.push_back({s.label, s.start_ms, s.end_ms});
    return out;
}

bool scene_file_bytes(const std::string& text, std::string& bytes, std::string& why) {
    // The show hands the text to the shader compiler as a zero-terminated string.
    if (text.find('\0') != std::string::npos) {
        why = "contains a zero byte; the show would cut the text there";
        return false;
    }
    bytes.assign(text.size() + 1, '\0');
    scene_file_scramble(text.data(), text.size(), 0, reinterpret_cast<unsigned char*>(&bytes[0]));
    return true;
}

bool pack(const Project& p, std::vector<PackedFile>& files, std::vector<std::string>& notes, std::string& error) {
    files.clear();
    notes.clear();
    const std::vector<SlotSpan> spans = slots(p);
    for (int i = 0; i < PROGRAM_COUNT; ++i)
        for (int k = 0; k < 2; ++k) {
            std::string text, why;
            if (!tool::read_file(p.sources[i][k], text, error)) return false;
            PackedFile f{std::to_string(PROGRAM_TABLE[i].files[k]) + ".ck", ""};
            if (!scene_file_bytes(slot_lines(p.sources[i][k], text, spans), f.bytes, why)) {
                error = p.sources[i][k] + " " + why;
                return false;
            }
            files.push_back(std::move(f));
        }
    const struct {
        const std::string& path;
        const char* name;
        const char* without;
    } named[] = {{p.logo, LOGO_FILE, "without a logo"}, {p.music, MUSIC_FILE, "silent"}};
    for (const auto& n : named) {
        if (n.path.empty()) continue;
        PackedFile f{n.name, ""};
        std::string why;
        if (!tool::read_file(n.path, f.bytes, why)) {
            notes.push_back(why + ": the show runs " + n.without);
            continue;
        }
        files.push_back(std::move(f));
    }
    return true;
}

}  // namespace project
