// The sync editor's model without a window, one behaviour a case, each checked through the sheet's
// text and the track values it gives at chosen times: move, add, delete, length, easing, anchor,
// rename, undo and redo, a refused edit, and saving against the file on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "scratch_dir.h"
#include "sheet_edit.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/timeline_reset.h"
#include "timeline/tracks.h"

namespace {

const char* SHEET =
    "length 20.000\n"
    "mark flash 1.000\n"
    "mark logo 15.000\n"
    "tempo 0.000 120   # beats every half second\n"
    "scene 0.000 pt01\n"
    "scene 10.000 pt02\n"
    "set 0.000 gamma 1\n"
    "tween 4.000 6.000 linear gamma 0.5\n"
    "set pt02 gamma 0.25\n";

struct EditModel : ::testing::Test {
    ScratchDir dir;
    edit::Editor e;
    void SetUp() override {
        timeline_reset();
        for (int i = 0; i < PROGRAM_COUNT; ++i) program_set.*PROGRAM_TABLE[i].program = 101 + i;
        write_file("show.cues", SHEET);
        std::string error;
        ASSERT_TRUE(edit::open(e, "show.cues", error)) << error;
    }
    void TearDown() override { timeline_reset(); }
    // The show as the edited sheet makes it, at `ms`.
    ShowParams at(int32_t ms) {
        edit::apply(e);
        show_params = show_params_initial;
        tracks_evaluate(ms);
        return show_params;
    }
    float gamma(int32_t ms) { return at(ms).gamma; }
    // The sheet's lines that are keys of `param`, as the sheet writes them, in line order.
    std::vector<std::string> row(const std::string& param) {
        std::vector<std::string> out;
        for (const sheet::Line& l : e.sheet.lines)
            if ((l.kind == sheet::LINE_SET || l.kind == sheet::LINE_TWEEN) && l.name == param) out.push_back(sheet::format(l));
        return out;
    }
    int line_of(const std::string& text) {
        for (size_t i = 0; i < e.sheet.lines.size(); ++i)
            if (sheet::format(e.sheet.lines[i]).rfind(text, 0) == 0) return (int)i;
        ADD_FAILURE() << "no line " << text;
        return -1;
    }
};

TEST_F(EditModel, MovingATweenMovesItsWholeSpan) {
    EXPECT_FLOAT_EQ(gamma(5000), 0.75f);
    int line = line_of("tween 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 2000));
    EXPECT_FLOAT_EQ(gamma(3000), 0.75f);  // half-way along 2 s .. 4 s
    EXPECT_FLOAT_EQ(gamma(5000), 0.5f);
    EXPECT_EQ(sheet::format(e.sheet.lines[line]), "tween 2.000 4.000 linear gamma 0.5");
}

TEST_F(EditModel, AKeyMovedPastOthersOfItsRowLandsInTimeOrder) {
    int line = line_of("set 0.000 gamma");
    // Later, past the tween and the anchored set (at 10 s): right after the last that starts earlier.
    ASSERT_TRUE(edit::move_key(e, line, 11000));
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"tween 4.000 6.000 linear gamma 0.5", "set pt02 gamma 0.25",
                                                      "set 11.000 gamma 1"}));
    EXPECT_EQ(line, line_of("set 11.000"));
    ASSERT_TRUE(edit::move_key(e, line, 5000));
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"tween 4.000 6.000 linear gamma 0.5", "set 5.000 gamma 1",
                                                      "set pt02 gamma 0.25"}));
    EXPECT_FLOAT_EQ(gamma(5500), 1.0f) << "the later line wins once it has begun";
}

TEST_F(EditModel, AtAnEqualStartASetGoesBeforeATweenAndTheMovedLineAfterItsOwnKind) {
    // A set dragged onto the beat where a tween of its parameter starts: the tween runs from it.
    float now[4] = {0.2f, 0, 0, 0};
    int line = edit::add_key(e, SHOW_PARAM_gamma, 8000, false, now);
    ASSERT_GE(line, 0);
    ASSERT_TRUE(edit::move_key(e, line, 4000));
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"set 0.000 gamma 1", "set 4.000 gamma 0.2", "tween 4.000 6.000 linear gamma 0.5",
                                                      "set pt02 gamma 0.25"}));
    EXPECT_FLOAT_EQ(gamma(5000), 0.35f) << "half-way from the set's 0.2 to 0.5";
    // A tween dragged onto a set's start goes after it; a set onto a set's start goes after that one.
    line = line_of("tween 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 0));
    EXPECT_EQ(row("gamma")[1], "tween 0.000 2.000 linear gamma 0.5");
    line = line_of("set 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 0));
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"set 0.000 gamma 1", "set 0.000 gamma 0.2", "tween 0.000 2.000 linear gamma 0.5",
                                                      "set pt02 gamma 0.25"}));
    EXPECT_FLOAT_EQ(gamma(1000), 0.35f);
}

