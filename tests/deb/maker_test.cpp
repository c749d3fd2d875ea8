// A maker's loop with the installed package alone: unpacked with dpkg -x, run with a PATH that
// holds no C or C++ compiler, oruvane-new starts a project that checks, follows its own sheet in
// the timeline tool, records as a video of its own scenes, and is edited and saved in the preview
// without any other file of it changing.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "probe_show.h"
#include "template/template_colours.h"
#include "video_decode.h"

namespace {

namespace fs = std::filesystem;

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

// Every file of a folder by name, with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = read_file(e.path().string());
    return out;
}

class MakerLoop : public ::testing::Test {
protected:
    ScratchDir dir;
    fs::path root = dir.path / "root";
    std::string path;  // the PATH the tools run with: the package's bin/ alone
    void SetUp() override {
        ASSERT_EQ(run_tool("dpkg", "-x " + std::string(ORUVANE_DEB) + " " + root.string()), 0) << read_file("err.txt");
        path = (root / "usr/bin").string();
        for (const char* compiler : {"cc", "c++", "gcc", "g++", "clang", "clang++"})
            ASSERT_NE(std::system(("PATH='" + path + "' command -v " + compiler + " >/dev/null").c_str()) % 255, 0) << compiler;
    }
    // Runs an installed tool by its name, with the package's PATH only.
    int tool(const std::string& name, const std::string& args) { return run_tool("env PATH='" + path + "' " + name, args); }
};

TEST_F(MakerLoop, ANewProjectChecksFollowsItsSheetAndRecordsItsOwnScenes) {
    ASSERT_EQ(tool("oruvane-new", "proj"), 0) << read_file("err.txt");
    std::map<std::string, std::string> made = contents("proj");
    for (const char* name : {"show.cues", "pt01.vsh", "pt09.fsh", "post.fsh", "logo.png", "music.ogg", "README.md"})
        EXPECT_EQ(made.count(name), 1u) << name;
    EXPECT_EQ(made.size(), 24u);
    EXPECT_NE(made["README.md"].find("CC0"), std::string::npos);
    // A folder with anything in it is refused, and left as it was.
    EXPECT_EQ(tool("oruvane-new", "proj"), 1);
    EXPECT_NE(read_file("err.txt").find("not an empty folder"), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(contents("proj"), made);

    ASSERT_EQ(tool("oruvane-check", "proj"), 0) << read_file("out.txt") << read_file("err.txt");
    EXPECT_NE(read_file("out.txt").find("all ten programs build"), std::string::npos);
    EXPECT_NE(read_file("out.txt").find("stream, 90.0 s"), std::string::npos) << read_file("out.txt");
    for (const auto& at : std::vector<std::pair<const char*, const char*>>{{"15", "pt02"}, {"45", "pt05"}, {"89", "pt09"}}) {
        ASSERT_EQ(tool("oruvane-timeline", std::string("proj at ") + at.first), 0) << read_file("err.txt");
        EXPECT_NE(read_file("out.txt").find(std::string("\nscene ") + at.second + "\n"), std::string::npos) << read_file("out.txt");
    }

    // Two seconds over the change from pt02 to pt03: the first frame is the one scene, the last the other.
    ASSERT_EQ(tool("oruvane-capture", "--dir proj --from 19 --to 21 --fps 5 --out clip.mp4"), 0) << read_file("err.txt");
    std::vector<std::string> seen;
    Decoded d = decode("clip.mp4", [&](int, const uint8_t* rgb) {
        double mean[3];
        mean_colour(rgb, 1920 * 1080, mean);
        seen.push_back(nearest_template_colour(mean));
    });
    ASSERT_EQ(d.frames, 10);
    EXPECT_EQ(seen.front(), "pt02");
    EXPECT_EQ(seen.back(), "pt03");
    EXPECT_NEAR(d.seconds(), 2.0, 0.05);
    EXPECT_EQ(contents("proj"), made) << "no tool writes into a project";
}

// The editor of the installed preview: a key dragged and saved changes the project's sheet, and
// every other file of the project stays byte for byte as it was.
TEST_F(MakerLoop, AKeyDraggedInThePreviewIsSavedIntoTheProjectAlone) {
    ASSERT_FALSE(display().empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
    ASSERT_EQ(tool("oruvane-new", "proj"), 0) << read_file("err.txt");
    std::map<std::string, std::string> made = contents("proj");
    Spawn s;
    s.cwd = dir.path.string();
    s.env = {{"SDL_AUDIODRIVER", "dummy"}, {"PATH", path}};
    s.out = (dir.path / "stdout.txt").string();
    s.err = (dir.path / "stderr.txt").string();
    s.args = {"proj", "--at", "45"};
    pid_t pid = spawn((root / "usr/bin/oruvane-preview").string(), s);
    auto text = [&](const char* file, const std::string& want, double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (read_file((dir.path / file).string()).find(want) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return read_file((dir.path / file).string()).find(want) != std::string::npos;
    };
    ASSERT_TRUE(text("stdout.txt", "playing from 45.000 s", 60)) << read_file((dir.path / "stderr.txt").string());
    x_run(display(), "xdotool mousemove 960 200 key space key Tab");
    // The gamma row's keys are the only pixels of their colour; the last one is dragged a little left.
    std::string shot = (dir.path / "editor.png").string();
    int key_x = -1, key_y = -1;
    for (int tries = 0; tries < 50 && key_x < 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        x_run(display(), "import -window root " + shot);
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 3);
        for (int y = 0; p && y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned char* c = p + (size_t(y) * w + x) * 3;
                if (std::abs(c[0] - 217) <= 4 && std::abs(c[1] - 26) <= 4 && std::abs(c[2] - 26) <= 4 && x > key_x) key_x = x, key_y = y;
            }
        stbi_image_free(p);
    }
    ASSERT_GE(key_x, 0) << "no gamma keys on the screen";
    key_x -= 3;  // the key's middle, not its right tip
    std::string at = std::to_string(key_x) + " " + std::to_string(key_y);
    x_run(display(), "xdotool mousemove " + at + " sleep 0.5 mousedown 1 sleep 0.3");
    for (int step = 1; step <= 6; ++step)
        x_run(display(), "xdotool mousemove " + std::to_string(key_x - 10 * step) + " " + std::to_string(key_y) + " sleep 0.15");
    x_run(display(), "xdotool sleep 0.3 mouseup 1 sleep 0.3 key ctrl+s");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (read_file("proj/show.cues") == made["show.cues"] && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    x_run(display(), "xdotool key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << read_file((dir.path / "stderr.txt").string());
    std::map<std::string, std::string> after = contents("proj");
    EXPECT_NE(after["show.cues"], made["show.cues"]) << "the drag was not saved";
    after.erase("show.cues");
    made.erase("show.cues");
    EXPECT_EQ(after, made) << "every other file of the project stays as it was";
    EXPECT_EQ(tool("oruvane-timeline", "proj at 45"), 0) << "the saved sheet reads back: " << read_file("err.txt");
}

}  // namespace
