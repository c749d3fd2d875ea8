// The cue sheet: read and written back byte for byte, worked out into exactly the tables the show
// is compiled with, and every kind of mistake refused with the file and line it is on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/cue_sheet.h"
#include "scratch_dir.h"
#include "timeline/frozen_show.h"
#include "timeline/script.h"
#include "timeline/timeline_reset.h"
#include "timeline/tracks.h"

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

TEST(CueSheet, TheBundledSheetWorksOutToTheFrozenShow) {
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    ASSERT_TRUE(sheet::parse("show.cues", bundled(), s, error) && sheet::resolve(s, script, error)) << error;
    EXPECT_EQ(script.length_ms, 240000);
    EXPECT_EQ(script.flash_ms, 3000);
    EXPECT_EQ(script.logo_ms, 205000);
    const struct {
        const char* label;
        int32_t start, end;
    } slots[] = {{"pt05", 0, 48000},       {"pt04", 48000, 72100},   {"pt06", 72100, 96000}, {"pt03", 96000, 124000},
                 {"pt08", 124000, 160000}, {"pt01", 160000, 190000}, {"pt02", 190000, 240000}};
    ASSERT_EQ(script.slots.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(script.slots[i].label, slots[i].label);
        EXPECT_EQ(script.slots[i].start_ms, slots[i].start);
        EXPECT_EQ(script.slots[i].end_ms, slots[i].end);
    }
    // The beat grid: bars fitted to each section from the flash on, then 120 a minute from the logo.
    const struct {
        int32_t start, end, bars;
    } tempo[] = {{3000, 48000, 22},    {48000, 72100, 12},   {72100, 96000, 12},   {96000, 124000, 14},
                 {124000, 160000, 18}, {160000, 190000, 15}, {190000, 205000, 8}, {205000, 240000, 0}};
    ASSERT_EQ(script.tempo.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(script.tempo[i].start_ms, tempo[i].start);
        EXPECT_EQ(script.tempo[i].end_ms, tempo[i].end);
        EXPECT_EQ(script.tempo[i].bars, tempo[i].bars);
    }
    EXPECT_EQ(script.tempo[7].beat_ms(), 500.0);
    // Built into the track table, the cues give the frozen show's tracks in the frozen order.
    timeline_reset();
    for (int i = 0; i < PROGRAM_COUNT; ++i) program_set.*PROGRAM_TABLE[i].program = 101 + i;
    script_rebuild(script.cues.data(), (int32_t)script.cues.size());
    const int n = (int)(sizeof frozen_show::TRACKS / sizeof frozen_show::TRACKS[0]);
    ASSERT_EQ(track_count, n);
    EXPECT_EQ(script.tracks, n);
    for (int i = 0; i < n; ++i) {
        const frozen_show::FrozenTrack& f = frozen_show::TRACKS[i];
        const Track& t = track_table[i];
        EXPECT_EQ(t.start, f.start) << "track " << i;
        EXPECT_EQ(t.end, f.end) << "track " << i;
        EXPECT_EQ(t.mode, f.mode) << "track " << i;
        EXPECT_EQ(t.target - reinterpret_cast<float*>(&show_params), f.target) << "track " << i;
        uint32_t from, to;
        std::memcpy(&from, &t.from, 4);
        std::memcpy(&to, &t.to, 4);
        EXPECT_EQ(from, f.from) << "track " << i;
        EXPECT_EQ(to, f.to) << "track " << i;
    }
    timeline_reset();
    // An anchored cue moves with its scene.
    int line = 0;
    std::string moved = edited("scene 96.000 pt03", "scene 100.000 pt03", line);
    ASSERT_TRUE(sheet::parse("show.cues", moved, s, error) && sheet::resolve(s, script, error)) << error;
    EXPECT_EQ(sheet::when_ms(sheet::When{"pt03", -2000}, script), 98000);
}

