// oruvane-timeline: the show script's parameters at one time, over the whole show as CSV, or
// drawn as a picture. It builds the real script (the compiled-in one, or a cue sheet's) and
// evaluates the real tracks.
#include <CLI/CLI.hpp>
#include <cairo.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "show_sheet.h"
#include "common/cue_sheet.h"
#include "common/project.h"
#include "common/slot_lines.h"
#include "common/toolkit.h"
#include "timeline/params.h"
#include "timeline/script.h"
#include "timeline/tracks.h"

namespace {

// The show being looked at: its length and scene slots, from the compiled-in script or a sheet.
int32_t show_ms = SHOW_LENGTH_MS;
std::vector<SlotSpan> slots;

// Builds the script with program names 1 ... 10, so that a scene program maps back to its label:
// the compiled-in one, or the cue sheet at `path`. False with `error` as file:line: message.
bool build_script(const std::string& path, std::string& error) {
    for (uint32_t i = 0; i < PROGRAM_COUNT; ++i) program_set.*PROGRAM_TABLE[i].program = i + 1;
    if (path.empty()) {
        build_show_script();
        slots = built_in_slots();
        return true;
    }
    sheet::Sheet sh;
    sheet::Script script;
    std::string text;
    if (!tool::read_file(path, text, error)) {
        error = std::string(tool::name()) + ": " + error;
        return false;
    }
    tool::note_input(path);
    if (!sheet::parse(path, text, sh, error) || !sheet::resolve(sh, script, error)) return false;
    script_rebuild(script.cues.data(), (int32_t)script.cues.size());
    show_ms = script.length_ms;
    slots.clear();
    for (const sheet::Slot& slot : script.slots) slots.push_back({slot.label, slot.start_ms, slot.end_ms});
    return true;
}

// Evaluates from the start values, so that any time can be asked in any order.
const ShowParams& params_at(int32_t ms) {
    show_params = show_params_initial;
    tracks_evaluate(ms);
    return show_params;
}

const char* scene_label(const ShowParams& p) {
    long n = std::lround(p.scene_program);
    return n >= 1 && n <= PROGRAM_COUNT ? PROGRAM_LABELS[n - 1] : "none";
}

// The parameters in output order: those cues drive, then the camera's constant up vector.
struct Field {
    const char* name;
    size_t offset;  // floats from the start of ShowParams
    int n;
};

std::vector<Field> fields() {
    std::vector<Field> all;
    for (const ShowParamInfo& p : SHOW_PARAMS) all.push_back({p.name, p.offset, p.components});
    all.push_back({"camup", offsetof(ShowParams, camup) / sizeof(float), 3});
    return all;
}
const std::vector<Field> FIELDS = fields();

const float* field(const ShowParams& p, const Field& f) { return reinterpret_cast<const float*>(&p) + f.offset; }

const char COMPONENTS[] = "xyzw";

int cmd_at(double seconds) {
    int32_t ms = (int32_t)std::lround(seconds * 1000.0);
    const ShowParams& p = params_at(ms);
    std::printf("time %.3f\nscene %s\n", ms / 1000.0, scene_label(p));
    for (const Field& f : FIELDS) {
        std::printf("%s", f.name);
        for (int i = 0; i < f.n; ++i) std::printf(" %g", field(p, f)[i]);
        std::printf("\n");
    }
    return 0;
}

int cmd_csv(double step) {
    std::printf("time,scene");
    for (const Field& f : FIELDS) {
        if (f.n == 1) std::printf(",%s", f.name);
        for (int i = 0; f.n > 1 && i < f.n; ++i) std::printf(",%s.%c", f.name, COMPONENTS[i]);
    }
    std::printf("\n");
    int64_t step_ms = std::llround(step * 1000.0);
    for (int64_t ms = 0; ms <= show_ms; ms += step_ms) {
        const ShowParams& p = params_at((int32_t)ms);
        std::printf("%.3f,%s", ms / 1000.0, scene_label(p));
        for (const Field& f : FIELDS)
            for (int i = 0; i < f.n; ++i) std::printf(",%g", field(p, f)[i]);
        std::printf("\n");
    }
    return 0;
}

// The picture: scene bands on top, then one panel per group of curves, all against show time.
struct Plot {
    cairo_t* cr;
    double left, right, width;