TEST_F(EditModel, AMovedSceneTakesItsAnchoredKeysAndStaysBetweenItsNeighbours) {
    int line = line_of("scene 10.000 pt02");
    ASSERT_TRUE(edit::move_key(e, line, 12000));
    EXPECT_FLOAT_EQ(gamma(11000), 0.5f);
    EXPECT_FLOAT_EQ(gamma(12000), 0.25f);
    EXPECT_EQ(at(11000).scene_program, 101);
    EXPECT_EQ(at(12000).scene_program, 102);
    EXPECT_TRUE(e.music_stale) << "the bundled music follows a moved scene only after a rebuild";
    ASSERT_TRUE(edit::move_key(e, line, -5000));  // held after the first scene
    EXPECT_EQ(e.script.slots[1].start_ms, 1);
    int first = line_of("scene 0.000 pt01");
    EXPECT_FALSE(edit::move_key(e, first, 3000)) << "the first scene starts the show";
}

TEST_F(EditModel, AddedKeysGoInTimeOrderAndATweenRunsOneSecond) {
    float now[4] = {0.9f, 0, 0, 0};
    int line = edit::add_key(e, SHOW_PARAM_gamma, 8000, false, now);
    ASSERT_GE(line, 0);
    EXPECT_EQ(line, line_of("tween 4.000") + 1) << "after the earlier keys of its row";
    EXPECT_FLOAT_EQ(gamma(9000), 0.9f);
    line = edit::add_key(e, SHOW_PARAM_gamma, 8500, true, now);
    ASSERT_GE(line, 0);
    EXPECT_EQ(sheet::format(e.sheet.lines[line]), "tween 8.500 9.500 linear gamma 0.9");
    // Near the end the tween stops at the show's.
    line = edit::add_key(e, SHOW_PARAM_gamma, 19500, true, now);
    EXPECT_EQ(sheet::format(e.sheet.lines[line]), "tween 19.500 20.000 linear gamma 0.9");
    // A scene slot for the first program not yet scheduled.
    ASSERT_GE(edit::add_key(e, edit::ROW_SCENE, 5000, false, now), 0);
    EXPECT_EQ(at(6000).scene_program, 103);
    EXPECT_EQ(edit::add_key(e, SHOW_PARAM_useEffect, 5000, true, now), -1) << "an integer parameter is set, not tweened";
}

TEST_F(EditModel, ADeletedKeyIsGone) {
    ASSERT_TRUE(edit::delete_key(e, line_of("tween 4.000")));
    EXPECT_FLOAT_EQ(gamma(5000), 1.0f);
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"set 0.000 gamma 1", "set pt02 gamma 0.25"}));
}

TEST_F(EditModel, LengthAndEasingChangeTheCurveAndAnAnchoredEndStaysAnchored) {
    // A tween written from a scene change to another time of it keeps both anchors when its
    // length changes, and so still moves with the scene.
    write_file("show.cues", std::string(SHEET) + "tween pt02-4.000 pt02-2.000 linear gamma 0.1\n");
    ASSERT_EQ(edit::check_disk(e), 1);
    int anchored = line_of("tween pt02-4.000");
    ASSERT_TRUE(edit::set_length(e, anchored, 1000));
    EXPECT_EQ(sheet::format(e.sheet.lines[anchored]), "tween pt02-4.000 pt02-3.000 linear gamma 0.1");
    int scene = line_of("scene 10.000");
    ASSERT_TRUE(edit::move_key(e, scene, 12000));
    EXPECT_FLOAT_EQ(gamma(7500), 0.5f);
    EXPECT_FLOAT_EQ(gamma(8500), 0.175f) << "half-way from the 0.25 set before it to 0.1, at its new time";
    EXPECT_FLOAT_EQ(gamma(9500), 0.1f);

    int line = line_of("tween 4.000");
    EXPECT_NEAR(gamma(4500), 0.875f, 1e-6);
    ASSERT_TRUE(edit::set_easing(e, line, EASE_COSINE));
    EXPECT_NEAR(gamma(4500), 1 - 0.5 * (1 - std::cos(0.25 * 3.1415927)) / 2, 1e-6);
    ASSERT_TRUE(edit::set_length(e, line, 1000));
    EXPECT_EQ(sheet::format(e.sheet.lines[line]), "tween 4.000 5.000 cosine gamma 0.5");
    EXPECT_FLOAT_EQ(gamma(5000), 0.5f);
}

