// Scene files: the reader against files made by the writer, and against broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "load/scene_file.h"
#include "scratch_dir.h"

namespace {

struct FreeText {
    void operator()(char* p) const { free(p); }
};
using Text = std::unique_ptr<char, FreeText>;

std::string scrambled(const std::string& text, unsigned char final_byte = 0x5a) {
    std::string out(text.size() + 1, '\0');
    EXPECT_EQ(scene_file_scramble(text.data(), text.size(), final_byte, reinterpret_cast<unsigned char*>(&out[0])),
              text.size() + 1);
    return out;
}

TEST(SceneFile, KeyIsTheFortyNineByteSentence) {
    const char* sentence = "Resolving texture units: %s for pass number: %s.\n";
    ASSERT_EQ(std::strlen(sentence), (size_t)SCENE_FILE_KEY_SIZE);
    EXPECT_EQ(std::memcmp(SCENE_FILE_KEY, sentence, SCENE_FILE_KEY_SIZE), 0);
}

TEST(SceneFile, ByteFortyNineUsesFirstKeyByteAgain) {
    std::string text(60, '\0');
    std::string file = scrambled(text);
    EXPECT_EQ((unsigned char)file[0], SCENE_FILE_KEY[0]);
    EXPECT_EQ((unsigned char)file[48], SCENE_FILE_KEY[48]);
    EXPECT_EQ((unsigned char)file[49], SCENE_FILE_KEY[0]);
    EXPECT_EQ((unsigned char)file[60], 0x5a ^ SCENE_FILE_KEY[60 % 49]);
}

TEST(SceneFile, RoundTripsTwentyFilesInOrder) {
    ScratchDir dir;
    scene_file_counter = 0;
    std::string texts[20];
    for (int i = 0; i < 20; ++i) {
        texts[i] = "// shader " + std::to_string(i) + "\nvoid main(){gl_FragColor=vec4(" + std::to_string(i) +
                   ".0);}\n" + std::string(10 + i * 7, 'x');
        ASSERT_GT(texts[i].size(), 49u);
        write_file(std::to_string(i) + ".ck", scrambled(texts[i], (unsigned char)i));
    }
    for (int i = 0; i < 20; ++i) {
        Text t(read_scene_file("label"));
        ASSERT_TRUE(t) << i;
        EXPECT_EQ(std::string(t.get()), texts[i]);
    }
    EXPECT_EQ(scene_file_counter, 20);
    EXPECT_FALSE(Text(read_scene_file("one too many")));
    EXPECT_EQ(scene_file_counter, 20);
}

TEST(SceneFile, ShortAndEmptyFilesGiveEmptyTextAndAdvance) {
    ScratchDir dir;
    scene_file_counter = 0;
    write_file("0.ck", std::string(1, (char)0x77));  // one byte: only the dropped final byte
    write_file("1.ck", "");                          // nothing to read at all
    Text one(read_scene_file("a"));
    ASSERT_TRUE(one);
    EXPECT_STREQ(one.get(), "");
    EXPECT_EQ(scene_file_counter, 1);
    Text empty(read_scene_file("b"));
    ASSERT_TRUE(empty);
    EXPECT_STREQ(empty.get(), "");
    EXPECT_EQ(scene_file_counter, 2);
}

TEST(SceneFile, MissingOrUnreadableFileGivesNullAndKeepsCounter) {
    ScratchDir dir;
    scene_file_counter = 3;
    EXPECT_FALSE(Text(read_scene_file("missing")));
    EXPECT_EQ(scene_file_counter, 3);
    std::filesystem::create_directory("3.ck");  // opens on Linux, but has no length
    EXPECT_FALSE(Text(read_scene_file("directory")));
    EXPECT_EQ(scene_file_counter, 3);
    std::filesystem::remove("3.ck");
    write_file("3.ck", "");
    std::filesystem::resize_file("3.ck", (uintmax_t)SCENE_FILE_MAX_SIZE + 1);  // sparse: nothing is written
    EXPECT_FALSE(Text(read_scene_file("huge")));
    EXPECT_EQ(scene_file_counter, 3);
    std::filesystem::remove("3.ck");
    // Once the file appears, the same number is asked for again.
    write_file("3.ck", scrambled("late"));
    Text t(read_scene_file("again"));
    ASSERT_TRUE(t);
    EXPECT_STREQ(t.get(), "late");
    EXPECT_EQ(scene_file_counter, 4);
}

TEST(SceneFile, TextStopsAtAnEmbeddedZeroButKeepsEveryOtherByte) {
    ScratchDir dir;
    scene_file_counter = 0;
    std::string text = "ab\xff\x80\x01" "cd";
    write_file("0.ck", scrambled(text));
    Text t(read_scene_file("bytes"));
    ASSERT_TRUE(t);
    EXPECT_EQ(std::string(t.get()), text);
}

}  // namespace
