// GL tests run on the real driver: the show's own window and context on the X display in
// DISPLAY (a 1920x1080 Xvfb under ./test.sh), with results read back from pixels and textures.
#pragma once
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner/window.h"
#include "show_files.h"

// Keeps Mesa's driver loaded for the life of the process. The loader unloads it when the display
// closes, and leak reports about it would then name no library: the sanitizer build's suppression
// file can only tell the driver's own leaks from ours while it stays.
inline void gl_pin_driver() {
    static void* driver = dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    (void)driver;
}

// Opens the show's full-screen window with its context current, as the runner does.
inline bool gl_open() {
    gl_pin_driver();
    window_state.fullscreen = 1;
    return window_init(&window_state) == 1;
}

// A fixture that opens the window before each test and closes it after.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl_open()) << "no 1920x1080 GL window: is DISPLAY an Xvfb of that size?"; }
    void TearDown() override { window_shutdown(&window_state); }
};

inline std::string program_log(GLuint program) {
    char log[4096] = "";
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    return log;
}

inline bool program_linked(GLuint program) {
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    return ok == GL_TRUE;
}

// Reads the RGBA8 colour of one pixel of the current read buffer (x from the left, y from the bottom).
inline std::vector<unsigned char> read_pixel(int x, int y) {
    std::vector<unsigned char> p(4);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}
