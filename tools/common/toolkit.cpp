// The tools' shared handling of arguments, inputs, outputs and signals. The signal handler sees
// only a fixed table of this run's unfinished outputs, filled before each becomes visible, and
// uses nothing but unlink, rmdir and _exit on it.
#include "toolkit.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "platform/file.h"

namespace fs = std::filesystem;

namespace tool {

const char* const OUTPUT_RULE =
    "Outputs: a file is written beside its target under a temporary name and renamed over it only "
    "once complete, so an existing file is never truncated first and is kept when the run fails or "
    "is interrupted; a folder, device or pipe, or a file this run reads, is refused as an output.";

namespace {

const char* tool_name = "tool";
std::string installed_name;  // the tool's name as installed, when it was started by it
std::vector<std::string> inputs;

// ---- the table the signal handler cleans up -------------------------------------------------

enum { SLOT_FREE = 0, SLOT_FILE = 1, SLOT_FOLDER = 2, SLOTS = 16, SLOT_PATH = 4096, SLOT_NAMES = 4, SLOT_NAME = 64 };

struct Slot {
    volatile sig_atomic_t kind;
    char path[SLOT_PATH];
    char suffix[SLOT_NAME];
    volatile long long count;       // folder: numbered files 0 .. count-1 were added
    volatile sig_atomic_t made;     // folder: this run made it
    char names[SLOT_NAMES][SLOT_NAME];
    volatile sig_atomic_t named;
};

Slot slots[SLOTS];

int slot_take(int kind, const std::string& path) {
    if (path.size() >= SLOT_PATH) return -1;
    for (int i = 0; i < SLOTS; ++i) {
        if (slots[i].kind != SLOT_FREE) continue;
        Slot& s = slots[i];
        std::memcpy(s.path, path.c_str(), path.size() + 1);
        s.suffix[0] = '\0';
        s.count = 0;
        s.made = 0;
        s.named = 0;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        s.kind = kind;
        return i;
    }
    return -1;
}

void slot_free(int i) {
    if (i >= 0) slots[i].kind = SLOT_FREE;
}

// dir + "/" + at least six digits of n + suffix, without the library (this runs in the handler).
void numbered_path(const Slot& s, long long n, char* out) {
    size_t at = std::strlen(s.path);
    std::memcpy(out, s.path, at);
    out[at++] = '/';
    char digits[24];
    int k = 0;
    do {
        digits[k++] = (char)('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (k < 6) digits[k++] = '0';
    while (k > 0) out[at++] = digits[--k];
    size_t sl = std::strlen(s.suffix);
    std::memcpy(out + at, s.suffix, sl + 1);
}

void slot_clean(const Slot& s) {
    if (s.kind == SLOT_FILE) {
        unlink(s.path);
    } else if (s.kind == SLOT_FOLDER) {
        char p[SLOT_PATH + 64];
        for (long long n = 0; n < s.count; ++n) {
            numbered_path(s, n, p);
            unlink(p);
        }
        for (int k = 0; k < s.named && k < SLOT_NAMES; ++k) {
            size_t at = std::strlen(s.path);
            std::memcpy(p, s.path, at);
            p[at] = '/';
            std::memcpy(p + at + 1, s.names[k], std::strlen(s.names[k]) + 1);
            unlink(p);
        }
        if (s.made) rmdir(s.path);
    }
}

void on_signal(int sig) {
    // Files first: a folder is removed only once nothing of the run is left in it.
    for (Slot& s : slots)
        if (s.kind == SLOT_FILE) slot_clean(s);
    for (Slot& s : slots)
        if (s.kind == SLOT_FOLDER) slot_clean(s);
    _exit(128 + sig);
}

bool parse_double(const std::string& text, double& v) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtod(begin, &end);
    return end != begin && *end == '\0' && errno != ERANGE;
}

std::string number_text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace

void init(const char* name) {
    tool_name = name;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigfillset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(sig, &sa, nullptr);
}

const char* name() { return tool_name; }

int error_in_file(const std::string& located) {
    std::fprintf(stderr, "%s\n", located.c_str());
    std::fflush(stderr);
    return 1;
}

int error(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", tool_name, text.c_str());
    std::fflush(stderr);
    return 1;
}

int parse(CLI::App& app, int argc, char** argv) {
    app.footer(std::string(OUTPUT_RULE) + "\n");
    // Installed, a tool with a generic name carries the project's prefix (ckpack is
    // oruvane-ckpack): started by that name, it uses it in its help, messages and version.
    std::string invoked = argc > 0 ? fs::path(argv[0]).filename().string() : "";
    if (invoked == std::string("oruvane-") + tool_name) {
        installed_name = invoked;
        tool_name = installed_name.c_str();
        app.name(installed_name);
    }
    app.set_version_flag("--version", std::string(tool_name) + " " + ORUVANE_VERSION, "print the version and exit");
    // A word where a subcommand goes that names none: said so, with the ones there are.
    std::vector<CLI::App*> subs = app.get_subcommands([](CLI::App*) { return true; });
    if (!subs.empty() && argc > 1 && argv[1][0] == '-' && std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0 &&
        app.get_option_no_throw(argv[1]) == nullptr) {
        error(std::string("unknown option '") + argv[1] + "': a subcommand comes first (see --help)");
        return 2;
    }
    if (!subs.empty() && argc > 1 && argv[1][0] != '-') {
        std::string known;
        bool found = false;
        for (CLI::App* sub : subs) {
            found = found || sub->get_name() == argv[1];
            known += (known.empty() ? "" : ", ") + sub->get_name();
        }
        if (!found) {
            error(std::string("unknown subcommand '") + argv[1] + "': use one of " + known + " (see --help)");
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
        return -1;
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return finish(0);
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return finish(0);
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << "\n";
        return finish(0);
    } catch (const CLI::ParseError& e) {
        std::string text = e.what();
        // An argument nobody takes explains a missing one better than the other way round.
        std::vector<std::string> extra = app.remaining();
        if (e.get_name() == "RequiredError" && !extra.empty()) text = "the following argument was not expected: " + extra.front();
        for (char& c : text)
            if (c == '\n') c = ' ';
        error(text + " (see --help)");
        return 2;
    }
}

CLI::Validator finite(double lo, double hi, const std::string& unit) {
    std::string range = "a finite number from " + number_text(lo) + " to " + number_text(hi) + (unit.empty() ? "" : " " + unit);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            double v = 0;
            if (!parse_double(text, v) || !std::isfinite(v) || v < lo || v > hi) return "'" + text + "' is not " + range;
            return "";
        },
        "NUMBER in [" + number_text(lo) + ", " + number_text(hi) + "]");
}

int finish(int status) {
    std::cout.flush();
    bool failed = !std::cout.good();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) failed = true;
    if (failed) {
        error(std::string("cannot write standard output: ") + (errno ? std::strerror(errno) : "write error"));
        return status ? status : 1;
    }
    return status;
}

bool read_file(const std::string& path, std::string& out, std::string& why) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        why = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = path + " is not a regular file";
        return false;
    }
    std::FILE* f = plat_open_regular(path.c_str());
    if (!f) {
        why = "cannot read " + path + ": " + std::strerror(errno ? errno : EINVAL);
        return false;
    }
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) why = "cannot read " + path + ": read error";
    return ok;
}

