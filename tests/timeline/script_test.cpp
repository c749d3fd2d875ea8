// The whole show script: its size, its parameter block, and the resulting show at its boundaries.
#include <gtest/gtest.h>

#include <cstddef>

#include "show_rows.h"
#include "timeline_reset.h"

namespace {

using namespace show_rows;

void build() {
    timeline_reset();
    program_set = FAKE;
    time_offset_ms = 1234;
    build_show_script();
}

TEST(Script, Adds71TracksAndResetsTimeOffset) {
    build();
    EXPECT_EQ(track_count, SHOW_SCRIPT_TRACKS);
    EXPECT_EQ(time_offset_ms, 0);
    EXPECT_EQ(cue_time_base, 0);
    EXPECT_EQ(value_memory.count, 6);
}

TEST(Script, ShowParamsAreConsecutiveFloatsWithResolutionAndMouseZeroBeforeTheFirstFrame) {
    // Tracks address vector components as target + i: no padding may creep in between fields.
    EXPECT_EQ(sizeof(ShowParams), 52 * sizeof(float));
    EXPECT_EQ(offsetof(ShowParams, logo_slot), 51 * sizeof(float));
    EXPECT_EQ(show_params_initial.resolution[0], 0);
    EXPECT_EQ(show_params_initial.mouse[1], 0);
}

class ScriptShow : public ::testing::TestWithParam<ShowRow> {};

TEST_P(ScriptShow, MatchesResultingShow) {
    const ShowRow& r = GetParam();
    build();
    tracks_evaluate(r.t);
    const ShowParams& p = show_params;
    EXPECT_EQ(p.scene_program, (float)r.program);
    EXPECT_NEAR(p.gamma, r.gamma, 1e-6f);
    EXPECT_EQ(p.displayLogo, r.display_logo);
    EXPECT_EQ(p.skip_render, 0);
    EXPECT_EQ(p.useEffect, 0);
    EXPECT_EQ(p.logo_slot, 0);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(p.logoColor[i], r.logo[i], 1e-6f) << "logoColor " << i;
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(p.flashColor[i], r.flash[i], 1e-6f) << "flashColor " << i;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p.campos[i], r.campos[i], 1e-5f) << "campos " << i;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p.camtar[i], r.camtar[i], 1e-5f) << "camtar " << i;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(p.camup[i], show_params_initial.camup[i]);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, ScriptShow, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<ShowRow>& info) {
                             return "t" + std::to_string(info.param.t);
                         });

}  // namespace
