// oruvane-webshow: packs a show folder for the page the browser build makes (build-web.sh). The
// twenty scene files are unpacked, translated from GLSL 1.20 to GLSL ES 3.00, validated with
// glslangValidator and packed again; the logo and the music are copied; show.json lists every
// file with its size, so that the page can show real download progress. A shader that does not
// translate or validate is named as file:line and nothing is written. The folder is written by
// the toolkit's rule: whole, beside its target, and swapped in only when complete.
#include <CLI/CLI.hpp>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/toolkit.h"
#include "glsl_es_translate.h"
#include "load/intro.h"
#include "load/scene_file.h"
#include "timeline/script.h"

namespace fs = std::filesystem;

namespace {

const char* const MANIFEST = "show.json";

struct Packed {
    std::string name;   // "7.ck"
    std::string bytes;  // as written
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the validator on `text` as a shader of `stage`, handed over in the file `file` (whose
// ending tells it the stage). Returns "" when it accepts it, else its first error as
// "LINE: message" (LINE 0 when it names none).
std::string validate(const std::string& validator, const std::string& file, const std::string& text) {
    FILE* f = std::fopen(file.c_str(), "wb");
    bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && std::fclose(f) != 0) written = false;
    if (!written) return "0: cannot hand the shader to " + validator + ": cannot write " + file + ": " + std::strerror(errno);
    std::string command = quoted(validator) + " " + quoted(file) + " 2>&1";
    std::string output;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "0: cannot run " + validator;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    int status = pclose(p);
    if (status == 0) return "";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "0: cannot run " + validator + " (install glslang-tools)";
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 7, "ERROR: ") != 0) continue;
        // "ERROR: 0:12: 'foo' : undeclared identifier"
        int string_number = 0, number = 0, used = 0;
        if (std::sscanf(line.c_str() + 7, "%d:%d: %n", &string_number, &number, &used) == 2 && used > 0)
            return std::to_string(number) + ": " + line.substr(7 + (size_t)used);
        return "0: " + line.substr(7);
    }
    return "0: " + validator + " refused it: " + output;
}

int run(const std::string& show_dir, const std::string& out_dir, const std::string& validator) {
    std::error_code ec;
    if (!fs::is_directory(show_dir, ec)) return tool::error(show_dir + " is not a folder");
    // The folder is taken before any work, so that a target it may not replace stops the run at once.
    tool::FolderOutput out;
    std::string why;
    if (!out.open(out_dir, tool::holds_file(MANIFEST), why)) return tool::error(why);
    // The validator reads each shader from a file inside the folder being written, so that a
    // failure or a signal removes it with the folder; they are gone before it is put in place.
    const std::string scratch[2] = {out.add("shader.vert"), out.add("shader.frag")};

    std::vector<Packed> files;
    int failures = 0;
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        for (int k = 0; k < 2; ++k) {
            ShaderStage stage = k == 0 ? ShaderStage::Vertex : ShaderStage::Fragment;
            const char* label = k == 0 ? e.vertex_label : e.fragment_label;
            std::string name = std::to_string(e.files[k]) + ".ck";
            std::string path = (fs::path(show_dir) / name).string();
            std::string bytes;
            bool read = tool::read_file(path, bytes, why);
            if (!read || bytes.empty()) {
                std::fprintf(stderr, "%s: %s cannot be read: %s\n", path.c_str(), label, read ? "it is empty" : why.c_str());
                ++failures;
                continue;
            }
            // The text is every byte but the last, which is not part of it (load/scene_file.h).
            scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
            std::string text = bytes.substr(0, bytes.size() - 1);
            GlslEsResult t = glsl_es_translate(text, stage);
            std::string error = t.ok ? validate(validator, scratch[k], t.text) : std::to_string(t.line) + ": " + t.reason;
            if (!error.empty()) {
                size_t colon = error.find(": ");
                std::string where = error.substr(0, colon) == "0" ? "" : ":" + error.substr(0, colon);
                std::fprintf(stderr, "%s%s: %s: %s\n", path.c_str(), where.c_str(), label, error.substr(colon + 2).c_str());
                ++failures;
                continue;
            }
            std::string packed(t.text.size() + 1, '\0');
            scene_file_scramble(t.text.data(), t.text.size(), (unsigned char)bytes.back(),
                                reinterpret_cast<unsigned char*>(&packed[0]));
            files.push_back({name, packed});
        }
    }
    for (const std::string& file : scratch) unlink(file.c_str());
    if (failures) {
        tool::error(std::to_string(failures) + " shader" + (failures == 1 ? "" : "s") + " cannot go to the browser; nothing written");
        return 1;
    }
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
            files.push_back({name, bytes});
    }

    std::string manifest = "{\"files\": [";
    size_t total = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!out.write(files[i].name, files[i].bytes, why)) return tool::error(why);
        manifest += (i ? ", [\"" : "[\"") + files[i].name + "\", " + std::to_string(files[i].bytes.size()) + "]";
        total += files[i].bytes.size();
    }
    manifest += "]}\n";
    // The list last: a folder holding it is a complete one this tool made.
    if (!out.write(MANIFEST, manifest, why) || !out.commit(why)) return tool::error(why);
    std::printf("%s: %d shaders translated, %zu files, %.1f MB\n", out.target().c_str(), 2 * PROGRAM_COUNT, files.size(),
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
