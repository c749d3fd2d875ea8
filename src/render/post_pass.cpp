// The post pass and the feedback copy.
#include <math.h>

#include "load/gl_entry.h"
#include "load/textures.h"
#include "render/render.h"
#include "timeline/params.h"
#include "timeline/script.h"

static void bind_linear(GLenum unit, GLuint texture) {
    glActiveTexture(unit);
    glEnable(GL_TEXTURE_2D);
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

void render_post(int32_t t) {
    const ShowParams& p = show_params;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    bind_linear(GL_TEXTURE0, scene_target);
    bind_linear(GL_TEXTURE1, feedback_texture);
    GLuint logo = logo_texture(p.logo_slot);
    bind_linear(GL_TEXTURE2, logo);

    GLuint post = program_set.post;
    glUseProgram(post);
    glUniform1i(glGetUniformLocation(post, "renderedTexture"), 0);
    glUniform1i(glGetUniformLocation(post, "backBuffer"), 1);
    glUniform1i(glGetUniformLocation(post, "logoTexture"), 2);
    glUniform4fv(glGetUniformLocation(post, "fpar"), 4, p.fpar);
    glUniform2fv(glGetUniformLocation(post, "resolution"), 1, p.resolution);
    glUniform2fv(glGetUniformLocation(post, "mouse"), 1, p.mouse);
    glUniform1f(glGetUniformLocation(post, "time"), (float)((double)(float)t * 0.001));
    glUniform4fv(glGetUniformLocation(post, "flashColor"), 1, p.flashColor);
    glUniform1f(glGetUniformLocation(post, "rgbOffset"), p.rgbOffset);
    glUniform2fv(glGetUniformLocation(post, "blurSize"), 1, p.blurSize);
    glUniform2fv(glGetUniformLocation(post, "blurDir"), 1, p.blurDir);
    glUniform1i(glGetUniformLocation(post, "useEffect"), (GLint)nearbyintf(p.useEffect));
    // With no image in the logo's slot there is no logo to show: texture 0 samples as opaque
    // black, and a program that draws it would put a dark rectangle where the logo goes.
    glUniform1i(glGetUniformLocation(post, "displayLogo"), logo ? (GLint)nearbyintf(p.displayLogo) : 0);
    glUniform4fv(glGetUniformLocation(post, "logoColor"), 1, p.logoColor);
    glUniform2fv(glGetUniformLocation(post, "logoScale"), 1, p.logoScale);
    glUniform2fv(glGetUniformLocation(post, "logoOffset"), 1, p.logoOffset);
    glUniform1f(glGetUniformLocation(post, "gamma"), p.gamma);
    glRects(-1, -1, 1, 1);

    // Unit 0 is left holding feedback_texture, which is where the next scene pass finds it.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, feedback_texture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 0, 0, TARGET_WIDTH, TARGET_HEIGHT, 0);
}
