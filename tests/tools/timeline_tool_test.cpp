// oruvane-timeline: its values are the script's resulting show, its CSV covers the whole show at
// the step asked, and its picture shows the gamma dips where the scenes hand over.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <stb_image.h>

#include "scratch_dir.h"
#include "timeline/show_rows.h"

namespace {

using namespace show_rows;

int run(const std::string& args) { return run_tool(TIMELINE_PATH, args); }

// "name v1 v2 ..." lines of `at` into name -> words.
std::map<std::string, std::vector<std::string>> parse_at(const std::string& text) {
    std::map<std::string, std::vector<std::string>> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, w;
        words >> name;
        while (words >> w) out[name].push_back(w);
    }
    return out;
}

void expect_floats(const std::vector<std::string>& got, const float* want, int n, const char* what) {
    ASSERT_EQ((int)got.size(), n) << what;
    for (int i = 0; i < n; ++i) EXPECT_NEAR(std::stof(got[i]), want[i], 1e-4f) << what << " " << i;
}

TEST(TimelineTool, AtPrintsTheResultingShowsRows) {
    ScratchDir dir;
    for (int32_t t : {47000, 48500, 97000, 230000}) {
        const ShowRow* row = nullptr;
        for (const ShowRow& r : ROWS)
            if (r.t == t) row = &r;
        ASSERT_NE(row, nullptr) << t;
        ASSERT_EQ(run("at " + std::to_string(t / 1000.0)), 0) << read_file("err.txt");
        auto v = parse_at(read_file("out.txt"));
        SCOPED_TRACE(t);
        char label[8];
        std::snprintf(label, sizeof label, "pt%02u", row->program - FAKE.pt01 + 1);
        ASSERT_EQ(v["scene"].size(), 1u);
        EXPECT_EQ(v["scene"][0], label);
        expect_floats(v["gamma"], &row->gamma, 1, "gamma");
        expect_floats(v["displayLogo"], &row->display_logo, 1, "displayLogo");
        expect_floats(v["logoColor"], row->logo, 4, "logoColor");
        expect_floats(v["flashColor"], row->flash, 4, "flashColor");
        expect_floats(v["campos"], row->campos, 3, "campos");
        expect_floats(v["camtar"], row->camtar, 3, "camtar");
    }
}

TEST(TimelineTool, AtRoundsItsTimeToTheNearestMillisecond) {
    ScratchDir dir;
    // Binary fractions fall just short of most decimal ones (1.001 s times 1000 is 1000.9999...):
    // cut instead of rounded, a time loses its last millisecond.
    for (auto [asked, shown] :
         {std::pair<const char*, const char*>{"47.3", "47.300"}, {"1.001", "1.001"}, {"0.0006", "0.001"}}) {
        ASSERT_EQ(run(std::string("at ") + asked), 0) << read_file("err.txt");
        auto v = parse_at(read_file("out.txt"));
        ASSERT_EQ(v["time"].size(), 1u) << asked;
        EXPECT_EQ(v["time"][0], shown) << asked;
    }
}

TEST(TimelineTool, CsvHasOneRowPerStepAndEveryColumn) {
    ScratchDir dir;
    ASSERT_EQ(run("csv --step 10"), 0) << read_file("err.txt");
    std::istringstream in(read_file("out.txt"));
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::istringstream cs(line);
        std::string c;
        while (std::getline(cs, c, ',')) cells.push_back(c);
        rows.push_back(cells);
    }
    ASSERT_EQ(rows.size(), 1u + 25u);  // header, then 0, 10, ..., 240 s
    const std::vector<std::string>& header = rows[0];
    for (const char* name : {"time", "scene", "gamma", "flashColor.w", "logoColor.w", "displayLogo", "campos.z", "camtar.x",
                             "camup.y", "useEffect", "skip_render", "logo_slot"})
        EXPECT_NE(std::find(header.begin(), header.end(), name), header.end()) << name;
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), header.size()) << "row " << i;
        EXPECT_DOUBLE_EQ(std::stod(rows[i][0]), 10.0 * (i - 1));
    }
    EXPECT_EQ(rows[1][1], "pt05");
    EXPECT_EQ(rows.back()[1], "pt02");

    EXPECT_NE(run("csv --step 0"), 0);
    EXPECT_NE(run("at 241"), 0);
}

TEST(TimelineTool, PlotGammaCurveDipsAtTheSixChanges) {
    ScratchDir dir;
    ASSERT_EQ(run("plot --out t.png --width 1200 --height 700"), 0) << read_file("err.txt");
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load("t.png", &w, &h, &n, 3);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(w, 1200);
    EXPECT_EQ(h, 700);
    // The gamma curve is the only strong red: per column, its lowest point on the picture.
    std::vector<int> y_of(w, -1);
    int top = h, bottom = 0;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            const unsigned char* p = px + (size_t(y) * w + x) * 3;
            if (p[0] > 170 && p[1] < 60 && p[2] < 60) {
                y_of[x] = y;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    stbi_image_free(px);
    ASSERT_GT(bottom - top, 50);
    // Runs of columns where the curve is near its floor: one per scene change.
    std::vector<double> dips;
    int run_start = -1;
    for (int x = 0; x <= w; ++x) {
        bool low = x < w && y_of[x] >= 0 && y_of[x] > bottom - (bottom - top) / 10;
        if (low && run_start < 0) run_start = x;
        if (!low && run_start >= 0) {
            dips.push_back((run_start + x - 1) / 2.0);
            run_start = -1;
        }
    }
    const double changes[] = {48000, 72100, 96000, 124000, 160000, 190000};
    ASSERT_EQ(dips.size(), 6u);
    // Spaced as the changes are in time.
    for (int i = 1; i < 5; ++i)
        EXPECT_NEAR((dips[i] - dips[0]) / (dips[5] - dips[0]), (changes[i] - changes[0]) / (changes[5] - changes[0]), 0.01);
}

TEST(TimelineTool, UnwritablePlotLeavesNothingAndFails) {
    ScratchDir dir;
    EXPECT_NE(run("plot --out no/such/dir/t.png"), 0);
    EXPECT_NE(read_file("err.txt").find("cannot write"), std::string::npos);
}

// A sheet whose length or times would not fit the tool's counters is refused at its line, at
// once: the CSV of such a length once counted past 2^31 ms and went on forever with negative times.
TEST(TimelineTool, ASheetFarOutsideAnyShowIsRefusedAtItsLineWithoutHanging) {
    ScratchDir dir;
    const std::string rest = "mark flash 1\nmark logo 5\nscene 0 pt01\nset 0 gamma 1\n";
    for (const char* length : {"4295207.296", "2147483.647", "1800.001"}) {
        SCOPED_TRACE(length);
        write_file("huge.cues", std::string("length ") + length + "\n" + rest);
        EXPECT_EQ(run_tool("timeout 20 " TIMELINE_PATH, "--script huge.cues csv --step 1"), 1);
        EXPECT_EQ(read_file("err.txt").rfind("huge.cues:1: ", 0), 0u) << read_file("err.txt");
        EXPECT_EQ(read_file("out.txt"), "");
    }
    // The longest show there may be: the CSV ends, at its length, in ascending time.
    write_file("long.cues", "length 1800\n" + rest);
    ASSERT_EQ(run_tool("timeout 60 " TIMELINE_PATH, "--script long.cues csv --step 600"), 0) << read_file("err.txt");
    std::string csv = read_file("out.txt");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);
    EXPECT_NE(csv.find("\n1800.000,pt01,"), std::string::npos) << csv;
}

}  // namespace
