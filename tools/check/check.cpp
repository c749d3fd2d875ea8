// oruvane-check: does a show folder play as meant? Builds the ten programs through the show's own
// loader on the real driver, compares their uniforms with those the passes upload, and looks at
// the logo and the music. Exit 0 only when all ten programs build.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "show_sheet.h"
#include "common/cue_sheet.h"
#include "common/project.h"
#include "common/slot_lines.h"
#include "common/toolkit.h"
#include "load/gl_entry.h"
#include "load/program_log.h"
#include "load/program_status.h"
#include "load/programs.h"
#include "load/scene_file.h"
#include "load/textures.h"
#include "audio/music.h"
#include "platform/audio_decode.h"
#include "platform/tool_gl.h"
#include "render/uniforms.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

const char* const STAGES[2] = {"vertex", "fragment"};

struct Diagnostic {
    std::string file;  // "13.ck"
    std::string stage;
    int line = 0;      // 0: not known
    std::string message;
    std::string source;  // the text of that line
};

struct ProgramReport {
    std::string label;
    int files[2];
    bool ok = false;
    std::vector<Diagnostic> errors;
    std::string link_log;
    std::vector<std::pair<std::string, bool>> uniforms;  // name, set by the passes
};

struct Report {
    std::vector<ProgramReport> programs;
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
    std::string logo, music;
};

// What each scene file is called in the report: "13.ck" in a packed show, the source it was packed
// from ("pt07.fsh") in a project.
std::string file_names[2 * PROGRAM_COUNT];

std::string file_name(int number) { return number >= 0 && number < 2 * PROGRAM_COUNT ? file_names[number] : std::to_string(number) + ".ck"; }

std::string scene_text(int number) {
    scene_file_counter = number;
    char* text = read_scene_file("check");
    std::string s = text ? text : "";
    std::free(text);
    return s;
}

// Splits a compiler log into one diagnostic per error line. A line the driver names is quoted as
// the driver counts lines, so past the slot lines it is the source file's own line.
void add_diagnostics(ProgramReport& r, int stage, const std::string& log) {
    int file = r.files[stage];
    std::string text = scene_text(file);
    std::istringstream in(log);
    std::string l;
    bool any = false;
    while (std::getline(in, l)) {
        ProgramLogLine parsed;
        bool located = program_log_parse(l.c_str(), &parsed);
        if (located ? std::string(parsed.kind) != "error" : l.find("error") == std::string::npos) continue;
        Diagnostic d{file_name(file), STAGES[stage], 0, l, ""};
        if (located) {
            d.line = parsed.line;
            d.message = l.substr((size_t)parsed.message);
            d.source = line_named(text, parsed.line);
        }
        r.errors.push_back(d);
        any = true;
    }
    if (!any) r.errors.push_back(Diagnostic{file_name(file), STAGES[stage], 0, log.empty() ? "does not compile" : log, ""});
}

// The texture-table slots the timeline ever names as the logo.
std::set<int> logo_slots() {
    std::set<int> slots{(int)std::lround(show_params_initial.logo_slot)};
    for (int i = 0; i < track_count; ++i)
        if (track_table[i].target == &show_params.logo_slot) {
            slots.insert((int)std::lround(track_table[i].from));
            slots.insert((int)std::lround(track_table[i].to));
        }
    return slots;
}

bool is_sampler(uint32_t type) {
    return type == GL_SAMPLER_1D || type == GL_SAMPLER_2D || type == GL_SAMPLER_3D || type == GL_SAMPLER_CUBE ||
           type == GL_SAMPLER_2D_SHADOW;
}

void check_uniforms(Report& rep, ProgramReport& r, uint32_t program, bool post) {
    const UniformInfo* table = post ? POST_UNIFORM_INFO : SCENE_UNIFORM_INFO;
    int count = post ? (int)POST_UNIFORM_COUNT : (int)SCENE_UNIFORM_COUNT;
    char name[PROGRAM_UNIFORM_NAME_SIZE];
    uint32_t type = 0;
    for (int i = 0; program_active_uniform(program, i, name, &type); ++i) {
        const UniformInfo* info = nullptr;
        for (int k = 0; k < count; ++k)
            if (std::string(table[k].name) == name) info = &table[k];
        r.uniforms.emplace_back(name, info != nullptr);
        if (!info) {
            rep.warnings.push_back(r.label + ": uniform \"" + name + "\" is declared but the " +
                                   (post ? "post" : "scene") + " pass never sets it (it stays 0)");
            continue;
        }
        if (!is_sampler(type)) continue;
        std::set<int> slots;
        if (info->source >= 0) slots.insert(info->source);
        if (info->source == UNIFORM_LOGO_SLOT) slots = logo_slots();
        for (int slot : slots)
            if (slot < 0 || slot >= TEXTURE_SLOTS || texture_table[slot] == 0)
                rep.warnings.push_back(r.label + ": sampler \"" + name + "\" reads texture slot " + std::to_string(slot) +
                                       ", which holds no texture (it samples black)");
    }
}

