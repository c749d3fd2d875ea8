// The post pass and the feedback copy.
#include <math.h>

#include "load/gl_compat.h"
#include "load/gl_entry.h"
#include "load/textures.h"
#include "render/render.h"
#include "render/uniforms.h"
#include "timeline/params.h"
#include "timeline/script.h"

uint32_t post_framebuffer;

static void bind_linear(GLenum unit, GLuint texture) {
    glActiveTexture(unit);
    gl_compat_enable_texture_2d();
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// The texture a logo slot names; a slot outside the table binds no texture instead of reading
// past its end.
static GLuint logo_texture(float slot) {
    float s = nearbyintf(slot);
    return s >= 0 && s < TEXTURE_SLOTS ? texture_table[(int)s] : 0;
}

static GLint post_uniform(GLuint program, PostUniform u) {
    return glGetUniformLocation(program, POST_UNIFORM_INFO[u].name);
}

void render_clear_feedback() {
    // Through the scene framebuffer, which the next scene pass points back at scene_target.
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, scene_fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, feedback_texture, 0);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, scene_target, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, post_framebuffer);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
}

void render_post(int32_t t) {
    const ShowParams& p = show_params;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, post_framebuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    bind_linear(GL_TEXTURE0, scene_target);
    bind_linear(GL_TEXTURE1, feedback_texture);
    GLuint logo = logo_texture(p.logo_slot);
    bind_linear(GL_TEXTURE2, logo);

    GLuint post = program_set.post;
    glUseProgram(post);
    glUniform1i(post_uniform(post, POST_U_RENDERED_TEXTURE), 0);
    glUniform1i(post_uniform(post, POST_U_BACK_BUFFER), 1);
    glUniform1i(post_uniform(post, POST_U_LOGO_TEXTURE), 2);
    glUniform4fv(post_uniform(post, POST_U_FPAR), 4, p.fpar);
    glUniform2fv(post_uniform(post, POST_U_RESOLUTION), 1, p.resolution);
    glUniform2fv(post_uniform(post, POST_U_MOUSE), 1, p.mouse);
    glUniform1f(post_uniform(post, POST_U_TIME), (float)((double)(float)t * 0.001));
    glUniform4fv(post_uniform(post, POST_U_FLASH_COLOR), 1, p.flashColor);
    glUniform1f(post_uniform(post, POST_U_RGB_OFFSET), p.rgbOffset);
    glUniform2fv(post_uniform(post, POST_U_BLUR_SIZE), 1, p.blurSize);
    glUniform2fv(post_uniform(post, POST_U_BLUR_DIR), 1, p.blurDir);
    glUniform1i(post_uniform(post, POST_U_USE_EFFECT), (GLint)nearbyintf(p.useEffect));
    // With no image in the logo's slot there is no logo to show: texture 0 samples as opaque
    // black, and a program that draws it would put a dark rectangle where the logo goes.
    glUniform1i(post_uniform(post, POST_U_DISPLAY_LOGO), logo ? (GLint)nearbyintf(p.displayLogo) : 0);
    glUniform4fv(post_uniform(post, POST_U_LOGO_COLOR), 1, p.logoColor);
    glUniform2fv(post_uniform(post, POST_U_LOGO_SCALE), 1, p.logoScale);
    glUniform2fv(post_uniform(post, POST_U_LOGO_OFFSET), 1, p.logoOffset);
    glUniform1f(post_uniform(post, POST_U_GAMMA), p.gamma);
    gl_compat_screen_rect();

    // Unit 0 is left holding feedback_texture, which is where the next scene pass finds it.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    gl_compat_copy_feedback(SCREEN_WIDTH, SCREEN_HEIGHT);
}
