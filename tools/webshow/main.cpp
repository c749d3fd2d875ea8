// oruvane-webshow: packs a show folder for the page the browser build makes (build-web.sh). The
// twenty scene files are unpacked, translated from GLSL 1.20 to GLSL ES 3.00, validated with
// glslangValidator and packed again; the logo and the music are copied; show.json lists every
// file with its size, so that the page can show real download progress. A shader that does not
// translate or validate is named as file:line and nothing is written.
#include <CLI/CLI.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/toolkit.h"
#include "glsl_es.h"
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

bool read_bytes(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the validator on `text` as a shader of `stage`. Returns "" when it accepts it, else its
// first error as "LINE: message" (LINE 0 when it names none).
std::string validate(const std::string& validator, const fs::path& scratch, const std::string& text, ShaderStage stage) {
    fs::path file = scratch / (stage == ShaderStage::Vertex ? "shader.vert" : "shader.frag");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    std::string command = quoted(validator) + " " + quoted(file.string()) + " 2>&1";
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
    if (!fs::is_directory(show_dir, ec)) {
        std::fprintf(stderr, "oruvane-webshow: %s is not a folder\n", show_dir.c_str());
        return 1;
    }
    fs::path out(out_dir);
    if (fs::exists(out, ec) && !fs::exists(out / MANIFEST, ec)) {
        std::fprintf(stderr, "oruvane-webshow: %s exists and was not made by oruvane-webshow; it is left alone\n", out_dir.c_str());
        return 1;
    }
    char scratch_name[] = "/tmp/oruvane-webshow-XXXXXX";
    if (!mkdtemp(scratch_name)) {
        std::fprintf(stderr, "oruvane-webshow: cannot make a scratch folder\n");
        return 1;
    }
    fs::path scratch(scratch_name);

    std::vector<Packed> files;
    int failures = 0;
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        for (int k = 0; k < 2; ++k) {
            ShaderStage stage = k == 0 ? ShaderStage::Vertex : ShaderStage::Fragment;
            const char* label = k == 0 ? e.vertex_label : e.fragment_label;
            std::string name = std::to_string(e.files[k]) + ".ck";
            fs::path path = fs::path(show_dir) / name;
            std::string bytes;
            if (!read_bytes(path, bytes) || bytes.empty()) {
                std::fprintf(stderr, "%s: %s cannot be read\n", path.c_str(), label);
                ++failures;
                continue;
            }
            // The text is every byte but the last, which is not part of it (load/scene_file.h).
            scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
            std::string text = bytes.substr(0, bytes.size() - 1);
            GlslEsResult t = glsl_es_translate(text, stage);
            std::string error = t.ok ? validate(validator, scratch, t.text, stage) : std::to_string(t.line) + ": " + t.reason;
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
    fs::remove_all(scratch, ec);
    if (failures) {
        std::fprintf(stderr, "oruvane-webshow: %d shader%s cannot go to the browser; nothing written\n", failures,
                     failures == 1 ? "" : "s");
        return 1;
    }
    // The logo and the music as they are; a show runs without either, as on the desktop.
    for (const char* name : {LOGO_FILE, MUSIC_FILE}) {
        std::string bytes;
        if (read_bytes(fs::path(show_dir) / name, bytes)) files.push_back({name, bytes});
        else std::fprintf(stderr, "oruvane-webshow: note: %s has no %s; the show runs without it\n", show_dir.c_str(), name);
    }

    // Written beside the old folder, which is replaced only once the new one is complete.
    fs::path part = out_dir + ".part", old = out_dir + ".old";
    fs::remove_all(part, ec);
    fs::create_directories(part, ec);
    std::string manifest = "{\"files\": [";
    size_t total = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::ofstream f(part / files[i].name, std::ios::binary | std::ios::trunc);
        f << files[i].bytes;
        if (!f.flush()) {
            std::fprintf(stderr, "oruvane-webshow: cannot write %s\n", (part / files[i].name).c_str());
            fs::remove_all(part, ec);
            return 1;
        }
        manifest += (i ? ", [\"" : "[\"") + files[i].name + "\", " + std::to_string(files[i].bytes.size()) + "]";
        total += files[i].bytes.size();
    }
    manifest += "]}\n";
    std::ofstream(part / MANIFEST, std::ios::binary | std::ios::trunc) << manifest;
    fs::remove_all(old, ec);
    if (fs::exists(out, ec)) fs::rename(out, old, ec);
    fs::rename(part, out, ec);
    if (ec) {
        std::fprintf(stderr, "oruvane-webshow: cannot put %s in place: %s\n", out_dir.c_str(), ec.message().c_str());
        return 1;
    }
    fs::remove_all(old, ec);
    std::printf("%s: %d shaders translated, %zu files, %.1f MB\n", out_dir.c_str(), 2 * PROGRAM_COUNT, files.size(),
                total / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-webshow");
    CLI::App app{"Packs a show folder for the browser: the twenty scene files translated from GLSL 1.20 to GLSL ES "
                 "3.00 and checked with glslangValidator, the logo and the music, and show.json listing them. A "
                 "shader that cannot be translated is reported as file:line and nothing is written. OUT_DIR is made "
                 "anew; a folder this tool made before is replaced, any other is left alone.",
                 "oruvane-webshow"};
    std::string show_dir, out_dir, validator = "glslangValidator";
    app.add_option("SHOW_DIR", show_dir, "folder with 0.ck ... 19.ck, the logo and the music")->required();
    app.add_option("OUT_DIR", out_dir, "folder to write, the page's show/ folder")->required();
    app.add_option("--validator", validator, "the GLSL ES validator to run (glslangValidator)");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    return tool::finish(run(show_dir, out_dir, validator));
}
