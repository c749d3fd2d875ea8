// What every authoring tool shares, so that all of them treat a user's files and arguments the
// same way: parsing with one-line errors, numbers and paths checked before any work, outputs
// (files and whole folders) written beside their target and put in place only when complete,
// this run's unfinished outputs removed on failure or signal, and standard output checked before
// the exit.
#pragma once
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <string>

namespace tool {

// One entry of the table of this run's unfinished outputs that the signal handler cleans up.
struct CleanupSlot;

// The one overwrite rule of every tool, ready for its --help.
extern const char* const OUTPUT_RULE;

// Names the tool in its messages and installs its signal handling: SIGINT, SIGTERM, SIGHUP and
// SIGPIPE remove this run's unfinished outputs and end the tool with 128 + the signal's number.
// Notes the umask new outputs are made with. Call first, before anything else starts (SDL then
// leaves these signals alone, and no other thread exists yet).
void init(const char* name);
// The tool's name, as given to init.
const char* name();
// Writes "NAME: text" as one line on standard error; returns 1, the usual failure status.
int error(const std::string& text);
// Writes a mistake found in a file, already "file:line: message", as it is (the form editors
// jump to); returns 1.
int error_in_file(const std::string& located);

// Parses the command line, adding --version. Returns -1 when the tool is to go on; else the status
// to exit with: 0 after --help (written with the output rule) or --version, 2 after a usage error,
// reported as one line. Started as oruvane-NAME, a tool named NAME takes that name.
int parse(CLI::App& app, int argc, char** argv);
// A number that must be finite and within [lo, hi]: NaN, infinities, overflow and trailing junk
// are refused with the range named (`unit` follows the numbers in the message, e.g. "s").
CLI::Validator finite(double lo, double hi, const std::string& unit = "");
// Flushes standard output; returns `status`, or 1 with a message when writing to it failed
// (a full disk, a closed pipe, /dev/full).
int finish(int status);

// Reads the whole regular file at `path` into `out`, without ever blocking: a folder, FIFO,
// device or socket is refused. Returns false with `why` set to one line.
bool read_file(const std::string& path, std::string& out, std::string& why);
// Records a file this run reads, so that no output of the run may replace it.
void note_input(const std::string& path);
// Whether `path` may be written as an output file: not a folder, FIFO, device or socket, not one
// of this run's inputs, in a folder that exists. Returns "" when it may, else why not (one line).
std::string check_output(const std::string& path);

// An output file written under a temporary name beside its target (NAME.XXXXXX.part, XXXXXX
// unique) and renamed over it only when complete; until then a failure, an abort or a signal
// removes the temporary file and leaves the target as it was. A new file gets the mode the umask
// gives (0666 less it); a replaced one keeps its own.
class Output {
public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output();
    // Checks `path` (check_output) and creates the temporary file, registered for cleanup from the
    // moment it exists. False with `why` set.
    bool open(const std::string& path, std::string& why);
    // The temporary file's path and stream, while open.
    const std::string& temp() const { return temp_; }
    std::FILE* file() { return file_; }
    // Closes the stream of the temporary file (checking every write), for a writer of its own to
    // fill it by name (temp()); it stays this run's unfinished output until commit. False on error.
    bool close_stream();
    // Closes the temporary file when still open, checking every write, and renames it over the
    // target. False with `why` set (the temporary file is then removed).
    bool commit(std::string& why);
    // Removes the temporary file; harmless when nothing is open.
    void abort();

private:
    std::string path_, temp_;
    std::FILE* file_ = nullptr;
    CleanupSlot* slot_ = nullptr;
};

// Writes `bytes` to `path` as an Output does. False with `why` set.
bool write_file(const std::string& path, const std::string& bytes, std::string& why);

// A folder of numbered files a run fills (such as frames): made by this run, or empty before it.
// Until kept, a failure, an abort or a signal removes the files it added and, when this run made
// it, the folder.
class OutputFolder {
public:
    OutputFolder() = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    ~OutputFolder();
    // Takes `dir` for files named by number ("%06lld" then `suffix`), making it when missing. An
    // existing folder must be empty. False with `why` set.
    bool open(const std::string& dir, const std::string& suffix, std::string& why);
    // The path of numbered file `n`; from this call on that file counts as added (n in order from 0).
    std::string add(long long n);
    // Notes a further file of the run in the folder (a fixed name, such as the sound), before it is made.
    void add_named(const std::string& name);
    // Keeps what was written.
    void keep();
    void abort();

private:
    std::string dir_;
    CleanupSlot* slot_ = nullptr;
};

// Says whether the existing folder at `path` is one this tool made (and so may be replaced).
using MadeByTool = std::function<bool(const std::string& path)>;
// A MadeByTool for folders this tool marks with the regular file `name` (such as show.json).
MadeByTool holds_file(const std::string& name);

// An output folder written whole beside its target under a temporary name (NAME.XXXXXX.part/)
// and put in its place only once complete. Until then a failure, an abort or a signal removes the
// temporary folder with everything added to it, and the target stays as it was. An existing
// folder is replaced only when the tool made it; a file, link, device or any other folder there is
// left alone, and so is everything when the run fails.
class FolderOutput {
public:
    FolderOutput() = default;
    FolderOutput(const FolderOutput&) = delete;
    FolderOutput& operator=(const FolderOutput&) = delete;
    ~FolderOutput();
    // Checks `path` (trailing slashes dropped) and makes the temporary folder, registered for
    // cleanup from the moment it exists, with the mode the umask gives. Refused: an empty name,
    // "." or "..", a missing parent folder, anything at `path` but a folder for which `ours`
    // answers true. False with `why` set (one line).
    bool open(const std::string& path, const MadeByTool& ours, std::string& why);
    // The target (as given, without trailing slashes) and the temporary folder, while open.
    const std::string& target() const { return target_; }
    const std::string& temp() const { return temp_; }
    // The path of `name` (relative, no "..") in the temporary folder; from this call on a file
    // there counts as this run's, to be removed with the folder. Call before making it.
    std::string add(const std::string& name);
    // Makes the folder `name` in the temporary folder (add, then mkdir). False with `why` set.
    bool add_folder(const std::string& name, std::string& why);
    // Writes `bytes` as the new file `name` (add, then every write checked). False with `why` set.
    bool write(const std::string& name, const std::string& bytes, std::string& why);
    // Puts the folder in place: exchanged with the tool's own old folder, which is then removed, or
    // renamed to the target when there is none. The target is looked at again first, so that
    // anything put there meanwhile is refused as at open. A signal waits until this is done.
    // False with `why` set (the temporary folder is then removed).
    bool commit(std::string& why);
    // Removes the temporary folder and what was added to it; harmless when nothing is open.
    void abort();

private:
    std::string target_, temp_;
    MadeByTool ours_;
    CleanupSlot* slot_ = nullptr;
};

// A folder for this run's own use (such as a project packed for the show's loader), in the system's
// temporary folder. It and everything added to it are removed when the run ends, fails or is
// stopped by a signal; nothing in it is ever kept.
class ScratchFolder {
public:
    // Makes the folder. False with `why` set.
    bool open(std::string& why);
    // The folder's path, while open.
    const std::string& path() const { return out_.temp(); }
    // Writes `bytes` as the new file `name` in it. False with `why` set.
    bool write(const std::string& name, const std::string& bytes, std::string& why) { return out_.write(name, bytes, why); }
    // Removes it; harmless when nothing is open (the destructor does the same).
    void close() { out_.abort(); }

private:
    FolderOutput out_;
};

}  // namespace tool
