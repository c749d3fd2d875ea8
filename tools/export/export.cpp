// oruvane-export: turns a show project into releases other people run, from the installed package
// alone (no compiler, no SDK): for Linux a .tar.gz, for Windows a .zip, for the web a folder. Each
// is a prebuilt engine (the show executable, or the page's code, built with a timeline table that
// holds no show) whose table is filled with the project's, beside the project packed as the show
// reads it, a README about this show and the notices of the libraries inside. The project is checked
// first (its sheet, its ten programs on this driver, and for the web their GLSL ES translation);
// on any mistake nothing is written. Every output is complete, or not there at all.
#include <CLI/CLI.hpp>
#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music.h"
#include "common/project.h"
#include "common/toolkit.h"
#include "load/gl_entry.h"
#include "load/program_log.h"
#include "load/program_status.h"
#include "load/programs.h"
#include "load/scene_file.h"
#include "platform/tool_gl.h"
#include "timeline/show_table.h"
#include "web_pack.h"

namespace fs = std::filesystem;

namespace {

// The validator of the GLSL ES check, by its full path: the export needs nothing from PATH.
const char* const VALIDATOR = ORUVANE_GLSL_VALIDATOR;

struct Options {
    std::string project, out, name;
    bool linux_release = false, windows = false, web = false;
};

bool read(const fs::path& path, std::string& bytes, std::string& why) { return tool::read_file(path.string(), bytes, why); }

// A Windows executable's header checksum, which the linker and strip fill in, made right again
// after the table changed: the 16-bit sum of the file with end-around carry, the checksum field
// itself left out, plus the file's length. Anything but a PE file with a checksum is left alone.
void pe_checksum_update(std::string& file) {
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, file.data() + at, 4);
        return v;
    };
    if (file.size() < 0x40 || file.compare(0, 2, "MZ") != 0) return;
    size_t pe = u32(0x3c);
    // The checksum sits 64 bytes into the optional header, after the signature and file header.
    size_t field = pe + 4 + 20 + 64;
    if (field + 4 > file.size() || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0 || u32(field) == 0) return;
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i == field || i == field + 2) continue;
        uint32_t word = (uint8_t)file[i] | (i + 1 < file.size() ? (uint8_t)file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    uint32_t checksum = (uint32_t)((sum & 0xffff) + (sum >> 16)) + (uint32_t)file.size();
    std::memcpy(&file[field], &checksum, 4);
}

// `engine` with its timeline table replaced by `table`. The engine's table is found by its marker,
// which must be there once, with this exporter's layout.
bool fill_engine(std::string& engine, const ShowTable& table, const std::string& which, std::string& why) {
    const std::string magic(SHOW_TABLE_MAGIC, SHOW_TABLE_MAGIC_SIZE);
    size_t at = engine.find(magic);
    if (at == std::string::npos || engine.find(magic, at + 1) != std::string::npos || at + sizeof table > engine.size()) {
        why = "the " + which + " engine has no single timeline table: it is not an engine of this version";
        return false;
    }
    ShowTable found;
    std::memcpy(&found, engine.data() + at, sizeof found);
    if (found.version != SHOW_TABLE_VERSION || found.size != (int32_t)sizeof found || found.length_ms > 0) {
        why = "the " + which + " engine's table is not an empty one of this version's layout";
        return false;
    }
    std::memcpy(&engine[at], &table, sizeof table);
    pe_checksum_update(engine);
    return true;
}

std::string seconds_text(int32_t ms) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d (%.3f s)", ms / 60000, ms / 1000 % 60, ms / 1000.0);
    return text;
}

