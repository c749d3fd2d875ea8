// oruvane-pack: packs a show project into the show's own form, the folder the show executable
// reads: each of the twenty sources with its scene slot from the project's sheet, scrambled into
// 0.ck ... 19.ck, and the logo and the music the sheet names copied as bitmap.png and vae5.wav.
// The folder is written whole beside its target and put in place only once complete.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/project.h"
#include "common/toolkit.h"
#include "load/intro.h"

namespace fs = std::filesystem;

namespace {

// A folder that may be replaced: one pack made before (regular files with the show's names only),
// or an empty one (nothing of anyone's is lost).
bool packed_show(const std::string& path) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(path, ec)) {
        std::string name = e.path().filename().string();
        if (!e.is_regular_file(ec) || e.is_symlink(ec)) return false;
        bool known = name == LOGO_FILE || name == MUSIC_FILE;
        for (const ProgramEntry& p : PROGRAM_TABLE)
            for (int f : p.files) known = known || name == std::to_string(f) + ".ck";
        if (!known) return false;
    }
    return !ec;
}

int run(const std::string& dir, const std::string& out_dir) {
    if (project::kind_of(dir) != project::PROJECT)
        return tool::error(dir + " holds no " + project::SHEET_NAME + ": it is not a show project (oruvane-ckpack packs loose sources)");
    project::Project p;
    std::string error;
    if (!project::open(dir, p, error)) return tool::error_in_file(error);
    std::vector<project::PackedFile> files;
    std::vector<std::string> notes;
    if (!project::pack(p, files, notes, error)) return tool::error(error);
    for (const std::string& n : notes) tool::error("note: " + n);
    tool::FolderOutput out;
    if (!out.open(out_dir, packed_show, error)) return tool::error(error);
    for (const project::PackedFile& f : files)
        if (!out.write(f.name, f.bytes, error)) return tool::error(error);
    if (!out.commit(error)) return tool::error(error);
    size_t bytes = 0;
    for (const project::PackedFile& f : files) bytes += f.bytes.size();
    std::printf("%s: %zu files, %.1f MB\n", out.target().c_str(), files.size(), bytes / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-pack");
    CLI::App app{"Packs a show project (show.cues and the sources pt01.vsh ... post.fsh) into the folder the show plays:\n"
                 "each source with its scene slot from the sheet, scrambled into 0.ck ... 19.ck, and the logo and the music\n"
                 "the sheet names (file logo ..., file music ...) as bitmap.png and vae5.wav. OUT is made anew; a folder\n"
                 "this tool packed before is replaced, any other is left alone. To pack loose sources into scene files\n"
                 "without a project, use oruvane-ckpack.",
                 "oruvane-pack"};
    std::string dir, out;
    app.add_option("PROJECT", dir, "the show project's folder")->required();
    app.add_option("OUT", out, "the folder to write")->required();
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    return tool::finish(run(dir, out));
}
