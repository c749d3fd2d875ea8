// ckpack: the packing tool against the show's reader, and its command-line errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "load/scene_file.h"
#include "scratch_dir.h"

namespace {

int run(const std::string& args) { return run_tool(CKPACK_PATH, args); }

TEST(Ckpack, PackedFilesReadBackInOrderAndUnpackToTheSources) {
    ScratchDir dir;
    std::string a = "#version 120\nvoid main(){gl_Position=gl_Vertex;}\n";
    std::string b = std::string(200, 'q') + "\n";
    write_file("a.vsh", a);
    write_file("b.fsh", b);
    std::filesystem::create_directory("out");
    ASSERT_EQ(run("pack -o out --first 4 a.vsh b.fsh"), 0);
    EXPECT_TRUE(std::filesystem::exists("out/4.ck"));
    EXPECT_EQ(std::filesystem::file_size("out/5.ck"), b.size() + 1);

    std::filesystem::current_path("out");
    scene_file_counter = 4;
    std::unique_ptr<char, decltype(&free)> ta(read_scene_file("a"), &free), tb(read_scene_file("b"), &free);
    ASSERT_TRUE(ta && tb);
    EXPECT_EQ(std::string(ta.get()), a);
    EXPECT_EQ(std::string(tb.get()), b);

    ASSERT_EQ(run("unpack 4.ck"), 0);
    EXPECT_EQ(read_file("out.txt"), a);
    ASSERT_EQ(run("unpack -o . 4.ck 5.ck"), 0);
    EXPECT_EQ(read_file("4.txt"), a);
    EXPECT_EQ(read_file("5.txt"), b);
    // Several files without -o: each to <name>.txt in the current folder, nothing on the output.
    std::filesystem::remove("4.txt");
    std::filesystem::remove("5.txt");
    ASSERT_EQ(run("unpack 4.ck 5.ck"), 0);
    EXPECT_EQ(read_file("out.txt"), "");
    EXPECT_EQ(read_file("4.txt"), a);
    EXPECT_EQ(read_file("5.txt"), b);
    std::filesystem::current_path(dir.path);
}

TEST(Ckpack, FailsClearlyOnBadUse) {
    ScratchDir dir;
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(read_file("out.txt").find("ckpack pack [-o DIR]"), std::string::npos);
    EXPECT_NE(run(""), 0);
    EXPECT_NE(run("shuffle x"), 0);
    EXPECT_NE(run("pack"), 0);
    EXPECT_NE(run("pack --first -3 x"), 0);
    EXPECT_NE(run("pack missing.vsh"), 0);
    EXPECT_NE(read_file("err.txt").find("missing.vsh"), std::string::npos);
    EXPECT_NE(run("pack -o no/such/dir ckpack_dummy"), 0);
    write_file("z.fsh", std::string("a\0b", 3));
    EXPECT_NE(run("pack z.fsh"), 0);
    EXPECT_NE(read_file("err.txt").find("zero byte"), std::string::npos);
    EXPECT_NE(run("unpack missing.ck"), 0);
}

}  // namespace
