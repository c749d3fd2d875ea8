// The toolkit every tool writes through, driven directly: a range takes its own ends, a new file
// gets the mode the umask gives, and whatever a run has open when a signal comes (any number of
// files, a folder being filled, one being swapped in) is gone afterwards, the user's files kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/toolkit.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// Names in `folder`, recursively, relative to it.
std::set<std::string> tree(const std::string& folder = ".") {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string() + (e.is_directory() ? "/" : ""));
    return names;
}

// Runs `body` in a child process (with umask `mask` when given) that has the toolkit's signal
// handling; returns its exit status (-1 when it did not exit normally).
template <class F>
int in_child(F body, int mask = -1) {
    pid_t pid = fork();
    if (pid == 0) {
        if (mask >= 0) umask((mode_t)mask);
        tool::init("toolkit-test");
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

mode_t mode_of(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(ToolkitArguments, ARangeTakesBothOfItsOwnEndsAndNothingBeyond) {
    CLI::Validator seconds = tool::finite(0.0, 240.0, "s");
    for (std::string ok : {"0", "0.0", "-0", "240", "240.000", "2.4e2", "0.001"}) EXPECT_EQ(seconds(ok), "") << ok;
    for (std::string bad : {"-0.001", "240.001", "-1e-300", "1e999", "nan", "inf", "", "1 ", "0x", "1e"}) {
        std::string text = bad;
        EXPECT_NE(seconds(text), "") << "'" << bad << "'";
    }
    CLI::Validator step = tool::finite(0.001, 60.0);
    std::string lowest = "0.001";
    EXPECT_EQ(step(lowest), "");
    std::string zero = "0";
    EXPECT_NE(step(zero).find("from 0.001 to 60"), std::string::npos) << step(zero);
}

TEST(ToolkitOutputs, ANewFileGetsTheUmasksModeAndAReplacedFileKeepsItsOwn) {
    ScratchDir dir;
    for (mode_t mask : {022, 077, 002, 027}) {
        SCOPED_TRACE(mask);
        EXPECT_EQ(in_child([mask] {
                      std::string why;
                      if (!tool::write_file("new.txt", "x", why)) _exit(10);
                      _exit(0);
                  }, mask),
                  0);
        EXPECT_EQ(mode_of("new.txt"), 0666 & ~mask);
        fs::remove("new.txt");
    }
    write_file("old.txt", "the user's");
    chmod("old.txt", 0604);
    EXPECT_EQ(in_child([] {
                  std::string why;
                  _exit(tool::write_file("old.txt", "new", why) ? 0 : 10);
              }, 077),
              0);
    EXPECT_EQ(read_file("old.txt"), "new");
    EXPECT_EQ(mode_of("old.txt"), 0604u);
}

TEST(ToolkitSignals, EveryFileOfARunWithManyOpenIsRemovedAndTheOldOnesKept) {
    ScratchDir dir;
    for (int i = 0; i < 40; i += 2) write_file("f" + std::to_string(i), "old " + std::to_string(i));
    std::set<std::string> before = tree();
    // Forty outputs open at once (a pack of twenty scene files and their sources would do), then a signal.
    EXPECT_EQ(in_child([] {
                  std::vector<std::unique_ptr<tool::Output>> outs;
                  for (int i = 0; i < 40; ++i) {
                      std::string why;
                      outs.push_back(std::make_unique<tool::Output>());
                      if (!outs.back()->open("f" + std::to_string(i), why)) _exit(10);
                      std::fputs("new", outs.back()->file());
                  }
                  raise(SIGTERM);
                  _exit(11);
              }),
              128 + SIGTERM);
    EXPECT_EQ(tree(), before);
    for (int i = 0; i < 40; i += 2) EXPECT_EQ(read_file("f" + std::to_string(i)), "old " + std::to_string(i));
}

TEST(ToolkitSignals, ARunStoppedAtAnyMomentOfMakingItsFilesLeavesNoneBehind) {
    ScratchDir dir;
    write_file("keep", "the user's");
    // Outputs made and dropped as fast as they go, stopped after a different short while each
    // time: sooner or later the signal comes between a temporary file's creation and its
    // registration, if there is such a moment.
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        if (pid == 0) {
            tool::init("toolkit-test");
            if (write(ready[1], "", 1) != 1) _exit(12);
            for (;;) {
                tool::Output out;
                std::string why;
                if (!out.open("keep", why)) _exit(10);
            }
        }
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        close(ready[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
        ASSERT_EQ(tree(), std::set<std::string>{"keep"}) << "round " << round;
    }
    EXPECT_EQ(read_file("keep"), "the user's");
}

// A child that writes the folder output `target` (marked with made.txt) holding a.txt and
// sub/b.txt, and exits 0 once it is in place, else 10 with the reason on standard error.
int write_folder(const std::string& target) {
    return in_child([target] {
        tool::FolderOutput out;
        std::string why;
        bool ok = out.open(target, tool::holds_file("made.txt"), why) && out.write("made.txt", "", why) &&
                  out.write("a.txt", "new a", why) && out.add_folder("sub", why) && out.write("sub/b.txt", "new b", why) &&
                  out.commit(why);
        if (!ok) std::fprintf(stderr, "%s\n", why.c_str());
        _exit(ok ? 0 : 10);
    });
}

TEST(ToolkitFolders, AFolderIsPutInPlaceWholeAndReplacesOnlyOneTheToolMade) {
    ScratchDir dir;
    mode_t mask = umask(022);
    umask(mask);
    // New: made whole, with the usual mode, nothing beside it.
    ASSERT_EQ(write_folder("out"), 0);
    EXPECT_EQ(tree(), (std::set<std::string>{"out/", "out/made.txt", "out/a.txt", "out/sub/", "out/sub/b.txt"}));
    EXPECT_EQ(mode_of("out"), 0777 & ~mask);
    EXPECT_EQ(read_file("out/sub/b.txt"), "new b");
    // Its own, named with a trailing slash: replaced whole, the old files gone with the old folder.
    write_file("out/stale.txt", "from the last run");
    ASSERT_EQ(write_folder("out//"), 0);
    EXPECT_EQ(tree(), (std::set<std::string>{"out/", "out/made.txt", "out/a.txt", "out/sub/", "out/sub/b.txt"}));

    // Anything else at the name is left as it is, and nothing is left beside it.
    fs::create_directory("mine");
    write_file("mine/notes.txt", "the user's");
    write_file("file", "the user's");
    fs::create_directory_symlink("out", "link");
    std::set<std::string> before = tree();
    for (std::string target : {"mine", "mine/", "file", "link", "", "/", ".", "..", "out/..", "no-such-folder/out"}) {
        SCOPED_TRACE("'" + target + "'");
        EXPECT_EQ(write_folder(target), 10);
        EXPECT_EQ(tree(), before);
    }
    EXPECT_EQ(read_file("mine/notes.txt"), "the user's");
}

TEST(ToolkitFolders, WhatComesToTheNameMeanwhileIsLookedAtAgainBeforeTheSwap) {
    ScratchDir dir;
    int status = in_child([] {
        tool::FolderOutput out;
        std::string why;
        if (!out.open("out", tool::holds_file("made.txt"), why) || !out.write("made.txt", "", why)) _exit(10);
        // A folder of the user's appears at the name while the run works.
        fs::create_directory("out");
        write_file("out/notes.txt", "the user's");
        if (out.commit(why)) _exit(11);
        _exit(why.find("was not made by toolkit-test") != std::string::npos ? 0 : 12);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tree(), (std::set<std::string>{"out/", "out/notes.txt"}));
}

TEST(ToolkitSignals, FoldersBeingFilledGoWithEverythingAddedAndTheOldOneStays) {
    ScratchDir dir;
    ASSERT_EQ(write_folder("out"), 0);
    std::set<std::string> before = tree();
    EXPECT_EQ(in_child([] {
                  tool::FolderOutput out;
                  std::string why;
                  if (!out.open("out", tool::holds_file("made.txt"), why)) _exit(10);
                  for (int i = 0; i < 30; ++i)
                      if (!out.write(std::to_string(i) + ".ck", "x", why)) _exit(11);
                  if (!out.add_folder("sub", why) || !out.write("sub/deep.txt", "x", why)) _exit(12);
                  // And a folder of numbered frames with more named files than a fixed table held.
                  tool::OutputFolder frames;
                  if (!frames.open("frames", ".png", why)) _exit(13);
                  for (int i = 0; i < 3; ++i) write_file(frames.add(i), "frame");
                  for (int i = 0; i < 8; ++i) {
                      std::string name = "extra" + std::to_string(i);
                      frames.add_named(name);
                      write_file("frames/" + name, "x");
                  }
                  raise(SIGHUP);
                  _exit(14);
              }),
              128 + SIGHUP);
    EXPECT_EQ(tree(), before);
    EXPECT_EQ(read_file("out/a.txt"), "new a");
}

}  // namespace
