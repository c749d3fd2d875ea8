// Textures and render targets.
#include "textures.h"

#include "load/gl_compat.h"
#include "load/gl_entry.h"
#include "load/image.h"
#include "timeline/script.h"

uint32_t texture_table[TEXTURE_SLOTS];
uint32_t scene_target;
uint32_t feedback_texture;
uint32_t scene_fbo;

int64_t load_image_texture(const char* path) {
    int width = 0, height = 0;
    unsigned char* pixels = image_load_rgba(path, &width, &height);
    if (!pixels) return -1;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_COMPAT_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_COMPAT_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl_compat_texture_replace();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_COMPAT_LOGO_FORMAT, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    image_free(pixels);
    return name;
}

int create_float_target(uint32_t* out_name) {
    glGenTextures(1, out_name);
    glBindTexture(GL_TEXTURE_2D, *out_name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, SCREEN_WIDTH, SCREEN_HEIGHT, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_COMPAT_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_COMPAT_CLAMP);
    return 1;
}