// The script the uniforms, logo slots and music are checked against: the compiled-in one, or a sheet's.
const sheet::Script* sheet_script;
// A project whose sheet names a logo or music that cannot be read: already said, by its own name.
bool logo_said, music_said;

void check_logo(Report& rep) {
    int64_t logo = load_image_texture("bitmap.png");
    if (logo < 0) {
        rep.logo = "bitmap.png does not decode";
        if (!logo_said) rep.warnings.push_back("logo: bitmap.png is missing or does not decode; the show runs without a logo");
        return;
    }
    texture_table[0] = (uint32_t)logo;
    GLint w = 0, h = 0, max = 0;
    glBindTexture(GL_TEXTURE_2D, (GLuint)logo);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    rep.logo = "bitmap.png " + std::to_string(w) + "x" + std::to_string(h);
    if (w == 0 || h == 0 || w > max || h > max)
        rep.warnings.push_back("logo: " + std::to_string(w) + "x" + std::to_string(h) + " is over this driver's largest texture (" +
                               std::to_string(max) + ")");
}

std::string seconds_text(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f s", s);
    return buf;
}

void check_music(Report& rep) {
    const double show = (sheet_script ? sheet_script->length_ms : SHOW_LENGTH_MS) / 1000.0;
    // The show's own choice: a stream when one opens, else a looping module.
    static AudioDecoder music;
    if (!music_decoder_open(&music)) {
        rep.music = "vae5.wav is missing or neither a stream nor a module";
        if (!music_said) rep.warnings.push_back("music: vae5.wav is missing or neither a stream nor a module; the show runs silent");
        return;
    }
    double length = decoder_length_seconds(&music);
    if (music.kind == AUDIO_DECODER_STREAM) {
        rep.music = "vae5.wav: stream, " + seconds_text(length) + ", " + std::to_string(music.file_rate) + " Hz, " +
                    std::to_string(music.file_channels) + " channel(s)";
        if (length < show)
            rep.warnings.push_back("music: the stream is " + seconds_text(length) + ", shorter than the " + seconds_text(show) +
                                   " show: the rest plays in silence");
    } else {
        rep.music = "vae5.wav: module, " + seconds_text(length) + ", loops for the whole show";
    }
    decoder_close(&music);
}

void run_checks(Report& rep) {
    if (!load_gl_entry_points()) {
        rep.errors.push_back("the driver lacks an entry point the show needs");
        return;
    }
    scene_file_counter = 0;
    int built = build_programs();
    int missing = scene_file_counter;  // the file the loader stopped at, when it stopped
    for (int i = 0; i < PROGRAM_COUNT; ++i) {
        const ProgramEntry& e = PROGRAM_TABLE[i];
        ProgramReport r;
        r.label = e.label;
        r.files[0] = e.files[0];
        r.files[1] = e.files[1];
        ProgramStatus st;
        if (!built && e.files[1] >= missing) {
            int stage = e.files[0] == missing ? 0 : e.files[1] == missing ? 1 : -1;
            if (stage >= 0) r.errors.push_back(Diagnostic{file_name(missing), STAGES[stage], 0, "cannot be read", ""});
            else r.errors.push_back(Diagnostic{"", "", 0, "not built: loading stops at " + file_name(missing), ""});
        } else if (program_status(program_set.*e.program, &st)) {
            r.ok = true;
        } else {
            for (int s = 0; s < 2; ++s)
                if (!st.compiled[s]) add_diagnostics(r, s, st.log[s]);
            if (st.compiled[0] && st.compiled[1]) r.link_log = st.link_log[0] ? st.link_log : "does not link";
        }
        rep.programs.push_back(r);
    }
    check_logo(rep);
    if (built) {
        if (sheet_script) {
            script_rebuild(sheet_script->cues.data(), (int32_t)sheet_script->cues.size());
        } else {
            build_show_script();
        }
        for (int i = 0; i < PROGRAM_COUNT; ++i)
            if (rep.programs[i].ok)
                check_uniforms(rep, rep.programs[i], program_set.*PROGRAM_TABLE[i].program, PROGRAM_TABLE[i].program == &ProgramSet::post);
    }
    check_music(rep);
}

bool all_built(const Report& rep) {
    if (!rep.errors.empty() || rep.programs.size() != PROGRAM_COUNT) return false;
    for (const ProgramReport& r : rep.programs)
        if (!r.ok) return false;
    return true;
}

