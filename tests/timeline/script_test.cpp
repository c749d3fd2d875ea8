// The whole show script: its size, its parameter block, and the resulting show at its boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "show_sheet.h"
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

// A value of the easing curves a quarter of the way between `from` and `to`, where a cosine and
// a straight fade differ, as the track tests pin the curves down at their edges and middle.
double quarter_way(int mode, double from, double to) {
    double f = mode == EASE_COSINE ? (1.0 - std::cos(0.25 * M_PI)) * 0.5 : 0.25;
    return from + (to - from) * f;
}

struct Fade {
    const char* what;
    int32_t start, length;
    int mode;
    const float* value;
};

// The value `f` has at show time t, from a freshly built script.
float value_at(const Fade& f, int32_t t) {
    build();
    tracks_evaluate(t);
    return *f.value;
}

TEST(Script, EveryFadeIsEasedItsOwnWayAQuarterOfTheWayIn) {
    const ShowParams& p = show_params;
    std::vector<Fade> fades = {
        {"flash rise", 0, FLASH_RISE_MS, EASE_COSINE, &p.flashColor[3]},
        {"flash red", 0, FLASH_RISE_MS, EASE_COSINE, &p.flashColor[0]},
        {"closing gamma", LOGO_START_MS, 5000, EASE_LINEAR, &p.gamma},
        {"logo alpha", LOGO_START_MS, 5000, EASE_COSINE, &p.logoColor[3]},
    };
    // Gamma falls straight into every scene change over 2 s and rises out of it on a cosine, the
    // first time in 1 s.
    for (int i = 1; i < SCENE_SLOT_COUNT; ++i) {
        int32_t change = scene_slots[i].start_ms;
        fades.push_back({"gamma down", change - 2000, 2000, EASE_LINEAR, &p.gamma});
        fades.push_back({"gamma up", change, i == 1 ? 1000 : 2000, EASE_COSINE, &p.gamma});
    }
    // Each fade is judged against its own ends as the timeline gives them.
    for (const Fade& f : fades) {
        int32_t t = f.start + f.length / 4;
        float from = value_at(f, f.start), to = value_at(f, f.start + f.length);
        EXPECT_GT(std::fabs(to - from), 0.1f) << f.what << " from t=" << f.start << " is no fade";
        EXPECT_NEAR(value_at(f, t), quarter_way(f.mode, from, to), 1e-5) << f.what << " at t=" << t;
    }
}

// The tools build a script again and again into one process (the editor on every edit): a rebuilt
// script is the one asked for alone, whatever the one before it left in the tracks, the value
// memory, the time base and the clock offset.
TEST(Script, ARebuiltScriptKeepsNothingOfTheOneBeforeIt) {
    timeline_reset();
    const Cue first[] = {{CUE_SET, 0, 0, 0, SHOW_PARAM_gamma, 1, {0.2f}}, {CUE_TIME_BASE, 700, 0, 0, 0, 0, {}}};
    script_rebuild(first, 2);
    time_offset_ms = 1234;
    const Cue second[] = {{CUE_TWEEN, 0, 1000, EASE_LINEAR, SHOW_PARAM_gamma, 1, {1.0f}}};
    script_rebuild(second, 1);
    EXPECT_EQ(track_count, 1);
    EXPECT_EQ(time_offset_ms, 0);
    EXPECT_EQ(cue_time_base, 0);
    show_params = show_params_initial;
    tracks_evaluate(500);
    EXPECT_FLOAT_EQ(show_params.gamma, 0.5f) << "the tween starts from nothing, not from the earlier script's 0.2";
    timeline_reset();
}

}  // namespace
