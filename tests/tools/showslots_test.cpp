// showslots: scheduled fragment sources get their slot after #version, everything else is copied
// as it is, and failures leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/slot_lines.h"
#include "scratch_dir.h"

namespace {

int run(const std::string& args) { return run_tool(SHOWSLOTS_PATH, args); }

TEST(Showslots, SlotsGoAfterTheVersionLineOfScheduledFragmentsOnly) {
    ScratchDir dir;
    // The bundled sheet schedules pt02 last (190 s to the end) and pt05 first; pt07 is built but
    // never scheduled.
    write_file("pt02.fsh", "#version 120\nvoid main(){}\n");
    write_file("pt02.vsh", "#version 120\nvoid main(){}\n");
    write_file("pt07.fsh", "#version 120\nvoid main(){}\n");
    std::filesystem::create_directory("in");
    write_file("in/pt05.fsh", "void main(){}");  // no #version
    write_file("pt03.fsh", "#version 330\nvoid main(){}\n");
    ASSERT_EQ(run("-o out pt02.fsh pt02.vsh pt07.fsh in/pt05.fsh pt03.fsh"), 0) << read_file("err.txt");
    EXPECT_EQ(read_file("out/pt02.fsh"), "#version 120\n#define SLOT_START 190.000\n#define SLOT_END 240.000\n#line 1\nvoid main(){}\n");
    EXPECT_EQ(read_file("out/pt02.vsh"), "#version 120\nvoid main(){}\n");
    EXPECT_EQ(read_file("out/pt07.fsh"), "#version 120\nvoid main(){}\n");
    EXPECT_EQ(read_file("out/pt05.fsh"), "#define SLOT_START 0.000\n#define SLOT_END 48.000\n#line 0\nvoid main(){}");
    // From GLSL 3.30 on, "#line N" names the next line N.
    EXPECT_EQ(read_file("out/pt03.fsh"), "#version 330\n#define SLOT_START 96.000\n#define SLOT_END 124.000\n#line 2\nvoid main(){}\n");

    ASSERT_EQ(run("--list"), 0);
    EXPECT_EQ(read_file("out.txt").substr(0, 16), "pt05 0 48000\npt0");
}

// A scene file holds its source with the slot lines: they come out again exactly, so that the
// preview can give a packed program another slot, and a text without them is left alone.
TEST(Showslots, SlotLinesComeOutOfAPackedSourceExactly) {
    const std::vector<SlotSpan> slots = {{"pt02", 1000, 2500}};
    for (const std::string text : {"#version 120\nuniform float time;\nvoid main(){}\n", "void main(){}\n", "#version 330\nvoid main(){}"}) {
        std::string slotted = slot_lines("pt02.fsh", text, slots);
        ASSERT_NE(slotted, text);
        EXPECT_EQ(without_slot_lines(slotted), text);
        EXPECT_EQ(slot_lines("pt02.fsh", without_slot_lines(slot_lines("pt02.fsh", text, {{"pt02", 5, 9}})), slots), slotted);
        EXPECT_EQ(without_slot_lines(text), text);
    }
    const std::string own = "#version 120\n#define SLOT_START 3.0\nvoid main(){}\n";  // a maker's own define stays
    EXPECT_EQ(without_slot_lines(own), own);
}

TEST(Showslots, FailsClearlyOnBadUse) {
    ScratchDir dir;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(read_file("out.txt").find("Usage: showslots"), std::string::npos);
    EXPECT_NE(run(""), 0);
    EXPECT_NE(run("-o out"), 0);
    EXPECT_NE(run("-o out missing.fsh"), 0);
    EXPECT_NE(read_file("err.txt").find("missing.fsh"), std::string::npos);
    write_file("pt05.fsh", "#version 120\n");
    write_file("blocker", "");
    EXPECT_NE(run("-o blocker pt05.fsh"), 0);  // the output folder is a file
    EXPECT_EQ(read_file("blocker"), "");
    // A source is never rewritten in place, and a folder is not a source.
    EXPECT_NE(run("-o . pt05.fsh"), 0);
    EXPECT_NE(read_file("err.txt").find("inputs"), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(read_file("pt05.fsh"), "#version 120\n");
    std::filesystem::create_directory("folder");
    EXPECT_EQ(run("-o out folder"), 1);
    EXPECT_NE(read_file("err.txt").find("folder is not a regular file"), std::string::npos) << read_file("err.txt");
}

}  // namespace
