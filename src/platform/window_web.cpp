// Browser backend of the window, GL context, event, run and message-box seam, on emscripten's
// html5 API. The window is the page's canvas with a WebGL 2 context; the show draws at its own
// size into a framebuffer of its own, which every swap puts on the canvas scaled to fit, black
// around it. Keys and leaving full screen are the events; the browser's frames run the show's
// steps; the failure texts and the end are page text. The page (web_shell.html) holds the
// elements named here and has already put the show's files into the current directory.
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform.h"
#include "web.h"

enum { EVENT_QUEUE = 64 };

struct WebState {
    int video_up;
    int width, height;          // the show's drawable
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    GLuint drawable_fbo, drawable_rb;
    const PlatGlBackend* gl_backend;
    int fullscreen_seen;        // the page has been full screen since the click
    int request_read;
    PlatRunRequest request;
    int gate_shown;             // "click to start" is on the page
    int started;                // the viewer let the show start
    int cursor_hidden;          // the show asked for no cursor
    int still_announced;
    int failed;                 // a failure text is on the page
    PlatEvent queue[EVENT_QUEUE];
    int head, count;
    int (*step)();
};

static WebState web;
static int module_anchor;  // its address is the module handle

// ---- the page --------------------------------------------------------------------------------

EM_JS(void, page_title, (const char* text), { document.title = UTF8ToString(text); });

// Shows the canvas in place of the download progress.
EM_JS(void, page_show_canvas, (), {
    for (const id of ['bar', 'note']) document.getElementById(id).hidden = true;
    const canvas = document.getElementById('canvas');
    canvas.hidden = false;
    Module.oruvaneFitCanvas();
    Module.oruvaneCanvasResized = false;  // nothing drawn yet to show again
});

// Hides the canvas and shows `text`, with a second line `reason` when it is not empty, and the
// replay button when `replay` is set.
EM_JS(void, page_message, (const char* text, const char* reason, int replay), {
    document.getElementById('canvas').hidden = true;
    const box = document.getElementById('message');
    box.replaceChildren();
    for (const line of [UTF8ToString(text), UTF8ToString(reason)]) {
        if (!line) continue;
        const p = document.createElement('p');
        p.textContent = line;
        box.appendChild(p);
    }
    if (replay) {
        const button = document.createElement('button');
        button.id = 'replay';
        button.textContent = 'replay';
        button.onclick = () => location.reload();
        box.appendChild(button);
    }
    box.hidden = false;
});

EM_JS(int, page_has_canvas, (), { return document.getElementById('canvas') ? 1 : 0; });

EM_JS(void, page_cursor, (int show), { document.getElementById('canvas').style.cursor = show ? "" : "none"; });

EM_JS(void, page_keep_awake, (), {
    if (navigator.wakeLock) navigator.wakeLock.request('screen').catch(() => {});
});

// Nonzero (once) when the canvas changed size since the last call, after the page refit it.
EM_JS(int, page_canvas_resized, (), {
    const resized = Module.oruvaneCanvasResized ? 1 : 0;
    Module.oruvaneCanvasResized = false;
    return resized;
});

// The page's address: ?at=SEC sets the start in ms (0 when absent or not a positive number; at
// most the largest int, never wrapped past it), and &still asks for a still.
EM_JS(int, page_start_ms, (), {
    const at = parseFloat(new URLSearchParams(location.search).get('at'));
    return isFinite(at) && at > 0 ? Math.min(Math.round(at * 1000), 2147483647) : 0;
});

EM_JS(int, page_still, (), { return new URLSearchParams(location.search).has('still') ? 1 : 0; });

// "click to start" over the finished loading bar; the click starts the sound output (the only
// moment a page may) and asks for full screen, which the browser may refuse.
EM_JS(void, page_ask_for_click, (), {
    const note = document.getElementById('start');
    note.hidden = false;
    document.addEventListener('click', () => {
        note.hidden = true;
        Module.oruvaneClickedAt = performance.now();
        Module.oruvaneAudioStart();
        const page = document.documentElement;
        if (page.requestFullscreen) page.requestFullscreen().catch(() => {});
    }, {once: true});
});

EM_JS(double, page_clicked_ms, (), { return Module.oruvaneClickedAt || 0; });

// Waits two browser frames, so that the frame just drawn has been shown, then sets the title.
EM_JS(void, page_title_when_shown, (const char* text), {
    const title = UTF8ToString(text);
    requestAnimationFrame(() => requestAnimationFrame(() => { document.title = title; }));
});

// ---- events ----------------------------------------------------------------------------------

