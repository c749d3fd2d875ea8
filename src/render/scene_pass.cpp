// The scene pass: one full-screen rectangle of the current scene program into scene_target.
#include <math.h>

#include "load/gl_compat.h"
#include "load/gl_entry.h"
#include "load/textures.h"
#include "render/render.h"
#include "render/uniforms.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

void bind_scene_target() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, scene_fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, scene_target, 0);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
}

static GLint scene_uniform(GLuint program, SceneUniform u) {
    return glGetUniformLocation(program, SCENE_UNIFORM_INFO[u].name);
}

void render_frame(int32_t t) {
    ShowParams& p = show_params;
    p.resolution[0] = SCREEN_WIDTH;
    p.resolution[1] = SCREEN_HEIGHT;
    p.mouse[0] = 0.5f;
    p.mouse[1] = 0.5f;
    // Worked in double from the float time, stored as float, as the shaders receive it.
    double seconds = (double)(float)t * 0.001;
    p.blurDir[0] = (float)(cos(seconds) * 0.005);
    p.blurDir[1] = 0;
    tracks_evaluate(t);

    GLuint program = (GLuint)nearbyintf(p.scene_program);
    if (nearbyintf(p.skip_render) != 0) return;

    bind_scene_target();
    // Unit 0 keeps feedback_texture: it is the last texture bound there, at the end of loading
    // and at the end of every post pass.
    glActiveTexture(GL_TEXTURE0);
    gl_compat_enable_texture_2d();
    glActiveTexture(GL_TEXTURE1);
    gl_compat_enable_texture_2d();
    glBindTexture(GL_TEXTURE_2D, texture_table[SCENE_TEXTURE2_SLOT]);
    glActiveTexture(GL_TEXTURE2);
    gl_compat_enable_texture_2d();
    glBindTexture(GL_TEXTURE_2D, texture_table[SCENE_TEXTURE3_SLOT]);

    glUseProgram(program);
    // Looked up every frame: a name the program does not use gives -1 and uploads nothing.
    glUniform2fv(scene_uniform(program, SCENE_U_RESOLUTION), 1, p.resolution);
    glUniform2fv(scene_uniform(program, SCENE_U_MOUSE), 1, p.mouse);
    glUniform1f(scene_uniform(program, SCENE_U_TIME), (float)seconds);
    glUniform1i(scene_uniform(program, SCENE_U_TEXTURE), 0);
    glUniform1i(scene_uniform(program, SCENE_U_TEXTURE2), 1);
    glUniform1i(scene_uniform(program, SCENE_U_TEXTURE3), 2);
    glUniform3fv(scene_uniform(program, SCENE_U_CAMPOS), 1, p.campos);
    glUniform3fv(scene_uniform(program, SCENE_U_CAMTAR), 1, p.camtar);
    glUniform3fv(scene_uniform(program, SCENE_U_CAMUP), 1, p.camup);
    gl_compat_screen_rect();

    render_post(t);
}
