// oruvane-preview: the rehearsal player. Starts the show at any time in a window, loops a range,
// seeks and pauses from the keyboard, and rebuilds a program within a frame of its source being
// saved. It loads, evaluates and draws through the show's own layers; the post pass draws into a
// 1920x1080 framebuffer of the preview's, which is scaled into the window.
//
// A seek moves the timeline exactly (it is a function of time), but the feedback texture holds
// the frames before it: a seek clears it to black, as at the start of the show, so the first
// frames after a seek look as they do when the show reaches that point from a black screen.
#include <CLI/CLI.hpp>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "show_sheet.h"
#include "common/project.h"
#include "common/slot_lines.h"
#include "common/toolkit.h"
#include "load/gl_entry.h"
#include "load/intro.h"
#include "load/program_log.h"
#include "load/program_status.h"
#include "load/scene_file.h"
#include "load/textures.h"
#include "music.h"
#include "overlay.h"
#include "sheet_edit.h"
#include "platform/file_watch.h"
#include "platform/platform.h"
#include "platform/tool_gl.h"
#include "render/render.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

struct Options {
    std::string dir = ".";
    bool project = false;  // a show project is rehearsed: its music is a file of the maker's
    std::vector<SlotSpan> packed_slots;  // the slots the show folder's scene files were packed with
    std::string src;
    std::string script;
    double at = 0;
    std::vector<double> loop;
    bool fullscreen = false;
    bool no_music = false;
};

// Entry points only the preview needs: its own framebuffer and the scaled copy to the window.
// One list gives the table and its fetching.
#define PREVIEW_GL_LIST(X)                                                               \
    X(PFNGLGENFRAMEBUFFERSPROC, gen_framebuffers, "glGenFramebuffers")                   \
    X(PFNGLBINDFRAMEBUFFERPROC, bind_framebuffer, "glBindFramebuffer")                   \
    X(PFNGLGENRENDERBUFFERSPROC, gen_renderbuffers, "glGenRenderbuffers")                \
    X(PFNGLBINDRENDERBUFFERPROC, bind_renderbuffer, "glBindRenderbuffer")                \
    X(PFNGLRENDERBUFFERSTORAGEPROC, renderbuffer_storage, "glRenderbufferStorage")       \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, framebuffer_renderbuffer, "glFramebufferRenderbuffer") \
    X(PFNGLBLITFRAMEBUFFERPROC, blit_framebuffer, "glBlitFramebuffer")

struct {
    PREVIEW_GL_LIST(GL_TOOL_FIELD)
} gl;

bool fetch_gl() {
    bool all = true;
#define GL_TOOL_TABLE gl
    PREVIEW_GL_LIST(GL_TOOL_FETCH)
#undef GL_TOOL_TABLE
    return all;
}

struct Preview {
    void* window = nullptr;
    int32_t range_start = 0, range_end = SHOW_LENGTH_MS;
    bool looping = false;
    int32_t show_ms = 0;        // the show time of the frame being drawn
    uint32_t clock_base = 0;    // ticks at which show_ms would have been range time 0
    bool paused = false;
    bool music = false;
    // Rebuilt programs waiting for their first frame on screen, with when their file was written.
    struct Reload {
        std::string label;
        double written_at, build_ms;
    };
    std::vector<Reload> reloaded;
    bool overlay = false;
    double frame_ms = 0;
    // The sheet the editor works on, when there is one.
    edit::Editor editor;
    bool editing = false;
    double disk_checked = 0;
    std::vector<SlotSpan> slots;  // the scene slots the shaders are compiled with
    std::string src;              // the sources folder, or ""
    double sheet_written_at = 0;  // a sheet read again from disk waits for its first frame: when it was written
} pv;

// Signals. With nothing unsaved a signal ends the preview at once, through the toolkit's handler as
// for every tool; with unsaved edits the handler only notes it, and the frame loop writes the edits
// to the recovery file beside the sheet before ending the same way (nothing but a flag is safe to
// touch inside a handler).
const int HANDLED_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
struct sigaction tool_action[sizeof HANDLED_SIGNALS / sizeof HANDLED_SIGNALS[0]];
volatile sig_atomic_t unsaved_edits;  // the editor's dirty flag, as the handler sees it
volatile sig_atomic_t pending_signal;

