// WebGL 2: the show's fixed-function pieces redone with what WebGL 2 has, and the browser's own
// set of entry points. WebGL 2 offers the EXT framebuffer calls under their core names and has
// neither glUniform1iARB (glUniform1i stands in) nor multisample textures; what the show needs
// beyond WebGL 2 itself is float render targets that filter linearly.
#define GL_GLEXT_PROTOTYPES 1  // emscripten links WebGL 2's calls directly
#include "load/gl_compat.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "load/gl_entry.h"
#include "load/glsl_es_renames.h"
#include "platform/platform.h"

const int GL_COMPAT_CLAMP = GL_CLAMP_TO_EDGE;
const int GL_COMPAT_LOGO_FORMAT = GL_RGBA;

GlEntryTable gl_entry_table;

#define GL_ENTRY_NAME(name, type, major, minor, extension) #name,
const char* const GL_ENTRY_NAMES[GL_ENTRY_COUNT] = {GL_ENTRY_LIST(GL_ENTRY_NAME)};
#undef GL_ENTRY_NAME

// Extensions the show cannot run without: the scene target is a float texture it renders into
// and the post pass samples it linearly.
static const char* const REQUIRED_EXTENSIONS[] = {"EXT_color_buffer_float", "OES_texture_float_linear"};

static GL_ENTRY_TYPE_glGetUniformLocation webgl_get_uniform_location;

// The uniform lookup of the passes, by the names the scene files were written with: a name the
// translation changed is asked for by its new name.
static GLint GLAPIENTRY get_uniform_location(GLuint program, const GLchar* name) {
    return webgl_get_uniform_location(program, glsl_es_name(name));
}

static int has_extension(const char* all, const char* name) {
    size_t n = strlen(name);
    for (const char* p = all; p && (p = strstr(p, name)) != nullptr; p += n) {
        if ((p == all || p[-1] == ' ' || p[-1] == '_') && (p[n] == ' ' || p[n] == '\0')) return 1;
    }
    return 0;
}

int load_gl_entry_points() {
    const char* version = (const char*)glGetString(GL_VERSION);
    if (!version || strncmp(version, "OpenGL ES 3.", 12) != 0) {
        plat_fail_reason("WebGL 2 is not available in this browser (GL version '%s')", version ? version : "");
        return 0;
    }
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    for (const char* e : REQUIRED_EXTENSIONS) {
        if (!has_extension(extensions, e)) {
            plat_fail_reason("this browser's WebGL 2 has no float render targets (%s is missing)", e);
            return 0;
        }
    }
    for (int i = 0; i < GL_ENTRY_COUNT; ++i) {
        // The name WebGL 2 has it under: without the EXT or ARB suffix.
        char name[64];
        snprintf(name, sizeof name, "%s", GL_ENTRY_NAMES[i]);
        size_t n = strlen(name);
        if (n > 3 && (strcmp(name + n - 3, "EXT") == 0 || strcmp(name + n - 3, "ARB") == 0)) name[n - 3] = '\0';
        void* address = plat_gl_proc_address(name);
        // Multisample textures are fetched by the desktop but never called: WebGL 2 has none.
        if (!address && i == GL_ENTRY_glTexImage2DMultisample) continue;
        if (!address) {
            plat_fail_reason("WebGL 2 (%s) lacks %s", version, name);
            return 0;
        }
        gl_entry_table.entry[i] = address;
    }
    webgl_get_uniform_location = GL_ENTRY(glGetUniformLocation);
    gl_entry_table.entry[GL_ENTRY_glGetUniformLocation] = (void*)&get_uniform_location;
    return 1;
}

// The full-screen rectangle: four corners drawn as a fan, attribute 0, which the translated
// vertex programs read as their vertex position.
static GLuint rect_array, rect_buffer;

int gl_compat_init() {
    static const GLfloat CORNERS[8] = {-1, -1, 1, -1, 1, 1, -1, 1};
    glGenVertexArrays(1, &rect_array);
    glBindVertexArray(rect_array);
    glGenBuffers(1, &rect_buffer);
    glBindBuffer(GL_ARRAY_BUFFER, rect_buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof CORNERS, CORNERS, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    if (!rect_array || !rect_buffer) {
        plat_fail_reason("WebGL 2: the full-screen rectangle's vertex array cannot be made");
        return 0;
    }
    return 1;
}

void gl_compat_enable_texture_2d() {}

void gl_compat_texture_replace() {}

void gl_compat_screen_rect() { glDrawArrays(GL_TRIANGLE_FAN, 0, 4); }

// The first pixel whose centre lies at or right of window coordinate w.
static int first_covered(float w) { return (int)ceilf(w - 0.5f); }

void gl_compat_grey_rect(float grey, float x0, float y0, float x1, float y1) {
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    int left = first_covered(view[0] + (x0 + 1) * 0.5f * view[2]);
    int right = first_covered(view[0] + (x1 + 1) * 0.5f * view[2]);
    int bottom = first_covered(view[1] + (y0 + 1) * 0.5f * view[3]);
    int top = first_covered(view[1] + (y1 + 1) * 0.5f * view[3]);
    if (left < view[0]) left = view[0];
    if (right > view[0] + view[2]) right = view[0] + view[2];
    if (bottom < view[1]) bottom = view[1];
    if (top > view[1] + view[3]) top = view[1] + view[3];
    if (right <= left || top <= bottom) return;
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, bottom, right - left, top - bottom);
    glClearColor(grey, grey, grey, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void gl_compat_copy_feedback(int width, int height) {
    // WebGL 2 copies a framebuffer of 8-bit channels into an 8-bit texture only.
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 0, 0, width, height, 0);
}
