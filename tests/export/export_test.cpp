// oruvane-export from the installed package alone (unpacked with dpkg -x, no compiler on the PATH):
// a new project's releases play on each platform (Linux under Xvfb, Windows under wine, the page
// in headless Chromium) with the project's own timeline; the bundled project exported into the
// package's engines is byte for byte the build's own executables; a sheet over the table's limits
// is refused with nothing written.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "probe_show.h"
#include "timeline/show_table.h"
#include "template/template_colours.h"
#include "web/browser.h"

namespace {

namespace fs = std::filesystem;

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : "";
}

// The scene the screen shows, by its mean colour; "" while it is nearly black (loading, a change).
std::string screen_scene(const std::string& shot) {
    x_run(display(), "import -window root " + shot);
    int w = 0, h = 0, n = 0;
    unsigned char* p = stbi_load(shot.c_str(), &w, &h, &n, 3);
    if (!p) return "";
    double mean[3];
    mean_colour(p, (size_t)w * h, mean);
    stbi_image_free(p);
    return mean[0] + mean[1] + mean[2] < 30 ? "" : nearest_template_colour(mean);
}

// The scenes seen while `pid` runs, each with the seconds since the first one showed, until
// `until` is seen or `seconds` pass.
std::vector<std::pair<std::string, double>> watch(pid_t pid, const std::string& shot, const std::string& until, double seconds) {
    std::vector<std::pair<std::string, double>> seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::chrono::steady_clock::time_point first;
    while (std::chrono::steady_clock::now() < deadline && alive(pid)) {
        std::string scene = screen_scene(shot);
        if (scene.empty()) continue;
        if (seen.empty()) first = std::chrono::steady_clock::now();
        if (seen.empty() || seen.back().first != scene)
            seen.push_back({scene, std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count()});
        if (scene == until) break;
    }
    return seen;
}

double first_seen(const std::vector<std::pair<std::string, double>>& seen, const std::string& scene) {
    for (const auto& s : seen)
        if (s.first == scene) return s.second;
    return -1;
}

std::string listing(const std::vector<std::pair<std::string, double>>& seen) {
    std::string out;
    for (const auto& s : seen) out += s.first + "@" + std::to_string(s.second) + " ";
    return out;
}

class Export : public ::testing::Test {
protected:
    ScratchDir dir;
    fs::path root = dir.path / "root";
    std::string path;
    std::vector<pid_t> started;
    void SetUp() override {
        ASSERT_EQ(run_tool("dpkg", "-x " + std::string(ORUVANE_DEB) + " " + root.string()), 0) << read_file("err.txt");
        path = (root / "usr/bin").string();
        for (const char* compiler : {"cc", "c++", "gcc", "g++"})
            ASSERT_NE(std::system(("PATH='" + path + "' command -v " + compiler + " >/dev/null").c_str()), 0) << compiler;
    }
    void TearDown() override {
        for (pid_t pid : started)
            if (alive(pid)) kill_group(pid);
    }
    int tool(const std::string& name, const std::string& args) { return run_tool("env PATH='" + path + "' " + name, args); }
    // A new project "proj" from the package's starter project.
    void new_project() { ASSERT_EQ(tool("oruvane-new", "proj"), 0) << read_file("err.txt"); }
    // Unpacks the Linux release of `name` from rel/ into `into` and starts its show there.
    pid_t start_linux(const std::string& name, const std::string& into, std::vector<std::pair<std::string, std::string>> env = {}) {
        fs::create_directory(into);
        EXPECT_EQ(std::system(("tar -xzf rel/" + name + "-linux-x86_64.tar.gz -C " + into).c_str()), 0);
        Spawn s;
        s.cwd = (dir.path / into / (name + "-linux-x86_64")).string();
        s.env = env;
        s.env.push_back({"SDL_AUDIODRIVER", "dummy"});
        s.err = (dir.path / "show-stderr.txt").string();
        started.push_back(spawn(s.cwd + "/" + name, s));
        return started.back();
    }
};