void print_text(const Report& rep) {
    for (const std::string& e : rep.errors) std::printf("error: %s\n", e.c_str());
    for (const ProgramReport& r : rep.programs) {
        std::printf("%-5s %s %s  %s\n", r.label.c_str(), file_name(r.files[0]).c_str(), file_name(r.files[1]).c_str(), r.ok ? "OK" : "FAILED");
        for (const Diagnostic& d : r.errors) {
            if (d.file.empty()) std::printf("    %s\n", d.message.c_str());
            else if (d.line) std::printf("    %s: %s %s shader, line %d: %s\n", d.file.c_str(), r.label.c_str(), d.stage.c_str(), d.line, d.message.c_str());
            else std::printf("    %s: %s %s shader: %s\n", d.file.c_str(), r.label.c_str(), d.stage.c_str(), d.message.c_str());
            if (!d.source.empty()) std::printf("    %5d | %s\n", d.line, d.source.c_str());
        }
        if (!r.link_log.empty()) std::printf("    link: %s\n", r.link_log.c_str());
        if (!r.uniforms.empty()) {
            std::printf("      uniforms:");
            for (const auto& u : r.uniforms) std::printf(" %s%s", u.first.c_str(), u.second ? "" : " (never set)");
            std::printf("\n");
        }
    }
    if (!rep.logo.empty()) std::printf("logo  %s\n", rep.logo.c_str());
    if (!rep.music.empty()) std::printf("music %s\n", rep.music.c_str());
    for (const std::string& w : rep.warnings) std::printf("warning: %s\n", w.c_str());
    std::printf("%s\n", all_built(rep) ? "all ten programs build" : "the show does not build");
}

void print_json(const Report& rep) {
    using nlohmann::ordered_json;
    ordered_json programs = ordered_json::array();
    for (const ProgramReport& r : rep.programs) {
        ordered_json errors = ordered_json::array(), uniforms = ordered_json::array();
        for (const Diagnostic& d : r.errors)
            errors.push_back({{"file", d.file}, {"stage", d.stage}, {"line", d.line}, {"message", d.message}, {"source", d.source}});
        for (const auto& u : r.uniforms) uniforms.push_back({{"name", u.first}, {"set", u.second}});
        programs.push_back({{"label", r.label}, {"files", {r.files[0], r.files[1]}}, {"ok", r.ok}, {"errors", errors},
                            {"link_log", r.link_log}, {"uniforms", uniforms}});
    }
    ordered_json o = {{"ok", all_built(rep)}, {"programs", programs}, {"logo", rep.logo}, {"music", rep.music},
                      {"warnings", rep.warnings}, {"errors", rep.errors}};
    // Driver logs and sources are outside data: bytes that are not UTF-8 become U+FFFD.
    std::printf("%s\n", o.dump(-1, ' ', false, ordered_json::error_handler_t::replace).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-check");
    CLI::App app{"Builds a show's ten programs on this driver and checks its uniforms, logo and music: of a show\n"
                 "project (its sources with their slots, against its show.cues) or of a packed show folder.\n"
                 "Exit 0 only when all ten programs build."};
    app.name("oruvane-check");
    std::string dir = ".";
    bool json = false;
    std::string script;
    app.add_option("DIR", dir, "a show project (show.cues, pt01.vsh ... post.fsh), or a packed show folder (0.ck ... 19.ck, "
                               "bitmap.png, vae5.wav)")
        ->check(CLI::ExistingDirectory);
    app.add_flag("--json", json, "print the report as JSON");
    app.add_option("--script", script, "check against this cue sheet instead of the compiled-in script (or the project's)");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;

    for (int i = 0; i < 2 * PROGRAM_COUNT; ++i) file_names[i] = std::to_string(i) + ".ck";
    sheet::Sheet sh;
    static sheet::Script loaded;
    static project::Project p;
    tool::ScratchFolder packed;
    std::vector<std::string> notes;
    if (project::kind_of(dir) == project::PROJECT) {
        // Packed as the show reads it, outside the project: no tool writes into a project.
        std::string why;
        std::vector<project::PackedFile> files;
        if (!project::open(dir, p, why)) return tool::error_in_file(why);
        if (!project::pack(p, files, notes, why)) return tool::error(why);
        for (const std::string& n : notes) {
            logo_said = logo_said || (!p.logo.empty() && n.find(p.logo) != std::string::npos);
            music_said = music_said || (!p.music.empty() && n.find(p.music) != std::string::npos);
        }
        if (!packed.open(why)) return tool::error(why);
        for (const project::PackedFile& f : files)
            if (!packed.write(f.name, f.bytes, why)) return tool::error(why);
        for (const ProgramEntry& e : PROGRAM_TABLE)
            for (int k = 0; k < 2; ++k) file_names[e.files[k]] = p.sources[&e - PROGRAM_TABLE][k];
        sheet_script = &p.script;
        dir = packed.path();
    }
    if (!script.empty()) {
        std::string text, why;
        if (!tool::read_file(script, text, why)) return tool::error(why);
        if (!sheet::parse(script, text, sh, why) || !sheet::resolve(sh, loaded, why)) return tool::error_in_file(why);
        sheet_script = &loaded;
    }
    if (chdir(dir.c_str()) != 0) return tool::error("cannot enter " + dir);
    // Display-less, as the capture tool draws; a hidden window on the X display where the driver
    // has no surfaceless EGL.
    if (!tool_gl_open(TOOL_GL_HEADLESS, "oruvane-check", SCREEN_WIDTH, SCREEN_HEIGHT)) {
        tool::error(std::string("no GL context: ") + tool_gl_error());
        return 2;
    }
    Report rep;
    for (const std::string& n : notes) rep.warnings.push_back(n);
    run_checks(rep);
    tool_gl_close();
    if (json) print_json(rep);
    else print_text(rep);
    return tool::finish(all_built(rep) ? 0 : 1);
}
