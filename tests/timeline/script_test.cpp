// The whole show script: its size, its parameter block, and the resulting show at its boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>

#include "timeline_reset.h"

namespace {

const ProgramSet FAKE = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110};

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

struct ShowRow {
    int32_t t;
    uint32_t program;
    float gamma, display_logo;
    float logo[4], flash[4], campos[3], camtar[3];
};

// Values of the resulting show, read at the boundaries of its table.
const float W1[4] = {1, 1, 1, 1};
const ShowRow ROWS[] = {
    {0, 105, 1, 0, {1, 1, 1, 1}, {0, 0, 0, 0}, {0, 0, 0}, {0, -0.5f, -2}},
    {1500, 105, 1, 0, {1, 1, 1, 1}, {0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, -0.9f}, {0, -0.5f, -3.2f}},
    {2999, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, -1.7994f}, {0, -0.5f, -4.3992f}},
    {3000, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, -1.8f}, {0, -0.5f, -4.4f}},
    {9999, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, -5.9994f}, {0, -0.5f, -9.9992f}},
    {10000, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {10001, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {46000, 105, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {47000, 105, 0.505f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {48000, 104, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {48500, 104, 0.505f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {49000, 104, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {70100, 104, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {72100, 106, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {96000, 103, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {97000, 103, 0.505f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {98000, 103, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {123000, 103, 0.505f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {124000, 108, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {160000, 101, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {190000, 102, 0.01f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {204999, 102, 1, 0, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {205000, 102, 1, 1, {1, 1, 1, 0}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {207500, 102, 0.75f, 1, {1, 1, 1, 0.475f}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {210000, 102, 0.5f, 1, {1, 1, 1, 0.95f}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {230000, 102, 0.5f, 1, {1, 1, 1, 0.95f}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
    {240000, 102, 0.5f, 1, {1, 1, 1, 0.95f}, {1, 1, 1, 1}, {0, -0.5f, -10}, {3, -0.5f, -12}},
};

void PrintTo(const ShowRow& r, std::ostream* os) { *os << "t=" << r.t; }

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