static void push_event(PlatEvent ev) {
    if (web.count == EVENT_QUEUE) return;  // a frame that far behind has no use for more keys
    web.queue[(web.head + web.count) % EVENT_QUEUE] = ev;
    ++web.count;
}

// An event of `kind` with every other field zero.
static PlatEvent event_of(int kind) {
    PlatEvent ev = PlatEvent{};
    ev.kind = kind;
    return ev;
}

static EM_BOOL on_key(int, const EmscriptenKeyboardEvent* e, void*) {
    PlatEvent ev = event_of(PLAT_EVENT_KEY_DOWN);
    ev.key = strcmp(e->key, "Escape") == 0 ? PLAT_KEY_ESCAPE : (int)e->keyCode;
    ev.shift = e->shiftKey;
    push_event(ev);
    return EM_FALSE;
}

// In full screen the browser takes Escape for itself and leaves full screen: that ends the show.
static EM_BOOL on_fullscreen(int, const EmscriptenFullscreenChangeEvent* e, void*) {
    if (e->isFullscreen) {
        web.fullscreen_seen = 1;
    } else if (web.fullscreen_seen) {
        web.fullscreen_seen = 0;
        push_event(event_of(PLAT_EVENT_CLOSE));
    }
    return EM_FALSE;
}

int plat_poll_event(PlatEvent* ev) {
    if (!web.count) return 0;
    *ev = web.queue[web.head];
    web.head = (web.head + 1) % EVENT_QUEUE;
    --web.count;
    return 1;
}

void plat_post_quit() { push_event(event_of(PLAT_EVENT_QUIT)); }

// ---- window and context ----------------------------------------------------------------------

void* plat_module_handle() { return &module_anchor; }

// A page ends when the viewer leaves it; there are no signals or display connections to mind.
void plat_show_exit_policy() {}

int plat_video_init() {
    if (!page_has_canvas()) {
        plat_fail_reason("page: no canvas to draw on");
        return 0;
    }
    if (!web.video_up) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, on_key);
        emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, on_fullscreen);
    }
    web.video_up = 1;
    return 1;
}

void plat_video_quit() {
    if (!web.video_up) return;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, nullptr);
    web.video_up = 0;
}

// A page has no display modes: the show is drawn at its size whatever the canvas measures.
int plat_display_mode_change(int, int, int) { return web.video_up; }

void plat_display_mode_restore() {
    if (web.fullscreen_seen) {
        web.fullscreen_seen = 0;  // leaving it now is the show's own doing, not a request to end
        emscripten_exit_fullscreen();
    }
}

// The pointer stays until the click that starts the show: the viewer needs it to click.
void plat_cursor_show(int show) {
    web.cursor_hidden = !show;
    if (web.video_up && (web.started || show)) page_cursor(show);
}

void* plat_window_create(const char*, int width, int height, int, int, int) {
    if (!web.video_up) return nullptr;
    web.width = width;
    web.height = height;
    page_show_canvas();
    return &web;
}

void plat_display_size(int* width, int* height) {
    emscripten_get_canvas_element_size("#canvas", width, height);
}

void plat_window_destroy(void*) { web.width = web.height = 0; }

void plat_drawable_size(void*, int* width, int* height) {
    *width = web.width;
    *height = web.height;
}

void* plat_gl_context_create(void*) {
    EmscriptenWebGLContextAttributes a;
    emscripten_webgl_init_context_attributes(&a);
    a.majorVersion = 2;
    a.minorVersion = 0;
    // The canvas only ever receives the finished picture: no alpha to blend with the page, no
    // depth, no multisampling (a multisampled canvas cannot take a scaling blit), and kept
    // between frames, so that a held still stays readable.
    a.alpha = EM_FALSE;
    a.depth = EM_FALSE;
    a.stencil = EM_FALSE;
    a.antialias = EM_FALSE;
    a.preserveDrawingBuffer = EM_TRUE;
    a.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    a.enableExtensionsByDefault = EM_TRUE;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &a);
    if (context <= 0) {
        plat_fail_reason("WebGL 2 is not available in this browser");
        return nullptr;
    }
    web.context = context;
    return (void*)(intptr_t)context;
}

// The show's drawable: an RGBA8 renderbuffer of the window's size, standing in for the back
// buffer of a desktop window, with the viewport a new context takes on such a window.
static int drawable_make() {
    glGenFramebuffers(1, &web.drawable_fbo);
    glGenRenderbuffers(1, &web.drawable_rb);
    glBindRenderbuffer(GL_RENDERBUFFER, web.drawable_rb);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, web.width, web.height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, web.drawable_fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, web.drawable_rb);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        plat_fail_reason("WebGL 2: the %dx%d drawable cannot be made", web.width, web.height);
        return 0;
    }
    glViewport(0, 0, web.width, web.height);
    return 1;
}

