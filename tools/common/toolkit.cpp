// The tools' shared handling of arguments, inputs, outputs and signals. The signal handler sees
// only a table of this run's unfinished outputs, every entry filled before the output it names
// exists and allocated outside the handler, and uses nothing but unlink, rmdir, nanosleep and
// _exit on it.
#include "toolkit.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/file.h"

namespace fs = std::filesystem;

namespace tool {

const char* const OUTPUT_RULE =
    "Outputs: a file is written beside its target under a temporary name and renamed over it only "
    "once complete, so an existing file is never truncated first and is kept when the run fails or "
    "is interrupted; a folder, device or pipe, or a file this run reads, is refused as an output. A "
    "folder written as a whole is made beside its target the same way and replaces only a folder "
    "the same tool made.";

// ---- the table the signal handler cleans up -------------------------------------------------

enum { SLOT_FREE, SLOT_RESERVED, SLOT_FILE, SLOT_NUMBERED, SLOT_FOLDER };
enum { SLOTS_PER_CHUNK = 16, SLOT_PATH = 4096, SLOT_SUFFIX = 64 };

// A file or folder a run added inside one of its output folders, by its whole path. Never changed
// once published, and never freed: a handler on another thread may be reading it.
struct CleanupEntry {
    CleanupEntry* next;  // the one added before
    bool folder;
    char* path;
    CleanupEntry* retired_next;  // the newest entry of the list given back before this one's
};

struct CleanupSlot {
    std::atomic<int> kind{SLOT_FREE};  // the handler looks only at FILE, NUMBERED and FOLDER
    char path[SLOT_PATH];              // the temporary file, or the folder
    char suffix[SLOT_SUFFIX];          // numbered: after the number
    std::atomic<long long> count{0};   // numbered: files 0 .. count-1 were added
    std::atomic<int> made{0};          // folder: this run made it, and removes it
    std::atomic<CleanupEntry*> entries{nullptr};  // newest first
};

namespace {

// The table grows by chunks that are linked in and never freed, so the handler can walk it while
// it grows, and no slot can be missing for want of room.
struct Chunk {
    CleanupSlot slot[SLOTS_PER_CHUNK];
    std::atomic<Chunk*> next{nullptr};
};

Chunk first_chunk;
std::mutex table_mutex;                  // taking and giving back slots; never in the handler
CleanupEntry* retired = nullptr;         // entries of given-back slots, kept (see CleanupEntry)
std::atomic<int> swapping{0};            // a folder is being put in place: the handler waits
std::atomic<int> noted_umask{-1};

const char* tool_name = "tool";
std::string installed_name;  // the tool's name as installed, when it was started by it
std::vector<std::string> inputs;

const int HANDLED[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Holds this thread's handled signals back while an output comes into existence and is entered
// in the table, or is put in place, so that a signal never falls between the two.
class SignalBlock {
public:
    SignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : HANDLED) sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t old_;
};

// A free slot, marked taken but not yet seen by the handler; the table grows when all are taken.
CleanupSlot* slot_reserve() {
    std::lock_guard<std::mutex> lock(table_mutex);
    for (Chunk* c = &first_chunk;; c = c->next.load()) {
        for (CleanupSlot& s : c->slot) {
            if (s.kind.load() != SLOT_FREE) continue;
            s.kind.store(SLOT_RESERVED);
            s.path[0] = '\0';
            s.suffix[0] = '\0';
            s.count.store(0);
            s.made.store(0);
            return &s;
        }
        if (!c->next.load()) c->next.store(new Chunk());
    }
}

// Shows a reserved slot to the handler as `kind` at `path` (shorter than SLOT_PATH).
void slot_publish(CleanupSlot* s, int kind, const char* path, bool made = false) {
    std::memcpy(s->path, path, std::strlen(path) + 1);
    s->made.store(made);
    s->kind.store(kind);
}

void slot_release(CleanupSlot* s) {
    if (!s) return;
    s->kind.store(SLOT_RESERVED);
    std::lock_guard<std::mutex> lock(table_mutex);
    if (CleanupEntry* newest = s->entries.exchange(nullptr)) {
        newest->retired_next = retired;
        retired = newest;
    }
    s->kind.store(SLOT_FREE);
}

void slot_add_entry(CleanupSlot* s, const std::string& path, bool folder) {
    CleanupEntry* e = new CleanupEntry{s->entries.load(), folder, new char[path.size() + 1], nullptr};
    std::memcpy(e->path, path.c_str(), path.size() + 1);
    s->entries.store(e);
}

// dir + "/" + at least six digits of n + suffix, without the library (this runs in the handler).
void numbered_path(const CleanupSlot& s, long long n, char* out) {
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

// Removes what a run added to a folder, newest first (so a folder's files go before it), then
// the folder when the run made it.
void folder_clean(const CleanupSlot& s) {
    for (const CleanupEntry* e = s.entries.load(); e; e = e->next) {
        if (e->folder) rmdir(e->path);
        else unlink(e->path);
    }
    char p[SLOT_PATH + 64];
    long long count = s.count.load();
    for (long long n = 0; n < count; ++n) {
        numbered_path(s, n, p);
        unlink(p);
    }
    if (s.made.load()) rmdir(s.path);
}

void on_signal(int sig) {
    // A folder being put in place on another thread is finished first (this thread cannot be the
    // one doing it: it holds these signals back meanwhile).
    while (swapping.load()) {
        struct timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
    }
    // Files first: a folder is removed only once nothing of the run is left in it.
    for (Chunk* c = &first_chunk; c; c = c->next.load())
        for (CleanupSlot& s : c->slot)
            if (s.kind.load() == SLOT_FILE) unlink(s.path);
    for (Chunk* c = &first_chunk; c; c = c->next.load())
        for (CleanupSlot& s : c->slot) {
            int kind = s.kind.load();
            if (kind == SLOT_NUMBERED || kind == SLOT_FOLDER) folder_clean(s);
        }
    _exit(128 + sig);
}

// The umask new outputs are made with: noted by init (reading it means setting it, which would
// race with another thread's file creation), else read here.
mode_t creation_mask() {
    int noted = noted_umask.load();
    if (noted >= 0) return (mode_t)noted;
    mode_t mask = umask(0);
    umask(mask);
    return mask;
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
    mode_t mask = umask(0);
    umask(mask);
    noted_umask.store((int)mask);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigfillset(&sa.sa_mask);
    for (int sig : HANDLED) sigaction(sig, &sa, nullptr);
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
    // A tool that takes a folder before its subcommand (oruvane-timeline PROJECT at 3) gets it.
    std::error_code ec;
    bool folder_first = argc > 1 && !app.get_options([](const CLI::Option* o) { return o->get_positional(); }).empty() &&
                        fs::is_directory(argv[1], ec);
    if (!subs.empty() && argc > 1 && argv[1][0] != '-' && !folder_first) {
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
    if (tmpl.size() >= SLOT_PATH) {
        why = "cannot write " + path + ": the name is too long";
        return false;
    }
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    CleanupSlot* slot = slot_reserve();
    int fd, error;
    {
        SignalBlock block;
        fd = mkostemps(name.data(), 5, O_CLOEXEC);
        error = errno;
        if (fd >= 0) slot_publish(slot, SLOT_FILE, name.data());
    }
    if (fd < 0) {
        slot_release(slot);
        why = "cannot write " + path + ": " + std::strerror(error);
        return false;
    }
    slot_ = slot;
    temp_ = name.data();
    path_ = path;
    // The file keeps the permissions of the one it replaces; a new one gets the usual ones
    // (mkostemps makes it readable by its owner only).
    struct stat old;
    if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    else fchmod(fd, 0666 & ~creation_mask());
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
    slot_release(slot_);
    slot_ = nullptr;
    temp_.clear();
    return true;
}

void Output::abort() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    slot_release(slot_);
    slot_ = nullptr;
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

// ---- a folder of numbered files -------------------------------------------------------------

OutputFolder::~OutputFolder() { abort(); }

bool OutputFolder::open(const std::string& dir, const std::string& suffix, std::string& why) {
    abort();
    if (dir.empty()) {
        why = "a folder needs a name";
        return false;
    }
    if (suffix.size() >= SLOT_SUFFIX) {
        why = "file name suffix too long";
        return false;
    }
    if (dir.size() + 64 >= SLOT_PATH) {
        why = "folder name too long: " + dir;
        return false;
    }
    std::error_code ec;
    fs::file_status st = fs::status(dir, ec);
    bool made = !fs::exists(st);
    if (!made) {
        if (!fs::is_directory(st)) {
            why = dir + " exists and is not a folder";
            return false;
        }
        if (!fs::is_empty(dir, ec) || ec) {
            why = dir + " is not empty: give a new or an empty folder, so that no file of yours is replaced or mixed in";
            return false;
        }
    }
    CleanupSlot* slot = slot_reserve();
    std::memcpy(slot->suffix, suffix.c_str(), suffix.size() + 1);
    int error = 0;
    {
        SignalBlock block;
        if (made && mkdir(dir.c_str(), 0777) != 0) error = errno;
        else slot_publish(slot, SLOT_NUMBERED, dir.c_str(), made);
    }
    if (error) {
        slot_release(slot);
        why = "cannot create " + dir + ": " + std::strerror(error);
        return false;
    }
    dir_ = dir;
    slot_ = slot;
    return true;
}

std::string OutputFolder::add(long long n) {
    char name[SLOT_PATH + 64];
    numbered_path(*slot_, n, name);
    if (n + 1 > slot_->count.load()) slot_->count.store(n + 1);
    return name;
}

void OutputFolder::add_named(const std::string& name) { slot_add_entry(slot_, dir_ + "/" + name, false); }

void OutputFolder::keep() {
    slot_release(slot_);
    slot_ = nullptr;
    dir_.clear();
}

void OutputFolder::abort() {
    if (!slot_) return;
    folder_clean(*slot_);
    slot_release(slot_);
    slot_ = nullptr;
    dir_.clear();
}

// ---- a folder written whole and put in place -------------------------------------------------

MadeByTool holds_file(const std::string& name) {
    return [name](const std::string& path) {
        struct stat st;
        return lstat((path + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
}

namespace {

// Why the folder output `target` may not take the place of what is there now ("" when it may).
std::string check_folder_target(const std::string& target, const MadeByTool& ours) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) {
        if (errno == ENOENT) return "";
        return "cannot write " + target + ": " + std::strerror(errno);
    }
    if (S_ISLNK(st.st_mode)) return target + " is a link; it is left alone (give the folder it leads to)";
    if (!S_ISDIR(st.st_mode)) return target + " exists and is not a folder; it is left alone";
    if (!ours || !ours(target)) return target + " exists and was not made by " + tool_name + "; it is left alone";
    return "";
}

// Makes a new folder `stem` + six random letters or digits + `suffix` (mode 0700, as mkdtemp
// makes its folders, which cannot take a suffix); returns its name, or "" with errno set.
std::string unique_folder(const std::string& stem, const std::string& suffix) {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char noise[6];
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (getrandom(noise, sizeof noise, 0) != (ssize_t)sizeof noise) return "";
        std::string name = stem;
        for (unsigned char n : noise) name += LETTERS[n % 62];
        name += suffix;
        if (mkdir(name.c_str(), 0700) == 0) return name;
        if (errno != EEXIST) return "";
    }
    return "";
}

}  // namespace

FolderOutput::~FolderOutput() { abort(); }

bool FolderOutput::open(const std::string& path, const MadeByTool& ours, std::string& why) {
    abort();
    std::string target = path;
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    if (target.empty()) {
        why = "an output folder needs a name";
        return false;
    }
    fs::path p(target);
    std::string leaf = p.filename().string();
    if (target == "/" || leaf == "." || leaf == "..") {
        why = "cannot write " + path + " as a whole: give the folder by its name";
        return false;
    }
    why = check_folder_target(target, ours);
    if (!why.empty()) return false;
    std::error_code ec;
    fs::path parent = p.parent_path();
    if (!fs::is_directory(parent.empty() ? fs::path(".") : parent, ec)) {
        why = "cannot write " + target + ": no folder " + parent.string();
        return false;
    }
    std::string stem = (parent / (leaf + ".")).string();
    if (stem.size() + 16 >= SLOT_PATH) {
        why = "cannot write " + target + ": the name is too long";
        return false;
    }
    CleanupSlot* slot = slot_reserve();
    std::string name;
    int error;
    {
        SignalBlock block;
        name = unique_folder(stem, ".part");
        error = errno;
        if (!name.empty()) slot_publish(slot, SLOT_FOLDER, name.c_str(), true);
    }
    if (name.empty()) {
        slot_release(slot);
        why = "cannot write " + target + ": " + std::strerror(error);
        return false;
    }
    // Made for its owner only, as a temporary folder; the finished one gets the usual mode.
    chmod(name.c_str(), 0777 & ~creation_mask());
    slot_ = slot;
    target_ = target;
    temp_ = name;
    ours_ = ours;
    return true;
}

std::string FolderOutput::add(const std::string& name) {
    std::string path = temp_ + "/" + name;
    slot_add_entry(slot_, path, false);
    return path;
}

bool FolderOutput::add_folder(const std::string& name, std::string& why) {
    std::string path = temp_ + "/" + name;
    slot_add_entry(slot_, path, true);
    if (mkdir(path.c_str(), 0777) == 0) return true;
    why = "cannot write " + target_ + "/" + name + ": " + std::strerror(errno);
    return false;
}

bool FolderOutput::write(const std::string& name, const std::string& bytes, std::string& why) {
    int fd = ::open(add(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    bool ok = fd >= 0;
    for (size_t at = 0; ok && at < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (n == 0) errno = ENOSPC;
        at += ok ? (size_t)n : 0;
    }
    int error = errno;
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) why = "cannot write " + target_ + "/" + name + ": " + std::strerror(error);
    return ok;
}

bool FolderOutput::commit(std::string& why) {
    if (!slot_) {
        why = "nothing to write";
        return false;
    }
    why.clear();
    std::string old;  // where the replaced folder is left, to be removed
    bool placed = false;
    {
        SignalBlock block;
        swapping.store(1);
        // Looked at again: whatever came to the target meanwhile gets the same answer as at open.
        for (int look = 0; look < 2 && !placed && why.empty(); ++look) {
            why = check_folder_target(target_, ours_);
            if (!why.empty()) break;
            struct stat st;
            if (lstat(target_.c_str(), &st) != 0) {
                // Nothing there: the folder takes the name, unless something took it first.
                if (renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0) placed = true;
                else if (errno == EEXIST) continue;
                else if ((errno == EINVAL || errno == ENOSYS) && std::rename(temp_.c_str(), target_.c_str()) == 0) placed = true;
                else why = "cannot put " + target_ + " in place: " + std::strerror(errno);
            } else if (renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
                // The two changed places in one step: the old folder now has the temporary name.
                old = temp_;
                placed = true;
            } else if (errno == EINVAL || errno == ENOSYS) {
                // A file system that cannot exchange: the old folder is moved aside first, and
                // back again when the new one cannot follow.
                std::string aside = unique_folder(target_ + ".", ".old");
                if (aside.empty() || std::rename(target_.c_str(), aside.c_str()) != 0) {
                    why = "cannot put " + target_ + " in place: " + std::strerror(errno);
                    if (!aside.empty()) rmdir(aside.c_str());
                } else if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
                    why = "cannot put " + target_ + " in place: " + std::strerror(errno);
                    std::rename(aside.c_str(), target_.c_str());
                } else {
                    old = aside;
                    placed = true;
                }
            } else {
                why = "cannot put " + target_ + " in place: " + std::strerror(errno);
            }
        }
        if (placed) {
            // Out of the handler's sight at once; given back (which takes the table's lock, which a
            // thread waiting in the handler might hold) only once the swap is over.
            slot_->kind.store(SLOT_RESERVED);
            std::error_code ec;
            if (!old.empty() && (fs::remove_all(old, ec), ec))
                error("note: the folder " + target_ + " replaced is left as " + old + ": " + ec.message());
        }
        swapping.store(0);
    }
    if (!placed) {
        if (why.empty()) why = "cannot put " + target_ + " in place: it keeps changing";
        abort();
        return false;
    }
    slot_release(slot_);
    slot_ = nullptr;
    temp_.clear();
    return true;
}

void FolderOutput::abort() {
    if (!slot_) return;
    // Whatever is in it goes, entered or not: the run made the folder and everything in it.
    std::error_code ec;
    fs::remove_all(temp_, ec);
    slot_release(slot_);
    slot_ = nullptr;
    temp_.clear();
}

bool ScratchFolder::open(std::string& why) {
    // Never put in place: the target only names where the temporary folder goes, and is unique to
    // this process so that nothing already there is in the way.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && tmp[0] ? tmp : "/tmp";
    std::string target = base + "/oruvane-" + fs::path(tool_name).filename().string() + "-" + std::to_string(getpid());
    return out_.open(target, [](const std::string&) { return false; }, why);
}

}  // namespace tool
