// showslots: scheduled fragment sources get their slot after #version, everything else is copied
// as it is, and failures leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "scratch_dir.h"
#include "timeline/script.h"

namespace {

int run(const std::string& args) { return run_tool(SHOWSLOTS_PATH, args); }

TEST(Showslots, SlotsGoAfterTheVersionLineOfScheduledFragmentsOnly) {
    ScratchDir dir;
    const SceneSlot& last = scene_slots[SCENE_SLOT_COUNT - 1];
    const std::string label = last.label;
    write_file(label + ".fsh", "#version 120\nvoid main(){}\n");
    write_file(label + ".vsh", "#version 120\nvoid main(){}\n");
    write_file("pt07.fsh", "#version 120\nvoid main(){}\n");  // built, never scheduled
    std::filesystem::create_directory("in");
    write_file("in/" + std::string(scene_slots[0].label) + ".fsh", "void main(){}");  // no #version
    ASSERT_EQ(run("-o out " + label + ".fsh " + label + ".vsh pt07.fsh in/" + scene_slots[0].label + ".fsh"), 0);

    char defines[96];
    std::snprintf(defines, sizeof defines, "#define SLOT_START %.3f\n#define SLOT_END %.3f\n#line 1\n", last.start_ms / 1000.0,
                  last.end_ms / 1000.0);
    EXPECT_EQ(read_file("out/" + label + ".fsh"), "#version 120\n" + std::string(defines) + "void main(){}\n");
    EXPECT_EQ(read_file("out/" + label + ".vsh"), "#version 120\nvoid main(){}\n");
    EXPECT_EQ(read_file("out/pt07.fsh"), "#version 120\nvoid main(){}\n");
    std::snprintf(defines, sizeof defines, "#define SLOT_START %.3f\n#define SLOT_END %.3f\n#line 0\n",
                  scene_slots[0].start_ms / 1000.0, scene_slots[0].end_ms / 1000.0);
    EXPECT_EQ(read_file("out/" + std::string(scene_slots[0].label) + ".fsh"), std::string(defines) + "void main(){}");

    ASSERT_EQ(run("--list"), 0);
    EXPECT_EQ(read_file("out.txt").substr(0, 4), scene_slots[0].label);
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
