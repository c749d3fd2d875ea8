// The cue sheet: read and written back byte for byte, worked out into exactly the tables the show
// is compiled with, and every kind of mistake refused with the file and line it is on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/cue_sheet.h"
#include "scratch_dir.h"
#include "timeline/script.h"

namespace {

std::string bundled() { return read_file(SHOW_SOURCE_DIR "/show.cues"); }

// The bundled sheet with the line reading `line` replaced by `with` (or removed when empty), and
// the number of that line.
std::string edited(const std::string& line, const std::string& with, int& number) {
    std::string text = bundled();
    size_t at = text.find("\n" + line + "\n");
    EXPECT_NE(at, std::string::npos) << line;
    number = (int)std::count(text.begin(), text.begin() + (long)at + 1, '\n') + 1;
    text.replace(at + 1, line.size() + 1, with.empty() ? "" : with + "\n");
    return text;
}

TEST(CueSheet, ReadAndWrittenBackByteForByteEditedOrNot) {
    sheet::Sheet s;
    std::string error;
    ASSERT_TRUE(sheet::parse("show.cues", bundled(), s, error)) << error;
    EXPECT_EQ(sheet::print(s), bundled());
    // Every line written from its fields: the bundled sheet is in the sheet's own spelling.
    for (sheet::Line& l : s.lines) l.edited = l.kind != sheet::LINE_TEXT;
    EXPECT_EQ(sheet::print(s), bundled());
    // Odd spacing, comments and no final line break survive untouched lines.
    const std::string odd = "length   240\n\t# note\nmark flash 3 # x\nmark logo 205.5\nscene 0 pt05";
    ASSERT_TRUE(sheet::parse("odd.cues", odd, s, error)) << error;
    EXPECT_EQ(sheet::print(s), odd);
    s.lines[2].edited = true;
    EXPECT_EQ(sheet::print(s), "length   240\n\t# note\nmark flash 3.000 # x\nmark logo 205.5\nscene 0 pt05");
    EXPECT_EQ(sheet::value_text(-10.0f), "-10");
    EXPECT_EQ(sheet::value_text(0.01f), "0.01");
    EXPECT_EQ(sheet::value_text(1e-9f), "1e-09");
}

TEST(CueSheet, WorksOutToTheTablesTheShowIsCompiledWith) {
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    ASSERT_TRUE(sheet::parse("show.cues", bundled(), s, error) && sheet::resolve(s, script, error)) << error;
    EXPECT_EQ(script.length_ms, SHOW_LENGTH_MS);
    EXPECT_EQ(script.flash_ms, FLASH_RISE_MS);
    EXPECT_EQ(script.logo_ms, LOGO_START_MS);
    EXPECT_EQ(script.tracks, SHOW_SCRIPT_TRACKS);
    ASSERT_EQ(script.cues.size(), (size_t)SHOW_CUE_COUNT);
    for (int i = 0; i < SHOW_CUE_COUNT; ++i) EXPECT_EQ(std::memcmp(&script.cues[i], &SHOW_CUES[i], sizeof(Cue)), 0) << "cue " << i;
    ASSERT_EQ(script.slots.size(), (size_t)SCENE_SLOT_COUNT);
    for (int i = 0; i < SCENE_SLOT_COUNT; ++i) {
        EXPECT_EQ(script.slots[i].label, scene_slots[i].label);
        EXPECT_EQ(script.slots[i].start_ms, scene_slots[i].start_ms);
        EXPECT_EQ(script.slots[i].end_ms, scene_slots[i].end_ms);
    }
    ASSERT_EQ(script.tempo.size(), (size_t)SHOW_TEMPO_COUNT);
    for (int i = 0; i < SHOW_TEMPO_COUNT; ++i) {
        EXPECT_EQ(script.tempo[i].start_ms, show_tempo[i].start_ms);
        EXPECT_EQ(script.tempo[i].end_ms, show_tempo[i].end_ms);
        EXPECT_EQ(script.tempo[i].bars, show_tempo[i].bars);
        EXPECT_EQ(script.tempo[i].bpm, show_tempo[i].bpm);
    }
    // An anchored cue moves with its scene.
    int n = 0;
    std::string moved = edited("scene 96.000 pt03", "scene 100.000 pt03", n);
    ASSERT_TRUE(sheet::parse("show.cues", moved, s, error) && sheet::resolve(s, script, error)) << error;
    EXPECT_EQ(sheet::when_ms(sheet::When{"pt03", -2000}, script), 98000);
}

struct Mistake {
    const char* line;
    const char* with;  // "" removes the line
    const char* says;
    bool other_line;   // reported on another line (the one it clashes with, or the first)
};

const Mistake MISTAKES[] = {
    {"set 0.000 gamma 1", "set 0.000 gama 1", "unknown parameter 'gama'", false},
    {"tween 0.000 flash cosine flashColor 1 1 1 1", "tween 0.000 flash wobbly flashColor 1 1 1 1", "unknown easing 'wobbly'", false},
    {"set 10.000 campos 0 -0.5 -10", "set 250.000 campos 0 -0.5 -10", "outside the show", false},
    {"tween logo logo+5.000 linear gamma 0.5", "tween logo end+1.000 linear gamma 0.5", "outside the show", false},
    {"scene 48.000 pt04", "scene 130.000 pt04", "out of order or overlapping", true},
    {"scene 72.100 pt06", "scene 48.000 pt06", "out of order or overlapping", false},
    {"scene 190.000 pt02", "scene 190.000 pt05", "pt05 is already scheduled", false},
    {"scene 190.000 pt02", "scene 190.000 post", "unknown scene program 'post'", false},
    {"set 0.000 flashColor 0 0 0", "set 0.000 flashColor 0 0", "flashColor takes 3 or 4 values, not 2", false},
    {"set 0.000 campos 0 0 0", "set 0.000 campos 0 0 0 0", "campos takes 3 values, not 4", false},
    {"set 0.000 gamma 1", "set 0.000 gamma 1 1", "gamma takes 1 value, not 2", false},
    {"set 0.000 useEffect 0", "tween 0.000 1.000 linear useEffect 1", "is set, not tweened", false},
    {"set 0.000 useEffect 0", "set 0.000 useEffect 0.5", "takes a whole number", false},
    {"set pt04 gamma 0.01", "set pt07 gamma 0.01", "unknown anchor 'pt07'", false},
    {"set 10.000 campos 0 -0.5 -10", "set 10.0005 campos 0 -0.5 -10", "is not a time", false},
    {"tween pt04 pt04+1.000 cosine gamma 1", "tween pt04+1.000 pt04 cosine gamma 1", "ends before it starts", false},
    {"set 0.000 gamma 1", "jump 0.000 gamma 1", "unknown cue 'jump'", false},
    {"mark logo 205.000     # the logo fades in over the last scene; the closing theme starts", "", "no mark logo", true},
};

TEST(CueSheet, EveryKindOfMistakeIsRefusedWithItsFileAndLine) {
    for (const Mistake& m : MISTAKES) {
        SCOPED_TRACE(std::string(m.with) + " for " + m.line);
        int number = 0;
        std::string text = edited(m.line, m.with, number);
        sheet::Sheet s;
        sheet::Script script;
        std::string error;
        bool ok = sheet::parse("my.cues", text, s, error) && sheet::resolve(s, script, error);
        ASSERT_FALSE(ok);
        if (!m.other_line) EXPECT_EQ(error.rfind("my.cues:" + std::to_string(number) + ": ", 0), 0u) << error;
        else EXPECT_EQ(error.rfind("my.cues:", 0), 0u) << error;
        EXPECT_NE(error.find(m.says), std::string::npos) << error;
    }
}

TEST(CueSheet, TheBuildRefusesASheetWithAMistake) {
    ScratchDir dir;
    int number = 0;
    write_file("bad.cues", edited("set 0.000 gamma 1", "set 0.000 gama 1", number));
    EXPECT_EQ(run_tool(CUESHEET_PATH, "bad.cues ."), 1);
    EXPECT_EQ(read_file("err.txt").rfind("bad.cues:" + std::to_string(number) + ": unknown parameter 'gama'", 0), 0u)
        << read_file("err.txt");
    EXPECT_FALSE(std::filesystem::exists("show_sheet.cpp"));
    write_file("good.cues", bundled());
    EXPECT_EQ(run_tool(CUESHEET_PATH, "good.cues ."), 0) << read_file("err.txt");
    EXPECT_NE(read_file("show_sheet.h").find("SHOW_SCRIPT_TRACKS = 71"), std::string::npos);
}

}  // namespace
