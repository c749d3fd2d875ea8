// The bundled show's files against their sources and the show script: scene files numbered in
// the order the program builder reads them, each unscrambling to its source plus, for a scheduled
// scene, the slot the script gives it; the music, compressed, as long as the show; and the
// music's sections changing where the scenes do.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "show_sheet.h"
#include "load/scene_file.h"
#include "scratch_dir.h"
#include "score.h"
#include "timeline/script.h"

namespace {

const SceneSlot* slot_of(const std::string& program) {
    for (const SceneSlot& s : scene_slots)
        if (program == s.label) return &s;
    return nullptr;
}

// Removes the line "#define NAME <number>" from `text` and returns the number in ms, or -1.
long take_define(std::string& text, const std::string& name) {
    std::string key = "#define " + name + " ";
    size_t at = text.find(key);
    if (at == std::string::npos) return -1;
    size_t eol = text.find('\n', at);
    double seconds = std::strtod(text.c_str() + at + key.size(), nullptr);
    text.erase(at, eol - at + 1);
    return std::lround(seconds * 1000);
}

TEST(ShowFiles, SceneFilesAreTheSourcesWithTheScriptsSlotsInBuildOrder) {
    const char* programs[] = {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"};
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(SHOW_BUILD_DIR);
    scene_file_counter = 0;
    int slotted = 0;
    for (const char* program : programs) {
        for (const char* stage : {".vsh", ".fsh"}) {
            std::string label = std::string(program) + stage;
            std::unique_ptr<char, decltype(&free)> text(read_scene_file(label.c_str()), &free);
            ASSERT_TRUE(text) << label << " as " << scene_file_counter << ".ck";
            std::string packed = text.get(), source = read_file(std::string(SHOW_SOURCE_DIR) + "/" + label);
            EXPECT_EQ(source.find("START ="), std::string::npos) << label << " writes a scene time of its own";
            const SceneSlot* slot = std::string(stage) == ".fsh" ? slot_of(program) : nullptr;
            if (slot) {
                ++slotted;
                EXPECT_EQ(take_define(packed, "SLOT_START"), slot->start_ms) << label;
                EXPECT_EQ(take_define(packed, "SLOT_END"), slot->end_ms) << label;
                EXPECT_EQ(packed.compare(0, 13, "#version 120\n"), 0) << label << ": #version must stay first";
                // Line 2 of the source is line 2 to the driver: the next line is named 1 + 1 in GLSL 1.20.
                EXPECT_EQ(packed.compare(13, 8, "#line 1\n"), 0) << label;
                if (packed.compare(13, 8, "#line 1\n") == 0) packed.erase(13, 8);
            }
            EXPECT_EQ(packed, source) << label;
        }
    }
    EXPECT_EQ(slotted, SCENE_SLOT_COUNT);
    EXPECT_EQ(scene_file_counter, 20);
    EXPECT_FALSE(std::filesystem::exists("20.ck"));
    EXPECT_TRUE(std::filesystem::exists("bitmap.png"));
    std::filesystem::current_path(previous);
}

// The music is Ogg Vorbis under the name the show reads (which goes by content), 44.1 kHz stereo
// for exactly the show's length, and small enough for the downloads: the page's whole download is
// to stay within 8 MB, the .wasm taking about 3.
TEST(ShowFiles, MusicIsOggVorbisAsLongAsTheShowInAFewMegabytes) {
    std::string music = std::string(SHOW_BUILD_DIR) + "/vae5.wav";
    SF_INFO info{};
    SNDFILE* f = sf_open(music.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_close(f);
    EXPECT_EQ(info.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frames, (sf_count_t)SHOW_LENGTH_MS * 441 / 10);
    EXPECT_LT(std::filesystem::file_size(music), 4u << 20);
}

TEST(ShowFiles, MusicSectionsChangeWithTheScenesAndEachOpensWithACrash) {
    const std::vector<synth::Section> plan = synth::sections();
    const std::vector<synth::Note> notes = synth::compose();
    ASSERT_FALSE(plan.empty());
    EXPECT_EQ(plan.front().start, 0.0);
    EXPECT_EQ(plan.back().end * 1000, SHOW_LENGTH_MS);
    for (size_t i = 1; i < plan.size(); ++i) EXPECT_EQ(plan[i].start, plan[i - 1].end) << plan[i].name;
    for (const SceneSlot& slot : scene_slots) {
        if (slot.start_ms == 0) continue;  // the first scene opens under the intro's swell
        bool boundary = false, crash = false;
        for (const synth::Section& s : plan) boundary |= std::lround(s.start * 1000) == slot.start_ms;
        for (const synth::Note& n : notes) crash |= n.inst == synth::CRASH && std::lround(n.t * 1000) == slot.start_ms;
        EXPECT_TRUE(boundary) << slot.label << " at " << slot.start_ms << " ms starts no section";
        EXPECT_TRUE(crash) << slot.label << " at " << slot.start_ms << " ms gets no crash";
    }
}

}  // namespace
