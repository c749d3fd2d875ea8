// Loading on the real driver: entry points, the ten programs from their files, the loading bar,
// the logo texture's formats and the float targets.
#include "show_sheet.h"
#include "gl_test.h"

#include <cmath>
#include <cstdlib>

#include "load/gl_entry.h"
#include "load/intro.h"
#include "load/programs.h"
#include "load/textures.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

// Program i's vertex file declares v<2i> and its fragment file f<2i+1>, so the uniforms a linked
// program has tell which files went into it.
void write_tagged_show() {
    for (int i = 0; i < 10; ++i) {
        int v = 2 * i, f = 2 * i + 1;
        write_scene_file(v, "#version 120\nuniform float v" + std::to_string(v) +
                                ";\nvoid main(){ gl_Position = gl_Vertex; gl_Position.w += v" + std::to_string(v) + "; }\n");
        write_scene_file(f, "#version 120\nuniform float f" + std::to_string(f) +
                                ";\nvoid main(){ gl_FragColor = vec4(f" + std::to_string(f) + "); }\n");
    }
}

using LoadGl = GlTest;

TEST_F(LoadGl, EntryPointsAreAllFetchedOnAFullDriver) {
    ASSERT_EQ(load_gl_entry_points(), 1);
    for (int i = 0; i < GL_ENTRY_COUNT; ++i) EXPECT_NE(gl_entry_table.entry[i], nullptr) << GL_ENTRY_NAMES[i];
}

