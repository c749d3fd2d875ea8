// Show initialisation.
#include "intro.h"

#include "load/gl_compat.h"
#include "load/gl_entry.h"
#include "load/programs.h"
#include "load/textures.h"
#include "platform/platform.h"
#include "timeline/script.h"

// The step intro_step does next: 0 the entry points, 1 ... PROGRAM_COUNT the programs in build
// order, then the rest.
static int intro_next;

int intro_step() {
    int step = intro_next++;
    if (step == 0) {
        // An engine no show was exported into has nothing to play: said before any work.
        if (show_length_ms() <= 0) {
            plat_fail_reason("this executable holds no show: it is an engine, which oruvane-export gives a show's timeline");
            return INTRO_FAILED;
        }
        return load_gl_entry_points() && gl_compat_init() ? INTRO_MORE : INTRO_FAILED;
    }
    if (step <= PROGRAM_COUNT) {
        const ProgramEntry& e = PROGRAM_TABLE[step - 1];
        return build_program(e.vertex_label, e.fragment_label, &(program_set.*e.program)) ? INTRO_MORE : INTRO_FAILED;
    }
    // A logo that cannot be decoded leaves slot 0 empty (no texture) rather than a bogus name.
    int64_t logo = load_image_texture(LOGO_FILE);
    texture_table[0] = logo < 0 ? 0 : (uint32_t)logo;
    glGenFramebuffersEXT(1, &scene_fbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, scene_fbo);
    create_float_target(&scene_target);
    create_float_target(&feedback_texture);
    build_show_script();
    return INTRO_DONE;
}

int intro_init() {
    intro_next = 0;
    int r = INTRO_MORE;
    while (r == INTRO_MORE) r = intro_step();
    return r == INTRO_DONE;
}