    double x(double ms) const { return left + ms / show_ms * width; }
};

struct Curve {
    const char* name;
    float (*value)(const ShowParams&);
    double r, g, b;
};

void text(cairo_t* cr, double x, double y, const char* s, double size = 13) {
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s);
}

// One panel's curves over its (already drawn) background: value labels at lo and hi, a legend,
// and each curve sampled once per pixel column.
void panel(const Plot& pl, double top, double height, const char* title, double lo, double hi,
           const std::vector<Curve>& curves) {
    cairo_t* cr = pl.cr;
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, 8, top + 16, title, 14);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", hi);
    text(cr, pl.left - 34, top + 10, buf, 11);
    std::snprintf(buf, sizeof buf, "%g", lo);
    text(cr, pl.left - 34, top + height, buf, 11);
    double legend_x = 8, legend_y = top + 34;
    for (const Curve& c : curves) {
        cairo_set_source_rgb(cr, c.r, c.g, c.b);
        cairo_set_font_size(cr, 11);
        cairo_text_extents_t ext;
        cairo_text_extents(cr, c.name, &ext);
        if (legend_x + ext.x_advance > pl.left - 40) {
            legend_x = 8;
            legend_y += 14;
        }
        text(cr, legend_x, legend_y, c.name, 11);
        legend_x += ext.x_advance + 10;
        cairo_set_line_width(cr, 2);
        for (int px = 0; px <= (int)pl.width; ++px) {
            const ShowParams& p = params_at((int32_t)std::lround(px / pl.width * show_ms));
            double v = (c.value(p) - lo) / (hi - lo);
            double y = top + height - v * height;
            if (px == 0) cairo_move_to(cr, pl.left + px, y);
            else cairo_line_to(cr, pl.left + px, y);
        }
        cairo_stroke(cr);
    }
}

