// Show initialisation.
#include "intro.h"

#include "load/gl_entry.h"
#include "load/programs.h"
#include "load/textures.h"
#include "timeline/script.h"

int intro_init() {
    if (!load_gl_entry_points()) return 0;
    if (!build_programs()) return 0;
    // A logo that cannot be decoded leaves slot 0 empty (no texture) rather than a bogus name.
    int64_t logo = load_image_texture("bitmap.png");
    texture_table[0] = logo < 0 ? 0 : (uint32_t)logo;
    glGenFramebuffersEXT(1, &scene_fbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, scene_fbo);
    create_float_target(&scene_target);
    create_float_target(&feedback_texture);
    build_show_script();
    return 1;
}
