// oruvane-webshow: packs a show folder for the page the browser build makes (build-web.sh). The
// twenty scene files are unpacked, translated from GLSL 1.20 to GLSL ES 3.00, validated with
// glslangValidator and packed again; the logo and the music are copied; show.json lists every
// file with its size, so that the page can show real download progress. A shader that does not
// translate or validate is named as file:line and nothing is written. The folder is written by
// the toolkit's rule: whole, beside its target, and swapped in only when complete.
#include <CLI/CLI.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/project.h"
#include "common/toolkit.h"
#include "load/intro.h"
#include "load/scene_file.h"
#include "timeline/script.h"
#include "web_pack.h"

namespace fs = std::filesystem;

namespace {

int run(const std::string& show_dir, const std::string& out_dir, const std::string& validator) {
    std::error_code ec;
    if (!fs::is_directory(show_dir, ec)) return tool::error(show_dir + " is not a folder");
    // The page plays the timeline built into it: a project's sheet would be left out.
    if (project::kind_of(show_dir) == project::PROJECT)
        return tool::error(show_dir + " is a show project, not a packed show: make its page with oruvane-export --web");
    // The folder is taken before any work, so that a target it may not replace stops the run at once.
    tool::FolderOutput out;
    std::string why;
    if (!out.open(out_dir, tool::holds_file(WEB_MANIFEST), why)) return tool::error(why);
    std::vector<WebFile> show;
    int unread = 0;
    for (const ProgramEntry& e : PROGRAM_TABLE)
        for (int k = 0; k < 2; ++k) {
            std::string name = std::to_string(e.files[k]) + ".ck", path = (fs::path(show_dir) / name).string(), bytes;
            if (!tool::read_file(path, bytes, why)) {
                std::fprintf(stderr, "%s: %s cannot be read: %s\n", path.c_str(), k ? e.fragment_label : e.vertex_label, why.c_str());
                ++unread;
                continue;
            }
            show.push_back({name, bytes});
        }
    if (unread) return tool::error(std::to_string(unread) + " scene file" + (unread == 1 ? "" : "s") + " cannot be read; nothing written");
    // The logo and the music as they are; a show runs without either, as on the desktop (which
    // takes nothing but a regular file for them either).
    for (const char* name : {LOGO_FILE, MUSIC_FILE}) {
        std::string path = (fs::path(show_dir) / name).string(), bytes;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 && errno == ENOENT)
            tool::error("note: " + show_dir + " has no " + name + "; the show runs without it");
        else if (!tool::read_file(path, bytes, why))
            tool::error("note: " + why + "; the show runs without it");
        else
            show.push_back({name, bytes});
    }
    // The validator reads each shader from a file inside the folder being written, so that a
    // failure or a signal removes it with the folder; they are gone before it is put in place.
    const std::string scratch[2] = {out.add("shader.vert"), out.add("shader.frag")};
    std::vector<WebFile> page;
    std::vector<std::string> errors;
    bool ok = web_pack(show, validator, scratch[0], scratch[1],
                       [&](int n) { return (fs::path(show_dir) / (std::to_string(n) + ".ck")).string(); }, page, errors);
    for (const std::string& file : scratch) unlink(file.c_str());
    if (!ok) {
        for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        tool::error(std::to_string(errors.size()) + " shader" + (errors.size() == 1 ? "" : "s") + " cannot go to the browser; nothing written");
        return 1;
    }
    size_t total = 0;
    for (const WebFile& f : page) {
        if (!out.write(f.name, f.bytes, why)) return tool::error(why);
        total += f.bytes.size();
    }
    // The list last: a folder holding it is a complete one this tool made.
    if (!out.write(WEB_MANIFEST, web_manifest(page), why) || !out.commit(why)) return tool::error(why);
    std::printf("%s: %d shaders translated, %zu files, %.1f MB\n", out.target().c_str(), 2 * PROGRAM_COUNT, page.size(),
                total / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-webshow");
    CLI::App app{"Packs a show folder for the browser: the twenty scene files translated from GLSL 1.20 to GLSL ES "
                 "3.00 and checked with glslangValidator, the logo and the music, and show.json listing them. A "
                 "shader that cannot be translated is reported as file:line and nothing is written. OUT_DIR is written "
                 "whole beside its place (OUT_DIR.XXXXXX.part) and put there only once complete; a folder this tool "
                 "made before is then replaced, anything else at OUT_DIR is left alone.",
                 "oruvane-webshow"};
    std::string show_dir, out_dir, validator = "glslangValidator";
    app.add_option("SHOW_DIR", show_dir, "folder with 0.ck ... 19.ck, the logo and the music")->required();
    app.add_option("OUT_DIR", out_dir, "folder to write, the page's show/ folder")->required();
    app.add_option("--validator", validator, "the GLSL ES validator to run (glslangValidator)");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    return tool::finish(run(show_dir, out_dir, validator));
}
