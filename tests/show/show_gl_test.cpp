// The bundled show on the real driver: every program links, every scheduled scene fills the screen
// with a picture, the fades go dark, and the logo shows at the end.
#include "show_sheet.h"
#include "gl_test.h"

#include <cmath>

#include "load/gl_entry.h"
#include "load/intro.h"
#include "load/textures.h"
#include "render/render.h"
#include "timeline/cues.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

struct Picture {
    std::vector<unsigned char> rgba;
    // Mean and variance of the luminance, on a 0..255 scale.
    double mean = 0, variance = 0;
};

Picture read_picture() {
    Picture p;
    p.rgba.resize(SCREEN_WIDTH * SCREEN_HEIGHT * 4u);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
    double sum = 0, sum2 = 0;
    const size_t n = SCREEN_WIDTH * SCREEN_HEIGHT;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char* c = &p.rgba[i * 4];
        double y = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
        sum += y;
        sum2 += y * y;
    }
    p.mean = sum / n;
    p.variance = sum2 / n - p.mean * p.mean;
    return p;
}

class ShowGl : public GlTest {
protected:
    std::filesystem::path previous;
    void SetUp() override {
        GlTest::SetUp();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(SHOW_BUILD_DIR);
        ASSERT_EQ(intro_init(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        GlTest::TearDown();
    }
    // Renders a few frames leading up to t, so feedback-driven scenes have a previous frame.
    Picture frame_at(int32_t t) {
        for (int32_t k = 2; k >= 0; --k) render_frame(t - k * 40);
        return read_picture();
    }
};

TEST_F(ShowGl, EveryProgramCompilesAndLinks) {
    const char* labels[] = {"pt01", "pt02", "pt03", "pt04", "pt05", "pt06", "pt07", "pt08", "pt09", "post"};
    const uint32_t* programs = &program_set.pt01;
    for (int i = 0; i < 10; ++i) {
        GLuint program = programs[i];
        GLuint shaders[2] = {0, 0};
        GLsizei n = 0;
        glGetAttachedShaders(program, 2, &n, shaders);
        for (GLsizei s = 0; s < n; ++s) {
            GLint ok = 0;
            glGetShaderiv(shaders[s], GL_COMPILE_STATUS, &ok);
            char log[8192] = "";
            glGetShaderInfoLog(shaders[s], sizeof log, nullptr, log);
            EXPECT_EQ(ok, GL_TRUE) << labels[i] << (s == 0 ? ".fsh" : ".vsh") << ":\n" << log;
        }
        EXPECT_TRUE(program_linked(program)) << labels[i] << ":\n" << program_log(program);
    }
}

// Each scheduled scene is looked at twelve seconds into its slot: the fade-in is over, the next
// fade has not begun and the logo has not come in.
int32_t inside(const SceneSlot& s) { return s.start_ms + 12000; }

class ShowGlScene : public ShowGl, public ::testing::WithParamInterface<SceneSlot> {};

TEST_P(ShowGlScene, FillsTheScreenWithAPicture) {
    const SceneSlot& s = GetParam();
    Picture p = frame_at(inside(s));
    EXPECT_EQ(show_params.gamma, 1.0f);
    EXPECT_GT(p.mean, 8.0) << s.label << " is black at " << inside(s);
    EXPECT_GT(p.variance, 100.0) << s.label << " is uniform at " << inside(s);
    // Not a picture that one corner or one band makes: each quarter of the screen has detail.
    for (int q = 0; q < 4; ++q) {
        int x0 = (q % 2) * 960, y0 = (q / 2) * 540;
        double sum = 0, sum2 = 0;
        for (int y = y0; y < y0 + 540; y += 4) {
            for (int x = x0; x < x0 + 960; x += 4) {
                const unsigned char* c = &p.rgba[(y * SCREEN_WIDTH + x) * 4];
                double l = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
                sum += l;
                sum2 += l * l;
            }
        }
        double n = 135.0 * 240.0, m = sum / n;
        EXPECT_GT(sum2 / n - m * m, 4.0) << s.label << " quarter " << q << " is flat at " << inside(s);
    }
}

INSTANTIATE_TEST_SUITE_P(Scheduled, ShowGlScene, ::testing::ValuesIn(scene_slots),
                         [](const ::testing::TestParamInfo<SceneSlot>& info) { return std::string(info.param.label); });

TEST_F(ShowGl, SceneChangesFadeToDark) {
    for (int i = 1; i < SCENE_SLOT_COUNT; ++i) {
        int32_t t = scene_slots[i].start_ms;
        Picture p = frame_at(t);
        EXPECT_FLOAT_EQ(show_params.gamma, 0.01f);
        EXPECT_LT(p.mean, 3.0) << "at " << t;
    }
}

TEST_F(ShowGl, UnscheduledScenesDrawToo) {
    for (uint32_t program : {program_set.pt07, program_set.pt09}) {
        cue_program(30000, program);
        Picture p = frame_at(30000);
        EXPECT_GT(p.variance, 100.0) << "program " << program;
        track_count--;  // back to the show's own program
    }
}

TEST_F(ShowGl, LogoShowsOverTheLastScene) {
    ASSERT_NE(texture_table[0], 0u);
    // The same moment with and without the logo: only the logo differs.
    Picture with_logo = frame_at(230000);
    EXPECT_EQ(show_params.displayLogo, 1.0f);
    cue_set1(229000, &show_params.displayLogo, 0);
    Picture without = frame_at(230000);
    size_t brighter = 0;
    for (int y = 400; y < 680; ++y) {
        for (int x = 360; x < 1560; ++x) {
            const unsigned char* a = &with_logo.rgba[(y * SCREEN_WIDTH + x) * 4];
            const unsigned char* b = &without.rgba[(y * SCREEN_WIDTH + x) * 4];
            if (a[0] + a[1] + a[2] > b[0] + b[1] + b[2] + 150) ++brighter;
        }
    }
    EXPECT_GT(brighter, 20000u) << "the logo should light up a good part of the middle of the screen";
}

}  // namespace