struct Mistake {
    std::string line;
    std::string with;  // "" removes the line
    std::string says;
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
    {"scene 0.000 pt05", "scene 1.000 pt05", "the first scene starts at 0.000", false},
    {"scene 48.000 pt04", "scene pt05+48.000 pt04", "a scene's time is absolute", false},
    {"set pt04 gamma 0.01", "set pt05-1.000 gamma 0.01", "time pt05-1.000 is before the show starts", false},
    {"base 0.000", "base 2.000", "base takes only 0.000", false},
    {"base 0.000", "base pt04", "base takes only 0.000", false},
    // Past 2^32 ms a time would wrap to one inside the show (50 s and 240 s); past 2^31, go negative.
    {"set 10.000 campos 0 -0.5 -10", "set 4295017.296 campos 0 -0.5 -10", "time '4295017.296' is outside the show", false},
    {"length 240.000", "length 4295207.296", "is outside the show", false},
    {"set pt04 gamma 0.01", "set pt04-2147483.648 gamma 0.01", "is outside the show", false},
    {"set pt04 gamma 0.01", "set pt04+2147483.647 gamma 0.01", "is outside the show", false},
    {"set pt04 gamma 0.01", "set end+2000000.000 gamma 0.01", "is outside the show (0 to 240.000)", false},
    {"length 240.000", "length 9.999", "the length is from 10.000 to 1800.000 seconds", false},
    {"length 240.000", "length 1800.001", "the length is from 10.000 to 1800.000 seconds", false},
    // Bytes of the file are quoted escaped and cut short.
    {"set 0.000 gamma 1", "set 0.000 g\x1b[2Jamma 1", "unknown parameter 'g\\x1b[2Jamma'", false},
    {"set 0.000 gamma 1", "set 0.000 " + std::string(300, 'x') + " 1", "unknown parameter '" + std::string(40, 'x') + "...'", false},
};

TEST(CueSheet, EveryKindOfMistakeIsRefusedWithItsFileAndLine) {
    for (const Mistake& m : MISTAKES) {
        SCOPED_TRACE(m.with + " for " + m.line);
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
        EXPECT_EQ(error.find('\x1b'), std::string::npos) << "no raw control bytes in a message";
        EXPECT_LT(error.size(), 400u);
    }
}

TEST(CueSheet, AByteOrderMarkIsSkippedAndKept) {
    const std::string text = "\xEF\xBB\xBF" + bundled();
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    ASSERT_TRUE(sheet::parse("bom.cues", text, s, error) && sheet::resolve(s, script, error)) << error;
    EXPECT_EQ(script.length_ms, 240000);
    EXPECT_EQ(sheet::print(s), text);
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

// The show's table has room for SHOW_TABLE_CUES cues: one more is refused on its own line, and the
// table a sheet fills holds its length and cues with filler (no zero byte) behind them.
TEST(CueSheet, ASheetOverTheTablesCuesIsRefusedAndATableHoldsExactlyItsCues) {
    std::string text = "length 60\nmark flash 1\nmark logo 50\nscene 0 pt01\n";
    for (int i = 1; i < SHOW_TABLE_CUES; ++i) text += "set " + std::to_string(i % 60) + " gamma 0.5\n";
    sheet::Sheet s;
    sheet::Script script;
    std::string error;
    ASSERT_TRUE(sheet::parse("full.cues", text, s, error) && sheet::resolve(s, script, error)) << error;
    ASSERT_EQ(script.cues.size(), (size_t)SHOW_TABLE_CUES);
    text += "set 1 gamma 0.25\n";
    ASSERT_TRUE(sheet::parse("full.cues", text, s, error));
    EXPECT_FALSE(sheet::resolve(s, script, error));
    EXPECT_EQ(error, "full.cues:" + std::to_string(4 + SHOW_TABLE_CUES) + ": more cues than a show holds (1024)");

    ASSERT_TRUE(sheet::parse("show.cues", bundled(), s, error) && sheet::resolve(s, script, error)) << error;
    static ShowTable table;
    sheet::fill_table(&script, table);
    EXPECT_STREQ(table.magic, "oruvane:show-v1");
    EXPECT_EQ(table.length_ms, 240000);
    EXPECT_EQ(table.cue_count, (int32_t)script.cues.size());
    EXPECT_EQ(std::memcmp(&table.cues[5], &script.cues[5], sizeof(Cue)), 0);
    const unsigned char* rest = reinterpret_cast<const unsigned char*>(&table.cues[table.cue_count]);
    size_t bytes = (SHOW_TABLE_CUES - table.cue_count) * sizeof(Cue);
    EXPECT_EQ(std::count(rest, rest + bytes, 0), 0);
    sheet::fill_table(nullptr, table);
    EXPECT_EQ(table.length_ms, 0);
    EXPECT_EQ(table.cue_count, 0);
}

}  // namespace
