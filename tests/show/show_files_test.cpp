// The bundled show's scene files: numbered in the order the program builder reads them, and each
// one unscrambles to exactly its source.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "load/scene_file.h"
#include "scratch_dir.h"

namespace {

TEST(ShowFiles, TwentySceneFilesReadBackAsTheSourcesInBuildOrder) {
    const char* programs[] = {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"};
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(SHOW_BUILD_DIR);
    scene_file_counter = 0;
    for (const char* program : programs) {
        for (const char* stage : {".vsh", ".fsh"}) {
            std::string label = std::string(program) + stage;
            std::unique_ptr<char, decltype(&free)> text(read_scene_file(label.c_str()), &free);
            ASSERT_TRUE(text) << label << " as " << scene_file_counter << ".ck";
            EXPECT_EQ(std::string(text.get()), read_file(std::string(SHOW_SOURCE_DIR) + "/" + label)) << label;
        }
    }
    EXPECT_EQ(scene_file_counter, 20);
    EXPECT_FALSE(std::filesystem::exists("20.ck"));
    EXPECT_TRUE(std::filesystem::exists("bitmap.png"));
    EXPECT_EQ(std::filesystem::file_size("vae5.wav"), 44u + 240u * 44100u * 4u);
    std::filesystem::current_path(previous);
}

}  // namespace
