// The two passes on the real driver: probe programs write what they receive into the float target
// and the back buffer, and the test reads it back.
#include "gl_test.h"

#include <cmath>
#include <stb_image_write.h>

#include "load/gl_entry.h"
#include "load/intro.h"
#include "load/programs.h"
#include "load/textures.h"
#include "render/render.h"
#include "timeline/cues.h"
#include "timeline/params.h"
#include "timeline/script.h"

namespace {

// Scene probe: row 0 carries the uniforms, pixel by pixel; row 1 alternates 0 and 1 by column so
// the post pass can show how it filters; alpha everywhere tags which program ran.
std::string scene_probe(int tag) {
    return "#version 120\n"
           "uniform vec2 resolution; uniform vec2 mouse; uniform float time;\n"
           "uniform sampler2D texture; uniform sampler2D texture2; uniform sampler2D texture3;\n"
           "uniform vec3 campos; uniform vec3 camtar; uniform vec3 camup;\n"
           "const float TAG = " + std::to_string(tag) + ".0;\n"
           "void main() {\n"
           "  vec2 f = floor(gl_FragCoord.xy);\n"
           "  vec4 c = vec4(0.25, 0.5, 0.75, TAG);\n"
           "  if (f.y == 0.0) {\n"
           "    if (f.x == 0.0) c = vec4(time, resolution, TAG);\n"
           "    else if (f.x == 1.0) c = vec4(mouse, 0.0, TAG);\n"
           "    else if (f.x == 2.0) c = vec4(campos, TAG);\n"
           "    else if (f.x == 3.0) c = vec4(camtar, TAG);\n"
           "    else if (f.x == 4.0) c = vec4(camup, TAG);\n"
           "    else if (f.x == 5.0) c = texture2D(texture, vec2(100.5 / 1920.0, 200.5 / 1080.0));\n"
           "    else if (f.x == 6.0) c = texture2D(texture2, vec2(0.25, 0.25));\n"
           "    else if (f.x == 7.0) c = texture2D(texture3, vec2(0.5, 0.5));\n"
           "    else if (f.x == 8.0) c = texture2D(texture, vec2(100.75 / 1920.0, 200.5 / 1080.0));\n"
           "  } else if (f.y == 1.0) {\n"
           "    c = vec4(mod(f.x, 2.0), 0.0, 0.0, TAG);\n"
           "  }\n"
           "  gl_FragColor = c;\n"
           "}\n";
}

// Post probe: row 0 carries the uniforms scaled into 0..1; elsewhere a pattern of the pixel's own
// position, which the next frame reads back as the previous frame.
const char* POST_PROBE =
    "#version 120\n"
    "uniform sampler2D renderedTexture; uniform sampler2D backBuffer; uniform sampler2D logoTexture;\n"
    "uniform vec4 fpar[4]; uniform vec2 resolution; uniform vec2 mouse; uniform float time;\n"
    "uniform vec4 flashColor; uniform float rgbOffset; uniform vec2 blurSize; uniform vec2 blurDir;\n"
    "uniform int useEffect; uniform int displayLogo; uniform vec4 logoColor; uniform vec2 logoScale;\n"
    "uniform vec2 logoOffset; uniform float gamma;\n"
    "void main() {\n"
    "  vec2 f = floor(gl_FragCoord.xy);\n"
    "  vec4 c = vec4(mod(f.x, 256.0) / 255.0, mod(f.y, 256.0) / 255.0, 0.5, 1.0);\n"
    "  if (f.y == 0.0) {\n"
    "    if (f.x == 0.0) c = vec4(gamma, float(displayLogo), float(useEffect) * 0.25, 1.0);\n"
    "    else if (f.x == 1.0) c = flashColor;\n"
    "    else if (f.x == 2.0) c = logoColor;\n"
    "    else if (f.x == 3.0) c = vec4(blurDir * 100.0 + 0.5, blurSize * 100.0);\n"
    "    else if (f.x == 4.0) c = vec4(time / 300.0, resolution / 2000.0, rgbOffset + 0.5);\n"
    "    else if (f.x == 5.0) c = vec4(mouse, logoScale * 0.5);\n"
    "    else if (f.x == 6.0) c = vec4(logoOffset + 0.5, fpar[0].x + 0.5, fpar[3].w + 0.5);\n"
    "    else if (f.x == 7.0) c = vec4(texture2D(renderedTexture, vec2(2.5 / 1920.0, 2.5 / 1080.0)).rgb, 1.0);\n"
    "    else if (f.x == 8.0) c = vec4(texture2D(renderedTexture, vec2(100.75 / 1920.0, 1.5 / 1080.0)).r, 0.0, 0.0, 1.0);\n"
    "    else if (f.x == 9.0) c = texture2D(backBuffer, vec2(100.5 / 1920.0, 200.5 / 1080.0));\n"
    "    else if (f.x == 10.0) c = texture2D(logoTexture, vec2(0.25, 0.25));\n"
    "  }\n"
    "  gl_FragColor = c;\n"
    "}\n";

// The logo: 2x2, top-left texel (255, 128, 0, 255).
void write_logo() {
    const unsigned char px[16] = {255, 128, 0, 255, 0, 0, 255, 255, 0, 255, 0, 255, 255, 255, 255, 255};
    ASSERT_TRUE(stbi_write_png("bitmap.png", 2, 2, 4, px, 8));
}

// Tags: program ptNN draws alpha NN in the scene target.
void write_probe_show() {
    std::vector<std::string> fragments;
    for (int i = 1; i <= 9; ++i) fragments.push_back(scene_probe(i));
    fragments.push_back(POST_PROBE);
    write_show(fragments);
    write_logo();
}

// Reads a whole texture level as RGBA floats, leaving unit 0 bound as the passes left it.
std::vector<float> read_texture(GLuint name) {
    std::vector<float> px(1920u * 1080u * 4u);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, px.data());
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    return px;
}

