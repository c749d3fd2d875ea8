// The page build-web.sh makes, in headless Chromium: probe shows packed by oruvane-webshow show
// the timeline's scene and gamma in stills on either side of a scene change, feed their frames
// back as the desktop does, draw the loading bar, stop on a missing scene file with the desktop's
// text, end by themselves, and sound; the bundled page draws what the desktop draws.
#include <gtest/gtest.h>

#include <cmath>

#include "show_sheet.h"
#include "browser.h"
#include "probe_show.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace fs = std::filesystem;

namespace {

// Program ptNN draws NN / 10 in red; the post program shows that red, the script's gamma in
// green, a count of the frames since the feedback was last empty in blue (each frame adds 1.4
// steps of 1/255 to what it reads back, so the count stays whole only while the feedback holds
// 8 bits, as the desktop's back buffer does) and the show time in seconds in alpha.
std::string tag_scene(int n) {
    return "#version 120\nvarying vec2 uv;\nvoid main(){ gl_FragColor = vec4(" + std::to_string(n) + ".0 / 10.0, uv * 0.0, 1.0); }\n";
}
const char* COUNTING_POST =
    "#version 120\nuniform sampler2D renderedTexture; uniform sampler2D backBuffer; uniform float time;\n"
    "uniform float gamma;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = vec4(texture2D(renderedTexture, uv).r, gamma,\n"
    "  texture2D(backBuffer, uv).b + 1.4 / 255.0, time / 255.0); }\n";

void write_tag_show() {
    std::vector<std::string> fragments;
    for (int n = 1; n <= 9; ++n) fragments.push_back(tag_scene(n));
    fragments.push_back(COUNTING_POST);
    write_show(fragments);
}

// The script's program tag and gamma at show time `ms`, from the show's own timeline.
struct Expected {
    int tag;
    double gamma;
};
Expected expected_at(int32_t ms) {
    static bool built = false;
    if (!built) {
        int n = 0;
        for (const ProgramEntry& e : PROGRAM_TABLE) program_set.*e.program = (uint32_t)++n;  // ptNN is NN
        build_show_script();
        built = true;
    }
    tracks_evaluate(ms);
    return {(int)std::lround(show_params.scene_program), show_params.gamma};
}

// The loading bar's grey after program k, as the loader computes it.
int bar_grey(int k) { return unorm8(std::sin((float)k * 0.11111111f)); }

class WebPage : public ::testing::Test {
protected:
    ScratchDir dir;
    fs::path site = dir.path / "site";

    // A page at /NAME/ on the site: the build's page (the fast-clock build when `fast`) with the
    // show folder `show` packed for it.
    void add_page(const std::string& name, const fs::path& show, bool fast = false) {
        fs::path page = site / name;
        fs::create_directories(page);
        std::string bin = ORUVANE_WEB_BIN, base = fast ? "oruvane_fastclock" : "oruvane";
        fs::create_symlink(bin + "/" + base + ".html", page / "index.html");
        for (const char* ext : {".js", ".wasm"}) fs::create_symlink(bin + "/" + base + ext, page / (base + ext));
        ASSERT_EQ(run_tool(ORUVANE_WEBSHOW, "'" + show.string() + "' '" + (page / "show").string() + "'"), 0)
            << read_file("err.txt");
    }
    // A show folder of the probe kind, made in `name` by `write` (which works in the current folder).
    template <class F>
    fs::path make_show(const std::string& name, F write) {
        fs::path show = dir.path / name;
        fs::create_directories(show);
        fs::current_path(show);
        write();
        fs::current_path(dir.path);
        return show;
    }
    std::vector<Visit> visit(const std::vector<std::string>& paths, double seconds, const std::vector<std::string>& flags = {}) {
        return visit_with(BrowserSetup{false, 0, 0, flags}, paths, seconds);
    }
    std::vector<Visit> visit_with(const BrowserSetup& setup, const std::vector<std::string>& paths, double seconds) {
        Browser browser(site, paths, setup);
        std::vector<Visit> v = browser.run(seconds);
        EXPECT_EQ(v.size(), paths.size()) << "pages that did not end:\n" << browser.chromium_log().substr(0, 4000);
        return v;
    }
};

// The page's text, one line per paragraph.
std::string page_lines(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find('\n', at), text.size());
        if (end > at) out += (out.empty() ? "" : "\n") + text.substr(at, end - at);
        at = end + 1;
    }
    return out;
}

