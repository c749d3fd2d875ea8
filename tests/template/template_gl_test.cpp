// The starter project on the real driver, loaded through the show's own loader from the staged
// folder with the sheet's script: every program builds, every scene change fades to black, and
// the nine scenes and the logo each look like themselves, no two alike.
#include "gl_test.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "load/intro.h"
#include "load/program_status.h"
#include "project_files.h"
#include "render/render.h"
#include "scratch_dir.h"
#include "template_colours.h"
#include "timeline/params.h"
#include "timeline/script.h"

namespace {

class TemplateGl : public GlTest {
protected:
    sheet::Script script;
    void SetUp() override {
        GlTest::SetUp();
        ScratchDir dir;  // the scene files are read while loading, then no more
        std::string why;
        ASSERT_TRUE(write_project_show(TEMPLATE_BUILD_DIR, script, why)) << why;
        ASSERT_EQ(intro_init(), 1);
        show_params = show_params_initial;
        script_clear();
        script_run(script.cues.data(), (int32_t)script.cues.size());
    }
    void TearDown() override {
        script_clear();
        GlTest::TearDown();
    }
    // The mean colour of the frame at t, drawn as a start there draws it: from an empty previous
    // frame, with the frames of the 200 ms before it leading up.
    void mean_at(int32_t t, double rgb[3]) {
        render_clear_feedback();
        for (int32_t k = 4; k >= 0; --k) render_frame(t - k * 50);
        std::vector<unsigned char> px(SCREEN_WIDTH * SCREEN_HEIGHT * 4u);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        double sum[3] = {0, 0, 0};
        for (size_t i = 0; i < px.size(); i += 4)
            for (int c = 0; c < 3; ++c) sum[c] += px[i + c];
        for (int c = 0; c < 3; ++c) rgb[c] = sum[c] / (SCREEN_WIDTH * SCREEN_HEIGHT);
    }
};

std::string text(const double rgb[3]) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "(%.0f, %.0f, %.0f)", rgb[0], rgb[1], rgb[2]);
    return buf;
}

double distance(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

TEST_F(TemplateGl, EveryProgramBuilds) {
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        static ProgramStatus st;
        EXPECT_EQ(program_status(program_set.*e.program, &st), 1)
            << e.label << ":\n" << st.log[PROGRAM_VERTEX] << st.log[PROGRAM_FRAGMENT] << st.link_log;
    }
}

TEST_F(TemplateGl, EverySceneChangeIsBlack) {
    for (size_t i = 1; i < script.slots.size(); ++i) {
        double rgb[3];
        mean_at(script.slots[i].start_ms, rgb);
        EXPECT_LT(rgb[0] + rgb[1] + rgb[2], 6.0) << "change to " << script.slots[i].label;
    }
}

// Each scene in the middle of its slot, and the logo fully in over the last: each close to its
// expected colour, and every two at least 30 apart (of 255 per channel).
TEST_F(TemplateGl, ScenesAndLogoAreToldApartByTheirMeanColour) {
    const size_t n = sizeof TEMPLATE_COLOURS / sizeof TEMPLATE_COLOURS[0];
    ASSERT_EQ(n, script.slots.size() + 1);
    double mean[n][3];
    for (size_t i = 0; i < n; ++i) {
        bool logo = i == script.slots.size();
        int32_t t = logo ? script.logo_ms + 2500 : (script.slots[i].start_ms + script.slots[i].end_ms) / 2;
        if (!logo) {
            EXPECT_EQ(script.slots[i].label, TEMPLATE_COLOURS[i].label);
        }
        mean_at(t, mean[i]);
        EXPECT_LT(distance(mean[i], TEMPLATE_COLOURS[i].rgb), 25.0)
            << TEMPLATE_COLOURS[i].label << " at " << t << " ms is " << text(mean[i]);
    }
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            EXPECT_GT(distance(mean[i], mean[j]), 30.0)
                << TEMPLATE_COLOURS[i].label << " " << text(mean[i]) << " and " << TEMPLATE_COLOURS[j].label << " " << text(mean[j]);
}

}  // namespace
