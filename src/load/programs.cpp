// The program builder and the loading bar.
#include "programs.h"

#include <math.h>
#include <stdlib.h>

#include "load/gl_compat.h"
#include "load/gl_entry.h"
#include "load/scene_file.h"
#include "platform/platform.h"
#include "timeline/script.h"

float load_progress;

int build_program(const char* vertex_label, const char* fragment_label, uint32_t* out_program) {
    // A missing file would hand the driver no source at all: loading stops instead.
    char* vs_text = read_scene_file(vertex_label);
    if (!vs_text) {
        plat_fail_reason("scene file %d.ck cannot be read", (int)scene_file_counter);
        return 0;
    }
    char* fs_text = read_scene_file(fragment_label);
    if (!fs_text) {
        plat_fail_reason("scene file %d.ck cannot be read", (int)scene_file_counter);
        free(vs_text);
        return 0;
    }
    GLuint program = glCreateProgram();
    *out_program = program;
    GLuint vs = glCreateShader(GL_VERTEX_SHADER);
    GLuint fs = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(vs, 1, (const GLchar* const*)&vs_text, nullptr);
    glShaderSource(fs, 1, (const GLchar* const*)&fs_text, nullptr);
    glCompileShader(vs);
    glCompileShader(fs);
    glAttachShader(program, fs);
    glAttachShader(program, vs);
    glLinkProgram(program);
    free(vs_text);
    free(fs_text);

    load_progress += 1;
    draw_loading_bar(load_progress * 0.11111111f);
    present_and_yield();
    return 1;
}

void draw_loading_bar(float p) {
    float grey = sinf(p);
    gl_compat_grey_rect(grey, -1.0f, -0.002000004f, 2.0f * p - 1.0f, 0.002000004f);
}

int build_programs() {
    for (const ProgramEntry& e : PROGRAM_TABLE)
        if (!build_program(e.vertex_label, e.fragment_label, &(program_set.*e.program))) return 0;
    return 1;
}