const float* texel(const std::vector<float>& px, int x, int y) { return &px[((size_t)y * 1920 + x) * 4]; }

// The back buffer as floats n/255, bottom row first.
std::vector<float> read_back_buffer() {
    std::vector<unsigned char> bytes(1920u * 1080u * 4u);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1920, 1080, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    std::vector<float> px(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) px[i] = bytes[i] / 255.0f;
    return px;
}

void expect_rgba(const float* got, std::initializer_list<float> want, float tol, const char* what) {
    int i = 0;
    for (float w : want) {
        EXPECT_NEAR(got[i], w, tol) << what << " component " << i;
        ++i;
    }
}

const float BYTE = 1.0f / 255.0f + 1e-4f;

class RenderGl : public GlTest {
protected:
    ScratchDir dir;
    void SetUp() override {
        GlTest::SetUp();
        write_probe_show();
        ASSERT_EQ(intro_init(), 1);
        for (const ProgramEntry& e : PROGRAM_TABLE) ASSERT_TRUE(program_linked(program_set.*e.program)) << program_log(program_set.*e.program);
    }
};

struct SceneCase {
    int32_t t;
    float tag;
    float campos[3], camtar[3];
};

TEST_F(RenderGl, SceneUniformsFollowTheShowClockAndCamera) {
    const SceneCase cases[] = {
        {0, 5, {0, 0, 0}, {0, -0.5f, -2}},
        {5000, 5, {0, 0, -3}, {0, -0.5f, -6}},
        {10000, 5, {0, -0.5f, -10}, {3, -0.5f, -12}},
        {97000, 3, {0, -0.5f, -10}, {3, -0.5f, -12}},
    };
    for (const SceneCase& c : cases) {
        SCOPED_TRACE("t=" + std::to_string(c.t));
        render_frame(c.t);
        auto s = read_texture(scene_target);
        expect_rgba(texel(s, 0, 0), {(float)(c.t * 0.001), 1920, 1080, c.tag}, 1e-6f, "time, resolution");
        expect_rgba(texel(s, 1, 0), {0.5f, 0.5f, 0}, 0, "mouse");
        expect_rgba(texel(s, 2, 0), {c.campos[0], c.campos[1], c.campos[2]}, 1e-5f, "campos");
        expect_rgba(texel(s, 3, 0), {c.camtar[0], c.camtar[1], c.camtar[2]}, 1e-5f, "camtar");
        expect_rgba(texel(s, 4, 0), {0, 1, 0}, 0, "camup");
        expect_rgba(texel(s, 6, 0), {1, 128 / 255.0f, 0, 1}, BYTE, "texture2 is the logo");
        expect_rgba(texel(s, 7, 0), {0, 0, 0, 1}, 0, "texture3 is the empty slot: no texture");
        expect_rgba(texel(s, 500, 500), {0.25f, 0.5f, 0.75f, c.tag}, 0, "every pixel is drawn");
    }
    EXPECT_EQ(show_params.resolution[0], 1920);
    EXPECT_EQ(show_params.mouse[1], 0.5f);
}