// Checks that every program builds on this driver, through the show's own loader on the packed
// files. Each compiler message is written as SOURCE:LINE: message, the source the project's own.
bool programs_build(const project::Project& p, const std::vector<project::PackedFile>& files, std::string& why) {
    tool::ScratchFolder packed;
    if (!packed.open(why)) return false;
    for (const project::PackedFile& f : files)
        if (!packed.write(f.name, f.bytes, why)) return false;
    std::string here = fs::current_path().string();
    if (chdir(packed.path().c_str()) != 0) {
        why = "cannot enter " + packed.path();
        return false;
    }
    bool ok = true;
    if (!tool_gl_open(TOOL_GL_HEADLESS, "oruvane-export", 64, 64)) {
        why = std::string("no GL context to check the programs on: ") + tool_gl_error();
        ok = false;
    } else if (!load_gl_entry_points()) {
        why = "the GL driver lacks an entry point the show needs";
        ok = false;
    } else {
        scene_file_counter = 0;
        build_programs();
        static ProgramStatus st;
        int failed = 0;
        for (int i = 0; i < PROGRAM_COUNT; ++i) {
            if (program_status(program_set.*PROGRAM_TABLE[i].program, &st)) continue;
            ++failed;
            for (int k = 0; k < 2; ++k) {
                if (st.compiled[k]) continue;
                for (const char* line = st.log[k]; *line;) {
                    size_t n = std::strcspn(line, "\n");
                    char out[1024];
                    if (n > 0) {
                        program_log_format(std::string(line, n).c_str(), p.sources[i][k].c_str(), out, sizeof out);
                        std::fprintf(stderr, "%s\n", out);
                    }
                    line += n + (line[n] ? 1 : 0);
                }
            }
            if (st.compiled[0] && st.compiled[1])
                std::fprintf(stderr, "%s: %s does not link: %s\n", p.sources[i][1].c_str(), PROGRAM_TABLE[i].label, st.link_log);
        }
        if (failed) {
            why = std::to_string(failed) + " program" + (failed == 1 ? "" : "s") + " of " + p.dir + " do not build on this driver";
            ok = false;
        }
    }
    tool_gl_close();
    if (chdir(here.c_str()) != 0) ok = false;
    return ok;
}

struct Entry {
    std::string name;
    std::string bytes;
    bool executable = false;
};

// Writes `entries` as a zip or a gzipped tar to `path`, beside it first and renamed when complete.
bool write_archive(const std::string& path, bool zip, const std::string& folder, const std::vector<Entry>& entries, std::string& why) {
    tool::Output out;
    if (!out.open(path, why)) return false;
    struct archive* a = archive_write_new();
    bool ok = zip ? archive_write_set_format_zip(a) == ARCHIVE_OK
                  : archive_write_set_format_pax_restricted(a) == ARCHIVE_OK && archive_write_add_filter_gzip(a) == ARCHIVE_OK;
    // No padding after the archive's end: a zip padded to libarchive's 10 KiB blocks has bytes after
    // its central directory, which some unzippers call damage.
    ok = ok && archive_write_set_bytes_in_last_block(a, 1) == ARCHIVE_OK;
    ok = ok && archive_write_open_FILE(a, out.file()) == ARCHIVE_OK;
    time_t now = std::time(nullptr);
    auto add = [&](const std::string& name, const std::string* bytes, int mode) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, bytes ? AE_IFREG : AE_IFDIR);
        archive_entry_set_perm(e, mode);
        archive_entry_set_size(e, bytes ? (la_int64_t)bytes->size() : 0);
        archive_entry_set_mtime(e, now, 0);
        bool done = archive_write_header(a, e) == ARCHIVE_OK &&
                    (!bytes || bytes->empty() || archive_write_data(a, bytes->data(), bytes->size()) == (la_ssize_t)bytes->size());
        archive_entry_free(e);
        return done;
    };
    if (ok && !folder.empty()) ok = add(folder + "/", nullptr, 0755);
    for (const Entry& e : entries) {
        if (!ok) break;
        ok = add(folder.empty() ? e.name : folder + "/" + e.name, &e.bytes, e.executable ? 0755 : 0644);
    }
    if (ok) ok = archive_write_close(a) == ARCHIVE_OK;
    if (!ok) why = "cannot write " + path + ": " + (archive_error_string(a) ? archive_error_string(a) : "archive error");
    archive_write_free(a);
    if (!ok) return false;
    return out.commit(why);
}

