// Packing a show for the page: the shaders translated and checked one by one, as the browser will
// compile them, the rest copied.
#include "web_pack.h"

#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "glsl_es_translate.h"
#include "load/scene_file.h"
#include "timeline/program_set.h"

const char* const WEB_MANIFEST = "show.json";

namespace {

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the validator on `text`, handed over in the file `file` (whose ending tells it the stage).
// Returns "" when it accepts it, else its first error as "LINE: message" (LINE 0 when it names none).
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

}  // namespace

bool web_pack(const std::vector<WebFile>& show, const std::string& validator, const std::string& scratch_vert,
              const std::string& scratch_frag, const std::function<std::string(int)>& file_name, std::vector<WebFile>& page,
              std::vector<std::string>& errors) {
    page.clear();
    errors.clear();
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        for (int k = 0; k < 2; ++k) {
            ShaderStage stage = k == 0 ? ShaderStage::Vertex : ShaderStage::Fragment;
            const char* label = k == 0 ? e.vertex_label : e.fragment_label;
            std::string name = std::to_string(e.files[k]) + ".ck";
            const WebFile* file = nullptr;
            for (const WebFile& f : show)
                if (f.name == name) file = &f;
            if (!file || file->bytes.empty()) {
                errors.push_back(file_name(e.files[k]) + ": " + label + ": " + (file ? "it is empty" : "it is missing"));
                continue;
            }
            // The text is every byte but the last, which is not part of it (load/scene_file.h).
            std::string bytes = file->bytes;
            scene_file_xor(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
            std::string text = bytes.substr(0, bytes.size() - 1);
            GlslEsResult t = glsl_es_translate(text, stage);
            std::string error = t.ok ? validate(validator, k == 0 ? scratch_vert : scratch_frag, t.text)
                                     : std::to_string(t.line) + ": " + t.reason;
            if (!error.empty()) {
                size_t colon = error.find(": ");
                std::string where = error.substr(0, colon) == "0" ? "" : ":" + error.substr(0, colon);
                errors.push_back(file_name(e.files[k]) + where + ": " + label + ": " + error.substr(colon + 2));
                continue;
            }
            std::string packed(t.text.size() + 1, '\0');
            scene_file_scramble(t.text.data(), t.text.size(), (unsigned char)bytes.back(), reinterpret_cast<unsigned char*>(&packed[0]));
            page.push_back({name, packed});
        }
    }
    for (const WebFile& f : show)
        if (f.name.size() < 3 || f.name.compare(f.name.size() - 3, 3, ".ck") != 0) page.push_back(f);
    return errors.empty();
}

std::string web_manifest(const std::vector<WebFile>& page) {
    std::string manifest = "{\"files\": [";
    for (size_t i = 0; i < page.size(); ++i)
        manifest += (i ? ", [\"" : "[\"") + page[i].name + "\", " + std::to_string(page[i].bytes.size()) + "]";
    return manifest + "]}\n";
}
