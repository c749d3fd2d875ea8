// The starter project: its sheet resolves through the sheet reader into nine ten-second scenes
// whose tempo map fits the starter score, its script does what its comments promise (a fade at
// every scene change, the flash, the camera moves, the logo), and the build stages the whole
// project with a logo and music of its length.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stb_image.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "common/cue_sheet.h"
#include "scratch_dir.h"
#include "template_score.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

sheet::Script load_sheet(const std::string& path) {
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    EXPECT_TRUE(sheet::load(path, s, script, error)) << error;
    return script;
}

TEST(TemplateSheet, NineScenesOfEveryProgramOnTheStarterScoresBeat) {
    sheet::Script script = load_sheet(TEMPLATE_SOURCE_DIR "/show.cues");
    EXPECT_EQ(script.length_ms, 90000);
    ASSERT_EQ(script.slots.size(), 9u);
    std::set<std::string> programs;
    for (const sheet::Slot& s : script.slots) {
        programs.insert(s.label);
        EXPECT_NEAR(s.end_ms - s.start_ms, 10000, 1000) << s.label;
    }
    EXPECT_EQ(programs.size(), 9u) << "every scene program has a slot";
    EXPECT_GT(script.flash_ms, 0);
    EXPECT_LT(script.flash_ms, script.slots[1].start_ms);
    EXPECT_GT(script.logo_ms, script.slots[8].start_ms);
    EXPECT_EQ(synth::template_mismatch(script), "");
}

class TemplateScript : public ::testing::Test {
protected:
    sheet::Script script = load_sheet(TEMPLATE_SOURCE_DIR "/show.cues");
    void SetUp() override {
        show_params = show_params_initial;
        script_clear();
        script_run(script.cues.data(), (int32_t)script.cues.size());
    }
    void TearDown() override { script_clear(); }
    const ShowParams& at(int32_t ms) {
        tracks_evaluate(ms);
        return show_params;
    }
};

TEST_F(TemplateScript, FadesToDarkAtEverySceneChangeAndBackWithin) {
    for (size_t i = 0; i < script.slots.size(); ++i) {
        const sheet::Slot& s = script.slots[i];
        if (i > 0) {
            EXPECT_FLOAT_EQ(at(s.start_ms).gamma, 0.01f) << "change to " << s.label;
        }
        EXPECT_FLOAT_EQ(at((s.start_ms + s.end_ms) / 2).gamma, 1.0f) << "middle of " << s.label;
        if (i + 1 < script.slots.size()) {
            EXPECT_FLOAT_EQ(at(s.end_ms - 1500).gamma, 1.0f) << "before the end of " << s.label;
        }
    }
}

TEST_F(TemplateScript, FlashesCameraMovesAndTheLogoComesIn) {
    EXPECT_FLOAT_EQ(at(0).flashColor[3], 0.0f);
    const float* flash = at(script.flash_ms).flashColor;
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(flash[c], 1.0f);
    // The camera moves over each scene that reads it.
    for (const char* label : {"pt03", "pt07"}) {
        int32_t start = sheet::when_ms({label, 0}, script);
        ShowParams a = at(start + 500), b = at(start + 9000);
        float moved = 0;
        for (int c = 0; c < 3; ++c) moved += std::fabs(a.campos[c] - b.campos[c]);
        EXPECT_GT(moved, 1.0f) << label;
    }
    EXPECT_EQ(at(script.logo_ms - 1).displayLogo, 0.0f);
    EXPECT_EQ(at(script.logo_ms + 2500).displayLogo, 1.0f);
    EXPECT_FLOAT_EQ(show_params.logoColor[3], 1.0f);
    EXPECT_EQ(show_params.logo_slot, 0.0f);
}

// What oruvane-new copies: the sources as written, the sheet, the README with its dedication, a
// logo the show decodes and music as long as the show, Ogg Vorbis as its name says.
TEST(TemplateProject, StagedWithItsLogoAndMusic) {
    namespace fs = std::filesystem;
    std::set<std::string> staged, want{"show.cues", "README.md", "logo.png", "music.ogg"};
    for (const auto& e : fs::directory_iterator(TEMPLATE_BUILD_DIR)) staged.insert(e.path().filename().string());
    for (const char* p : {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"})
        for (const char* ext : {".vsh", ".fsh"}) {
            std::string name = std::string(p) + ext;
            want.insert(name);
            EXPECT_EQ(read_file(TEMPLATE_BUILD_DIR "/" + name), read_file(TEMPLATE_SOURCE_DIR "/" + name)) << name;
        }
    EXPECT_EQ(staged, want);
    EXPECT_NE(read_file(TEMPLATE_BUILD_DIR "/README.md").find("CC0"), std::string::npos);

    int w = 0, h = 0, n = 0;
    unsigned char* logo = stbi_load(TEMPLATE_BUILD_DIR "/logo.png", &w, &h, &n, 4);
    ASSERT_NE(logo, nullptr);
    stbi_image_free(logo);
    EXPECT_EQ(w, 4 * h);

    SF_INFO info{};
    SNDFILE* music = sf_open(TEMPLATE_BUILD_DIR "/music.ogg", SFM_READ, &info);
    ASSERT_NE(music, nullptr) << sf_strerror(nullptr);
    sf_close(music);
    EXPECT_EQ(info.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS) << "what its name says";
    EXPECT_EQ(info.channels, 2);
    EXPECT_NEAR(double(info.frames) / info.samplerate, 90.0, 0.05);
    EXPECT_LT(fs::file_size(TEMPLATE_BUILD_DIR "/music.ogg"), 2u << 20) << "the package carries it";
}

}  // namespace