void expect_pixel(const std::array<int, 4>& got, std::array<int, 4> want, int tolerance, const std::string& what) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << what << ", channel " << i;
}

TEST_F(WebPage, ProbeStillsFollowTheTimelineAcrossASceneChangeAndPlayedFramesFeedBack) {
    add_page("probe", make_show("probe", [] {
                 write_tag_show();
                 write_sine_wav(2);
             }));
    const std::string bar_points = "960,540;5,539;5,540;5,538;5,541;1066,540;1067,540;1900,540";
    std::vector<Visit> v = visit({"/probe/index.html?at=47.9&still", "/probe/index.html?at=48.1&still",
                                  "/probe/index.html?at=100#frames=4&escape=1&points=" + bar_points,
                                  "/probe/index.html?at=4294968&still"},
                                 240);
    ASSERT_EQ(v.size(), 4u);

    // Stills on either side of the change from pt05 to pt04 at 48 s, in the gamma fade around it,
    // each drawn once, with the feedback empty as at the start; and one asked for past 2^31 ms,
    // which is the show's end (not the 0.704 s a wrapped int would give).
    for (int i : {0, 1, 3}) {
        int32_t ms = i == 0 ? 47900 : i == 1 ? 48100 : SHOW_LENGTH_MS;
        SCOPED_TRACE(v[i].path);
        EXPECT_EQ(v[i].title, "oruvane: still") << v[i].text;
        std::vector<Visit::Present> frames = v[i].presents_titled("oruvane: loading");
        ASSERT_EQ(frames.size(), 11u) << "ten loading bars, then the still";
        Expected e = expected_at(ms);
        if (i < 3) {
            EXPECT_EQ(e.tag, i == 0 ? 5 : 4);
        }
        expect_pixel(frames.back().samples[0], {unorm8(e.tag / 10.0), unorm8(e.gamma), 1, unorm8(ms / 1000.0 / 255.0)}, 1,
                     "the still");
    }

    // The played show from 100 s: the loading bar grows program by program before the click.
    const Visit& played = v[2];
    std::vector<Visit::Present> bars = played.presents_titled("oruvane: loading");
    ASSERT_EQ(bars.size(), 10u);
    for (int k = 1; k <= 10; ++k) {
        SCOPED_TRACE("bar after program " + std::to_string(k));
        const auto& s = bars[k - 1].samples;
        int grey = bar_grey(k);
        expect_pixel(s[1], {grey, grey, grey, 255}, 1, "row 539");
        expect_pixel(s[2], {grey, grey, grey, 255}, 1, "row 540");
        EXPECT_EQ(s[3][0], 0) << "row 538 stays black";
        EXPECT_EQ(s[4][0], 0) << "row 541 stays black";
        EXPECT_EQ(s[5][0], k >= 5 ? bar_grey(k) : 0) << "x 1066";
        EXPECT_EQ(s[6][0], k >= 6 ? bar_grey(k) : 0) << "x 1067";
        EXPECT_EQ(s[7][0], k >= 9 ? bar_grey(k) : 0) << "x 1900";
    }
    // Then the frames: pt03 at full gamma from show time 100 s, each reading the one before.
    std::vector<Visit::Present> frames = played.presents_titled("oruvane");
    ASSERT_GE(frames.size(), 4u);
    Expected e = expected_at(100000);
    EXPECT_EQ(e.tag, 3);
    for (size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE("played frame " + std::to_string(k + 1));
        const auto& p = frames[k].samples[0];
        expect_pixel(p, {unorm8(0.3), unorm8(e.gamma), (int)k + 1, p[3]}, 1, "tag, gamma, frames since the start");
        // The clock starts at 100 s after the last bar, at the click.
        EXPECT_GE(p[3], 100);
        EXPECT_LE(p[3], 100 + (int)std::ceil((frames[k].t - bars.back().t) / 1000.0) + 1) << "show time";
    }
    // Escape ends it, long before its time.
    EXPECT_EQ(played.title, "oruvane: end");
    EXPECT_TRUE(played.replay);
}

