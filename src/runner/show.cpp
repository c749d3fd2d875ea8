// The show's entry routine: opens the window, loads, starts the sound, then draws frames by the
// millisecond clock until the show is over (its timeline table's length) or a quit request comes.
// It goes one step at a time, so that a browser, which draws only between its own frames, can run
// the same order as the desktop's loop.
#include "show.h"

#include "audio/music.h"
#include "load/intro.h"
#include "platform/platform.h"
#include "render/render.h"
#include "runner/window.h"
#include "timeline/script.h"

enum ShowStage {
    STAGE_OPEN,    // the window is next
    STAGE_LOAD,    // loading, one intro step at a time
    STAGE_START,   // loaded: sound and clock start once the platform allows
    STAGE_FRAMES,  // the frame loop
    STAGE_HELD,    // one still frame drawn and held until a quit request
    STAGE_OVER,
};

static ShowStage stage;
static uint32_t start;  // the tick count at show time 0

int32_t show_elapsed(uint32_t now, uint32_t start) { return (int32_t)(now - start); }

static int fail(const char* text) {
    window_shutdown(&window_state);
    plat_message_box(text, "error");
    stage = STAGE_OVER;
    return 0;
}

// Drains the event queue into the window's handling; 1 when a quit request was among them.
static int drain_events() {
    int quit = 0;
    PlatEvent ev;
    while (plat_poll_event(&ev)) {
        if (ev.kind == PLAT_EVENT_QUIT) quit = 1;
        window_proc(ev);
    }
    return quit;
}

int show_frame() {
    int32_t elapsed = show_elapsed(plat_ticks(), start);
    int done = drain_events();
    render_frame(elapsed + time_offset_ms);
    plat_swap(window_state.device_context);
    if (elapsed > show_length_ms()) done = 1;
    return !done;
}

static int end_show() {
    wave_out_stop();
    window_shutdown(&window_state);
    stage = STAGE_OVER;
    return 0;
}

// Starts the show at the time the platform was asked for (always 0 on the desktop): the feedback
// as empty as at the very start, the music at that time, and the clock so that the show still
// ends at the show's length of show time. A still is drawn once and held, without sound.
static int start_show() {
    PlatRunRequest request = plat_run_request();
    // A start past the end (a page's ?at= can ask for any time) is the end.
    if (request.start_ms > show_length_ms()) request.start_ms = show_length_ms();
    if (request.start_ms > 0) render_clear_feedback();
    if (request.still) {
        render_frame(request.start_ms);
        plat_swap(window_state.device_context);
        stage = STAGE_HELD;
        return 1;
    }
    if (request.start_ms > 0) music_start_at((uint32_t)request.start_ms);
    else music_start();  // a show without music still runs
    if (!wave_out_start()) return fail("mzk???");
    start = plat_ticks() - (uint32_t)request.start_ms;
    stage = STAGE_FRAMES;
    return 1;
}

int show_step() {
    switch (stage) {
    case STAGE_OPEN:
        window_state.fullscreen = 1;
        window_state.instance = plat_module_handle();
        if (!window_init(&window_state)) return fail("window_init()!");
        post_framebuffer = plat_gl_window_framebuffer();
        stage = STAGE_LOAD;
        return 1;
    case STAGE_LOAD: {
        int r = intro_step();
        if (r == INTRO_FAILED) return fail("intro_init()!");
        if (r == INTRO_DONE) stage = STAGE_START;
        return 1;
    }
    case STAGE_START:
        return plat_start_allowed() ? start_show() : 1;
    case STAGE_FRAMES:
        return show_frame() ? 1 : end_show();
    case STAGE_HELD:
        return drain_events() ? end_show() : 1;
    case STAGE_OVER:
        break;
    }
    return 0;
}

int show_main() {
    plat_show_exit_policy();
    plat_run(show_step);
    return 0;
}
