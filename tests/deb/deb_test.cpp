// The Debian package build-deb.sh makes: its control data, its size, and the package unpacked with
// into a scratch folder, whose tools, manual pages and launcher are run from there.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <regex>

#include "probe_show.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> TOOLS = {"oruvane-capture", "oruvane-check",  "oruvane-preview",
                                        "oruvane-timeline", "oruvane-ckpack", "oruvane-mklogo"};

// Runs `tool args` in the current folder as run_tool does and expects exit 0; returns its output.
std::string output_of(const std::string& tool, const std::string& args) {
    EXPECT_EQ(run_tool(tool, args), 0) << tool << " " << args << ": " << read_file("err.txt");
    return read_file("out.txt");
}

TEST(DebControl, NamesTheRuntimeLibrariesAndRecommendsTheMesaDrivers) {
    ScratchDir dir;
    std::string control = output_of("dpkg-deb", std::string("-f ") + ORUVANE_DEB);
    auto field = [&](const std::string& name) {
        std::smatch m;
        return std::regex_search(control, m, std::regex("(^|\n)" + name + ": ([^\n]*)")) ? m[2].str() : "";
    };
    EXPECT_EQ(field("Package"), "oruvane");
    EXPECT_EQ(field("Version"), ORUVANE_VERSION);
    EXPECT_EQ(field("Architecture"), "amd64");
    EXPECT_EQ(field("Section"), "video");
    EXPECT_EQ(field("Maintainer"), "Oruvane maintainers <maintainers@oruvane.invalid>");
    std::string depends = field("Depends");
    for (const char* lib : {"libsdl2-2\\.0-0", "libsndfile1", "libopenmpt0", "libavcodec[0-9]+", "libavformat[0-9]+",
                            "libavutil[0-9]+", "libswscale[0-9]+", "libswresample[0-9]+", "libcairo2", "libgl1",
                            "fonts-dejavu-core"})
        EXPECT_TRUE(std::regex_search(depends, std::regex(std::string("(^|, )") + lib + "( \\(|,|$)"))) << lib << " in " << depends;
    EXPECT_EQ(depends.find("-dev"), std::string::npos) << depends;
    EXPECT_EQ(field("Recommends"), "libgl1-mesa-dri, libegl-mesa0");
}

// The download stays small with everything it carries: the bundled show and the starter project
// with their music as Ogg Vorbis, the tools, and the engines for Linux, Windows and the web.
TEST(DebFile, IsAtMostTenMegabytes) {
    EXPECT_LE(fs::file_size(ORUVANE_DEB), 10'000'000u);
    std::printf("%s: %ju bytes\n", ORUVANE_DEB, (uintmax_t)fs::file_size(ORUVANE_DEB));
}

// The package unpacked into root/ of a scratch folder, the current folder while the test runs.
class DebUnpacked : public ::testing::Test {
protected:
    ScratchDir dir;
    fs::path root = dir.path / "root";
    void SetUp() override {
        ASSERT_EQ(run_tool("dpkg", "-x " + std::string(ORUVANE_DEB) + " " + root.string()), 0) << read_file("err.txt");
    }
    std::string bin(const std::string& name) { return (root / "usr/bin" / name).string(); }
};

TEST_F(DebUnpacked, HoldsTheToolsTheBuiltShowTheMenuEntryAndIconAndNoBuildHelper) {
    for (const std::string& name : TOOLS) EXPECT_EQ(access(bin(name).c_str(), X_OK), 0) << name;
    for (const char* helper : {"ckpack", "mklogo", "showslots", "mkmusic", "cuesheet", "mkicon"})
        EXPECT_FALSE(fs::exists(bin(helper))) << helper;
    EXPECT_EQ(access((root / "usr/lib/oruvane/oruvane").c_str(), X_OK), 0);
    // The installed show is the one the build made, file for file, and nothing else.
    int files = 0;
    for (const auto& built : fs::directory_iterator(ORUVANE_SHOW_BUILD_DIR)) {
        std::string name = built.path().filename().string();
        if (!std::regex_match(name, std::regex("[0-9]+\\.ck|bitmap\\.png|vae5\\.wav"))) continue;
        EXPECT_EQ(read_file((root / "usr/share/oruvane/show" / name).string()), read_file(built.path().string())) << name;
        ++files;
    }
    EXPECT_EQ(files, 22);
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "usr/share/oruvane/show"), fs::directory_iterator()), files);

    std::string entry = read_file((root / "usr/share/applications/oruvane.desktop").string());
    EXPECT_NE(entry.find("\nExec=oruvane\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=oruvane\n"), std::string::npos) << entry;
    int w = 0, h = 0, n = 0;
    EXPECT_TRUE(stbi_info((root / "usr/share/icons/hicolor/256x256/apps/oruvane.png").c_str(), &w, &h, &n));
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
}