TEST_F(Export, TheLinuxReleasePlaysTheProjectsScenesAndEndsOnEscape) {
    ASSERT_FALSE(display().empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
    new_project();
    ASSERT_EQ(tool("oruvane-export", "proj --out rel --linux"), 0) << read_file("err.txt");
    std::string out = read_file("out.txt");
    EXPECT_NE(out.find("rel/proj-linux-x86_64.tar.gz"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists("rel/proj-win64.zip") || fs::exists("rel/proj-web"));
    pid_t pid = start_linux("proj", "elsewhere");
    auto seen = watch(pid, (dir.path / "shot.png").string(), "pt02", 90);
    EXPECT_GE(first_seen(seen, "pt01"), 0) << listing(seen) << read_file("show-stderr.txt");
    EXPECT_GT(first_seen(seen, "pt02"), 5) << listing(seen);
    std::string readme = read_file("elsewhere/proj-linux-x86_64/README.txt");
    EXPECT_NE(readme.find("proj for Linux"), std::string::npos) << readme;
    EXPECT_NE(readme.find("1:30"), std::string::npos) << "the show's own length: " << readme;
    EXPECT_NE(read_file("elsewhere/proj-linux-x86_64/LICENSES.txt").find("libsndfile"), std::string::npos);
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0) << read_file("show-stderr.txt");
}

// A project of the maker's, its second scene moved from 10 s to 5 s and its length cut to 60 s:
// the release shows that scene where the starter project still showed its first, and ends by
// itself at its own length (with the clock ten times fast).
TEST_F(Export, AMovedSceneAndAShorterLengthAreTheReleasesOwn) {
    ASSERT_FALSE(display().empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
    new_project();
    std::string sheet = read_file("proj/show.cues"), cut;
    for (size_t at = 0; at < sheet.size();) {
        size_t end = sheet.find('\n', at);
        std::string line = sheet.substr(at, end - at);
        at = end + 1;
        if (line[0] != '#' && std::regex_search(line, std::regex("pt0[789]"))) continue;
        cut += line + "\n";
    }
    for (const auto& r : std::vector<std::pair<std::string, std::string>>{
             {"length 90.000", "length 60.000"}, {"mark logo 86.000", "mark logo 55.000"}, {"scene 10.000 pt02", "scene 5.000 pt02"}}) {
        size_t at = cut.find(r.first);
        ASSERT_NE(at, std::string::npos) << r.first;
        cut.replace(at, r.first.size(), r.second);
    }
    write_file("proj/show.cues", cut);
    ASSERT_EQ(tool("oruvane-timeline", "proj at 7"), 0) << read_file("err.txt");
    ASSERT_NE(read_file("out.txt").find("\nscene pt02\n"), std::string::npos);
    ASSERT_EQ(tool("oruvane-export", "proj --out rel --linux"), 0) << read_file("err.txt");

    pid_t pid = start_linux("proj", "moved");
    auto seen = watch(pid, (dir.path / "shot.png").string(), "pt02", 60);
    double moved = first_seen(seen, "pt02") - first_seen(seen, "pt01");
    EXPECT_GT(moved, 2) << listing(seen);
    EXPECT_LT(moved, 8) << "the starter project shows its first scene until 10 s: " << listing(seen);
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 30), 0);

    // libfaketime runs the show's clocks ten times fast: the 60 s show takes 6 s.
    const char* faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
    ASSERT_EQ(access(faketime, R_OK), 0) << "needs Debian's faketime package";
    auto begun = std::chrono::steady_clock::now();
    pid = start_linux("proj", "fast", {{"LD_PRELOAD", faketime}, {"FAKETIME", "+0 x10"}});
    ASSERT_FALSE(x_wait_window(display(), "Oruvane", 30).empty());
    EXPECT_EQ(wait_exit(pid, 60), 0) << "the show ends by itself: " << read_file("show-stderr.txt");
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    EXPECT_GT(took, 5.5) << "not before its 60 s (6 s at ten times)";
    EXPECT_LT(took, 40) << "its own 60 s, not the starter project's 90 s or the bundled show's 240 s";
}

TEST_F(Export, TheWindowsReleasePlaysTheProjectsScenesUnderWine) {
    ASSERT_FALSE(display().empty()) << "needs DISPLAY (a 1920x1080 Xvfb)";
    const char* wine = "/usr/lib/wine/wine64";
    ASSERT_EQ(access(wine, X_OK), 0) << "needs Debian's wine64 package";
    new_project();
    ASSERT_EQ(tool("oruvane-export", "proj --out rel --windows"), 0) << read_file("err.txt");
    std::string zip = read_file("rel/proj-win64.zip");
    ASSERT_GT(zip.size(), 22u);
    EXPECT_EQ(zip.compare(zip.size() - 22, 4, "PK\x05\x06"), 0) << "the zip ends with its end record, unpadded";
    fs::create_directory("win");
    ASSERT_EQ(std::system("cd win && unzip -q ../rel/proj-win64.zip"), 0);
    EXPECT_TRUE(fs::exists("win/proj.exe") && fs::exists("win/19.ck") && fs::exists("win/README.txt"));
    std::string dlls = x_run(display(), "x86_64-w64-mingw32-objdump -p win/proj.exe | sed -n 's/^[[:space:]]*DLL Name: //p'");
    EXPECT_EQ(dlls.find("SDL2"), std::string::npos) << dlls;
    std::string prefix = (dir.path / "prefix").string();
    std::string env = "WINEPREFIX='" + prefix + "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' ";
    ASSERT_EQ(std::system((env + wine + " wineboot -i >/dev/null 2>&1 && " + env + "/usr/lib/wine/wineserver -w").c_str()), 0);
    write_file("win/start", std::string("#!/bin/sh\nexec ") + wine + " proj.exe\n");
    fs::permissions("win/start", fs::perms::owner_all);
    Spawn s;
    s.cwd = (dir.path / "win").string();
    s.env = {{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}, {"SDL_AUDIODRIVER", "dummy"}};
    s.err = (dir.path / "show-stderr.txt").string();
    pid_t pid = spawn(s.cwd + "/start", s);
    started.push_back(pid);
    auto seen = watch(pid, (dir.path / "shot.png").string(), "pt02", 150);
    EXPECT_GE(first_seen(seen, "pt01"), 0) << listing(seen);
    EXPECT_GT(first_seen(seen, "pt02"), 5) << listing(seen);
    x_run(display(), "xdotool mousemove 960 540 key Escape");
    EXPECT_EQ(wait_exit(pid, 60), 0);
    std::system(("WINEPREFIX='" + prefix + "' /usr/lib/wine/wineserver -k >/dev/null 2>&1").c_str());
}