TEST_F(EditModel, ATimeTypedWithAnAnchorMovesWithItsScene) {
    int line = line_of("tween 4.000");
    ASSERT_TRUE(edit::set_time_text(e, line, "pt02-3.000"));
    EXPECT_EQ(sheet::format(e.sheet.lines[line]), "tween pt02-3.000 9.000 linear gamma 0.5");
    EXPECT_FLOAT_EQ(gamma(6500), 1.0f);
    EXPECT_FLOAT_EQ(gamma(9500), 0.5f);
    EXPECT_FALSE(edit::set_time_text(e, line, "pt09+1.000")) << "pt09 has no slot";
    EXPECT_FALSE(edit::set_time_text(e, line, "soon"));
}

TEST_F(EditModel, ARenamedSceneTakesTheKeysAnchoredOnItsOldLabel) {
    write_file("show.cues", std::string(SHEET) + "tween pt02-2.000 pt02 linear gamma 0.5\n");
    ASSERT_EQ(edit::check_disk(e), 1);
    ASSERT_TRUE(edit::set_program(e, line_of("scene 10.000"), "pt05"));
    EXPECT_EQ(row("gamma"), (std::vector<std::string>{"set 0.000 gamma 1", "tween 4.000 6.000 linear gamma 0.5", "set pt05 gamma 0.25",
                                                      "tween pt05-2.000 pt05 linear gamma 0.5"}));
    EXPECT_EQ(at(12000).scene_program, 105);
    EXPECT_FLOAT_EQ(gamma(9000), 0.375f) << "half-way from the 0.25 set before it to 0.5";
}

