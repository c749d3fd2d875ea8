// Cues and value memory: tweens start from what the script last gave their target.
#include <gtest/gtest.h>

#include "timeline_reset.h"

namespace {

TEST(Cues, ScalarTweenStartsFromSetValueAndHoldsEnd) {
    timeline_reset();
    float* gamma = &show_params.gamma;
    cue_set1(0, gamma, 1);
    cue_tween1(46000, 2000, EASE_LINEAR, gamma, 0.01f);
    cue_set1(48000, gamma, 0.01f);
    const struct { int32_t t; float expect; } cases[] = {
        {0, 1}, {45999, 1}, {46000, 1}, {47000, 0.505f}, {48000, 0.01f}, {48001, 0.01f}, {200000, 0.01f}};
    for (const auto& c : cases) {
        tracks_evaluate(c.t);
        EXPECT_NEAR(*gamma, c.expect, 1e-6f) << "t=" << c.t;
    }
}

TEST(Cues, LaterSetWinsFromItsOwnTime) {
    timeline_reset();
    static float v;
    cue_set1(1000, &v, 3);
    cue_set1(5000, &v, 7);
    v = -1;
    tracks_evaluate(999);
    EXPECT_EQ(v, -1);
    tracks_evaluate(4999);
    EXPECT_EQ(v, 3);
    tracks_evaluate(5000);
    EXPECT_EQ(v, 7);
    tracks_evaluate(100000);
    EXPECT_EQ(v, 7);
}

TEST(Cues, Vector4TweenAfterSet3StartsWFromRememberedZero) {
    timeline_reset();
    static float v[4] = {9, 9, 9, 9};
    cue_set3(0, v, 0.5f, 0.5f, 0.5f);
    cue_tween4(0, 1000, EASE_LINEAR, v, 1, 1, 1, 1);
    tracks_evaluate(500);
    EXPECT_FLOAT_EQ(v[0], 0.75f);
    EXPECT_FLOAT_EQ(v[3], 0.5f);  // from 0, not from the variable's 9
    float mem[4];
    ASSERT_TRUE(value_recall(v, mem));
    EXPECT_FLOAT_EQ(mem[3], 1);
}

TEST(Cues, MemoryAfterEachCueKind) {
    timeline_reset();
    static float s, v3[3], v4[4];
    float m[4];
    cue_set1(0, &s, 2);
    cue_tween1(0, 10, EASE_LINEAR, &s, 5);  // scalar tween leaves the memory alone
    ASSERT_TRUE(value_recall(&s, m));
    EXPECT_EQ(m[0], 2);
    cue_tween1(10, 10, EASE_LINEAR, &s, 9);
    EXPECT_EQ(track_table[track_count - 1].from, 2);  // so the next tween starts from 2 again

    cue_set3(0, v3, 1, 2, 3);
    cue_tween3(0, 10, EASE_LINEAR, v3, 4, 5, 6);
    ASSERT_TRUE(value_recall(v3, m));
    EXPECT_EQ(m[0], 4);
    EXPECT_EQ(m[2], 6);
    EXPECT_EQ(m[3], 0);
    cue_tween3(10, 10, EASE_LINEAR, v3, 7, 8, 9);
    EXPECT_EQ(track_table[track_count - 3].from, 4);  // vector tweens chain from their end values

    cue_set4(0, v4, 1, 2, 3, 4);
    ASSERT_TRUE(value_recall(v4, m));
    EXPECT_EQ(m[3], 4);
    EXPECT_EQ(value_memory.count, 3);
}

TEST(Cues, TweenWithoutRecordStartsFromZero) {
    timeline_reset();
    static float v = 7;
    float m[4] = {1, 1, 1, 1};
    EXPECT_FALSE(value_recall(&v, m));
    EXPECT_EQ(m[0], 0);
    cue_tween1(0, 100, EASE_LINEAR, &v, 10);
    tracks_evaluate(50);
    EXPECT_FLOAT_EQ(v, 5);
}

TEST(Cues, MemoryFullRefusesNewTargetButCueStillAddsTracks) {
    timeline_reset();
    static float many[VALUE_MEMORY_CAPACITY + 1];
    for (int i = 0; i < VALUE_MEMORY_CAPACITY; ++i) ASSERT_EQ(value_remember(&many[i], (float)i, 0, 0, 0), 1);
    EXPECT_EQ(value_remember(&many[VALUE_MEMORY_CAPACITY], 1, 0, 0, 0), 0);
    EXPECT_EQ(value_remember(&many[3], 33, 0, 0, 0), 1);  // known targets still update
    float m[4];
    EXPECT_TRUE(value_recall(&many[3], m));
    EXPECT_EQ(m[0], 33);

    int before = track_count;
    cue_set1(0, &many[VALUE_MEMORY_CAPACITY], 5);
    EXPECT_EQ(track_count, before + 1);
    EXPECT_FALSE(value_recall(&many[VALUE_MEMORY_CAPACITY], m));
    EXPECT_EQ(value_memory.count, VALUE_MEMORY_CAPACITY);
}

TEST(Cues, IntegerCuesAddStepTracksAndLeaveMemory) {
    timeline_reset();
    cue_program(100, 7);
    cue_skip(200, 1);
    cue_logo_slot(300, 2);
    cue_effect(400, 3);
    ASSERT_EQ(track_count, 4);
    EXPECT_EQ(value_memory.count, 0);
    const float* targets[] = {&show_params.scene_program, &show_params.skip_render, &show_params.logo_slot,
                              &show_params.useEffect};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(track_table[i].target, targets[i]);
        EXPECT_EQ(track_table[i].mode, EASE_STEP);
        EXPECT_EQ(track_table[i].end - track_table[i].start, 1);
        EXPECT_EQ(track_table[i].from, track_table[i].to);
    }
    tracks_evaluate(1000);
    EXPECT_EQ(show_params.scene_program, 7);
    EXPECT_EQ(show_params.skip_render, 1);
    EXPECT_EQ(show_params.logo_slot, 2);
    EXPECT_EQ(show_params.useEffect, 3);
}

TEST(Cues, DroppedTrackStillUpdatesMemory) {
    timeline_reset();
    static float v;
    track_count = TRACK_CAPACITY;
    cue_set1(0, &v, 4);
    EXPECT_EQ(track_count, TRACK_CAPACITY);
    float m[4];
    EXPECT_TRUE(value_recall(&v, m));
    EXPECT_EQ(m[0], 4);
    timeline_reset();
}

}  // namespace
