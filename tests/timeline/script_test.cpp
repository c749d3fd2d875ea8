// The whole show script: its size, its parameter block, and the resulting show at its boundaries.
#include <gtest/gtest.h>

#include <cmath>
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

// A value of the easing curves at fraction g of a span, as the track tests pin them down at their
// edges and middle; here they pin each fade of the script a quarter of the way in, where a cosine
// and a straight fade differ.
double eased(int mode, double g, double from, double to) {
    double f = mode == EASE_COSINE ? (1.0 - std::cos(g * M_PI)) * 0.5 : g;
    return from + (to - from) * f;
}

struct Fade {
    const char* what;
    int32_t start, length;
    int mode;
    float from, to;
    const float* value;
};

TEST(Script, EveryFadeIsEasedItsOwnWayAQuarterOfTheWayIn) {
    const ShowParams& p = show_params;
    const Fade fades[] = {
        {"gamma down", 46000, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 48000, 1000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"gamma down", 70100, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 72100, 2000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"gamma down", 94000, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 96000, 2000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"gamma down", 122000, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 124000, 2000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"gamma down", 158000, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 160000, 2000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"gamma down", 188000, 2000, EASE_LINEAR, 1, 0.01f, &p.gamma},
        {"gamma up", 190000, 2000, EASE_COSINE, 0.01f, 1, &p.gamma},
        {"closing gamma", 205000, 5000, EASE_LINEAR, 1, 0.5f, &p.gamma},
        {"flash rise", 0, 3000, EASE_COSINE, 0, 1, &p.flashColor[3]},
        {"flash red", 0, 3000, EASE_COSINE, 0, 1, &p.flashColor[0]},
        {"logo alpha", 205000, 5000, EASE_COSINE, 0, 0.95f, &p.logoColor[3]},
    };
    for (const Fade& f : fades) {
        build();
        int32_t t = f.start + f.length / 4;
        tracks_evaluate(t);
        EXPECT_NEAR(*f.value, eased(f.mode, 0.25, f.from, f.to), 1e-5) << f.what << " at t=" << t;
    }
}

}  // namespace
