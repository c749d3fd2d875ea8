// Compile and link status, active uniforms and in-place rebuilds, with the few entry points only
// the tools need fetched here on first use.
#include "load/program_status.h"

#include <string.h>

#include "load/gl_entry.h"
#include "platform/platform.h"

// The entry points only the tools call: type, name in the table, GL name. One list gives the table
// and its fetching.
#define STATUS_GL_LIST(X)                                                  \
    X(PFNGLGETSHADERIVPROC, get_shader_iv, "glGetShaderiv")                \
    X(PFNGLGETSHADERINFOLOGPROC, get_shader_info_log, "glGetShaderInfoLog") \
    X(PFNGLGETPROGRAMIVPROC, get_program_iv, "glGetProgramiv")             \
    X(PFNGLGETPROGRAMINFOLOGPROC, get_program_info_log, "glGetProgramInfoLog") \
    X(PFNGLGETATTACHEDSHADERSPROC, get_attached_shaders, "glGetAttachedShaders") \
    X(PFNGLGETACTIVEUNIFORMPROC, get_active_uniform, "glGetActiveUniform") \
    X(PFNGLDETACHSHADERPROC, detach_shader, "glDetachShader")              \
    X(PFNGLDELETESHADERPROC, delete_shader, "glDeleteShader")              \
    X(PFNGLDELETEPROGRAMPROC, delete_program, "glDeleteProgram")           \
    X(PFNGLISPROGRAMPROC, is_program, "glIsProgram")

static struct {
    int fetched;
    STATUS_GL_LIST(GL_TOOL_FIELD)
} status_gl;

static int fetch() {
    if (status_gl.fetched) return 1;
    int all = 1;
#define GL_TOOL_TABLE status_gl
    STATUS_GL_LIST(GL_TOOL_FETCH)
#undef GL_TOOL_TABLE
    status_gl.fetched = all;
    return all;
}

int program_status(uint32_t program, ProgramStatus* out) {
    memset(out, 0, sizeof *out);
    if (!fetch() || program == 0 || !status_gl.is_program(program)) return 0;
    GLuint shaders[8];
    GLsizei count = 0;
    status_gl.get_attached_shaders(program, 8, &count, shaders);
    for (GLsizei i = 0; i < count; ++i) {
        GLint type = 0, ok = 0;
        status_gl.get_shader_iv(shaders[i], GL_SHADER_TYPE, &type);
        int stage = type == GL_VERTEX_SHADER ? PROGRAM_VERTEX : PROGRAM_FRAGMENT;
        status_gl.get_shader_iv(shaders[i], GL_COMPILE_STATUS, &ok);
        out->compiled[stage] = ok == GL_TRUE;
        status_gl.get_shader_info_log(shaders[i], PROGRAM_LOG_SIZE, nullptr, out->log[stage]);
    }
    GLint linked = 0;
    status_gl.get_program_iv(program, GL_LINK_STATUS, &linked);
    out->linked = linked == GL_TRUE;
    status_gl.get_program_info_log(program, PROGRAM_LOG_SIZE, nullptr, out->link_log);
    return out->compiled[0] && out->compiled[1] && out->linked;
}

int program_active_uniform(uint32_t program, int index, char* name, uint32_t* type) {
    if (!fetch() || program == 0 || !status_gl.is_program(program)) return 0;
    GLint count = 0;
    status_gl.get_program_iv(program, GL_ACTIVE_UNIFORMS, &count);
    if (index < 0 || index >= count) return 0;
    GLint size = 0;
    GLenum gl_type = 0;
    status_gl.get_active_uniform(program, (GLuint)index, PROGRAM_UNIFORM_NAME_SIZE, nullptr, &size, &gl_type, name);
    char* bracket = strchr(name, '[');
    if (bracket) *bracket = '\0';
    *type = gl_type;
    return 1;
}

static GLuint compile(GLenum type, const char* text) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, (const GLchar* const*)&text, nullptr);
    glCompileShader(shader);
    return shader;
}

static void release(GLuint program) {
    GLuint shaders[8];
    GLsizei count = 0;
    status_gl.get_attached_shaders(program, 8, &count, shaders);
    for (GLsizei i = 0; i < count; ++i) {
        status_gl.detach_shader(program, shaders[i]);
        status_gl.delete_shader(shaders[i]);
    }
}

int program_rebuild(uint32_t program, const char* vertex_text, const char* fragment_text, ProgramStatus* out) {
    memset(out, 0, sizeof *out);
    if (!fetch() || program == 0 || !status_gl.is_program(program)) return 0;
    // A failed link would leave the show's program unusable, so the new shaders are tried in a
    // program of their own first.
    GLuint fs = compile(GL_FRAGMENT_SHADER, fragment_text), vs = compile(GL_VERTEX_SHADER, vertex_text);
    GLuint trial = glCreateProgram();
    glAttachShader(trial, fs);
    glAttachShader(trial, vs);
    glLinkProgram(trial);
    int ok = program_status(trial, out);
    status_gl.detach_shader(trial, fs);
    status_gl.detach_shader(trial, vs);
    status_gl.delete_program(trial);
    if (!ok) {
        status_gl.delete_shader(fs);
        status_gl.delete_shader(vs);
        return 0;
    }
    // The program keeps these shaders until its next rebuild releases them.
    release(program);
    glAttachShader(program, fs);
    glAttachShader(program, vs);
    glLinkProgram(program);
    return program_status(program, out);
}
