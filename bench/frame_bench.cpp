// What the show's own frame logic costs on top of the GL work: render_frame with trivial probe
// programs against a bare loop that issues the same draws and copy with no timeline, no
// parameter block and no uniform lookups. Rounds alternate so drift hits both alike.
#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "load/gl_entry.h"
#include "load/intro.h"
#include "load/textures.h"
#include "render/render.h"
#include "runner/window.h"
#include "show_files.h"
#include "timeline/script.h"

namespace {

const char* SCENE =
    "#version 120\nuniform float time; uniform vec2 resolution; uniform vec3 campos;\nvarying vec2 uv;\n"
    "void main(){ gl_FragColor = vec4(uv, fract(time) + campos.x, resolution.x); }\n";
const char* POST =
    "#version 120\nuniform sampler2D renderedTexture; uniform sampler2D backBuffer; uniform float gamma;\n"
    "varying vec2 uv;\nvoid main(){ gl_FragColor = texture2D(renderedTexture, uv) * gamma + texture2D(backBuffer, uv) * 0.1; }\n";

// The same GL calls a frame makes, with nothing computed.
void bare_frame(GLuint scene, GLuint post) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, scene_fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, scene_target, 0);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glUseProgram(scene);
    glRects(-1, -1, 1, 1);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, scene_target);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    glUseProgram(post);
    glRects(-1, -1, 1, 1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, 0);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    ScratchDir dir;
    std::vector<std::string> fragments(9, SCENE);
    fragments.push_back(POST);
    write_show(fragments);
    window_state.fullscreen = 1;
    if (!window_init(&window_state) || !intro_init()) {
        std::fprintf(stderr, "frame_bench: needs a %dx%d X display with GL\n", SCREEN_WIDTH, SCREEN_HEIGHT);
        window_shutdown(&window_state);
        return 1;
    }
    const GLuint scene = program_set.pt05, post = program_set.post;
    const int rounds = 9, frames = 20;
    std::vector<double> show_ms, bare_ms;
    int32_t t = 0;
    for (int r = 0; r < rounds; ++r) {
        auto a = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) render_frame(t += 16);
        glFinish();
        auto b = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) bare_frame(scene, post);
        glFinish();
        auto c = std::chrono::steady_clock::now();
        show_ms.push_back(std::chrono::duration<double, std::milli>(b - a).count() / frames);
        bare_ms.push_back(std::chrono::duration<double, std::milli>(c - b).count() / frames);
    }
    double s = median(show_ms), b = median(bare_ms);
    std::printf("render_frame  %8.3f ms/frame (median of %d rounds of %d)\n", s, rounds, frames);
    std::printf("bare GL loop  %8.3f ms/frame\n", b);
    std::printf("ratio         %8.4f\n", s / b);
    window_shutdown(&window_state);
    return 0;
}