void on_signal(int sig) {
    if (unsaved_edits) {
        pending_signal = sig;
        return;
    }
    for (size_t i = 0; i < sizeof HANDLED_SIGNALS / sizeof HANDLED_SIGNALS[0]; ++i)
        if (HANDLED_SIGNALS[i] == sig && tool_action[i].sa_handler != SIG_DFL && tool_action[i].sa_handler != SIG_IGN)
            tool_action[i].sa_handler(sig);
    _exit(128 + sig);
}

void take_signals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigfillset(&sa.sa_mask);
    for (size_t i = 0; i < sizeof HANDLED_SIGNALS / sizeof HANDLED_SIGNALS[0]; ++i) sigaction(HANDLED_SIGNALS[i], &sa, &tool_action[i]);
}

// Keeps the unsaved edits of a preview that cannot ask about them any more (stopped by a signal, or
// its window destroyed) in the recovery file, and says so. Returns 0, or 1 when they are lost.
int keep_unsaved(const char* why) {
    if (!pv.editing || !pv.editor.dirty) return 0;
    std::string error;
    if (!edit::save_recovery(pv.editor, error)) {
        tool::error(std::string(why) + ": the unsaved edits of " + pv.editor.path + " are lost (" + error + ")");
        return 1;
    }
    tool::error(std::string(why) + ": the unsaved edits of " + pv.editor.path + " are kept in " + edit::recovery_path(pv.editor));
    return 0;
}

// The 1920x1080 framebuffer the post pass draws into.
void make_framebuffers() {
    uint32_t fbo = 0, colour = 0;
    gl.gen_framebuffers(1, &fbo);
    gl.gen_renderbuffers(1, &colour);
    gl.bind_renderbuffer(GL_RENDERBUFFER, colour);
    gl.renderbuffer_storage(GL_RENDERBUFFER, GL_RGBA8, SCREEN_WIDTH, SCREEN_HEIGHT);
    gl.bind_framebuffer(GL_FRAMEBUFFER, fbo);
    gl.framebuffer_renderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    gl.bind_renderbuffer(GL_RENDERBUFFER, 0);
    post_framebuffer = fbo;
    gl.bind_framebuffer(GL_FRAMEBUFFER, 0);
}

// Moves the show to `ms` (kept inside the range): the timeline starts over from the show's start
// values, so the parameters are exactly those the show has at that time, and the feedback is cleared.
void seek(int32_t ms) {
    pv.show_ms = std::clamp(ms, pv.range_start, pv.range_end);
    pv.clock_base = plat_ticks() - (uint32_t)(pv.show_ms - pv.range_start);
    show_params = show_params_initial;
    render_clear_feedback();
    if (pv.music) preview_music_seek(pv.show_ms);
}

void set_paused(bool paused) {
    if (paused == pv.paused) return;
    pv.paused = paused;
    if (!paused) pv.clock_base = plat_ticks() - (uint32_t)(pv.show_ms - pv.range_start);
    if (pv.music) preview_music_pause(paused);
    std::printf("%s at %.3f s\n", paused ? "paused" : "playing", pv.show_ms / 1000.0);
    std::fflush(stdout);
}

