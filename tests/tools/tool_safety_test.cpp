// Every authoring tool as a careless or hostile user meets it: bad numbers and unknown words are
// refused in one line before any work, a folder, pipe or device is never taken for a file, a
// failed write (standard output included) fails the run, and a user's files survive success,
// failure and every stopping signal with nothing partial left beside them; the web packer's
// folder is put in place whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "process.h"
#include "scratch_dir.h"
#include "show_files.h"

namespace fs = std::filesystem;

namespace {

// Files in the current folder, by name.
std::set<std::string> listing() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) names.insert(e.path().filename().string());
    return names;
}

// Runs `tool args`, expecting a usage failure: status 2 and one line "TOOL: ..." naming `names`.
void expect_refused(const std::string& tool, const std::string& args, const std::string& names) {
    SCOPED_TRACE(tool + " " + args);
    std::string name = fs::path(tool).filename().string();
    EXPECT_EQ(run_tool("timeout 20 " + tool, args), 2);
    std::string err = read_file("err.txt");
    EXPECT_EQ(err.rfind(name + ": ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(names), std::string::npos) << err;
}

TEST(ToolArguments, NanInfinitiesOverflowAndReversedRangesAreRefusedBeforeAnyWork) {
    ScratchDir dir;
    for (const char* step : {"nan", "inf", "-inf", "1e999", "0", "-1", "0.0001", "10x"})
        expect_refused(TIMELINE_PATH, std::string("csv --step ") + step, "--step");
    for (const char* t : {"nan", "-0.5", "241", "1e400"}) expect_refused(TIMELINE_PATH, std::string("at ") + t, "SEC");
    expect_refused(TIMELINE_PATH, "plot --width 0", "--width");
    expect_refused(PREVIEW_PATH, "--at nan", "--at");
    expect_refused(PREVIEW_PATH, "--loop 5 inf", "--loop");
    expect_refused(PREVIEW_PATH, "--loop 9 3", "--loop");
    for (const char* args : {"--from nan", "--to inf", "--from -1", "--from 5 --to 2", "--fps 1e3", "--fps 0", "--crf 99"})
        expect_refused(CAPTURE_PATH, args, std::string(args).substr(0, 4));
    expect_refused(CKPACK_PATH, "pack --first 99999999999999999999 x", "--first");
    EXPECT_TRUE(listing().count("timeline.png") == 0 && listing().count("show.mp4") == 0);
    // A range's own ends are in it: the run gets past the numbers to what comes next.
    expect_refused(CAPTURE_PATH, "--from 0 --to 240 --dir no-such-show", "--dir no-such-show is not a folder");
    for (const char* t : {"0", "240"}) EXPECT_EQ(run_tool(TIMELINE_PATH, std::string("at ") + t), 0) << read_file("err.txt");
}

TEST(ToolArguments, UnknownSubcommandsAndOptionsAreNamed) {
    ScratchDir dir;
    expect_refused(TIMELINE_PATH, "frobnicate", "'frobnicate': use one of at, csv, plot");
    expect_refused(CKPACK_PATH, "shuffle x", "'shuffle'");
    for (std::string tool : {TIMELINE_PATH, CKPACK_PATH, SHOWSLOTS_PATH, MKLOGO_PATH, MKMUSIC_PATH, CAPTURE_PATH,
                                    CHECK_PATH, PREVIEW_PATH}) {
        expect_refused(tool, "--no-such-option", "--no-such-option");
        // Every --help states the one rule for outputs.
        EXPECT_EQ(run_tool(tool, "--help"), 0) << tool;
        EXPECT_NE(read_file("out.txt").find("never truncated first"), std::string::npos) << tool;
    }
}

TEST(ToolPaths, AFolderPipeOrDeviceIsNeverTakenForAFile) {
    ScratchDir dir;
    fs::create_directory("folder");
    ASSERT_EQ(mkfifo("pipe", 0644), 0);
    write_file("a.fsh", "void main(){}\n");
    // Outputs: refused before any work, and the folder stays as it was.
    for (std::string out : {"folder", "pipe", "/dev/null"}) {
        SCOPED_TRACE(out);
        EXPECT_EQ(run_tool("timeout 20 " MKMUSIC_PATH, out), 1);
        EXPECT_NE(read_file("err.txt").find(out), std::string::npos) << read_file("err.txt");
        EXPECT_EQ(run_tool("timeout 20 " MKLOGO_PATH, out), 1);
        EXPECT_EQ(run_tool("timeout 20 " TIMELINE_PATH, "plot --out " + out), 1);
    }
    EXPECT_TRUE(fs::is_empty("folder"));
    // Inputs: a pipe or a folder is refused at once, never waited on.
    for (const char* in : {"pipe", "folder"}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(run_tool("timeout 20 " CKPACK_PATH, std::string("pack -o folder ") + in), 1);
        EXPECT_NE(read_file("err.txt").find(std::string(in) + " is not a regular file"), std::string::npos) << read_file("err.txt");
        EXPECT_EQ(run_tool("timeout 20 " SHOWSLOTS_PATH, std::string("-o folder a.fsh ") + in), 1);
    }
    EXPECT_TRUE(fs::is_empty("folder")) << "nothing is written when one input fails";
    // An output that would replace one of the run's own inputs.
    EXPECT_EQ(run_tool(SHOWSLOTS_PATH, "-o . a.fsh"), 1);
    EXPECT_EQ(read_file("a.fsh"), "void main(){}\n");
}

TEST(ToolOutput, AFailedWriteToStandardOutputFailsTheRun) {
    ScratchDir dir;
    write_scene_file(0, "text\n");
    for (const std::string& cmd : {std::string(TIMELINE_PATH) + " at 10", std::string(TIMELINE_PATH) + " csv --step 1",
                                   std::string(SHOWSLOTS_PATH) + " --list", std::string(CKPACK_PATH) + " unpack 0.ck",
                                   std::string(TIMELINE_PATH) + " --help"}) {
        SCOPED_TRACE(cmd);
        int status = std::system((cmd + " >/dev/full 2>err.txt").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
        EXPECT_NE(read_file("err.txt").find("cannot write standard output"), std::string::npos) << read_file("err.txt");
    }
}

TEST(ToolOutput, AnExistingFileIsReplacedOnlyWhenTheNewOneIsComplete) {
    ScratchDir dir;
    write_file("music.wav", "the user's own bytes");
    chmod("music.wav", 0600);
    // Stopped by each signal while it renders: the old file, nothing beside it, 128 + the signal.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(sig);
        Spawn s;
        s.args = {"music.wav"};
        pid_t pid = spawn(MKMUSIC_PATH, s);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(pid, sig);
        EXPECT_EQ(wait_exit(pid, 60), 128 + sig);
        EXPECT_EQ(read_file("music.wav"), "the user's own bytes");
        EXPECT_EQ(listing(), std::set<std::string>{"music.wav"});
    }
    // Completed: replaced whole, keeping the file's permissions, nothing beside it.
    ASSERT_EQ(run_tool(MKMUSIC_PATH, "music.wav"), 0) << read_file("err.txt");
    EXPECT_GT(fs::file_size("music.wav"), 44u * 1000);
    EXPECT_EQ(fs::status("music.wav").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(listing(), (std::set<std::string>{"music.wav", "out.txt", "err.txt"}));
}

TEST(ToolOutput, AFullDiskFailsTheRunAndKeepsTheOldFile) {
    ScratchDir dir;
    write_file("bitmap.png", "the user's own logo");
    write_file("music.wav", "the user's own music");
    // A file size limit stands in for a full disk: a write past it fails as one with no space
    // left does (the signal it would also raise is ignored, as a tool would not see one).
    for (const std::string& cmd : {std::string(MKLOGO_PATH) + " bitmap.png", std::string(MKMUSIC_PATH) + " music.wav",
                                   std::string(TIMELINE_PATH) + " plot --out bitmap.png"}) {
        SCOPED_TRACE(cmd);
        int status = std::system(("trap '' XFSZ; ulimit -f 8; exec " + cmd + " 2>err.txt").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_NE(read_file("err.txt").find("cannot write"), std::string::npos) << read_file("err.txt");
        EXPECT_EQ(read_file("bitmap.png"), "the user's own logo");
        EXPECT_EQ(read_file("music.wav"), "the user's own music");
        EXPECT_EQ(listing(), (std::set<std::string>{"bitmap.png", "music.wav", "err.txt"}));
    }
}

// Names in `folder`.
std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A show folder `name` for the web packer: the twenty scene files of programs that do nothing, and
// a logo and music it copies as they are.
void write_packable_show(const std::string& name) {
    fs::create_directories(name);
    fs::current_path(name);
    write_show(std::vector<std::string>(10, "void main(){}\n"), std::vector<std::string>(10, "void main(){}\n"));
    write_file("bitmap.png", "logo bytes");
    write_file("vae5.wav", "music bytes");
    fs::current_path("..");
}

// A stand-in for the GLSL ES validator (which only the browser build installs) that takes every
// shader, after `first` (shell), and notes the file it was given in validated.txt (unless not `noted`).
std::string write_validator(const std::string& name, const std::string& first = "", bool noted = true) {
    std::string log = (fs::current_path() / "validated.txt").string();
    write_file(name, "#!/bin/sh\n" + first + "\n" + (noted ? "echo \"$1\" >> '" + log + "'\n" : ""));
    fs::permissions(name, fs::perms::owner_all);
    return (fs::current_path() / name).string();
}

// oruvane-webshow with `validator` on the show folder "show", writing `out`.
int webshow(const std::string& validator, const std::string& out) {
    return run_tool("timeout 20 " WEBSHOW_PATH, "--validator '" + validator + "' show '" + out + "'");
}

TEST(WebShowFiles, TheFolderIsReplacedWholeOnlyWhenItsOwnAndNothingIsLeftBeside) {
    ScratchDir dir;
    write_packable_show("show");
    std::string accept = write_validator("accept.sh");
    // The user's own files at the names the packer once kept its work under.
    fs::create_directories("dist/show.part");
    write_file("dist/show.part/notes.txt", "the user's");
    write_file("dist/show.old", "the user's");
    for (const char* out : {"dist/show/", "dist/show/", "dist/show"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(webshow(accept, out), 0) << read_file("err.txt");
        EXPECT_EQ(names_in("dist"), (std::set<std::string>{"show", "show.part", "show.old"}));
        EXPECT_EQ(names_in("dist/show").size(), 23u) << "the twenty scene files, the logo, the music and the list";
        EXPECT_EQ(read_file("dist/show/vae5.wav"), "music bytes");
    }
    EXPECT_EQ(read_file("dist/show.part/notes.txt"), "the user's");
    EXPECT_EQ(read_file("dist/show.old"), "the user's");
    // The validator is handed each shader inside the folder being written, never elsewhere.
    std::ifstream validated("validated.txt");
    int shaders = 0;
    for (std::string line; std::getline(validated, line); ++shaders)
        EXPECT_EQ(line.rfind("dist/show.", 0), 0u) << line;
    EXPECT_EQ(shaders, 3 * 20);

    // An empty name is refused; what stands at ".old" and ".part" is the user's.
    fs::create_directory(".part");
    write_file(".old", "the user's");
    EXPECT_EQ(webshow(accept, ""), 1);
    EXPECT_NE(read_file("err.txt").find("needs a name"), std::string::npos) << read_file("err.txt");
    EXPECT_TRUE(fs::is_directory(".part"));
    EXPECT_EQ(read_file(".old"), "the user's");
}

TEST(WebShowFiles, AFolderOrPipeWhereAShowFileGoesIsNamedAndNeverWaitedOn) {
    ScratchDir dir;
    write_packable_show("show");
    std::string accept = write_validator("accept.sh");
    fs::remove("show/7.ck");
    ASSERT_EQ(mkfifo("show/7.ck", 0644), 0);
    EXPECT_EQ(webshow(accept, "out"), 1);
    EXPECT_NE(read_file("err.txt").find("show/7.ck: pt04.fsh cannot be read: show/7.ck is not a regular file"), std::string::npos)
        << read_file("err.txt");
    fs::remove("show/7.ck");
    fs::create_directory("show/7.ck");
    EXPECT_EQ(webshow(accept, "out"), 1);
    EXPECT_NE(read_file("err.txt").find("show/7.ck is not a regular file"), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(names_in("."), (std::set<std::string>{"show", "accept.sh", "out.txt", "err.txt"})) << "stopped before any shader is checked";

    // The logo and the music are left out when they are not files, as the show leaves them, and said so.
    fs::remove("show/7.ck");
    write_packable_show("show");
    fs::remove("show/vae5.wav");
    fs::create_directory("show/vae5.wav");
    fs::remove("show/bitmap.png");
    ASSERT_EQ(mkfifo("show/bitmap.png", 0644), 0);
    EXPECT_EQ(webshow(accept, "out"), 0) << read_file("err.txt");
    EXPECT_NE(read_file("err.txt").find("show/vae5.wav is not a regular file; the show runs without it"), std::string::npos)
        << read_file("err.txt");
    EXPECT_NE(read_file("err.txt").find("show/bitmap.png is not a regular file"), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(names_in("out").size(), 21u);
    EXPECT_EQ(read_file("out/show.json").find("vae5.wav"), std::string::npos);
}

TEST(WebShowFiles, AListThatCannotBeWrittenKeepsTheOldFolder) {
    ScratchDir dir;
    write_packable_show("show");
    std::string accept = write_validator("accept.sh", "", false);
    ASSERT_EQ(webshow(accept, "out"), 0) << read_file("err.txt");
    size_t biggest = 0;
    for (const std::string& name : names_in("out"))
        if (name != "show.json") biggest = std::max<size_t>(biggest, fs::file_size("out/" + name));
    size_t list = fs::file_size("out/show.json");
    ASSERT_GT(list, biggest + 2) << "the list must be the largest file here";
    write_file("out/from-the-last-run", "");
    // A file size limit between the largest show file and the list: only the list's write fails.
    std::string limit = std::to_string((biggest + list) / 2);
    int status = std::system(("trap '' XFSZ; exec prlimit --fsize=" + limit + " " WEBSHOW_PATH " --validator '" + accept +
                              "' show out 2>err.txt >/dev/null")
                                 .c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(read_file("err.txt").find("cannot write out/show.json"), std::string::npos) << read_file("err.txt");
    EXPECT_TRUE(fs::exists("out/from-the-last-run")) << "the old folder stays";
    EXPECT_EQ(names_in("."), (std::set<std::string>{"show", "out", "accept.sh", "out.txt", "err.txt"}));
}

TEST(WebShowFiles, EverySignalLeavesTheOldFolderAndNothingElse) {
    ScratchDir dir;
    write_packable_show("show");
    ASSERT_EQ(webshow(write_validator("accept.sh"), "out"), 0) << read_file("err.txt");
    std::string slow = write_validator("slow.sh", "sleep 0.1");
    std::set<std::string> before = names_in("."), old = names_in("out");
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(sig);
        fs::remove("validated.txt");
        Spawn s;
        s.args = {"--validator", slow, "show", "out"};
        pid_t pid = spawn(WEBSHOW_PATH, s);
        // Stopped while it validates its third shader.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::count_if(std::istreambuf_iterator<char>(*std::make_unique<std::ifstream>("validated.txt")),
                             std::istreambuf_iterator<char>(), [](char c) { return c == '\n'; }) < 2 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        kill(pid, sig);
        EXPECT_EQ(wait_exit(pid, 30), 128 + sig);
        // Its scratch files went with it, wherever they were.
        std::string first = read_file("validated.txt").substr(0, read_file("validated.txt").find('\n'));
        ASSERT_FALSE(first.empty());
        EXPECT_FALSE(fs::exists(fs::path(first).parent_path())) << first;
        EXPECT_EQ(names_in("."), before);
        EXPECT_EQ(names_in("out"), old);
    }
}

TEST(CueSheetFiles, AFolderOrPipeForTheSheetAndAnEmptyFolderNameAreRefused) {
    ScratchDir dir;
    fs::create_directory("folder");
    ASSERT_EQ(mkfifo("pipe", 0644), 0);
    for (const char* in : {"folder", "pipe"}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(run_tool("timeout 20 " CUESHEET_PATH, std::string(in) + " ."), 1);
        EXPECT_EQ(read_file("err.txt"), "cuesheet: " + std::string(in) + " is not a regular file\n");
    }
    EXPECT_EQ(run_tool(CUESHEET_PATH, SHOW_SOURCE_DIR "/show.cues ''"), 2);
    EXPECT_NE(read_file("err.txt").find("OUT_DIR needs a folder name"), std::string::npos) << read_file("err.txt");
    EXPECT_FALSE(fs::exists("/show_sheet.h"));
    // An output that is a folder: refused before either file is written.
    fs::create_directories("out/show_sheet.cpp");
    EXPECT_EQ(run_tool(CUESHEET_PATH, SHOW_SOURCE_DIR "/show.cues out"), 1);
    EXPECT_EQ(names_in("out"), std::set<std::string>{"show_sheet.cpp"});
}

TEST(CueSheetFiles, OnlyAFileWhoseTextChangedIsWrittenAndThenWhole) {
    ScratchDir dir;
    std::string sheet = read_file(SHOW_SOURCE_DIR "/show.cues");
    write_file("show.cues", sheet);
    ASSERT_EQ(run_tool(CUESHEET_PATH, "show.cues ."), 0) << read_file("err.txt");
    auto inode = [](const char* name) {
        struct stat st {};
        stat(name, &st);
        return st.st_ino;
    };
    ino_t header = inode("show_sheet.h"), source = inode("show_sheet.cpp"), table = inode("show_table_data.inc"),
          empty = inode("show_table_empty.inc");
    ASSERT_EQ(run_tool(CUESHEET_PATH, "show.cues ."), 0) << read_file("err.txt");
    EXPECT_EQ(inode("show_sheet.h"), header);
    EXPECT_EQ(inode("show_sheet.cpp"), source);
    EXPECT_EQ(inode("show_table_data.inc"), table);
    // A changed value changes the table only: the tools' files and the engine's table stay as they were.
    size_t at = sheet.find("set 0.000 gamma 1\n");
    ASSERT_NE(at, std::string::npos);
    write_file("show.cues", sheet.replace(at, 17, "set 0.000 gamma 0.5"));
    ASSERT_EQ(run_tool(CUESHEET_PATH, "show.cues ."), 0) << read_file("err.txt");
    EXPECT_EQ(inode("show_sheet.h"), header);
    EXPECT_EQ(inode("show_sheet.cpp"), source);
    EXPECT_EQ(inode("show_table_empty.inc"), empty);
    EXPECT_NE(inode("show_table_data.inc"), table);
    EXPECT_NE(read_file("show_table_data.inc").find("0x1p-1f"), std::string::npos);
    EXPECT_EQ(names_in("."), (std::set<std::string>{"show.cues", "show_sheet.h", "show_sheet.cpp", "show_table_data.inc",
                                                     "show_table_empty.inc", "out.txt", "err.txt"}));
}

}  // namespace