TEST_F(WebPage, MissingSceneFileStopsLoadingAndTheFastClockShowEndsByItself) {
    fs::path probe = make_show("probe", [] { write_tag_show(); });
    add_page("missing", probe);
    fs::remove(site / "missing" / "show" / "7.ck");
    add_page("fast", probe, true);
    std::vector<Visit> v = visit({"/missing/index.html", "/fast/index.html"}, 240);
    ASSERT_EQ(v.size(), 2u);

    // The desktop's box text and reason line, as page text; loading got as far as the file.
    EXPECT_EQ(v[0].title, "oruvane: error");
    EXPECT_EQ(page_lines(v[0].text), "intro_init()!\nscene file 7.ck cannot be read");
    EXPECT_EQ(v[0].presents_titled("oruvane: loading").size(), 3u) << "three programs built, the fourth's file missing";
    EXPECT_FALSE(v[0].replay);

    // The test build's clock runs twenty times fast: the show plays its 240 s to the end by
    // itself and leaves the end text with a replay button.
    EXPECT_EQ(v[1].title, "oruvane: end");
    EXPECT_TRUE(v[1].replay);
    std::vector<Visit::Present> frames = v[1].presents_titled("oruvane");
    std::vector<Visit::Present> bars = v[1].presents_titled("oruvane: loading");
    ASSERT_GE(frames.size(), 2u);
    ASSERT_FALSE(bars.empty());
    // The clock starts at 0 after the last bar, at the click, and runs twenty times fast.
    EXPECT_LE(frames.front().samples[0][3], 20 * (frames.front().t - bars.back().t) / 1000 + 1)
        << "the first frame near show time 0";
    EXPECT_GE(frames.back().samples[0][3], 240) << "the last frame past 240 s";
}