TEST_F(RenderGl, FrameAt97000RunsPt03WithGammaHalfWayUp) {
    render_frame(97000);
    EXPECT_EQ(show_params.scene_program, (float)program_set.pt03);
    EXPECT_FLOAT_EQ(show_params.gamma, 0.505f);
    EXPECT_EQ(texel(read_texture(scene_target), 0, 0)[3], 3);
    auto b = read_back_buffer();
    EXPECT_NEAR(texel(b, 0, 0)[0], 0.505f, BYTE);
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ((GLuint)program, program_set.post);
}

struct PostCase {
    int32_t t;
    float gamma, display_logo;
    float flash[4], logo[4];
};

TEST_F(RenderGl, PostUniformsReachTheBackBuffer) {
    const PostCase cases[] = {
        {1500, 1, 0, {0.5f, 0.5f, 0.5f, 0.5f}, {1, 1, 1, 1}},
        {47000, 0.505f, 0, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {207500, 0.75f, 1, {1, 1, 1, 1}, {1, 1, 1, 0.475f}},
        {230000, 0.5f, 1, {1, 1, 1, 1}, {1, 1, 1, 0.95f}},
    };
    for (const PostCase& c : cases) {
        SCOPED_TRACE("t=" + std::to_string(c.t));
        render_frame(c.t);
        auto b = read_back_buffer();
        expect_rgba(texel(b, 0, 0), {c.gamma, c.display_logo, 0, 1}, BYTE, "gamma, displayLogo, useEffect");
        expect_rgba(texel(b, 1, 0), {c.flash[0], c.flash[1], c.flash[2], c.flash[3]}, BYTE, "flashColor");
        expect_rgba(texel(b, 2, 0), {c.logo[0], c.logo[1], c.logo[2], c.logo[3]}, BYTE, "logoColor");
        float blur = (float)(std::cos((double)c.t * 0.001) * 0.005);
        expect_rgba(texel(b, 3, 0), {blur * 100 + 0.5f, 0.5f, 0.1f, 0.1f}, BYTE, "blurDir, blurSize");
        expect_rgba(texel(b, 4, 0), {c.t * 0.001f / 300, 0.96f, 0.54f, 0.5f}, BYTE, "time, resolution, rgbOffset");
        expect_rgba(texel(b, 5, 0), {0.5f, 0.5f, 0.5f, 0.5f}, BYTE, "mouse, logoScale");
        expect_rgba(texel(b, 6, 0), {0.5f, 0.5f, 0.5f, 0.5f}, BYTE, "logoOffset, fpar");
        expect_rgba(texel(b, 7, 0), {0.25f, 0.5f, 0.75f}, BYTE, "renderedTexture is this frame's scene");
        expect_rgba(texel(b, 10, 0), {1, 128 / 255.0f, 0, 1}, BYTE, "logoTexture");
    }
}

TEST_F(RenderGl, FeedbackHoldsThePresentedFrameForBothProgramsNextFrame) {
    render_frame(20000);
    auto presented = read_back_buffer();
    auto feedback = read_texture(feedback_texture);
    for (int y : {0, 1, 200, 539, 1079})
        for (int x : {0, 9, 100, 1919}) expect_rgba(texel(feedback, x, y), {texel(presented, x, y)[0], texel(presented, x, y)[1], texel(presented, x, y)[2], texel(presented, x, y)[3]}, 1e-6f, "feedback = back buffer");
    GLint active = 0, bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(active, GL_TEXTURE0);
    EXPECT_EQ((GLuint)bound, feedback_texture);

    render_frame(20016);
    // Pixel (100, 200) of the presented pattern: (100/255, 200/255, 0.5, 1).
    expect_rgba(texel(read_texture(scene_target), 5, 0), {100 / 255.0f, 200 / 255.0f, 128 / 255.0f, 1}, 1e-6f, "scene sees the previous frame on unit 0");
    expect_rgba(texel(read_back_buffer(), 9, 0), {100 / 255.0f, 200 / 255.0f, 128 / 255.0f, 1}, BYTE, "post sees it as backBuffer");
}

// A start at any show time (a capture's first frame, a seek) begins from an empty previous frame,
// whatever the texture held, and the next frame draws as usual.
TEST_F(RenderGl, ClearedFeedbackIsEmptyAndTheNextFrameDrawsAsUsual) {
    render_frame(20000);
    ASSERT_GT(texel(read_texture(feedback_texture), 100, 200)[0], 0.3f) << "the presented pattern is in the feedback";
    render_clear_feedback();
    GLint active = 0, bound = 0, framebuffer = -1;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    EXPECT_EQ(active, GL_TEXTURE0);
    EXPECT_EQ((GLuint)bound, feedback_texture);
    EXPECT_EQ(framebuffer, 0) << "back on the post pass's framebuffer";
    std::vector<float> cleared = read_texture(feedback_texture);
    for (int y : {0, 200, 1079})
        for (int x : {0, 100, 1919}) expect_rgba(texel(cleared, x, y), {0, 0, 0, 0}, 0, "cleared");
    render_frame(20016);
    expect_rgba(texel(read_texture(scene_target), 5, 0), {0, 0, 0, 0}, 0, "the scene sees the empty previous frame");
    expect_rgba(texel(read_texture(scene_target), 100, 500), {0.25f, 0.5f, 0.75f, 5}, 0, "and pt05 draws into the scene target");
}

TEST_F(RenderGl, FirstSceneSamplesFeedbackNearestThenThePostPassMakesItLinear) {
    // Texel 100 of row 200 is 0 and texel 101 is 1; the probe samples a quarter of the way between.
    std::vector<float> row(1920 * 4, 0.0f);
    for (int x = 101; x < 1920; ++x) row[x * 4] = 1.0f;
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 200, 1920, 1, GL_RGBA, GL_FLOAT, row.data());

    render_frame(30000);
    EXPECT_EQ(texel(read_texture(scene_target), 8, 0)[0], 0.0f) << "first frame: nearest";
    // The post pass samples scene_target between column 100 (0) and 101 (1) linearly at once.
    EXPECT_NEAR(texel(read_back_buffer(), 8, 0)[0], 0.25f, BYTE);
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, scene_target);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);

    render_frame(30016);
    // Now linear: a quarter of the way from pixel 100 (100/255) to 101 (101/255).
    EXPECT_NEAR(texel(read_texture(scene_target), 8, 0)[0], 100.25f / 255.0f, 1e-5f);
}

