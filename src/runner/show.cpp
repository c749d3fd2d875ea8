// The show's entry routine: opens the window, loads, starts the sound, then draws frames by the
// millisecond clock until the show is over (SHOW_LENGTH_MS) or a quit request comes.
#include "show.h"

#include "audio/music.h"
#include "load/intro.h"
#include "platform/platform.h"
#include "render/render.h"
#include "runner/window.h"
#include "timeline/script.h"

int32_t show_elapsed(uint32_t now, uint32_t start) { return (int32_t)(now - start); }

static int fail(const char* text) {
    window_shutdown(&window_state);
    plat_message_box(text, "error");
    return 0;
}

int show_main() {
    plat_show_exit_policy();
    window_state.fullscreen = 1;
    window_state.instance = plat_module_handle();
    if (!window_init(&window_state)) return fail("window_init()!");
    if (!intro_init()) return fail("intro_init()!");
    music_start();  // a show without music still runs
    if (!wave_out_start()) return fail("mzk???");

    uint32_t start = plat_ticks();
    int done = 0;
    while (!done) {
        int32_t elapsed = show_elapsed(plat_ticks(), start);
        PlatEvent ev;
        while (plat_poll_event(&ev)) {
            if (ev.kind == PLAT_EVENT_QUIT) done = 1;
            window_proc(ev);
        }
        render_frame(elapsed + time_offset_ms);
        plat_swap(window_state.device_context);
        if (elapsed > SHOW_LENGTH_MS) done = 1;
    }

    wave_out_stop();
    window_shutdown(&window_state);
    return 0;
}
