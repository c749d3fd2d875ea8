// The Linux archive build-windows.sh packs beside the zip: unpacked, it holds the executable, the
// show files and the README, and plays the bundled show from its folder, its music (Ogg Vorbis)
// heard.
#include <gtest/gtest.h>

#include "probe_show.h"

namespace {

TEST(LinuxPackage, TheUnpackedArchivePlaysTheBundledShowWithItsMusic) {
    const char* d = std::getenv("DISPLAY");
    ASSERT_NE(d, nullptr) << "needs DISPLAY (a 1920x1080 Xvfb)";
    std::string display = d;
    ScratchDir dir;
    ASSERT_EQ(run_tool("tar", "-xzf " + std::string(ORUVANE_LINUX_ARCHIVE)), 0);
    std::filesystem::path folder = dir.path / "oruvane-linux-x86_64";
    for (int n = 0; n < 20; ++n) EXPECT_TRUE(std::filesystem::exists(folder / (std::to_string(n) + ".ck"))) << n;
    for (const char* name : {"bitmap.png", "vae5.wav"}) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    EXPECT_NE(read_file((folder / "README.txt").string()).find("libsdl2-2.0-0"), std::string::npos);
    Spawn s;
    s.cwd = folder.string();
    std::string raw = (dir.path / "played.raw").string();
    s.env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", raw}};
    s.err = (dir.path / "stderr.txt").string();
    pid_t pid = spawn((folder / "oruvane").string(), s);
    std::string g = x_wait_window(display, "Oruvane", 30);
    EXPECT_EQ(g, "1920x1080+0+0");
    std::this_thread::sleep_for(std::chrono::seconds(10));  // past loading, into the show
    EXPECT_TRUE(alive(pid));
    EXPECT_GT(screen_mean(display, (dir.path / "shot.png").string()), 3) << "the first scene shows";
    x_run(display, "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << read_file(s.err);
    EXPECT_EQ(read_file((folder / "vae5.wav").string()).substr(0, 4), "OggS");
    EXPECT_GT(loudest_second(read_file(raw)), 0.03) << "the music is heard";
}

}  // namespace
