// GL entry points beyond the base library: shaders, uniforms, framebuffer objects, multitexture
// and draw buffers, fetched by name once a context is current. Including this header makes the
// usual gl* names call through the table.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

// The one list of entry points, in table order: X(name, function pointer type, major, minor,
// extension). An entry is offered by core GL major.minor and later (0, 0: by no version) or by
// the extension (nullptr: by none). Everything below derives from it.
#define GL_ENTRY_LIST(X) \
    X(glCreateProgram, PFNGLCREATEPROGRAMPROC, 2, 0, nullptr) \
    X(glCreateShader, PFNGLCREATESHADERPROC, 2, 0, nullptr) \
    X(glShaderSource, PFNGLSHADERSOURCEPROC, 2, 0, nullptr) \
    X(glCompileShader, PFNGLCOMPILESHADERPROC, 2, 0, nullptr) \
    X(glAttachShader, PFNGLATTACHSHADERPROC, 2, 0, nullptr) \
    X(glLinkProgram, PFNGLLINKPROGRAMPROC, 2, 0, nullptr) \
    X(glUseProgram, PFNGLUSEPROGRAMPROC, 2, 0, nullptr) \
    X(glUniform4fv, PFNGLUNIFORM4FVPROC, 2, 0, nullptr) \
    X(glUniform1i, PFNGLUNIFORM1IPROC, 2, 0, nullptr) \
    X(glGetUniformLocation, PFNGLGETUNIFORMLOCATIONPROC, 2, 0, nullptr) \
    X(glUniform1f, PFNGLUNIFORM1FPROC, 2, 0, nullptr) \
    X(glUniform2fv, PFNGLUNIFORM2FVPROC, 2, 0, nullptr) \
    X(glActiveTexture, PFNGLACTIVETEXTUREPROC, 1, 3, "GL_ARB_multitexture") \
    X(glGenFramebuffersEXT, PFNGLGENFRAMEBUFFERSEXTPROC, 0, 0, "GL_EXT_framebuffer_object") \
    X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC, 0, 0, "GL_EXT_framebuffer_object") \
    X(glFramebufferTexture2DEXT, PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, 0, 0, "GL_EXT_framebuffer_object") \
    X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC, 0, 0, "GL_EXT_framebuffer_object") \
    X(glDrawBuffers, PFNGLDRAWBUFFERSPROC, 2, 0, nullptr) \
    X(glUniform3fv, PFNGLUNIFORM3FVPROC, 2, 0, nullptr) \
    /* The show never calls the last four. They are fetched and required all the same, so a  */ \
    /* driver that lacks one (multisample textures, say) fails loading like any other gap.   */ \
    X(glUniform1iARB, PFNGLUNIFORM1IARBPROC, 0, 0, "GL_ARB_shader_objects") \
    X(glTexImage2DMultisample, PFNGLTEXIMAGE2DMULTISAMPLEPROC, 3, 2, "GL_ARB_texture_multisample") \
    X(glUniformMatrix4fv, PFNGLUNIFORMMATRIX4FVPROC, 2, 0, nullptr) \
    X(glUniformMatrix3fv, PFNGLUNIFORMMATRIX3FVPROC, 2, 0, nullptr)

#define GL_ENTRY_INDEX(name, type, major, minor, extension) GL_ENTRY_##name,
enum GlEntry { GL_ENTRY_LIST(GL_ENTRY_INDEX) GL_ENTRY_COUNT };  // GL_ENTRY_COUNT is 23
#undef GL_ENTRY_INDEX

#define GL_ENTRY_TYPE(name, type, major, minor, extension) typedef type GL_ENTRY_TYPE_##name;
GL_ENTRY_LIST(GL_ENTRY_TYPE)
#undef GL_ENTRY_TYPE

struct GlEntryTable {
    void* entry[GL_ENTRY_COUNT];  // null until fetched
};

extern GlEntryTable gl_entry_table;             // zero at load
extern const char* const GL_ENTRY_NAMES[GL_ENTRY_COUNT];

// Tables of the entry points only the tools call, each a list X(type, field, "glName"): the list
// with GL_TOOL_FIELD gives a struct's fields; with GL_TOOL_FETCH, inside a function that defines
// GL_TOOL_TABLE as the struct and an `all` flag, it fetches every entry and clears `all` when the
// current context lacks one.
#define GL_TOOL_FIELD(type, field, name) type field;
#define GL_TOOL_FETCH(type, field, name) \
    if (!(GL_TOOL_TABLE.field = (type)plat_gl_proc_address(name))) all = 0;

// Fetches the 23 entry points in table order, stopping at the first one the current context does
// not offer (a later entry stays null). Returns 1 when all are present, else 0.
int load_gl_entry_points();

// Routes a usual gl* name through its table entry, with the entry's own type.
#define GL_ENTRY(name) ((GL_ENTRY_TYPE_##name)gl_entry_table.entry[GL_ENTRY_##name])
#define glCreateProgram GL_ENTRY(glCreateProgram)
#define glCreateShader GL_ENTRY(glCreateShader)
#define glShaderSource GL_ENTRY(glShaderSource)
#define glCompileShader GL_ENTRY(glCompileShader)
#define glAttachShader GL_ENTRY(glAttachShader)
#define glLinkProgram GL_ENTRY(glLinkProgram)
#define glUseProgram GL_ENTRY(glUseProgram)
#define glUniform4fv GL_ENTRY(glUniform4fv)
#define glUniform1i GL_ENTRY(glUniform1i)
#define glGetUniformLocation GL_ENTRY(glGetUniformLocation)
#define glUniform1f GL_ENTRY(glUniform1f)
#define glUniform2fv GL_ENTRY(glUniform2fv)
#define glActiveTexture GL_ENTRY(glActiveTexture)
#define glGenFramebuffersEXT GL_ENTRY(glGenFramebuffersEXT)
#define glBindFramebufferEXT GL_ENTRY(glBindFramebufferEXT)
#define glFramebufferTexture2DEXT GL_ENTRY(glFramebufferTexture2DEXT)
#define glBindRenderbufferEXT GL_ENTRY(glBindRenderbufferEXT)
#define glDrawBuffers GL_ENTRY(glDrawBuffers)
#define glUniform3fv GL_ENTRY(glUniform3fv)
