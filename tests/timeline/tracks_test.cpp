// Track engine: easing curves at span edges, insertion-order priority, odd spans, table limits.
#include <gtest/gtest.h>

#include <cmath>

#include "timeline_reset.h"

namespace {

struct Sample {
    int32_t t;
    float expect;
};

// Evaluates at t with `v` preset to `initial`, so an unwritten target shows as `initial`.
float value_at(float& v, int32_t t, float initial = -99.0f) {
    v = initial;
    tracks_evaluate(t);
    return v;
}

struct CurveCase {
    const char* name;
    int32_t start, end, mode;
    float from, to;
    std::vector<Sample> samples;
};

void PrintTo(const CurveCase& c, std::ostream* os) { *os << c.name; }

class TracksCurve : public ::testing::TestWithParam<CurveCase> {};

TEST_P(TracksCurve, WritesEasedValueAtEachTime) {
    const CurveCase& c = GetParam();
    timeline_reset();
    static float target;
    ASSERT_EQ(track_add(c.start, c.end, c.mode, &target, c.from, c.to), 0);
    for (const Sample& s : c.samples) {
        target = -99.0f;
        tracks_evaluate(s.t);
        EXPECT_NEAR(target, s.expect, 1e-5f) << c.name << " at t=" << s.t;
    }
}

// -99 marks "nothing written".
INSTANTIATE_TEST_SUITE_P(
    Easings, TracksCurve,
    ::testing::Values(
        CurveCase{"step", 1000, 2000, EASE_STEP, 3, 7, {{999, -99}, {1000, 3}, {1500, 3}, {2000, 3}, {2001, 7}}},
        CurveCase{"linear", 0, 1000, EASE_LINEAR, 2, 4, {{-1, -99}, {0, 2}, {250, 2.5f}, {1000, 4}, {5000, 4}}},
        CurveCase{"cosine", 0, 1000, EASE_COSINE, 0, 1, {{0, 0}, {500, 0.5f}, {1000, 1}, {1001, 1}, {90000, 1}}},
        // Thirds rounds g*10 to even and steps by a third, so it overshoots `to` well before the end.
        CurveCase{"thirds", 0, 1000, EASE_THIRDS, 0, 3,
                  {{0, 0}, {50, 0}, {51, 1}, {149, 1}, {150, 2}, {250, 2}, {251, 3}, {350, 4}, {1000, 10}, {1001, 3}}},
        // start == end: g = 0 at the single moment, `to` right after.
        CurveCase{"zero span", 5000, 5000, EASE_LINEAR, 1, 2, {{4999, -99}, {5000, 1}, {5001, 2}}},
        // end before start: nothing until end, then `to` at every later time, also before start.
        CurveCase{"end before start", 3000, 2000, EASE_LINEAR, 1, 2, {{1999, -99}, {2000, -99}, {2001, 2}, {2500, 2}, {4000, 2}}}),
    [](const ::testing::TestParamInfo<CurveCase>& info) {
        std::string n = info.param.name;
        for (char& ch : n) if (ch == ' ') ch = '_';
        return n;
    });

TEST(Tracks, EvaluatesInDoubleAndRoundsOnce) {
    timeline_reset();
    static float v;
    // Single-precision arithmetic would give (1-f)*from + f*to with a different last bit here.
    track_add(0, 3, EASE_LINEAR, &v, 0.1f, 0.7f);
    tracks_evaluate(1);
    double g = 1.0 / 3.0;
    EXPECT_EQ(v, (float)((1.0 - g) * (double)0.1f + g * (double)0.7f));
    track_count = 0;
    track_add(0, 7, EASE_COSINE, &v, 0.3f, 1.9f);
    tracks_evaluate(3);
    double f = (1.0 - std::cos((3.0 / 7.0) * (double)3.1415927f)) * 0.5;
    EXPECT_EQ(v, (float)((1.0 - f) * (double)0.3f + f * (double)1.9f));
}

TEST(Tracks, LaterInsertedTrackWinsWhereItHasBegun) {
    timeline_reset();
    static float v;
    track_add(0, 1000, EASE_LINEAR, &v, 0, 10);
    track_add(500, 600, EASE_STEP, &v, 42, 43);
    EXPECT_FLOAT_EQ(value_at(v, 250), 2.5f);  // only the first has begun
    EXPECT_FLOAT_EQ(value_at(v, 550), 42);    // both active: the later one wins
    EXPECT_FLOAT_EQ(value_at(v, 800), 43);    // the later one finished still writes `to`
    EXPECT_FLOAT_EQ(value_at(v, 2000), 43);
}

TEST(Tracks, PendingTrackKeepsInitialValueAndNullTargetIsSkipped) {
    timeline_reset();
    static float v = 5;
    EXPECT_EQ(track_add(100, 200, EASE_LINEAR, nullptr, 0, 1), 0);
    EXPECT_EQ(track_add(100, 200, EASE_LINEAR, &v, 0, 1), 1);
    EXPECT_FLOAT_EQ(value_at(v, 99, 5), 5);
    EXPECT_FLOAT_EQ(value_at(v, 150, 5), 0.5f);
    EXPECT_FLOAT_EQ(value_at(v, 300, 5), 1);
}

TEST(Tracks, RefusesModeOutsideEasings) {
    timeline_reset();
    static float v;
    EXPECT_EQ(track_add(0, 1, -1, &v, 0, 1), -1);
    EXPECT_EQ(track_add(0, 1, 4, &v, 0, 1), -1);
    EXPECT_EQ(track_count, 0);
}

TEST(Tracks, FullTableRefusesTrack16385) {
    timeline_reset();
    static float v;
    for (int i = 0; i < TRACK_CAPACITY; ++i) ASSERT_EQ(track_add(i, i + 1, EASE_STEP, &v, 1, 1), i);
    EXPECT_EQ(track_add(0, 1, EASE_STEP, &v, 2, 2), -1);
    EXPECT_EQ(track_count, TRACK_CAPACITY);
    EXPECT_FLOAT_EQ(value_at(v, TRACK_CAPACITY + 10), 1);
    timeline_reset();
}

TEST(Tracks, TimeBaseShiftsOnlyTracksAddedAfterIt) {
    timeline_reset();
    static float a, b;
    track_add_span(0, 100, EASE_LINEAR, &a, 0, 1);
    set_time_base(1000);
    track_add_span(0, 100, EASE_LINEAR, &b, 0, 1);
    EXPECT_EQ(track_table[0].start, 0);
    EXPECT_EQ(track_table[0].end, 100);
    EXPECT_EQ(track_table[1].start, 1000);
    EXPECT_EQ(track_table[1].end, 1100);
    a = b = -1;
    tracks_evaluate(1050);
    EXPECT_FLOAT_EQ(a, 1);
    EXPECT_FLOAT_EQ(b, 0.5f);
}

TEST(Tracks, VectorSpansAddOneTrackPerComponentInOrder) {
    timeline_reset();
    static float v3[3], v4[4];
    const float f3[3] = {1, 2, 3}, t3[3] = {4, 5, 6};
    const float f4[4] = {1, 2, 3, 4}, t4[4] = {5, 6, 7, 8};
    track_add_span3(10, 20, EASE_LINEAR, v3, f3, t3);
    track_add_span4(10, 20, EASE_COSINE, v4, f4, t4);
    ASSERT_EQ(track_count, 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(track_table[i].target, v3 + i);
        EXPECT_EQ(track_table[i].end, 30);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(track_table[3 + i].target, v4 + i);
    tracks_evaluate(31);
    EXPECT_FLOAT_EQ(v3[2], 6);
    EXPECT_FLOAT_EQ(v4[3], 8);
}

TEST(Tracks, ExtremeTimesWrapInsteadOfOverflowing) {
    timeline_reset();
    static float v;
    // A span reaching past INT32_MAX wraps its end like 32-bit arithmetic; the sanitizer build
    // would stop here if it overflowed.
    track_add_span(INT32_MAX - 10, 100, EASE_LINEAR, &v, 0, 1);
    EXPECT_EQ(track_table[0].end, INT32_MIN + 89);
    EXPECT_FLOAT_EQ(value_at(v, INT32_MIN + 90), 1);
    timeline_reset();
    track_add(INT32_MIN, INT32_MAX, EASE_LINEAR, &v, 0, 2);
    EXPECT_NEAR(value_at(v, 0), 1.0f, 1e-6f);
}

}  // namespace