int cmd_plot(const std::string& out, int w, int h) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    Plot pl{cr, 150.0, 20.0, w - 170.0};
    const double bottom_axis = 30, band = 44, gap = 10;
    double area = h - band - bottom_axis - 5 * gap;
    double top = gap;

    // Scene bands: one box per scene slot, labelled.
    std::vector<std::pair<int32_t, std::string>> changes;
    for (const SlotSpan& slot : slots) changes.emplace_back(slot.start_ms, slot.label);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, 8, top + 26, "scene", 14);
    for (size_t i = 0; i < changes.size(); ++i) {
        double x0 = pl.x(changes[i].first);
        double x1 = i + 1 < changes.size() ? pl.x(changes[i + 1].first) : pl.x(show_ms);
        double shade = i % 2 ? 0.80 : 0.88;
        cairo_set_source_rgb(cr, shade, shade * 0.95, 1.0);
        cairo_rectangle(cr, x0, top, x1 - x0, band);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.3);
        text(cr, x0 + 4, top + 27, changes[i].second.c_str(), 13);
    }
    top += band + gap;

    // Panel backgrounds, then the scene changes as dashed lines across them, then the curves.
    const double ph = area / 4, panels_bottom = top + 4 * ph + 3 * gap;
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    for (int i = 0; i < 4; ++i) cairo_rectangle(cr, pl.left, top + i * (ph + gap), pl.width, ph);
    cairo_fill(cr);
    const double dash[] = {4, 4};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    for (size_t i = 1; i < changes.size(); ++i) {
        cairo_move_to(cr, pl.x(changes[i].first) + 0.5, gap);
        cairo_line_to(cr, pl.x(changes[i].first) + 0.5, panels_bottom);
    }
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);

    panel(pl, top, ph, "gamma", 0, 1, {{"gamma", [](const ShowParams& p) { return p.gamma; }, 0.85, 0.1, 0.1}});
    top += ph + gap;
    panel(pl, top, ph, "flash colour", 0, 1,
          {{"r", [](const ShowParams& p) { return p.flashColor[0]; }, 0.9, 0.45, 0.3},
           {"g", [](const ShowParams& p) { return p.flashColor[1]; }, 0.2, 0.7, 0.2},
           {"b", [](const ShowParams& p) { return p.flashColor[2]; }, 0.2, 0.3, 0.9},
           {"a", [](const ShowParams& p) { return p.flashColor[3]; }, 0.3, 0.3, 0.3}});
    top += ph + gap;
    panel(pl, top, ph, "logo", 0, 1,
          {{"alpha", [](const ShowParams& p) { return p.logoColor[3]; }, 0.6, 0.2, 0.7},
           {"shown", [](const ShowParams& p) { return p.displayLogo; }, 0.9, 0.6, 0.1}});
    top += ph + gap;
    panel(pl, top, ph, "camera", -12, 3,
          {{"pos.y", [](const ShowParams& p) { return p.campos[1]; }, 0.2, 0.7, 0.2},
           {"pos.z", [](const ShowParams& p) { return p.campos[2]; }, 0.2, 0.3, 0.9},
           {"tar.x", [](const ShowParams& p) { return p.camtar[0]; }, 0.9, 0.45, 0.3},
           {"tar.z", [](const ShowParams& p) { return p.camtar[2]; }, 0.1, 0.6, 0.7}});
    top = panels_bottom;

    // The time axis.
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    // About a dozen labels whatever the show's length.
    int label_step = 10;
    for (int step : {10, 20, 30, 60, 120, 300})
        if (show_ms / 1000 / step <= 15) {
            label_step = step;
            break;
        }
    for (int s = 0; s <= show_ms / 1000; s += label_step) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
        text(cr, pl.x(s * 1000.0) - 12, top + 20, buf, 11);
    }

    cairo_destroy(cr);
    std::string png;
    cairo_status_t st = cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(surface);
    if (st != CAIRO_STATUS_SUCCESS) return tool::error(std::string("cannot draw the picture: ") + cairo_status_to_string(st));
    std::string why;
    if (!tool::write_file(out, png, why)) return tool::error(why);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("oruvane-timeline");
    CLI::App app{"The show's timeline: parameters at a time, as CSV, or as a picture; of the compiled-in show, of a\n"
                 "show project (oruvane-timeline PROJECT at 12), or of a cue sheet (--script show/show.cues)."};
    app.name("oruvane-timeline");
    app.require_subcommand(1);
    app.fallthrough();
    double at_seconds = 0, step = 1;
    std::string out = "timeline.png", script;
    int width = 1600, height = 900;
    // Times are checked against the show's length once the script is read.
    const double show_seconds = 1e6;
    std::string project_dir;
    app.add_option("PROJECT", project_dir, "a show project: its show.cues instead of the compiled-in script");
    app.add_option("--script", script, "read this cue sheet instead of the compiled-in script");

    CLI::App* at = app.add_subcommand("at", "print every show parameter at a time");
    at->add_option("SEC", at_seconds, "show time in seconds")->required()->check(tool::finite(0.0, show_seconds, "s"));
    CLI::App* csv = app.add_subcommand("csv", "write every parameter over the whole show as CSV on standard output");
    csv->add_option("--step", step, "seconds between rows")->check(tool::finite(0.001, show_seconds, "s"))->capture_default_str();
    CLI::App* plot = app.add_subcommand("plot", "draw the curves that matter against time as a PNG");
    plot->add_option("--out,-o", out, "the PNG to write")->capture_default_str();
    plot->add_option("--width", width, "picture width in pixels")->check(CLI::Range(400, 10000))->capture_default_str();
    plot->add_option("--height", height, "picture height in pixels")->check(CLI::Range(300, 10000))->capture_default_str();
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    if (!project_dir.empty()) {
        if (!script.empty()) {
            tool::error("give a PROJECT or --script, not both");
            return 2;
        }
        if (project::kind_of(project_dir) != project::PROJECT) {
            tool::error(project_dir + " holds no " + project::SHEET_NAME + ": it is not a show project");
            return 2;
        }
        script = (std::filesystem::path(project_dir) / project::SHEET_NAME).string();
    }
    std::string why;
    if (!build_script(script, why)) return tool::error_in_file(why);
    const std::string length = sheet::when_text(sheet::When{"", show_ms}) + " s";
    if (*at && at_seconds * 1000 > show_ms) {
        tool::error("SEC: '" + sheet::value_text((float)at_seconds) + "' is outside the show (0 to " + length + ")");
        return 2;
    }
    if (*csv && step * 1000 > show_ms) {
        tool::error("--step: '" + sheet::value_text((float)step) + "' is longer than the show (" + length + ")");
        return 2;
    }
    if (*plot) {
        why = tool::check_output(out);
        if (!why.empty()) return tool::error(why);
    }

    if (*at) return tool::finish(cmd_at(at_seconds));
    if (*csv) return tool::finish(cmd_csv(step));
    return tool::finish(cmd_plot(out, width, height));
}