// The tone written in every stream format is heard at its level and pitch through the analyser on
// the page's output, each from a packed probe show that draws; a tracker module plays too.
TEST_F(WebPage, MusicIsHeardFromEveryStreamFormatAndFromATrackerModule) {
    std::vector<StreamFormat> formats = compressed_formats();
    formats.insert(formats.begin(), {"pcm.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100});
    std::vector<std::string> paths;
    for (const StreamFormat& f : formats) {
        std::string name = fs::path(f.name).stem().string();
        add_page(name, make_show(name, [&] {
                     write_probe_assets();
                     write_tone("vae5.wav", f, 20);
                 }));
        paths.push_back("/" + name + "/index.html#frames=2&sound=1");
    }
    add_page("module", make_show("module", [] {
                 write_probe_assets();
                 fs::copy_file(fs::path(ORUVANE_SOURCE_DIR) / "tests/fuzz/corpus/music/loop.mod", "vae5.wav");
             }));
    paths.push_back("/module/index.html#frames=2&sound=1");
    std::vector<Visit> v = visit(paths, 400);
    ASSERT_EQ(v.size(), paths.size());
    for (size_t i = 0; i < formats.size(); ++i) {
        SCOPED_TRACE(formats[i].name);
        EXPECT_EQ(v[i].title, "oruvane");
        EXPECT_GE(v[i].presents_titled("oruvane").size(), 2u) << "the show draws";
        // The loudest moment the analyser heard, and its 4096-point spectrum's peak (bins of
        // 11.7 Hz at most).
        EXPECT_NEAR(20 * std::log10(v[i].rms / (TONE_PEAK / std::sqrt(2.0))), 0.0, 1.0) << "level " << v[i].rms;
        EXPECT_NEAR(v[i].hz, TONE_HZ, 12);
        std::printf("%-11s heard at %.3f RMS, %.0f Hz\n", formats[i].name, v[i].rms, v[i].hz);
    }
    // The module plays through libopenmpt: there is sound.
    EXPECT_GT(v.back().rms, 0.01);
}

// On the desktop's own driver: Chromium draws through ANGLE on the X display's GL.
TEST_F(WebPage, TheBundledPageDrawsItsFirstSceneAsTheDesktopDoesAndSounds) {
    fs::create_directories(site);
    fs::create_symlink(ORUVANE_WEB_DIST, site / "dist");
    std::vector<Visit> v = visit_with(BrowserSetup{true, 0, 0, {}},
                                      {"/dist/index.html?at=5&still#full=1", "/dist/index.html?at=5#frames=1&sound=1"}, 300);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NE(v[0].renderer.find("OpenGL"), std::string::npos) << v[0].renderer;
    EXPECT_EQ(v[0].title, "oruvane: still");
    ASSERT_EQ(v[0].picture.size(), 1920u * 1080u * 4u);

    // The desktop's frame at 5 s, drawn by the capture tool on the real driver.
    ASSERT_EQ(run_tool(ORUVANE_CAPTURE, std::string("--dir '") + ORUVANE_SHOW_DIR + "' --from 5 --to 5.01 --png-dir desktop"), 0)
        << read_file("err.txt");
    int w = 0, h = 0, n = 0;
    unsigned char* desktop = stbi_load("desktop/000000.png", &w, &h, &n, 4);
    ASSERT_NE(desktop, nullptr);
    ASSERT_EQ(w, 1920);
    ASSERT_EQ(h, 1080);
    // Compared in blocks of 16x16 pixels: two drivers' floats march the scene's rays a little
    // differently, and the grain differs pixel by pixel, but every region holds the same picture.
    int blocks = 0, close = 0;
    double lit = 0;
    for (int by = 0; by < 1080 / 16; ++by) {
        for (int bx = 0; bx < 1920 / 16; ++bx) {
            double sum[2][3] = {};
            for (int y = by * 16; y < by * 16 + 16; ++y) {
                for (int x = bx * 16; x < bx * 16 + 16; ++x) {
                    const unsigned char* d = desktop + ((size_t)y * 1920 + x) * 4;
                    const unsigned char* web = v[0].picture.data() + ((size_t)(1079 - y) * 1920 + x) * 4;
                    for (int c = 0; c < 3; ++c) {
                        sum[0][c] += d[c];
                        sum[1][c] += web[c];
                    }
                }
            }
            double worst = 0;
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(sum[0][c] - sum[1][c]) / 256);
            close += worst <= 6;
            lit += sum[0][0] + sum[0][1] + sum[0][2];
            ++blocks;
        }
    }
    stbi_image_free(desktop);
    EXPECT_GT(lit / blocks / 256 / 3, 10) << "the desktop's frame at 5 s is not a dark one";
    EXPECT_GE(close, blocks * 98 / 100) << close << " of " << blocks << " blocks match the desktop's";

    // Played from 5 s, the bundled music is heard; the page's whole download is at most 8 MB.
    EXPECT_LE(v[1].download_bytes(), 8e6);
    EXPECT_EQ(v[1].title, "oruvane");
    EXPECT_GT(v[1].rms, 0.01);
    ASSERT_FALSE(v[1].presents_titled("oruvane").empty());
    std::printf("first played frame %.0f ms after the page opened\n", v[1].presents_titled("oruvane")[0].t);
}

TEST_F(WebPage, WithoutWebGl2ThePageSaysWhyInsteadOfLoading) {
    add_page("probe", make_show("probe", [] { write_tag_show(); }));
    std::vector<Visit> v = visit({"/probe/index.html"}, 120, {"--disable-webgl2"});
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].title, "oruvane: error");
    EXPECT_EQ(page_lines(v[0].text), "window_init()!\nWebGL 2 is not available in this browser");
    EXPECT_TRUE(v[0].presents.empty());
}

}  // namespace
