// oruvane-capture: turns a show folder into a frame-exact video with its music, with no display
// needed. The show is loaded and drawn by its own code; this file only sets the stage around it.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "show_sheet.h"
#include "audio/music.h"
#include "capture.h"
#include "common/project.h"
#include "common/toolkit.h"
#include "load/gl_entry.h"
#include "load/image.h"
#include "load/intro.h"
#include "load/program_status.h"
#include "platform/audio_decode.h"
#include "platform/platform.h"
#include "platform/tool_gl.h"
#include "timeline/script.h"

namespace fs = std::filesystem;

namespace {

int fail(const std::string& text) { return tool::error(text); }

int usage(const std::string& text) {
    tool::error(text);
    return 2;
}

// One line from a driver log: lines joined with "; ", blank ones and trailing space dropped.
std::string one_line(const std::string& log) {
    std::string out, line;
    auto flush = [&] {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
        if (!line.empty()) out += (out.empty() ? "" : "; ") + line;
        line.clear();
    };
    for (char c : log) {
        if (c == '\n') flush();
        else line += c;
    }
    flush();
    return out;
}

// The show builds its programs without looking at the result; a capture of a broken program
// would be a video of nothing, so every program is checked here with the driver's own words.
bool programs_built(std::string& error) {
    static ProgramStatus st;
    for (const ProgramEntry& e : PROGRAM_TABLE) {
        if (program_status(program_set.*e.program, &st)) continue;
        std::string log;
        for (int k : {PROGRAM_VERTEX, PROGRAM_FRAGMENT})
            if (!st.compiled[k]) log += st.log[k];
        if (log.empty()) log = st.link_log;
        error = std::string("program ") + e.label + " (scene files " + std::to_string(e.files[0]) + ".ck, " +
                std::to_string(e.files[1]) + ".ck) failed to build: " + one_line(log);
        return false;
    }
    return true;
}

// Why intro_init failed, when the scene files were all there: the entry point the driver lacks.
std::string intro_failure() {
    for (int i = 0; i < GL_ENTRY_COUNT; ++i)
        if (!gl_entry_table.entry[i])
            return std::string("the GL driver does not offer ") + GL_ENTRY_NAMES[i] + ", which the show needs";
    return "loading the show failed";
}

std::string clock_text(double seconds) {
    long s = (long)(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-capture");
    CLI::App app{
        "Captures a show as a video file with its music, frame by frame and with no display needed.\n"
        "The show is read from --dir: a show project (show.cues and its sources, drawn with its sheet to its\n"
        "length) or a packed show folder (0.ck ... 19.ck, bitmap.png, vae5.wav). Frame n shows\n"
        "the show time --from + round(n * 1000 / fps) ms, drawn by the show's own code; the sound of\n"
        "each frame is exactly the music of the same span. Drawing goes through a display-less EGL\n"
        "context unless --x11 is given. The container follows the --out name (.mp4, .mkv, ...).\n"
        "SIGINT, SIGTERM, SIGHUP and SIGPIPE stop the capture, leaving no output, with 128 + the signal.",
        "oruvane-capture"};
    std::string dir = ".", out, png_dir;
    int fps = 60, crf = 18;
    // Times are checked against the show's length once a project's sheet is read.
    const double longest = sheet::LENGTH_MAX_MS / 1000.0;
    double from = 0, to = -1;
    bool lossless = false, x11 = false;
    app.add_option("--dir", dir, "a show project, or a folder holding a packed show's files")->capture_default_str();
    auto* out_opt = app.add_option("--out", out, "video file to write (default show.mp4; show.mkv with --lossless)");
    app.add_option("--fps", fps, "frames per second")->check(CLI::Range(1, 240))->capture_default_str();
    app.add_option("--from", from, "show time of the first frame, in seconds")->check(tool::finite(0.0, longest, "s"))->capture_default_str();
    app.add_option("--to", to, "show time where the capture ends, in seconds (default: the show's end)")->check(tool::finite(0.0, longest, "s"));
    app.add_option("--crf", crf, "H.264 quality, 0 (lossless) to 51 (worst): lower is better and bigger")
        ->check(CLI::Range(0, 51))->capture_default_str();
    auto* png_opt = app.add_option("--png-dir", png_dir,
                                   "write numbered PNG frames (000000.png, ...) and audio.wav into this folder instead of a video; "
                                   "the folder must be new or empty, and a failed or interrupted run removes what it wrote");
    auto* lossless_opt = app.add_flag("--lossless", lossless, "FFV1 video with FLAC sound in Matroska instead of H.264 with AAC in MP4");
    png_opt->excludes(lossless_opt)->excludes(out_opt);
    app.add_flag("--x11", x11, "draw in a full-screen 1920x1080 window on the X display in DISPLAY instead of the display-less context");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;

    // An empty name is a mistake, not a wish for the default one.
    if (out_opt->count() && out.empty()) return usage("--out needs a file name");
    if (png_opt->count() && png_dir.empty()) return usage("--png-dir needs a folder name");


    // A project is packed as the show reads it, outside the project (no tool writes into one), and
    // drawn with its own sheet.
    static project::Project p;
    tool::ScratchFolder packed;
    int32_t length = SHOW_LENGTH_MS;
    std::error_code ec;
    if (project::kind_of(dir) == project::PROJECT) {
        std::vector<project::PackedFile> files;
        std::vector<std::string> notes;
        std::string why;
        if (!project::open(dir, p, why)) return tool::error_in_file(why);
        if (!project::pack(p, files, notes, why)) return fail(why);
        for (const std::string& n : notes) tool::error("warning: " + n);
        if (!packed.open(why)) return fail(why);
        for (const project::PackedFile& f : files)
            if (!packed.write(f.name, f.bytes, why)) return fail(why);
        for (const std::string& input : {p.sheet_path, p.logo, p.music})
            if (!input.empty()) tool::note_input(fs::absolute(input, ec).string());
        for (const auto& program : p.sources)
            for (const std::string& source : program) tool::note_input(fs::absolute(source, ec).string());
        length = p.script.length_ms;
    }
    CaptureRange range;
    range.from_ms = (int32_t)std::llround(from * 1000);
    range.to_ms = to < 0 ? length : (int32_t)std::llround(to * 1000);
    range.fps = fps;
    const std::string show = "0 to " + sheet::when_text(sheet::When{"", length}) + " s";
    if (range.from_ms > length) return usage("--from: outside the show (" + show + ")");
    if (range.to_ms > length) return usage("--to: outside the show (" + show + ")");
    if (range.from_ms >= range.to_ms) return usage("--from must come before --to");

    SinkOptions so;
    so.fps = fps;
    so.crf = crf;
    so.lossless = lossless;
    so.width = SCREEN_WIDTH;
    so.height = SCREEN_HEIGHT;
    so.rate = AUDIO_RATE;
    if (!png_dir.empty()) {
        so.png_dir = fs::absolute(png_dir, ec).string();
    } else {
        so.out = fs::absolute(out.empty() ? (lossless ? "show.mkv" : "show.mp4") : out, ec).string();
    }
    std::string target = so.png_dir.empty() ? so.out : so.png_dir;

    // Everything about the output is checked before any work: the show's own files are inputs.
    if (!fs::is_directory(dir, ec)) return usage("--dir " + dir + " is not a folder");
    std::vector<std::string> show_files{"bitmap.png", "vae5.wav"};
    for (const ProgramEntry& e : PROGRAM_TABLE)
        for (int f : e.files) show_files.push_back(std::to_string(f) + ".ck");
    for (const std::string& name : show_files) tool::note_input(fs::absolute(fs::path(dir) / name, ec).string());
    std::string problem;
    if (so.png_dir.empty()) {
        problem = tool::check_output(so.out);
        if (problem.empty() && !sink_check(so, problem)) return usage(problem);
    } else if (fs::exists(so.png_dir, ec) && (!fs::is_directory(so.png_dir, ec) || !fs::is_empty(so.png_dir, ec))) {
        problem = "--png-dir " + so.png_dir + " is not a new or empty folder";
    }
    if (!problem.empty()) return usage(problem);

    const std::string shown_dir = dir;
    if (!p.dir.empty()) dir = packed.path();
    fs::current_path(dir, ec);
    if (ec) return fail("cannot enter " + dir + ": " + ec.message());
    for (const ProgramEntry& e : PROGRAM_TABLE)
        for (int f : e.files) {
            std::string name = std::to_string(f) + ".ck";
            if (!fs::is_regular_file(name, ec))
                return fail("scene file " + (fs::path(shown_dir) / name).string() + " is missing or not a file: a show needs 0.ck ... 19.ck");
        }
    // The show draws without a logo it cannot decode, as without a missing one: both are said.
    if (!fs::exists(fs::symlink_status("bitmap.png", ec))) {
        std::fprintf(stderr, "oruvane-capture: warning: no bitmap.png in %s, the logo stays empty\n", shown_dir.c_str());
    } else {
        int w = 0, h = 0;
        unsigned char* logo = image_load_rgba("bitmap.png", &w, &h);
        if (!logo)
            std::fprintf(stderr,
                         "oruvane-capture: warning: bitmap.png in %s is not an image the show can decode (not a regular file, "
                         "not an image, cut short, or over %dx%d pixels), the logo stays empty\n",
                         shown_dir.c_str(), (int)IMAGE_MAX_SIDE, (int)IMAGE_MAX_SIDE);
        image_free(logo);
    }

    if (!tool_gl_open(x11 ? TOOL_GL_FULLSCREEN : TOOL_GL_HEADLESS, "oruvane-capture", SCREEN_WIDTH, SCREEN_HEIGHT))
        return fail(std::string(x11 ? "no full-screen GL window on the X display: " : "no GL context: ") + tool_gl_error());
    auto close_gl = [] { tool_gl_close(); };
    if (x11) {
        int w = 0, h = 0;
        plat_drawable_size(tool_gl_window(), &w, &h);
        if (w != SCREEN_WIDTH || h != SCREEN_HEIGHT) {
            close_gl();
            return fail("the X display has no " + std::to_string(SCREEN_WIDTH) + "x" + std::to_string(SCREEN_HEIGHT) +
                        " full-screen mode (the window is " + std::to_string(w) + "x" + std::to_string(h) + ")");
        }
    }
    if (!intro_init()) {
        close_gl();
        return fail(intro_failure());
    }
    std::string error;
    if (!programs_built(error)) {
        close_gl();
        return fail(error);
    }
    if (!p.dir.empty()) script_rebuild(p.script.cues.data(), (int32_t)p.script.cues.size());

    static AudioDecoder music;
    bool have_music = music_decoder_open(&music);
    if (!have_music) std::fprintf(stderr, "oruvane-capture: warning: no playable vae5.wav in %s, the sound is silent\n", shown_dir.c_str());

    SinkPtr sink = sink_open(so, error);
    if (!sink) {
        decoder_close(&music);
        close_gl();
        return fail(error);
    }

    // A bar redrawn in place on a terminal; otherwise a plain line every tenth of the way, and at
    // least every half minute.
    const bool tty = isatty(STDOUT_FILENO);
    const auto started = std::chrono::steady_clock::now();
    int64_t last_tenth = -1;
    double last_line = 0;
    CaptureProgress progress;
    progress.report = [&](int64_t done, int64_t total) {
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        double rate = elapsed > 0 ? done / elapsed : 0;
        double eta = rate > 0 ? (total - done) / rate : 0;
        if (tty) {
            const int width = 30;
            int filled = (int)(width * done / total);
            std::printf("\r[%s%s] %lld/%lld frames  %5.2f fps  elapsed %s  ETA %s ", std::string(filled, '#').c_str(),
                        std::string(width - filled, '.').c_str(), (long long)done, (long long)total, rate,
                        clock_text(elapsed).c_str(), clock_text(eta).c_str());
            if (done == total) std::printf("\n");
        } else if (done * 10 / total != last_tenth || elapsed - last_line >= 30) {
            last_tenth = done * 10 / total;
            last_line = elapsed;
            std::printf("%lld/%lld frames  %.2f fps  elapsed %s  ETA %s\n", (long long)done, (long long)total, rate,
                        clock_text(elapsed).c_str(), clock_text(eta).c_str());
        }
        std::fflush(stdout);
    };
    bool ok = capture_run(range, *sink, have_music ? &music : nullptr, progress, error);
    if (!ok) sink_abort(*sink);
    sink.reset();
    decoder_close(&music);
    close_gl();
    if (!ok) {
        if (tty) std::printf("\n");
        return fail(error);
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("wrote %s: %lld frames at %d fps (%.3f s to %.3f s of the show) in %s\n", target.c_str(),
                (long long)capture_frame_count(range), fps, range.from_ms / 1000.0, range.to_ms / 1000.0,
                clock_text(elapsed).c_str());
    return tool::finish(0);
}