void note_input(const std::string& path) { inputs.push_back(path); }

std::string check_output(const std::string& path) {
    if (path.empty()) return "an output needs a file name";
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (fs::exists(st)) {
        if (fs::is_directory(st)) return path + " is a folder, not a file to write";
        if (!fs::is_regular_file(st)) return path + " is not a regular file (a device, pipe or socket), so it is not written";
        for (const std::string& in : inputs)
            if (fs::equivalent(path, in, ec)) return path + " is one of this run's inputs and is not overwritten";
    }
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) parent = ".";
    if (!fs::is_directory(parent, ec)) return "cannot write " + path + ": no folder " + parent.string();
    return "";
}

Output::~Output() { abort(); }

bool Output::open(const std::string& path, std::string& why) {
    abort();
    why = check_output(path);
    if (!why.empty()) return false;
    fs::path p(path);
    std::string tmpl = (p.parent_path() / (p.filename().string() + ".XXXXXX.part")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkostemps(name.data(), 5, O_CLOEXEC);
    if (fd < 0) {
        why = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    temp_ = name.data();
    path_ = path;
    slot_ = slot_take(SLOT_FILE, temp_);
    // The file keeps the permissions of the one it replaces; a new one gets the usual ones.
    struct stat old;
    if (stat(path.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        why = "cannot write " + path + ": " + std::strerror(errno);
        abort();
        return false;
    }
    return true;
}

bool Output::close_stream() {
    if (!file_) return true;
    errno = 0;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

bool Output::commit(std::string& why) {
    if (temp_.empty()) {
        why = "nothing to write";
        return false;
    }
    if (!close_stream()) {
        why = "cannot write " + path_ + ": " + std::strerror(errno ? errno : EIO);
        abort();
        return false;
    }
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
        why = "cannot write " + path_ + ": " + std::strerror(errno);
        abort();
        return false;
    }
    slot_free(slot_);
    slot_ = -1;
    temp_.clear();
    return true;
}

void Output::abort() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    slot_free(slot_);
    slot_ = -1;
}

bool write_file(const std::string& path, const std::string& bytes, std::string& why) {
    Output out;
    if (!out.open(path, why)) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out.file()) != bytes.size()) {
        why = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return out.commit(why);
}

OutputFolder::~OutputFolder() { abort(); }

bool OutputFolder::open(const std::string& dir, const std::string& suffix, std::string& why) {
    abort();
    std::error_code ec;
    fs::file_status st = fs::status(dir, ec);
    bool made = false;
    if (fs::exists(st)) {
        if (!fs::is_directory(st)) {
            why = dir + " exists and is not a folder";
            return false;
        }
        if (!fs::is_empty(dir, ec) || ec) {
            why = dir + " is not empty: give a new or an empty folder, so that no file of yours is replaced or mixed in";
            return false;
        }
    } else {
        if (!fs::create_directory(dir, ec)) {
            why = "cannot create " + dir + ": " + ec.message();
            return false;
        }
        made = true;
    }
    if (suffix.size() >= SLOT_NAME) {
        why = "file name suffix too long";
        return false;
    }
    dir_ = dir;
    slot_ = slot_take(SLOT_FOLDER, dir_);
    if (slot_ < 0) {
        if (made) fs::remove(dir, ec);
        why = "folder name too long: " + dir;
        return false;
    }
    Slot& s = slots[slot_];
    std::memcpy(s.suffix, suffix.c_str(), suffix.size() + 1);
    s.made = made;
    return true;
}

std::string OutputFolder::add(long long n) {
    char name[SLOT_PATH + 64];
    Slot& s = slots[slot_];
    numbered_path(s, n, name);
    if (n + 1 > s.count) s.count = n + 1;
    return name;
}

void OutputFolder::add_named(const std::string& name) {
    Slot& s = slots[slot_];
    if (s.named >= SLOT_NAMES || name.size() >= SLOT_NAME) return;
    std::memcpy(s.names[s.named], name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    s.named = s.named + 1;
}

void OutputFolder::keep() {
    slot_free(slot_);
    slot_ = -1;
    dir_.clear();
}

void OutputFolder::abort() {
    if (slot_ < 0) return;
    slot_clean(slots[slot_]);
    slot_free(slot_);
    slot_ = -1;
    dir_.clear();
}

}  // namespace tool
