// Every authoring tool as a careless or hostile user meets it: bad numbers and unknown words are
// refused in one line before any work, a folder, pipe or device is never taken for a file, a
// failed write (standard output included) fails the run, and a user's files survive success,
// failure and every stopping signal with nothing partial left beside them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
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

}  // namespace