// A source as the build compiles it; a file that is not a regular one (a FIFO, say) is refused
// without blocking.
bool read_source(const std::string& path, std::string& out) {
    std::string why;
    if (!tool::read_file(path, out, why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return false;
    }
    out = slot_lines(path, out, pv.slots);
    return true;
}

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double written_at(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return now_seconds();
    return st.st_mtim.tv_sec + st.st_mtim.tv_nsec * 1e-9;
}

// Prints a driver log with each message as "FILE:LINE:COL: ...", as editors jump to.
void print_log(const std::string& file, const std::string& label, const char* stage, const char* log) {
    std::fprintf(stderr, "%s: %s %s shader does not compile; the old program stays\n", file.c_str(), label.c_str(), stage);
    for (const char* p = log; *p;) {
        size_t n = std::strcspn(p, "\n");
        if (n > 0) {
            char line[1024];
            program_log_format(p, file.c_str(), line, sizeof line);
            std::fprintf(stderr, "%s\n", line);
        }
        p += n;
        if (*p) ++p;
    }
}

// Rebuilds program `index` from its two texts; on failure the old program stays and the log shows.
void rebuild(int index, const std::string& vs, const std::string& fs, const std::string names[2], double when) {
    uint32_t program = program_set.*PROGRAM_TABLE[index].program;
    static ProgramStatus st;
    double begin = now_seconds();
    if (program_rebuild(program, vs.c_str(), fs.c_str(), &st)) {
        pv.reloaded.push_back({PROGRAM_TABLE[index].label, when, (now_seconds() - begin) * 1000});
        return;
    }
    const char* stages[2] = {"vertex", "fragment"};
    for (int s = 0; s < 2; ++s)
        if (!st.compiled[s]) print_log(names[s], PROGRAM_LABELS[index], stages[s], st.log[s]);
    if (st.compiled[0] && st.compiled[1])
        std::fprintf(stderr, "%s: %s does not link; the old program stays\n%s\n", names[1].c_str(), PROGRAM_LABELS[index], st.link_log);
    std::fflush(stderr);
}

// Program `index`'s two texts from the show folder's scene files, its fragment given the slot the
// sheet being played has for it in place of the one it was packed with. False when a file cannot
// be read.
bool scene_texts(int index, std::string& vs, std::string& fs) {
    const ProgramEntry& e = PROGRAM_TABLE[index];
    std::string* texts[2] = {&vs, &fs};
    for (int k = 0; k < 2; ++k) {
        scene_file_counter = e.files[k];
        char* text = read_scene_file(k == 0 ? e.vertex_label : e.fragment_label);
        if (!text) return false;
        *texts[k] = slot_lines(k == 0 ? e.vertex_label : e.fragment_label, without_slot_lines(text), pv.slots);
        std::free(text);
    }
    return true;
}

// A saved file: "pt03.fsh" or "pt03.vsh" under --src, or a scene file "N.ck" in the show folder.
void on_file_changed(const Options& o, const std::string& name) {
    if (!o.src.empty()) {
        size_t dot = name.rfind('.');
        if (dot == std::string::npos) return;
        std::string stem = name.substr(0, dot), ext = name.substr(dot);
        if (ext != ".vsh" && ext != ".fsh") return;
        int index = -1;
        for (int i = 0; i < PROGRAM_COUNT; ++i)
            if (stem == PROGRAM_LABELS[i]) index = i;
        if (index < 0) return;
        std::string names[2] = {o.src + "/" + stem + ".vsh", o.src + "/" + stem + ".fsh"};
        std::string vs, fs;
        if (!read_source(names[0], vs) || !read_source(names[1], fs)) return;
        rebuild(index, vs, fs, names, written_at(o.src + "/" + name));
        return;
    }
    int number = -1;
    char tail = 0;
    if (std::sscanf(name.c_str(), "%d.c%c", &number, &tail) != 2 || tail != 'k') return;
    int index = -1;
    for (int i = 0; i < PROGRAM_COUNT; ++i)
        if (PROGRAM_TABLE[i].files[0] == number || PROGRAM_TABLE[i].files[1] == number) index = i;
    if (index < 0) return;
    const ProgramEntry& e = PROGRAM_TABLE[index];
    std::string vs, fs;
    if (scene_texts(index, vs, fs)) {
        std::string names[2] = {std::to_string(e.files[0]) + ".ck", std::to_string(e.files[1]) + ".ck"};
        rebuild(index, vs, fs, names, written_at(name));
    }
}

void report_programs() {
    static ProgramStatus st;
    const char* stages[2] = {"vertex", "fragment"};
    for (int i = 0; i < PROGRAM_COUNT; ++i) {
        const ProgramEntry& e = PROGRAM_TABLE[i];
        if (program_status(program_set.*e.program, &st)) continue;
        for (int s = 0; s < 2; ++s)
            if (!st.compiled[s]) print_log(std::to_string(e.files[s]) + ".ck", e.label, stages[s], st.log[s]);
    }
}

// Quitting asks first while the sheet has unsaved edits: the question shows in the overlay.
void request_quit() {
    if (track_view_request_quit()) plat_post_quit();
    else pv.overlay = true;
}

void handle_key(const PlatEvent& ev) {
    int32_t step = ev.shift ? 10000 : 1000;
    switch (ev.key) {
    case PLAT_KEY_ESCAPE: request_quit(); break;
    case PLAT_KEY_SPACE: set_paused(!pv.paused); break;
    case PLAT_KEY_LEFT: seek(pv.show_ms - step); break;
    case PLAT_KEY_RIGHT: seek(pv.show_ms + step); break;
    case PLAT_KEY_HOME: seek(pv.range_start); break;
    case PLAT_KEY_TAB: pv.overlay = !pv.overlay; break;
    default: break;
    }
}

const char* scene_label() {
    uint32_t program = (uint32_t)std::lround(show_params.scene_program);
    for (int i = 0; i < PROGRAM_COUNT; ++i)
        if (program != 0 && program_set.*PROGRAM_TABLE[i].program == program) return PROGRAM_TABLE[i].label;
    return "none";
}

// The scrubber's scene bands: the slot table of the sheet being edited, or the compiled-in one.
void update_bands() {
    std::vector<SceneBand> bands;
    for (const SlotSpan& s : pv.slots) bands.push_back(SceneBand{s.start_ms, s.end_ms, s.label});
    overlay_set_bands(bands);
}

// The edited sheet into the track table, as of the next frame. A program whose scene slot moved is
// compiled again with its new slot lines, from its source under --src or else from its scene files.
void apply_edits() {
    edit::apply(pv.editor);
    show_params = show_params_initial;
    std::vector<SlotSpan> slots;
    for (const sheet::Slot& s : pv.editor.script.slots) slots.push_back({s.label, s.start_ms, s.end_ms});
    std::vector<std::string> moved;
    for (const SlotSpan& s : slots) {
        bool same = false;
        for (const SlotSpan& o : pv.slots) same = same || (o.label == s.label && o.start_ms == s.start_ms && o.end_ms == s.end_ms);
        if (!same) moved.push_back(s.label);
    }
    for (const SlotSpan& o : pv.slots) {
        bool kept = false;
        for (const SlotSpan& s : slots) kept = kept || s.label == o.label;
        if (!kept) moved.push_back(o.label);
    }
    pv.slots = slots;
    pv.range_end = std::min(pv.range_end, pv.editor.script.length_ms);
    update_bands();
    for (const std::string& label : moved) {
        for (int i = 0; i < PROGRAM_COUNT; ++i) {
            if (label != PROGRAM_TABLE[i].label) continue;
            std::string vs, fs;
            if (pv.src.empty()) {
                // The scene files hold the sources as packed: their slot lines are replaced.
                const ProgramEntry& e = PROGRAM_TABLE[i];
                std::string names[2] = {std::to_string(e.files[0]) + ".ck", std::to_string(e.files[1]) + ".ck"};
                if (scene_texts(i, vs, fs)) rebuild(i, vs, fs, names, now_seconds());
                continue;
            }
            std::string names[2] = {pv.src + "/" + label + ".vsh", pv.src + "/" + label + ".fsh"};
            if (read_source(names[0], vs) && read_source(names[1], fs)) rebuild(i, vs, fs, names, now_seconds());
        }
    }
}

// The frame: the show's frame at 1920x1080 into the preview's framebuffer, scaled into the window
// (above the track view while the overlay shows).
void draw() {
    glViewport(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
    render_frame(pv.show_ms);
    int w = 0, h = 0;
    plat_drawable_size(pv.window, &w, &h);
    float editor_h = !pv.overlay ? 0 : pv.editing ? std::max(320.0f, h * 0.42f) : 60.0f;
    int ph = std::max(1, h - (int)editor_h);
    gl.bind_framebuffer(GL_READ_FRAMEBUFFER, post_framebuffer);
    gl.bind_framebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // Letterboxed: the picture keeps its shape in a window of any size.
    double scale = std::min((double)w / SCREEN_WIDTH, (double)ph / SCREEN_HEIGHT);
    int bw = (int)(SCREEN_WIDTH * scale), bh = (int)(SCREEN_HEIGHT * scale);
    int x0 = (w - bw) / 2, y0 = (h - (int)editor_h - bh) / 2 + (int)editor_h;
    glViewport(0, 0, w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    gl.blit_framebuffer(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, x0, y0, x0 + bw, y0 + bh, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    gl.bind_framebuffer(GL_FRAMEBUFFER, 0);
    TrackViewOut out;
    if (pv.overlay) out = overlay_draw(OverlayFrame{w, h, pv.show_ms, pv.paused, pv.frame_ms, scene_label(), editor_h});
    plat_swap(pv.window);
    if (out.edited) apply_edits();
    if (out.seek >= 0) seek(out.seek);
    if (out.quit) plat_post_quit();
}

int run(const Options& o) {
    if (chdir(o.dir.c_str()) != 0) {
        tool::error("cannot enter " + o.dir);
        return 2;
    }
    if (!tool_gl_open(o.fullscreen ? TOOL_GL_FULLSCREEN : TOOL_GL_WINDOW, "oruvane-preview", SCREEN_WIDTH, SCREEN_HEIGHT)) {
        tool::error(std::string("cannot open the window: ") + tool_gl_error());
        return 2;
    }
    pv.window = tool_gl_window();
    if (!intro_init()) {
        tool_gl_close();
        return tool::error(std::string("the show does not load: ") + plat_failure_reason() + " (oruvane-check tells more)");
    }
    if (!fetch_gl()) {
        tool_gl_close();
        return tool::error("the driver has no framebuffer blit");
    }
    report_programs();
    make_framebuffers();
    pv.src = o.src;
    pv.slots = o.project ? o.packed_slots : built_in_slots();
    int32_t length = SHOW_LENGTH_MS;
    if (!o.script.empty()) {
        std::string error;
        if (!edit::open(pv.editor, o.script, error)) {
            tool_gl_close();
            return tool::error_in_file(error);
        }
        pv.editing = true;
        length = pv.editor.script.length_ms;
        if (!pv.editor.message.empty()) tool::error(pv.editor.message);
        // The sheet's script in place of the compiled-in one; programs whose slot differs from the
        // scene files' are compiled again from their sources.
        apply_edits();
    }
    if (o.at * 1000 > length || (!o.loop.empty() && o.loop[1] * 1000 > length)) {
        tool_gl_close();
        tool::error(std::string(o.loop.empty() ? "--at" : "--loop") + ": outside the show (0 to " +
                    sheet::when_text(sheet::When{"", length}) + " s)");
        return 2;
    }
    overlay_init(length);
    update_bands();
    track_view_init(pv.editing ? &pv.editor : nullptr, length, !o.project);
    pv.range_end = length;
    preview_music_waveform_start(length);

    std::string watched = o.src.empty() ? std::string(".") : o.src;
    if (!file_watch_start(watched.c_str()))
        std::fprintf(stderr, "oruvane-preview: cannot watch %s; no live reload\n", watched.c_str());

    if (!o.loop.empty()) {
        pv.range_start = (int32_t)std::lround(o.loop[0] * 1000);
        pv.range_end = (int32_t)std::lround(o.loop[1] * 1000);
        pv.looping = true;
    }
    int32_t start = o.loop.empty() ? (int32_t)std::lround(o.at * 1000) : pv.range_start;
    if (!o.no_music) pv.music = preview_music_start(start) != 0;
    seek(start);
    std::printf("playing from %.3f s, watching %s\n", start / 1000.0, watched.c_str());
    std::fflush(stdout);

    bool done = false;
    int status = 0;
    double first_frame = now_seconds();
    long frames = 0;
    while (!done) {
        PlatEvent ev;
        while (!done && plat_poll_event(&ev)) {
            if (ev.kind == PLAT_EVENT_QUIT) done = true;
            if (ev.kind == PLAT_EVENT_CLOSE && ev.gone) {
                // Nothing can be asked in a window that is gone.
                status = keep_unsaved("the window was closed by another program");
                done = true;
                break;
            }
            if (ev.kind == PLAT_EVENT_CLOSE) request_quit();
            overlay_event(ev);
            // Space, the arrows and Escape belong to a field being edited while it has focus.
            if (ev.kind != PLAT_EVENT_KEY_DOWN || (pv.overlay && overlay_wants_keyboard())) continue;
            // The editor's keys act only while the track view is on the screen.
            TrackViewOut out;
            if (pv.editing && pv.overlay && (ev.ctrl || ev.key == PLAT_KEY_DELETE) && track_view_key(ev.key, ev.ctrl, ev.shift, out)) {
                if (out.edited) apply_edits();
                continue;
            }
            handle_key(ev);
        }
        unsaved_edits = pv.editing && pv.editor.dirty;
        if (pending_signal) {
            int sig = pending_signal;
            keep_unsaved(("stopped by signal " + std::to_string(sig)).c_str());
            status = 128 + sig;
            break;
        }
        if (done) break;
        char name[FILE_WATCH_NAME_SIZE];
        bool sheet_saved = false;
        while (file_watch_next(name)) {
            on_file_changed(o, name);
            // The sheet in the watched folder is looked at as soon as it is saved.
            sheet_saved |= pv.editing && std::filesystem::path(o.script).filename() == name &&
                           std::filesystem::path(o.script).parent_path() == std::filesystem::absolute(watched);
        }
        std::vector<float> peaks;
        int per_second = 0;
        if (preview_music_waveform_take(peaks, per_second)) track_view_set_waveform(std::move(peaks), per_second);
        // The sheet edited in another program is taken as shaders are (or marks a conflict).
        if (pv.editing && (sheet_saved || now_seconds() - pv.disk_checked > 0.5)) {
            pv.disk_checked = now_seconds();
            if (edit::check_disk(pv.editor) == 1) {
                apply_edits();
                pv.sheet_written_at = written_at(o.script);
            }
        }

        if (!pv.paused) {
            pv.show_ms = pv.range_start + (int32_t)(plat_ticks() - pv.clock_base);
            if (pv.show_ms > pv.range_end) {
                if (!pv.looping) break;  // the show is over, as in the show itself
                seek(pv.range_start);
                std::printf("loop: back to %.3f s\n", pv.range_start / 1000.0);
                std::fflush(stdout);
            }
        }
        double frame_start = now_seconds();
        draw();
        unsaved_edits = pv.editing && pv.editor.dirty;
        ++frames;
        pv.frame_ms = (now_seconds() - frame_start) * 1000;
        if (!pv.reloaded.empty()) {
            glFinish();
            for (const auto& r : pv.reloaded)
                std::printf("reloaded %s: built in %.0f ms, on screen %.0f ms after the write\n", r.label.c_str(), r.build_ms,
                            (now_seconds() - r.written_at) * 1000);
            std::fflush(stdout);
            pv.reloaded.clear();
        }
        if (pv.sheet_written_at > 0) {
            glFinish();
            std::printf("sheet read again: on screen %.0f ms after the write\n", (now_seconds() - pv.sheet_written_at) * 1000);
            std::fflush(stdout);
            pv.sheet_written_at = 0;
        }
    }
    if (frames > 0) std::printf("%ld frames, %.1f ms each on average\n", frames, (now_seconds() - first_frame) * 1000 / frames);
    file_watch_stop();
    preview_music_waveform_stop();
    overlay_shutdown();
    tool_gl_close();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-preview");
    take_signals();
    CLI::App app{"Rehearses a show project or a packed show: starts at any time, loops a range and rebuilds a program when\n"
                 "its source is saved; with a cue sheet, edits its timeline.\n"
                 "Keys: space pause/resume, left/right seek 1 s (with shift 10 s), Home back to the range start,\n"
                 "Tab the overlay and, with a cue sheet, the sync editor: click the axis to seek, drag a key (Alt: no snap),\n"
                 "double-click a row to add a key, Delete, Ctrl+Z/Ctrl+Y undo/redo, Ctrl+S save. Esc quit."};
    app.name("oruvane-preview");
    Options o;
    // Times are checked against the show's length once its sheet is read.
    const double show = sheet::LENGTH_MAX_MS / 1000.0;
    std::string project_dir;
    app.add_option("PROJECT", project_dir, "a show project to rehearse and edit (show.cues and the sources pt01.vsh ... post.fsh); "
                                           "a packed show folder is taken as --dir");
    auto* dir = app.add_option("--dir", o.dir, "the packed show folder (scene files, bitmap.png, vae5.wav)")
                    ->check(CLI::ExistingDirectory)->capture_default_str();
    auto* src = app.add_option("--src", o.src, "folder of the GLSL sources (pt01.vsh, pt01.fsh, ...) to watch; default: the scene files")
                    ->check(CLI::ExistingDirectory);
    auto* script = app.add_option("--script", o.script, "the cue sheet to edit in the track view (Tab); default: show.cues in --src when it is there");
    app.add_option("--at", o.at, "show time to start at, in seconds")->check(tool::finite(0.0, show, "s"));
    app.add_option("--loop", o.loop, "play the range A..B seconds over and over")->expected(2)->check(tool::finite(0.0, show, "s"));
    auto* window = app.add_flag("--window", "in a window, scaled down to fit the screen (the default)");
    app.add_flag("--fullscreen", o.fullscreen, "full screen")->excludes(window);
    app.add_flag("--no-music", o.no_music, "play without the music");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    if (!o.loop.empty() && o.loop[1] <= o.loop[0]) {
        tool::error("--loop: needs A < B");
        return 2;
    }
    // A project is packed as the show reads it, outside the project (no tool writes into one), and
    // rehearsed from there with its sources watched and its sheet edited.
    tool::ScratchFolder packed;
    if (!project_dir.empty()) {
        if (dir->count() || src->count() || script->count()) {
            tool::error("give a PROJECT, or --dir, --src and --script, not both");
            return 2;
        }
        project::Kind kind = project::kind_of(project_dir);
        if (kind == project::NOT_A_SHOW) {
            tool::error(project_dir + " is neither a show project (show.cues and its sources) nor a packed show (0.ck ...)");
            return 2;
        }
        if (kind == project::PACKED) {
            o.dir = project_dir;
        } else {
            project::Project p;
            std::vector<project::PackedFile> files;
            std::vector<std::string> notes;
            std::string why;
            if (!project::open(project_dir, p, why)) return tool::error_in_file(why);
            if (!project::pack(p, files, notes, why)) return tool::error(why);
            for (const std::string& n : notes) tool::error("note: " + n);
            if (!packed.open(why)) return tool::error(why);
            for (const project::PackedFile& f : files)
                if (!packed.write(f.name, f.bytes, why)) return tool::error(why);
            o.dir = packed.path();
            o.src = project_dir;
            o.script = p.sheet_path;
            o.project = true;
            o.packed_slots = project::slots(p);
        }
    }
    // The source folder is named relative to where the preview was started.
    if (!o.src.empty()) o.src = std::filesystem::absolute(o.src).string();
    std::error_code ec;
    if (o.script.empty() && !o.src.empty() && std::filesystem::is_regular_file(o.src + "/show.cues", ec)) o.script = o.src + "/show.cues";
    if (!o.script.empty()) o.script = std::filesystem::absolute(o.script).string();
    return tool::finish(run(o));
}