TEST_F(Export, TheWebReleaseDrawsTheProjectsScenesAtTheirTimes) {
    new_project();
    ASSERT_EQ(tool("oruvane-export", "proj --out rel --web"), 0) << read_file("err.txt");
    for (const char* name : {"index.html", "oruvane.js", "oruvane.wasm", "show/show.json", "show/19.ck", "show/vae5.wav", "README.txt"})
        EXPECT_TRUE(fs::exists(std::string("rel/proj-web/") + name)) << name;
    Browser browser(dir.path / "rel", {"/proj-web/index.html?at=15&still#full=1", "/proj-web/index.html?at=45&still#full=1"});
    std::vector<Visit> v = browser.run(300);
    ASSERT_EQ(v.size(), 2u);
    const char* want[2] = {"pt02", "pt05"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(v[i].title, "oruvane: still") << v[i].text;
        ASSERT_EQ(v[i].picture.size(), 1920u * 1080 * 4) << v[i].text;
        double sum[3] = {0, 0, 0};
        size_t n = 0;
        for (size_t p = 0; p < 1920u * 1080; p += 7, ++n)
            for (int k = 0; k < 3; ++k) sum[k] += v[i].picture[4 * p + k];
        double mean[3] = {sum[0] / n, sum[1] / n, sum[2] / n};
        EXPECT_STREQ(nearest_template_colour(mean), want[i]) << mean[0] << " " << mean[1] << " " << mean[2];
    }
}

// "" when `a` and `b` are the same bytes, else where they first differ (no dump of megabytes).
std::string first_difference(const std::string& a, const std::string& b) {
    if (a == b) return "";
    size_t at = std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin();
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at byte " + std::to_string(at);
}

// The package's engines given the bundled show's project (as the build stages it, with its logo
// and music) are the executables of the build's own releases, byte for byte (stripped alike):
// the timeline table is all that an engine lacks.
TEST_F(Export, TheBundledProjectExportedIsTheBuildsOwnExecutables) {
    ASSERT_EQ(tool("oruvane-export", ORUVANE_SHOW_PROJECT " --out rel --name bundled"), 0) << read_file("err.txt");
    EXPECT_EQ(read_file("err.txt"), "") << "the staged project names no missing file";
    ASSERT_EQ(std::system("mkdir x built && tar -xzf rel/bundled-linux-x86_64.tar.gz -C x && cd x && unzip -q ../rel/bundled-win64.zip"), 0);
    ASSERT_EQ(std::system("tar -xzf '" ORUVANE_LINUX_ARCHIVE "' -C built && cd built && unzip -q '" ORUVANE_ZIP "' oruvane.exe"), 0);
    EXPECT_EQ(first_difference(read_file("x/bundled-linux-x86_64/bundled"), read_file("built/oruvane-linux-x86_64/oruvane")), "") << "Linux";
    EXPECT_EQ(first_difference(read_file("x/bundled.exe"), read_file("built/oruvane.exe")), "") << "Windows";
    EXPECT_EQ(first_difference(read_file("rel/bundled-web/oruvane.wasm"), read_file(ORUVANE_WEB_DIR "/dist/oruvane.wasm")), "") << "web";
    EXPECT_EQ(first_difference(read_file("rel/bundled-web/oruvane.js"), read_file(ORUVANE_WEB_DIR "/dist/oruvane.js")), "");
}

TEST_F(Export, ASheetOverTheTablesLimitsOrABrokenProgramIsRefusedWithNothingWritten) {
    new_project();
    std::string sheet = read_file("proj/show.cues");
    std::string more;
    for (int i = 0; i < SHOW_TABLE_CUES; ++i) more += "set " + std::to_string(i % 80) + ".000 gamma 1\n";
    write_file("proj/show.cues", sheet + more);
    fs::create_directory("rel");
    EXPECT_EQ(tool("oruvane-export", "proj --out rel"), 1);
    EXPECT_NE(read_file("err.txt").find("proj/show.cues:"), std::string::npos) << read_file("err.txt");
    EXPECT_NE(read_file("err.txt").find("more cues than a show holds"), std::string::npos) << read_file("err.txt");
    EXPECT_TRUE(fs::is_empty("rel"));
    write_file("proj/show.cues", sheet);
    write_file("proj/pt04.fsh", "#version 120\nvoid main(){ gl_FragColor = vec4(1.0) }\n");
    EXPECT_EQ(tool("oruvane-export", "proj --out rel"), 1);
    EXPECT_NE(read_file("err.txt").find("proj/pt04.fsh:"), std::string::npos) << read_file("err.txt");
    EXPECT_TRUE(fs::is_empty("rel"));
}

}  // namespace