TEST(LoadGlDriver, ContextWithoutMultisampleTexturesFailsLoading) {
    // The driver is told to hide the function before the context exists, so this runs in a child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("MESA_GL_VERSION_OVERRIDE", "3.1", 1);
            setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_texture_multisample", 1);
            if (!gl_open()) std::exit(3);
            int ok = load_gl_entry_points();
            // Everything before the missing entry was filled, nothing after it.
            bool filled = gl_entry_table.entry[19] != nullptr && gl_entry_table.entry[20] == nullptr &&
                          gl_entry_table.entry[22] == nullptr;
            std::exit(ok == 0 && filled ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(LoadGl, TenProgramsBuildFromFilesZeroToNineteenInOrder) {
    ScratchDir dir;
    write_tagged_show();
    ASSERT_EQ(load_gl_entry_points(), 1);
    ASSERT_EQ(build_programs(), 1);
    EXPECT_EQ(scene_file_counter, 20);
    EXPECT_FLOAT_EQ(load_progress, 10);
    for (int i = 0; i < 10; ++i) {
        GLuint p = program_set.*PROGRAM_TABLE[i].program;
        EXPECT_EQ(PROGRAM_TABLE[i].files[0], 2 * i);
        EXPECT_EQ(PROGRAM_TABLE[i].files[1], 2 * i + 1);
        ASSERT_NE(p, 0u);
        EXPECT_TRUE(program_linked(p)) << program_log(p);
        std::string v = "v" + std::to_string(2 * i), f = "f" + std::to_string(2 * i + 1);
        EXPECT_NE(glGetUniformLocation(p, v.c_str()), -1) << "program " << i << " lacks " << v;
        EXPECT_NE(glGetUniformLocation(p, f.c_str()), -1) << "program " << i << " lacks " << f;
        // The fragment shader is attached first.
        GLuint shaders[2] = {0, 0};
        GLsizei n = 0;
        glGetAttachedShaders(p, 2, &n, shaders);
        ASSERT_EQ(n, 2);
        GLint type = 0;
        glGetShaderiv(shaders[0], GL_SHADER_TYPE, &type);
        EXPECT_EQ(type, GL_FRAGMENT_SHADER);
    }
    EXPECT_EQ(PROGRAM_TABLE[9].program, &ProgramSet::post);
}

TEST_F(LoadGl, LoadingBarAfterFifthProgramEndsNearElevenPercentInGreyPoint53) {
    ScratchDir dir;
    write_tagged_show();
    ASSERT_EQ(load_gl_entry_points(), 1);
    uint32_t p = 0;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(build_program("a.vsh", "a.fsh", &p), 1);
    glReadBuffer(GL_BACK);
    // The bar spans x in [-1, 2 * 5/9 - 1 = 0.111], two rows about the middle line.
    int end_px = (int)std::lround((0.1111111 + 1.0) / 2.0 * 1920.0);
    int grey = (int)std::lround(std::sin(5 * 0.11111111f) * 255.0);
    for (int x : {0, 500, end_px - 2}) {
        auto c = read_pixel(x, 540);
        EXPECT_NEAR(c[0], grey, 1) << "x=" << x;
        EXPECT_EQ(c[0], c[1]);
        EXPECT_EQ(c[1], c[2]);
    }
    EXPECT_NE(read_pixel(end_px + 2, 540)[0], grey);
    EXPECT_NE(read_pixel(500, 545)[0], grey);  // about two pixels high
    EXPECT_NE(read_pixel(500, 535)[0], grey);
}

TEST_F(LoadGl, MissingSceneFileFailsLoadingWithoutReachingTheDriver) {
    ScratchDir dir;
    write_tagged_show();
    std::filesystem::remove("13.ck");
    EXPECT_EQ(intro_init(), 0);
    EXPECT_EQ(scene_file_counter, 13);
    EXPECT_NE(program_set.pt06, 0u);
    EXPECT_EQ(program_set.pt07, 0u);  // the seventh program was never created
    EXPECT_EQ(track_count, 0);        // nor was the script built
}

TEST_F(LoadGl, IntroMakesTargetsFramebufferAndScriptInOrder) {
    ScratchDir dir;
    write_tagged_show();
    ASSERT_EQ(intro_init(), 1);
    EXPECT_EQ(scene_file_counter, 20);
    EXPECT_EQ(texture_table[0], 0u);  // no bitmap.png here: no texture, not -1
    EXPECT_EQ(track_count, SHOW_SCRIPT_TRACKS);
    EXPECT_NE(scene_fbo, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ((GLuint)bound, scene_fbo);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ((GLuint)bound, feedback_texture);  // what the first scene pass finds on unit 0
    for (GLuint t : {scene_target, feedback_texture}) {
        glBindTexture(GL_TEXTURE_2D, t);
        GLint w = 0, h = 0, format = 0, min = 0, mag = 0, wrap_s = 0, wrap_t = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
        EXPECT_EQ(w, 1920);
        EXPECT_EQ(h, 1080);
        EXPECT_EQ(format, GL_RGBA32F);
        EXPECT_EQ(min, GL_NEAREST);
        EXPECT_EQ(mag, GL_NEAREST);
        EXPECT_EQ(wrap_s, GL_CLAMP);
        EXPECT_EQ(wrap_t, GL_CLAMP);
    }
    EXPECT_LT(scene_target, feedback_texture);
}

struct LogoCase {
    const char* name;
    const char* convert_args;  // ImageMagick arguments that make "logo.png", format prefix last
    int width, height;
    unsigned char top_left[4];
};

void PrintTo(const LogoCase& c, std::ostream* os) { *os << c.name; }

class LoadGlLogo : public GlTest, public ::testing::WithParamInterface<LogoCase> {};

TEST_P(LoadGlLogo, DecodesToRgbaTopRowFirst) {
    const LogoCase& c = GetParam();
    ScratchDir dir;
    std::string cmd = std::string("convert ") + c.convert_args + "logo.png 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    ASSERT_EQ(load_gl_entry_points(), 1);
    int64_t name = load_image_texture("logo.png");
    ASSERT_GT(name, 0);
    glBindTexture(GL_TEXTURE_2D, (GLuint)name);
    GLint w = 0, h = 0, a = 0, min = 0, wrap = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &a);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    EXPECT_EQ(a, 8);
    EXPECT_EQ(min, GL_LINEAR);
    EXPECT_EQ(wrap, GL_CLAMP);
    std::vector<unsigned char> texels((size_t)w * h * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(texels[i], c.top_left[i], 1) << c.name << " channel " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LoadGlLogo,
    ::testing::Values(
        LogoCase{"one_pixel", "-size 1x1 xc:\"#204060\" -define png:color-type=6 ", 1, 1, {0x20, 0x40, 0x60, 0xff}},
        LogoCase{"grey", "-size 5x3 gradient:white-black -colorspace Gray -define png:color-type=0 ", 5, 3, {255, 255, 255, 255}},
        LogoCase{"palette", "-size 6x4 xc:\"#ff0000\" -fill \"#0000ff\" -draw \"point 0,0\" PNG8:", 6, 4, {0, 0, 255, 255}},
        LogoCase{"rgb24", "-size 7x2 xc:\"#10ff80\" -fill \"#ff0000\" -draw \"point 0,0\" -define png:color-type=2 ", 7, 2, {255, 0, 0, 255}}),
    [](const ::testing::TestParamInfo<LogoCase>& info) { return std::string(info.param.name); });

TEST_F(LoadGl, UndecodableLogoGivesMinusOneAndMakesNoTexture) {
    ScratchDir dir;
    write_file("broken.png", "\x89PNG\r\n\x1a\n not really");
    ASSERT_EQ(load_gl_entry_points(), 1);
    EXPECT_EQ(load_image_texture("broken.png"), -1);
    EXPECT_EQ(load_image_texture("absent.png"), -1);
    GLuint next = 0;
    glGenTextures(1, &next);
    EXPECT_EQ(next, 1u);  // no texture name was used up
}

}  // namespace
