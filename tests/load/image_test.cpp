// The logo decoder's guards in the normal build: files that claim more than they hold, or whose
// run-length scanlines never advance, decode to nothing and promptly; good files still decode.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "load/image.h"
#include "process.h"
#include "scratch_dir.h"

namespace {

std::string seed(const char* name) { return read_file(std::string(LOGO_SEEDS "/") + name); }

// Decodes `bytes` in a child process, so that a decoder that never returns fails the test on a
// deadline instead of hanging it. Returns "none", "WxH", or "hang".
std::string decode_in_child(const std::string& bytes) {
    int out[2];
    if (pipe(out) != 0) return "no pipe";
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int w = 0, h = 0;
        unsigned char* pixels = image_decode_rgba((const unsigned char*)bytes.data(), bytes.size(), &w, &h);
        std::string said = pixels ? std::to_string(w) + "x" + std::to_string(h) : "none";
        ssize_t wrote = write(out[1], said.data(), said.size());
        _exit(wrote == (ssize_t)said.size() ? 0 : 1);
    }
    close(out[1]);
    int code = wait_exit(pid, 20);
    char buf[64] = "";
    ssize_t got = code == 0 ? read(out[0], buf, sizeof buf - 1) : 0;
    close(out[0]);
    if (code == -1) return "hang";
    return got > 0 ? std::string(buf, (size_t)got) : "child failed";
}

// A Radiance image of width x 2 in run-length scanlines: every channel of every row one run of
// `value`, except the exponent, which is 128 (so each value v reads back as v / 256).
std::string rle_hdr(int width, unsigned char value) {
    std::string file = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X " + std::to_string(width) + "\n";
    for (int row = 0; row < 2; ++row) {
        file += {2, 2, (char)(width >> 8), (char)(width & 0xFF)};
        for (int channel = 0; channel < 4; ++channel)
            for (int left = width; left > 0; left -= 127) {
                int run = left < 127 ? left : 127;
                file += {(char)(128 + run), (char)(channel == 3 ? 128 : value)};
            }
    }
    return file;
}

// A 1x1 GIF whose codes each name the one before plus a pixel, for about `bytes` of codes: the
// decoder walks k table entries for the k-th, 8000 codes (12 KB) at a time between clear codes.
std::string chained_gif(size_t bytes) {
    std::string codes;
    uint32_t acc = 0;
    unsigned have = 0, width = 9;
    auto put = [&](unsigned code) {
        acc |= code << have;
        for (have += width; have >= 8; have -= 8, acc >>= 8) codes += (char)(acc & 0xFF);
    };
    while (codes.size() < bytes) {
        put(256);  // clear
        width = 9;
        put(0);
        for (unsigned avail = 258; avail <= 8190;) {
            put(avail <= 4095 ? avail : 4095);
            ++avail;
            if ((avail & ((1u << width) - 1)) == 0 && avail <= 0x0FFF) ++width;
        }
    }
    put(257);  // end
    if (have) codes += (char)(acc & 0xFF);
    std::string gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff", 19);
    gif += std::string(",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x08", 11);
    for (size_t i = 0; i < codes.size(); i += 255) {
        std::string block = codes.substr(i, 255);
        gif += (char)block.size() + block;
    }
    return gif + std::string("\x00;", 2);
}

}  // namespace

TEST(ImageRunLengthHdr, ScanlinesThatNeverAdvanceDecodeToNothing) {
    // A zero run count, then counts read past the end of the file: the decoder once read them forever.
    EXPECT_EQ(decode_in_child(seed("hdr-rle-zero-run.hdr")), "none");
    std::string good = rle_hdr(300, 128);
    EXPECT_EQ(decode_in_child(good), "300x2") << "a sound run-length image still decodes";
    // Cut inside the second row's runs: the rest of its counts read as zero.
    EXPECT_EQ(decode_in_child(good.substr(0, good.size() - 5)), "none");
    std::string zero_run = good;
    zero_run[zero_run.size() - 6] = 0;  // the last row's exponent starts with a run of none
    EXPECT_EQ(decode_in_child(zero_run), "none");
}

TEST(ImageRunLengthHdr, DecodesTheRunsValues) {
    std::string file = rle_hdr(16, 64);
    int w = 0, h = 0;
    unsigned char* pixels = image_decode_rgba((const unsigned char*)file.data(), file.size(), &w, &h);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 2);
    // 64 / 256 = 0.25 linear, which stb_image shows with its 2.2 gamma as 255 * 0.25^(1/2.2).
    for (int i = 0; i < 32; ++i) EXPECT_NEAR(pixels[4 * i], 136, 1) << i;
    image_free(pixels);
}

TEST(ImageSizeGuards, ClaimsBeyondTheFileDecodeToNothing) {
    // An uncompressed 24-bit TGA declaring 8000x8000 with a few hundred bytes of pixels: decoded,
    // it would be a quarter of a gigabyte read from nothing.
    std::string tga(18, '\0');
    tga[2] = 2;  // uncompressed true colour
    tga[12] = (char)(8000 & 0xFF);
    tga[13] = (char)(8000 >> 8);
    tga[14] = tga[12];
    tga[15] = tga[13];
    tga[16] = 24;
    tga += std::string(300, '\x7f');
    EXPECT_EQ(decode_in_child(tga), "none");
    std::string small = tga.substr(0, 18);
    small[12] = small[14] = 10;
    small[13] = small[15] = 0;
    small += std::string(300, '\x7f');
    EXPECT_EQ(decode_in_child(small), "10x10") << "the same header at a size its data covers decodes";
    // A Radiance header of width 0 makes stb_image report success with no pixels.
    EXPECT_EQ(decode_in_child(seed("hdr-width-zero.hdr")), "none");
    EXPECT_EQ(decode_in_child(seed("hdr.hdr")), "4x3");
}

TEST(ImageGifCodes, CodesStandingForFarMoreThanTheFrameDecodeToNothing) {
    // 100 KB of chained codes for one pixel: decoded, they cost the decoder over half a second, and
    // a megabyte of them several seconds.
    EXPECT_EQ(decode_in_child(chained_gif(100000)), "none");
    EXPECT_EQ(decode_in_child(seed("gif.gif")), "4x3") << "an ordinary GIF still decodes";
}