TEST_F(RenderGl, SkipRenderDrawsNothingAndKeepsFeedback) {
    render_frame(40000);
    auto before = read_texture(feedback_texture);
    cue_skip(50000, 1);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    render_frame(50000);
    expect_rgba(texel(read_back_buffer(), 0, 0), {0.2f, 0.4f, 0.6f, 1}, BYTE, "back buffer untouched");
    auto after = read_texture(feedback_texture);
    EXPECT_TRUE(before == after);
    cue_skip(60000, 0);
    render_frame(60000);
    EXPECT_NEAR(texel(read_back_buffer(), 0, 0)[0], 1.0f, BYTE);  // gamma 1 drawn again
}

TEST_F(RenderGl, LogoSlotOutsideTheTableBindsNoTexture) {
    for (int slot : {0, 5, 32, -1}) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        cue_logo_slot(70000 + slot * 10 + 100, slot);
        render_frame(70000 + slot * 10 + 100);
        GLint bound = -1;
        glActiveTexture(GL_TEXTURE2);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glActiveTexture(GL_TEXTURE0);
        EXPECT_EQ((GLuint)bound, slot == 0 ? texture_table[0] : 0u);
    }
}

TEST_F(RenderGl, EffectSwitchReachesThePostProgramAndAMissingLogoIsNotDisplayed) {
    cue_effect(100000, 1);
    render_frame(100000);
    expect_rgba(texel(read_back_buffer(), 0, 0), {1, 0, 0.25f, 1}, BYTE, "gamma, displayLogo, useEffect 1");
    render_frame(230000);
    EXPECT_NEAR(texel(read_back_buffer(), 0, 0)[1], 1, BYTE) << "the logo shows at 230 s";
    texture_table[0] = 0;  // as loading leaves it when bitmap.png cannot be decoded
    render_frame(230016);
    EXPECT_NEAR(texel(read_back_buffer(), 0, 0)[1], 0, BYTE) << "no image, no logo";
    EXPECT_EQ(show_params.displayLogo, 1) << "the timeline itself is left alone";
}

TEST_F(RenderGl, SceneProgramWithoutUniformsStillDraws) {
    write_scene_file(8, probe_vertex());
    write_scene_file(9, "void main() { gl_FragColor = vec4(0.125, 0.25, 0.375, 0.5); }\n");
    scene_file_counter = 8;
    uint32_t bare = 0;
    ASSERT_EQ(build_program("bare.vsh", "bare.fsh", &bare), 1);
    ASSERT_TRUE(program_linked(bare));
    cue_program(80000, bare);
    render_frame(80000);
    expect_rgba(texel(read_texture(scene_target), 0, 0), {0.125f, 0.25f, 0.375f, 0.5f}, 0, "bare program");
    expect_rgba(texel(read_texture(scene_target), 1919, 1079), {0.125f, 0.25f, 0.375f, 0.5f}, 0, "bare program");
}

}  // namespace
