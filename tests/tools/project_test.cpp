// Show projects as a maker keeps them: packed by oruvane-pack into exactly the show files the build
// made before the build used it, refused with the file and the reason when something is missing
// or wrong (and nothing written), and read by the timeline tool as the project's own sheet.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// The sha256 of each scene file the build made of the bundled show before it packed with
// oruvane-pack (build/show/0.ck ... 19.ck).
const char* const BUNDLED_SCENE_FILES[20] = {
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 0.ck
    "55a69fe176a0f7eeee4916c3e0bd9226d9c24cd2de7aac6337a9c04720fc4b8c",  // 1.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 2.ck
    "d75997afb676798fd839016697d418ae8e19cb0f35e8e60002693b8330f553aa",  // 3.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 4.ck
    "2e0fe4fdf7c3354d0e0b320621bc2bd825c351aa77d758536227198cc43ad75c",  // 5.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 6.ck
    "7737a5c4e7f6f4461bb2325171c6a7a2ad68b9107bceffc32fe0d0273f264fd9",  // 7.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 8.ck
    "72c5a20d6cde73632ee866310591c7b141d1ac6f54abade87cc59cef44ff144d",  // 9.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 10.ck
    "3a2f528f82d5658aab7e15a09307f7aedac7865448a8ec469d6ea523ba8e32b3",  // 11.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 12.ck
    "4b6ed4c124a07ec2b2a1692c292bbb8ed5665aee8b9ca4e34d6988dd3d396f6e",  // 13.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 14.ck
    "166ce76ed5af8b5a4ca1967bece49f0321beadb6f5fd5bdb67605b5bc2d00492",  // 15.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 16.ck
    "87ba55469b7c6e2e3b906c6d10a62f14163964e83aee0dda1fc2b2a203b2bf7a",  // 17.ck
    "b4a659bec2773c5732d674c521324ec251caf69a5436f7f2ee1ec965c5bed21b",  // 18.ck
    "b92e60acd5cfcc08cbbde296096531458207029f04369ca1fd1504652312cac0",  // 19.ck
};

std::string sha256(const std::string& path) {
    std::string out;
    if (FILE* p = popen(("sha256sum '" + path + "'").c_str(), "r")) {
        char buf[128] = {};
        if (std::fgets(buf, sizeof buf, p)) out = std::string(buf).substr(0, 64);
        pclose(p);
    }
    return out;
}

int pack(const std::string& args) { return run_tool(PACK_PATH, args); }

// A copy of the bundled show's project in "proj", with the sheet's line `line` replaced by `with`.
void copy_project(const std::string& line = "", const std::string& with = "") {
    fs::copy(SHOW_SOURCE_DIR, "proj", fs::copy_options::recursive);
    fs::remove("proj/CMakeLists.txt");
    fs::remove("proj/README.md");
    if (line.empty()) return;
    std::string sheet = read_file("proj/show.cues");
    size_t at = sheet.find("\n" + line + "\n");
    ASSERT_NE(at, std::string::npos) << line;
    sheet.replace(at + 1, line.size(), with);
    write_file("proj/show.cues", sheet);
}

TEST(ProjectPack, TheBundledShowPacksToTheSceneFilesTheBuildMadeBefore) {
    ScratchDir dir;
    ASSERT_EQ(pack(std::string(SHOW_SOURCE_DIR) + " out"), 0) << read_file("err.txt");
    for (int i = 0; i < 20; ++i) EXPECT_EQ(sha256("out/" + std::to_string(i) + ".ck"), BUNDLED_SCENE_FILES[i]) << i << ".ck";
    // The repository holds neither of the files the build makes for it: said, and left out.
    std::string err = read_file("err.txt");
    EXPECT_NE(err.find("logo.png"), std::string::npos) << err;
    EXPECT_NE(err.find("music.ogg"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists("out/bitmap.png") || fs::exists("out/vae5.wav"));
}

TEST(ProjectPack, TheLogoAndMusicTheSheetNamesGoUnderTheShowsNamesAndARepackReplacesItsOwnFolder) {
    ScratchDir dir;
    copy_project();
    write_file("proj/logo.png", "the maker's logo");
    write_file("proj/music.ogg", "the maker's music");
    ASSERT_EQ(pack("proj out/"), 0) << read_file("err.txt");
    EXPECT_EQ(read_file("out/bitmap.png"), "the maker's logo");
    EXPECT_EQ(read_file("out/vae5.wav"), "the maker's music");
    EXPECT_EQ(read_file("err.txt"), "");
    // Packed again without the music: the folder is the new pack alone.
    fs::remove("proj/music.ogg");
    ASSERT_EQ(pack("proj out"), 0) << read_file("err.txt");
    EXPECT_FALSE(fs::exists("out/vae5.wav"));
    EXPECT_NE(read_file("err.txt").find("proj/music.ogg"), std::string::npos) << read_file("err.txt");
    EXPECT_NE(read_file("err.txt").find("runs silent"), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 4) << "nothing left beside it";
}

TEST(ProjectPack, AMistakeIsRefusedWithItsFileAndNothingIsWritten) {
    ScratchDir dir;
    copy_project("length 240.000", "length 5");
    EXPECT_EQ(pack("proj out"), 1);
    EXPECT_EQ(read_file("err.txt"), "proj/show.cues:7: the length is from 10.000 to 1800.000 seconds\n");
    EXPECT_FALSE(fs::exists("out"));
    fs::remove_all("proj");

    copy_project();
    fs::remove("proj/pt03.fsh");
    EXPECT_EQ(pack("proj out"), 1);
    EXPECT_NE(read_file("err.txt").find("proj/pt03.fsh: missing"), std::string::npos) << read_file("err.txt");
    EXPECT_FALSE(fs::exists("out"));

    // A folder of the user's is never replaced; a packed folder is no project.
    write_file("proj/pt03.fsh", "void main(){}\n");
    fs::create_directory("mine");
    write_file("mine/notes.txt", "keep");
    EXPECT_EQ(pack("proj mine"), 1);
    EXPECT_EQ(read_file("mine/notes.txt"), "keep");
    ASSERT_EQ(pack("proj out"), 0) << read_file("err.txt");
    EXPECT_EQ(pack("out again"), 1);
    EXPECT_NE(read_file("err.txt").find("not a show project"), std::string::npos) << read_file("err.txt");
    EXPECT_FALSE(fs::exists("again"));
}

TEST(ProjectTools, TheTimelineToolFollowsTheProjectsSheet) {
    ScratchDir dir;
    copy_project("scene 96.000 pt03", "scene 100.000 pt03");
    ASSERT_EQ(run_tool(TIMELINE_PATH, "proj at 97"), 0) << read_file("err.txt");
    EXPECT_NE(read_file("out.txt").find("scene pt06\n"), std::string::npos) << read_file("out.txt");
    ASSERT_EQ(run_tool(TIMELINE_PATH, "proj at 101"), 0) << read_file("err.txt");
    EXPECT_NE(read_file("out.txt").find("scene pt03\n"), std::string::npos) << read_file("out.txt");
    EXPECT_EQ(run_tool(TIMELINE_PATH, "proj at 300"), 2) << "past the project's length";
}

}  // namespace
