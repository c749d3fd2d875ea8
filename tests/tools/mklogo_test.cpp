// mklogo: the title image decodes as the size and format the closing scene expects, shows pale
// lettering across the middle on a transparent background, and is reproducible.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <stb_image.h>

#include "scratch_dir.h"

namespace {

int run(const std::string& args) { return run_tool(MKLOGO_PATH, args); }

TEST(Mklogo, PaleCentredTitleOnTransparentBackground) {
    ScratchDir dir;
    ASSERT_EQ(run("bitmap.png"), 0) << read_file("err.txt");
    std::string png = read_file("bitmap.png");
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(png.data()), int(png.size()), &w, &h,
                                              &n, 4);
    ASSERT_NE(px, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(n, 4);

    auto at = [&](int x, int y) { return px + (size_t(y) * w + x) * 4; };
    int border_ink = 0, solid = 0, solid_pale = 0, partial = 0, faint = 0, faint_pale = 0, minx = w, maxx = -1, miny = h, maxy = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = at(x, y);
            if ((x < 16 || x >= w - 16 || y < 16 || y >= h - 16) && p[3] != 0) ++border_ink;
            if (p[3] > 0 && p[3] < 255) ++partial;
            // Soft edges keep the colour at full strength: straight alpha, not premultiplied.
            if (p[3] > 0 && p[3] < 64) {
                ++faint;
                if (p[0] > 150 && p[1] > 150 && p[2] > 150) ++faint_pale;
            }
            if (p[3] == 255) {
                ++solid;
                if (p[0] > 180 && p[1] > 180 && p[2] > 180) ++solid_pale;
                minx = std::min(minx, x), maxx = std::max(maxx, x);
                miny = std::min(miny, y), maxy = std::max(maxy, y);
            }
        }
    stbi_image_free(px);

    EXPECT_EQ(border_ink, 0) << "the edges must be fully transparent";
    EXPECT_GT(solid, w * h / 20) << "too little lettering";
    EXPECT_LT(solid, w * h / 2) << "the background must stay transparent";
    EXPECT_EQ(solid_pale, solid) << "lettering should be light so a tint colour shows through";
    EXPECT_GT(partial, 2000) << "glyph edges should be antialiased";
    ASSERT_GT(faint, 500);
    EXPECT_EQ(faint_pale, faint) << "faint edge pixels must be pale, not darkened by their alpha";
    EXPECT_GT(maxx - minx, w * 6 / 10) << "the title should fill most of the width";
    EXPECT_NEAR((minx + maxx) / 2.0, w / 2.0, 12);
    EXPECT_NEAR((miny + maxy) / 2.0, h / 2.0, 40);
}

TEST(Mklogo, SameBytesOnEveryRun) {
    ScratchDir dir;
    ASSERT_EQ(run("a.png"), 0);
    ASSERT_EQ(run("b.png"), 0);
    std::string a = read_file("a.png");
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == read_file("b.png"));
}

// The starter project's logo: the same size, its own design (a plate that darkens what is behind
// it, a clear border), the same bytes on every run.
TEST(Mklogo, TemplateLogoIsItsOwnAndReproducible) {
    ScratchDir dir;
    ASSERT_EQ(run("--template a.png"), 0) << read_file("err.txt");
    ASSERT_EQ(run("--template b.png"), 0);
    ASSERT_EQ(run("show.png"), 0);
    std::string png = read_file("a.png");
    EXPECT_TRUE(png == read_file("b.png"));
    EXPECT_FALSE(png == read_file("show.png"));
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(png.data()), int(png.size()), &w, &h,
                                              &n, 4);
    ASSERT_NE(px, nullptr) << stbi_failure_reason();
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 256);
    auto at = [&](int x, int y) { return px + (size_t(y) * w + x) * 4; };
    EXPECT_EQ(at(4, 4)[3], 0) << "outside the frame is transparent";
    const unsigned char* plate = at(40, h / 2);  // inside the frame, left of the title
    EXPECT_GT(plate[3], 100);
    EXPECT_LT(plate[3], 200);
    EXPECT_LT(plate[0] + plate[1] + plate[2], 150) << "the plate is dark";
    stbi_image_free(px);
}

TEST(Mklogo, FailsClearlyOnBadUse) {
    ScratchDir dir;
    EXPECT_NE(run(""), 0);
    EXPECT_NE(read_file("err.txt").find("OUT is required"), std::string::npos) << read_file("err.txt");
    EXPECT_NE(run("a.png b.png"), 0);
    EXPECT_NE(run("no/such/dir/bitmap.png"), 0);
    EXPECT_NE(read_file("err.txt").find("no/such/dir/bitmap.png"), std::string::npos);
}

}  // namespace