TEST_F(DebUnpacked, ToolsRunFromItAndGoByTheirInstalledNames) {
    for (const std::string& name : TOOLS)
        EXPECT_EQ(output_of(bin(name), "--version"), name + " " + ORUVANE_VERSION + "\n");
    // A renamed tool calls itself as installed, in its help and its messages too.
    EXPECT_NE(output_of(bin("oruvane-ckpack"), "--help").find("Usage: oruvane-ckpack "), std::string::npos);
    EXPECT_EQ(run_tool(bin("oruvane-ckpack"), "frobnicate"), 2);
    EXPECT_EQ(read_file("err.txt").rfind("oruvane-ckpack: ", 0), 0u) << read_file("err.txt");
    // The unpacked timeline gives what the build's own does.
    std::string at = output_of(bin("oruvane-timeline"), "at 97");
    EXPECT_NE(at.find("gamma"), std::string::npos) << at;
    EXPECT_EQ(at, output_of(std::string(ORUVANE_BUILD_BIN_DIR) + "/oruvane-timeline", "at 97"));
}

TEST_F(DebUnpacked, ManRendersEveryPageUnderItsInstalledNameWithoutWarningsOrBuildPaths) {
    std::vector<std::string> pages = TOOLS;
    pages.push_back("oruvane");
    for (const std::string& page : pages) {
        std::string text = output_of("LC_ALL=C MANWIDTH=100 man", "--warnings -l " + (root / "usr/share/man/man1" / page).string() + ".1.gz");
        EXPECT_EQ(read_file("err.txt"), "") << page;
        EXPECT_TRUE(std::regex_search(text, std::regex("NAME\n +" + page + " +- +[a-z]"))) << text;
        EXPECT_NE(text.find("SEE ALSO"), std::string::npos) << page;
        EXPECT_EQ(text.find(ORUVANE_BUILD_DIR), std::string::npos) << page << " names the build folder:\n" << text;
        if (page == "oruvane") continue;
        EXPECT_NE(text.find("SYNOPSIS\n       " + page + " [OPTIONS]"), std::string::npos) << text;
        EXPECT_NE(text.find("--version"), std::string::npos) << page;
    }
}

// The launcher under Xvfb, with the show's window, picture and exit status.
class DebLauncher : public DebUnpacked {
protected:
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::vector<pid_t> started;
    void SetUp() override {
        ASSERT_FALSE(display.empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
        DebUnpacked::SetUp();
    }
    void TearDown() override {
        for (pid_t pid : started) kill_group(pid);
    }
    // Starts `launcher` in `cwd` and waits for the show's full-screen window.
    pid_t start(const fs::path& launcher, const fs::path& cwd) {
        Spawn s;
        s.cwd = cwd.string();
        s.env = {{"SDL_AUDIODRIVER", "dummy"}};
        s.err = (dir.path / "stderr.txt").string();
        started.push_back(spawn(launcher.string(), s));
        EXPECT_EQ(x_wait_window(display, "Oruvane", 30), "1920x1080+0+0") << err();
        return started.back();
    }
    std::string err() { return read_file((dir.path / "stderr.txt").string()); }
    // Waits up to `seconds` for a screen whose pixels away from the loading bar's rows are, on
    // average, brighter than `level` (0..255): past the loading screen, a scene is drawn.
    bool wait_for_picture(double level, double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::string shot = (dir.path / "screen.png").string();
        while (std::chrono::steady_clock::now() < deadline) {
            x_run(display, "import -window root " + shot);
            int w = 0, h = 0, n = 0;
            double sum = 0, count = 0;
            if (unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 1)) {
                for (int y = 0; y < h; y += 8)
                    for (int x = 0; x < w && std::abs(y - h / 2) >= 8; x += 8, ++count) sum += p[y * w + x];
                stbi_image_free(p);
            }
            if (count > 0 && sum / count > level) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }
    void escape_ends(pid_t pid) {
        EXPECT_TRUE(alive(pid)) << err();
        x_run(display, "xdotool mousemove 960 540 key Escape");
        EXPECT_EQ(wait_exit(pid, 30), 0) << err();
        EXPECT_TRUE(x_wait_window_gone(display, "Oruvane", 10));
    }
};

TEST_F(DebLauncher, PlaysTheInstalledShowFromAnyOtherFolder) {
    fs::create_directory(dir.path / "elsewhere");
    pid_t pid = start(bin("oruvane"), dir.path / "elsewhere");
    EXPECT_TRUE(wait_for_picture(8, 120)) << "no scene was drawn\n" << err();
    escape_ends(pid);
    EXPECT_EQ(err(), "");
}

TEST_F(DebLauncher, PlaysTheCurrentFolderWhenItHoldsAShowAndSaysWhyNotWhenItHoldsPart) {
    // Started through a link, as from a folder on the PATH: the probe show of the current folder.
    fs::create_symlink(bin("oruvane"), dir.path / "oruvane-link");
    write_probe_assets();
    write_sine_wav(2);
    pid_t pid = start(dir.path / "oruvane-link", dir.path);
    ASSERT_TRUE(wait_for_picture(80, 60)) << err();  // the probe's colour is about 117 in grey
    expect_probe_picture(display, (dir.path / "shot.png").string());
    escape_ends(pid);
    EXPECT_EQ(err(), "");

    // Part of a show only: the installed one plays, and the launcher names what is missing.
    fs::remove(dir.path / "vae5.wav");
    fs::remove(dir.path / "7.ck");
    pid = start(bin("oruvane"), dir.path);
    EXPECT_TRUE(wait_for_picture(8, 120)) << err();
    escape_ends(pid);
    EXPECT_EQ(err(), "oruvane: this folder lacks 7.ck vae5.wav; playing the installed show\n");
}

}  // namespace
