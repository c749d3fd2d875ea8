// oruvane-new: starts a show project of the maker's own from the starter project installed with
// the tools: nine scenes, a post program, a sheet that teaches its format, a logo and music, all
// the maker's to change. The folder is written whole and appears only once complete.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/project.h"
#include "common/toolkit.h"

namespace fs = std::filesystem;

namespace {

// The starter project: installed beside the tools (share/oruvane/template from bin/), or in a
// build tree beside bin/.
std::string find_template(std::string& why) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    std::vector<fs::path> places;
    if (!ec) places = {exe.parent_path() / ".." / "share" / "oruvane" / "template", exe.parent_path() / ".." / "template"};
    for (const fs::path& p : places)
        if (project::kind_of(p.string()) == project::PROJECT) return fs::weakly_canonical(p, ec).string();
    why = "the starter project is not installed (looked in";
    for (const fs::path& p : places) why += " " + p.lexically_normal().string();
    why += ")";
    return "";
}

// A folder that may be taken: an empty one (nothing of anyone's is lost).
bool empty_folder(const std::string& path) {
    std::error_code ec;
    return fs::is_empty(path, ec) && !ec;
}

int run(const std::string& dir) {
    std::string why;
    std::string from = find_template(why);
    if (from.empty()) return tool::error(why);
    std::error_code ec;
    if (fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && empty_folder(dir)))
        return tool::error(dir + " exists and is not an empty folder: give a new name, so that nothing of yours is replaced");
    tool::FolderOutput out;
    if (!out.open(dir, empty_folder, why)) return tool::error(why);
    size_t count = 0;
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        std::string rel = fs::relative(it->path(), from, ec).string();
        if (it->is_directory(ec)) {
            if (!out.add_folder(rel, why)) return tool::error(why);
            continue;
        }
        std::string bytes;
        if (!tool::read_file(it->path().string(), bytes, why) || !out.write(rel, bytes, why)) return tool::error(why);
        ++count;
    }
    if (ec) return tool::error("cannot read the starter project " + from + ": " + ec.message());
    if (!out.commit(why)) return tool::error(why);
    std::printf("%s: a new show project (%zu files). Next:\n"
                "  oruvane-preview %s          rehearse it; Tab shows the timeline to edit, Ctrl+S saves show.cues\n"
                "  oruvane-check %s            build its ten programs on this driver\n"
                "  oruvane-capture --dir %s    record it as a video\n",
                out.target().c_str(), count, out.target().c_str(), out.target().c_str(), out.target().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-new");
    CLI::App app{"Starts a show project of your own in DIR from the starter project installed with the tools: nine\n"
                 "scenes and a post program (pt01.vsh ... post.fsh), the cue sheet show.cues whose comments teach its\n"
                 "format, a logo and music. It plays at once (oruvane-preview DIR). DIR must be new or empty.",
                 "oruvane-new"};
    std::string dir;
    app.add_option("DIR", dir, "the project folder to make")->required();
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    return tool::finish(run(dir));
}