int plat_gl_make_current(void*, void* context) {
    if (!context) {
        emscripten_webgl_make_context_current(0);
        return 1;
    }
    if (emscripten_webgl_make_context_current((EMSCRIPTEN_WEBGL_CONTEXT_HANDLE)(intptr_t)context) != EMSCRIPTEN_RESULT_SUCCESS) {
        plat_fail_reason("WebGL 2: the context cannot be made current");
        return 0;
    }
    return web.drawable_fbo ? 1 : drawable_make();
}

void plat_gl_context_delete(void* context) {
    emscripten_webgl_destroy_context((EMSCRIPTEN_WEBGL_CONTEXT_HANDLE)(intptr_t)context);
    web.context = 0;
    web.drawable_fbo = web.drawable_rb = 0;
}

void* plat_gl_proc_address(const char* name) {
    if (web.gl_backend) return web.gl_backend->proc_address(name);
    return emscripten_webgl_get_proc_address(name);
}

void plat_gl_backend_use(const PlatGlBackend* backend) { web.gl_backend = backend; }

uint32_t plat_gl_window_framebuffer() { return web.drawable_fbo; }

void plat_screensaver_inhibit() {
    if (web.video_up) page_keep_awake();
}

// Puts the drawable on the canvas, scaled to fit with its aspect kept and black around it,
// leaving the show's framebuffer bindings as they were.
static void present() {
    if (!web.context || !web.drawable_fbo) return;
    int cw = 0, ch = 0;
    emscripten_get_canvas_element_size("#canvas", &cw, &ch);
    if (cw <= 0 || ch <= 0) return;
    int w = cw, h = (int)((long long)cw * web.height / web.width);
    if (h > ch) {
        h = ch;
        w = (int)((long long)ch * web.width / web.height);
    }
    int x = (cw - w) / 2, y = (ch - h) / 2;
    GLint read = 0, draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, web.drawable_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    static const GLfloat BLACK[4] = {0, 0, 0, 1};
    glClearBufferfv(GL_COLOR, 0, BLACK);
    glBlitFramebuffer(0, 0, web.width, web.height, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)read);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, (GLuint)draw);
}

void plat_swap(void*) {
    present();
    if (web.request.still && !web.still_announced) {
        web.still_announced = 1;
        page_title_when_shown("oruvane: still");
    }
}

// The browser shows the canvas when the step returns; there is nothing to wait for.
void present_and_yield() { present(); }


// ---- the run ---------------------------------------------------------------------------------

PlatRunRequest plat_run_request() {
    if (!web.request_read) {
        web.request_read = 1;
        web.request.start_ms = page_start_ms();
        web.request.still = page_still();
    }
    return web.request;
}

enum { SOUND_START_WAIT_MS = 2000 };

int plat_start_allowed() {
    if (plat_run_request().still) return 1;
    if (!web.gate_shown) {
        web.gate_shown = 1;
        audio_web_prepare();
        page_ask_for_click();
        page_title("oruvane: click to start");
    }
    double clicked = page_clicked_ms();
    if (clicked <= 0) return 0;
    // The clock starts with the sound: wait for the output the click started, or give it up
    // after a while and let the wave-out start report it.
    if (!audio_web_running() && emscripten_get_now() - clicked < SOUND_START_WAIT_MS) return 0;
    web.started = 1;
    page_cursor(!web.cursor_hidden);
    page_title("oruvane");
    return 1;
}

static void run_frame() {
    if (page_canvas_resized()) present();
    if (web.step()) return;
    emscripten_cancel_main_loop();
    if (!web.failed) {
        page_message("the end", "", 1);
        page_title("oruvane: end");
    }
}

void plat_run(int (*step)()) {
    web.step = step;
    page_title("oruvane: loading");
    emscripten_set_main_loop(run_frame, 0, 0);
}

// ---- failures --------------------------------------------------------------------------------

void plat_message_box(const char* text, const char* caption) {
    (void)caption;
    const char* reason = plat_failure_reason();
    if (reason[0]) fprintf(stderr, "%s\n%s\n", text, reason);
    else fprintf(stderr, "%s\n", text);
    web.failed = 1;
    page_message(text, reason, 0);
    page_title("oruvane: error");
}