TEST_F(EditModel, UndoAndRedoWalkBackAndForthAndANewEditEndsTheRedoHistory) {
    int line = line_of("tween 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 2000));
    std::string error;
    ASSERT_TRUE(edit::save(e, error)) << error;
    ASSERT_TRUE(edit::undo(e));
    EXPECT_TRUE(e.dirty) << "an undo is an unsaved change";
    EXPECT_FLOAT_EQ(gamma(3000), 1.0f);
    EXPECT_FLOAT_EQ(gamma(5000), 0.75f);
    ASSERT_TRUE(edit::redo(e));
    EXPECT_FLOAT_EQ(gamma(3000), 0.75f);
    EXPECT_FALSE(edit::redo(e));
    ASSERT_TRUE(edit::undo(e));
    ASSERT_TRUE(edit::set_value(e, line_of("set 0.000 gamma"), 0, 0.8f));
    EXPECT_FALSE(edit::redo(e)) << "after a new edit, the undone one cannot come back over it";
    EXPECT_FLOAT_EQ(gamma(3000), 0.8f);
}

TEST_F(EditModel, ADragIsOneUndoStep) {
    int line = line_of("tween 4.000");
    edit::begin_gesture(e);
    for (int32_t t : {4500, 5000, 5500, 7000}) ASSERT_TRUE(edit::move_key(e, line, t));
    edit::end_gesture(e);
    EXPECT_EQ(e.undo.size(), 1u);
    ASSERT_TRUE(edit::undo(e));
    EXPECT_FLOAT_EQ(gamma(5000), 0.75f);
}

TEST_F(EditModel, ARefusedEditChangesNothingAndSaysWhy) {
    std::string before = edit::text(e);
    int tween = line_of("tween 4.000");
    EXPECT_FALSE(edit::move_key(e, tween, 19500));  // its end would pass the show's
    EXPECT_NE(e.message.find("outside the show"), std::string::npos) << e.message;
    EXPECT_FALSE(edit::delete_key(e, line_of("scene 10.000")));  // a key is anchored to it
    EXPECT_NE(e.message.find("unknown anchor 'pt02'"), std::string::npos) << e.message;
    EXPECT_FALSE(edit::set_value(e, line_of("set 0.000 gamma"), 1, 2.0f));  // gamma has one component
    EXPECT_EQ(edit::text(e), before);
    EXPECT_FALSE(e.dirty);
    EXPECT_TRUE(e.undo.empty());
}

TEST_F(EditModel, SavingWritesOnlyTheEditedLinesAndNeverLosesAChangeOnDisk) {
    int line = line_of("set pt02");
    ASSERT_TRUE(edit::move_key(e, line, 11000));
    std::string error;
    ASSERT_TRUE(edit::save(e, error)) << error;
    std::string saved = read_file("show.cues");
    EXPECT_NE(saved.find("tempo 0.000 120   # beats every half second\n"), std::string::npos) << "untouched lines as they were";
    EXPECT_NE(saved.find("set pt02+1.000 gamma 0.25\n"), std::string::npos) << saved;
    EXPECT_FALSE(e.dirty);
    EXPECT_EQ(edit::check_disk(e), 0) << "the editor's own save is no change made elsewhere";

    // Changed elsewhere with nothing unsaved here: taken.
    write_file("show.cues", std::string(SHEET) + "set 18.000 gamma 0.1\n");
    EXPECT_EQ(edit::check_disk(e), 1);
    EXPECT_FLOAT_EQ(gamma(19000), 0.1f);

    // Changed elsewhere while edits are unsaved: neither side is overwritten until the maker says.
    line = line_of("set 18.000");
    ASSERT_TRUE(edit::move_key(e, line, 17000));
    write_file("show.cues", std::string(SHEET) + "set 16.000 gamma 0.3\n");
    EXPECT_EQ(edit::check_disk(e), 2);
    EXPECT_FALSE(edit::save(e, error));
    EXPECT_EQ(read_file("show.cues"), std::string(SHEET) + "set 16.000 gamma 0.3\n");
    EXPECT_FLOAT_EQ(gamma(17500), 0.1f) << "the edits stay on screen";
    edit::keep_mine(e);
    ASSERT_TRUE(edit::save(e, error)) << error;
    EXPECT_NE(read_file("show.cues").find("set 17.000 gamma 0.1"), std::string::npos);

    line = line_of("set 17.000");
    ASSERT_TRUE(edit::move_key(e, line, 16500));
    write_file("show.cues", SHEET);
    EXPECT_EQ(edit::check_disk(e), 2);
    ASSERT_TRUE(edit::take_theirs(e));
    EXPECT_FLOAT_EQ(gamma(19000), 0.25f);
    EXPECT_FALSE(e.dirty);
}

TEST_F(EditModel, ASheetOnDiskWithAMistakeStillCountsAsChangedAtTheNextSave) {
    const std::string typo = std::string(SHEET) + "set 18.000 gama 0.1\n";
    write_file("show.cues", typo);
    EXPECT_EQ(edit::check_disk(e), 0);
    EXPECT_NE(e.message.find("show.cues:10: unknown parameter 'gama'"), std::string::npos) << e.message;
    EXPECT_FLOAT_EQ(gamma(19000), 0.25f) << "the sheet shown stays";
    int line = line_of("tween 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 2000));
    std::string error;
    EXPECT_FALSE(edit::save(e, error)) << "the text editor's changes are not overwritten without asking";
    EXPECT_TRUE(e.conflict);
    EXPECT_EQ(read_file("show.cues"), typo);
}

TEST_F(EditModel, AReadOnlySheetIsNotReplacedAndUnsavedEditsGoToTheRecoveryFile) {
    int line = line_of("tween 4.000");
    ASSERT_TRUE(edit::move_key(e, line, 2000));
    ASSERT_EQ(chmod("show.cues", 0444), 0);
    std::string error;
    EXPECT_FALSE(edit::save(e, error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(read_file("show.cues"), SHEET);
    EXPECT_EQ(std::filesystem::status("show.cues").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read);
    EXPECT_TRUE(e.dirty);
    ASSERT_TRUE(edit::save_recovery(e, error)) << error;
    EXPECT_EQ(edit::recovery_path(e), "show.cues.unsaved");
    EXPECT_NE(read_file("show.cues.unsaved").find("tween 2.000 4.000 linear gamma 0.5\n"), std::string::npos);
    EXPECT_EQ(read_file("show.cues"), SHEET);
    // The next session is told.
    edit::Editor again;
    ASSERT_TRUE(edit::open(again, "show.cues", error)) << error;
    EXPECT_NE(again.message.find("show.cues.unsaved"), std::string::npos) << again.message;
}

}  // namespace