std::string readme_text(const std::string& text, bool crlf) {
    if (!crlf) return text;
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

int run(const Options& o) {
    auto started = std::chrono::steady_clock::now();
    std::string why;
    // Installed as lib/oruvane/engines beside bin/, or staged in a build tree beside bin/.
    std::string engines = tool::find_beside_tool("../lib/oruvane/engines", "../engines", "notices", why);
    if (engines.empty()) return tool::error("the engines are " + why);
    const fs::path e(engines);
    // Every engine asked for is there before any work.
    struct Need {
        bool wanted;
        fs::path file;
        const char* what;
    } needs[] = {{o.linux_release, e / "linux" / "oruvane", "Linux"},
                 {o.windows, e / "windows" / "oruvane.exe", "Windows"},
                 {o.web, e / "web" / "oruvane.wasm", "web"}};
    for (const Need& n : needs)
        if (n.wanted && !fs::is_regular_file(n.file)) return tool::error("no " + std::string(n.what) + " engine: " + n.file.string() + " is missing");

    if (project::kind_of(o.project) != project::PROJECT)
        return tool::error(o.project + " holds no " + project::SHEET_NAME + ": it is not a show project");
    project::Project p;
    std::vector<project::PackedFile> files;
    std::vector<std::string> notes;
    if (!project::open(o.project, p, why)) return tool::error_in_file(why);
    if (!project::pack(p, files, notes, why)) return tool::error(why);
    for (const std::string& n : notes) tool::error("note: " + n);
    if (!programs_build(p, files, why)) return tool::error(why);

    // The page's files, translated and checked before anything is written.
    std::vector<WebFile> page;
    if (o.web) {
        tool::ScratchFolder scratch;
        if (!scratch.open(why)) return tool::error(why);
        std::vector<WebFile> show;
        for (const project::PackedFile& f : files) show.push_back({f.name, f.bytes});
        std::vector<std::string> errors;
        auto source_of = [&](int n) {
            for (int i = 0; i < PROGRAM_COUNT; ++i)
                for (int k = 0; k < 2; ++k)
                    if (PROGRAM_TABLE[i].files[k] == n) return p.sources[i][k];
            return std::to_string(n) + ".ck";
        };
        if (!web_pack(show, VALIDATOR, scratch.path() + "/shader.vert", scratch.path() + "/shader.frag", source_of, page, errors)) {
            for (const std::string& err : errors) std::fprintf(stderr, "%s\n", err.c_str());
            return tool::error(std::to_string(errors.size()) + " shader" + (errors.size() == 1 ? "" : "s") +
                               " cannot go to the browser (GLSL ES 3.00); nothing written");
        }
    }

    static ShowTable table;
    sheet::fill_table(&p.script, table);
    std::error_code ec;
    if (!fs::is_directory(o.out, ec) && !fs::create_directory(o.out, ec))
        return tool::error("cannot make the folder " + o.out + ": " + ec.message());

    const std::string length = seconds_text(p.script.length_ms);
    auto show_entries = [&]() {
        std::vector<Entry> entries;
        for (const project::PackedFile& f : files) entries.push_back({f.name, f.bytes, false});
        return entries;
    };
    auto print_size = [&](const fs::path& path) {
        uintmax_t size = fs::is_directory(path, ec) ? 0 : fs::file_size(path, ec);
        if (fs::is_directory(path, ec))
            for (const auto& f : fs::recursive_directory_iterator(path, ec))
                if (f.is_regular_file(ec)) size += f.file_size(ec);
        std::printf("  %s  %.1f MB\n", path.string().c_str(), size / 1048576.0);
    };
    std::printf("%s: %s, %zu cues\n", o.name.c_str(), length.c_str(), p.script.cues.size());

    if (o.linux_release) {
        std::string engine, licenses, packages;
        if (!read(e / "linux" / "oruvane", engine, why) || !read(e / "notices" / "linux.txt", licenses, why) ||
            !read(e / "linux" / "runtime-packages.txt", packages, why))
            return tool::error(why);
        if (!fill_engine(engine, table, "Linux", why)) return tool::error(why);
        while (!packages.empty() && (packages.back() == '\n' || packages.back() == ' ')) packages.pop_back();
        std::vector<Entry> entries = show_entries();
        entries.insert(entries.begin(), Entry{o.name, engine, true});
        entries.push_back({"README.txt",
                           o.name + " for Linux (x86-64)\n\nRun ./" + o.name + " from this folder. The show takes over the screen at 1920x1080, "
                           "plays its music and ends by itself after " + length + ". Escape leaves early.\n\nKeep the files of this "
                           "folder together: the show reads 0.ck ... 19.ck, bitmap.png and vae5.wav from its current directory, "
                           "and writes nothing.\n\nNeeds an X display offering 1920x1080, an OpenGL driver and, on Debian 12, these "
                           "packages:\n\n  sudo apt-get install " + packages + "\n\nMade with Oruvane. The notices of the libraries it "
                           "uses are in LICENSES.txt.\n"});
        entries.push_back({"LICENSES.txt", licenses});
        fs::path out = fs::path(o.out) / (o.name + "-linux-x86_64.tar.gz");
        if (!write_archive(out.string(), false, o.name + "-linux-x86_64", entries, why)) return tool::error(why);
        print_size(out);
    }
    if (o.windows) {
        std::string engine, licenses;
        if (!read(e / "windows" / "oruvane.exe", engine, why) || !read(e / "notices" / "windows.txt", licenses, why))
            return tool::error(why);
        if (!fill_engine(engine, table, "Windows", why)) return tool::error(why);
        std::vector<Entry> entries = show_entries();
        entries.insert(entries.begin(), Entry{o.name + ".exe", engine, true});
        entries.push_back({"README.txt",
                           readme_text(o.name + " for Windows (64-bit)\n\nDouble-click " + o.name + ".exe. The show takes over the screen "
                           "at 1920x1080 (it switches the display to that mode and restores it afterwards), plays its music and ends "
                           "by itself after " + length + ". Escape leaves early.\n\nKeep the files of this folder together: the show "
                           "reads 0.ck ... 19.ck, bitmap.png and vae5.wav from the folder it is started in, and writes nothing.\n\n"
                           "Needs 64-bit Windows with an OpenGL driver and a display that offers 1920x1080. " + o.name + ".exe is "
                           "self-contained: SDL2, libsndfile with its codecs and libopenmpt are built in.\n\nMade with Oruvane. The "
                           "notices of the libraries built in are in LICENSES.txt.\n", true)});
        entries.push_back({"LICENSES.txt", readme_text(licenses, true)});
        fs::path out = fs::path(o.out) / (o.name + "-win64.zip");
        if (!write_archive(out.string(), true, "", entries, why)) return tool::error(why);
        print_size(out);
    }
    if (o.web) {
        std::string html, js, wasm, licenses;
        if (!read(e / "web" / "index.html", html, why) || !read(e / "web" / "oruvane.js", js, why) ||
            !read(e / "web" / "oruvane.wasm", wasm, why) || !read(e / "notices" / "web.txt", licenses, why))
            return tool::error(why);
        if (!fill_engine(wasm, table, "web", why)) return tool::error(why);
        tool::FolderOutput out;
        fs::path target = fs::path(o.out) / (o.name + "-web");
        if (!out.open(target.string(), tool::holds_file("show/" + std::string(WEB_MANIFEST)), why)) return tool::error(why);
        bool ok = out.write("index.html", html, why) && out.write("oruvane.js", js, why) && out.write("oruvane.wasm", wasm, why) &&
                  out.write("LICENSES.txt", licenses, why) &&
                  out.write("README.txt",
                            o.name + " for the web\n\nServe this folder with any static web server, for example\n\n"
                            "  python3 -m http.server 8000\n\nand open http://localhost:8000/ in a browser with WebGL 2. The page "
                            "downloads the show, asks for a click (the only thing that lets a page make sound), and plays for " +
                            length + " at 1920x1080, scaled to the window. index.html?at=SEC starts at SEC seconds; "
                            "index.html?at=SEC&still draws that one frame.\n\nMade with Oruvane. The notices of the libraries "
                            "built into oruvane.wasm are in LICENSES.txt.\n", why) &&
                  out.add_folder("show", why);
        for (const WebFile& f : page) ok = ok && out.write("show/" + f.name, f.bytes, why);
        ok = ok && out.write("show/" + std::string(WEB_MANIFEST), web_manifest(page), why) && out.commit(why);
        if (!ok) return tool::error(why);
        print_size(target);
    }
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("exported in %.1f s\n", took);
    return 0;
}

// A release's name: letters, digits, '.', '_' and '-', not starting with '.' or '-'.
bool good_name(const std::string& name) {
    if (name.empty() || name[0] == '.' || name[0] == '-' || name.size() > 100) return false;
    for (char c : name)
        if (!std::isalnum((unsigned char)c) && c != '.' && c != '_' && c != '-') return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-export");
    CLI::App app{"Makes releases of a show project that other people run, with no compiler: OUT/NAME-linux-x86_64.tar.gz,\n"
                 "OUT/NAME-win64.zip and the folder OUT/NAME-web/ for any static web server (all three unless some are named).\n"
                 "Each is a prebuilt engine given the project's timeline, the project packed as the show reads it, a README\n"
                 "about the show and the notices of the libraries inside. The project is checked first (its sheet, its ten\n"
                 "programs on this driver, and for the web their GLSL ES translation); on any mistake nothing is written.",
                 "oruvane-export"};
    Options o;
    app.add_option("PROJECT", o.project, "the show project's folder")->required();
    app.add_option("--out", o.out, "the folder to write the releases into (made when missing)")->required();
    app.add_option("--name", o.name, "the release's name (default: the project folder's)");
    app.add_flag("--linux", o.linux_release, "the Linux release");
    app.add_flag("--windows", o.windows, "the Windows release");
    app.add_flag("--web", o.web, "the web release");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    if (!o.linux_release && !o.windows && !o.web) o.linux_release = o.windows = o.web = true;
    if (o.out.empty()) {
        tool::error("--out needs a folder name");
        return 2;
    }
    if (o.name.empty()) {
        std::error_code ec;
        o.name = fs::weakly_canonical(fs::absolute(o.project), ec).filename().string();
    }
    if (!good_name(o.name)) {
        tool::error("--name: '" + o.name + "' is not a release name (letters, digits, '.', '_' and '-'; give one with --name)");
        return 2;
    }
    return tool::finish(run(o));
}
