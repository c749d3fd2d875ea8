// mklogo: draws the show's title image (bitmap.png), pale lettering with a soft glow and a thin
// underline on a transparent background, which the closing scene fades in over the picture; or,
// with --template, the starter project's logo.png: a placeholder title in warm gold on a dark
// translucent plate inside a rounded frame, readable over any scene.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/toolkit.h"

#include <stb_image_write.h>
#include <stb_truetype.h>

#ifndef LOGO_FONT_PATH
#error "LOGO_FONT_PATH must name a TrueType font"
#endif

namespace {

const int W = 1024, H = 256;
const char* TITLE = "ORUVANE";
const char* STARTER_TITLE = "YOUR SHOW";

// Coverage in [0,1] per pixel; the glyphs and line are drawn here first, then coloured.
using Plane = std::vector<float>;

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), (size_t)size);
}

// Lays `title` out with wide tracking, scaled so it spans `width` of the image (or is at most
// `max_cap` pixels tall) without letting the glow reach the edges.
bool draw_title(const stbtt_fontinfo& font, const char* title, float width, float max_cap, Plane& cover, int& cap_top,
                int& cap_bottom) {
    const float target_width = width * W;
    const float tracking = 0.22f;  // extra gap between letters, as a fraction of the cap height
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&font, &ascent, &descent, &gap);
    int x0, y0, x1, y1;
    if (!stbtt_GetCodepointBox(&font, 'O', &x0, &y0, &x1, &y1)) return false;
    const float cap_units = float(y1);

    // Width in font units at unit scale: advances, kerning and tracking all scale together.
    auto width_units = [&]() {
        float w = 0;
        for (const char* c = title; *c; ++c) {
            int adv, lsb;
            stbtt_GetCodepointHMetrics(&font, *c, &adv, &lsb);
            if (c[1]) {
                w += adv + stbtt_GetCodepointKernAdvance(&font, c[0], c[1]) + tracking * cap_units;
            } else {
                int bx0, by0, bx1, by1;
                stbtt_GetCodepointBox(&font, *c, &bx0, &by0, &bx1, &by1);
                w += bx1;  // the last letter ends at its ink, not its advance
            }
        }
        int fx0, fy0, fx1, fy1;
        stbtt_GetCodepointBox(&font, title[0], &fx0, &fy0, &fx1, &fy1);
        return w - fx0;
    };
    float scale = target_width / width_units();
    scale = std::min(scale, max_cap / cap_units);  // leave room above and below for glow and line

    const float cap_px = cap_units * scale;
    const float baseline = 0.47f * H + cap_px * 0.5f;
    int first_x0, fy0, fx1, fy1;
    stbtt_GetCodepointBox(&font, title[0], &first_x0, &fy0, &fx1, &fy1);
    float pen = (W - width_units() * scale) * 0.5f - first_x0 * scale;

    for (const char* c = title; *c; ++c) {
        float ix = std::floor(pen), fx = pen - ix;
        int bx0, by0, bx1, by1;
        stbtt_GetCodepointBitmapBoxSubpixel(&font, *c, scale, scale, fx, 0, &bx0, &by0, &bx1, &by1);
        int gw = bx1 - bx0, gh = by1 - by0;
        if (gw > 0 && gh > 0) {
            std::vector<unsigned char> glyph(size_t(gw) * gh);
            stbtt_MakeCodepointBitmapSubpixel(&font, glyph.data(), gw, gh, gw, scale, scale, fx, 0, *c);
            int ox = int(ix) + bx0, oy = int(std::lround(baseline)) + by0;
            for (int y = 0; y < gh; ++y)
                for (int x = 0; x < gw; ++x) {
                    int px = ox + x, py = oy + y;
                    if (px < 0 || py < 0 || px >= W || py >= H) continue;
                    float& d = cover[size_t(py) * W + px];
                    d = std::max(d, glyph[size_t(y) * gw + x] / 255.0f);
                }
        }
        int adv, lsb;
        stbtt_GetCodepointHMetrics(&font, *c, &adv, &lsb);
        pen += adv * scale;
        if (c[1]) pen += (stbtt_GetCodepointKernAdvance(&font, c[0], c[1]) + tracking * cap_units) * scale;
    }
    cap_top = int(std::lround(baseline - cap_px));
    cap_bottom = int(std::lround(baseline));
    return true;
}

// A hairline under the title that tapers out at both ends, broken in the middle by a small
// diamond; drawn analytically so its edges are antialiased.
void draw_rule(Plane& cover, int y_centre) {
    const float half_len = 0.36f * W, cx = W * 0.5f, thick = 1.6f, gap = 16.0f, diamond = 7.0f;
    for (int y = y_centre - 12; y <= y_centre + 12; ++y)
        for (int x = 0; x < W; ++x) {
            float dx = std::fabs(x + 0.5f - cx), dy = std::fabs(y + 0.5f - y_centre);
            float a = 0;
            if (dx > gap && dx < half_len) {
                float taper = std::min(1.0f, (half_len - dx) / (0.45f * half_len));
                a = std::clamp(thick * 0.5f * taper + 0.5f - dy, 0.0f, 1.0f) * (0.35f + 0.65f * taper);
            }
            a = std::max(a, std::clamp(diamond - (dx + dy) + 0.5f, 0.0f, 1.0f));
            float& d = cover[size_t(y) * W + x];
            d = std::max(d, a);
        }
}

// Separable box blur run three times: close to a Gaussian and cheap.
Plane blur(const Plane& src, int r) {
    Plane a = src, b(src.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += a[size_t(y) * W + std::clamp(x + k, 0, W - 1)];
                b[size_t(y) * W + x] = s / float(2 * r + 1);
            }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += b[size_t(std::clamp(y + k, 0, H - 1)) * W + x];
                a[size_t(y) * W + x] = s / float(2 * r + 1);
            }
    }
    return a;
}

unsigned char to_byte(float v) { return (unsigned char)std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f); }

// The show's logo: lettering from white at the top to a cool pale blue at the bottom over a
// fainter blue glow, with the underline. Straight (non-premultiplied) alpha, as PNG expects.
std::vector<unsigned char> show_logo(const stbtt_fontinfo& font, bool& ok) {
    Plane cover(size_t(W) * H, 0.0f);
    int cap_top = 0, cap_bottom = 0;
    ok = draw_title(font, TITLE, 0.80f, 118.0f, cover, cap_top, cap_bottom);
    draw_rule(cover, cap_bottom + 26);
    Plane glow = blur(cover, 4);
    std::vector<unsigned char> rgba(size_t(W) * H * 4);
    for (int y = 0; y < H; ++y) {
        float t = std::clamp(float(y - cap_top) / float(std::max(1, cap_bottom - cap_top)), 0.0f, 1.0f);
        const float fr = 1.0f - 0.20f * t, fg = 1.0f - 0.10f * t, fb = 1.0f;
        const float gr = 0.62f, gg = 0.78f, gb = 1.0f;
        for (int x = 0; x < W; ++x) {
            size_t i = size_t(y) * W + x;
            float fa = cover[i], ga = std::min(1.0f, glow[i] * 0.9f) * 0.55f;
            float a = fa + ga * (1 - fa);
            unsigned char* p = &rgba[i * 4];
            if (a < 0.5f / 255.0f) {
                p[0] = p[1] = p[2] = p[3] = 0;
                continue;
            }
            float wg = ga * (1 - fa);
            p[0] = to_byte((fr * fa + gr * wg) / a);
            p[1] = to_byte((fg * fa + gg * wg) / a);
            p[2] = to_byte((fb * fa + gb * wg) / a);
            p[3] = to_byte(a);
        }
    }
    return rgba;
}

// Coverage of a rounded rectangle centred in the image, `inset` pixels in from its edges, with
// corners of `radius`: signed distance, antialiased over a pixel.
float rounded_box(int x, int y, float inset, float radius) {
    float hx = W * 0.5f - inset - radius, hy = H * 0.5f - inset - radius;
    float dx = std::max(std::fabs(x + 0.5f - W * 0.5f) - hx, 0.0f), dy = std::max(std::fabs(y + 0.5f - H * 0.5f) - hy, 0.0f);
    return std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
}

// The starter project's logo: the title in gold running to coral, with a soft warm glow, inside
// a thin gold frame on a plate of dark plum at 55% opacity. Straight alpha.
std::vector<unsigned char> starter_logo(const stbtt_fontinfo& font, bool& ok) {
    Plane cover(size_t(W) * H, 0.0f);
    int cap_top = 0, cap_bottom = 0;
    ok = draw_title(font, STARTER_TITLE, 0.72f, 96.0f, cover, cap_top, cap_bottom);
    Plane glow = blur(cover, 5);
    std::vector<unsigned char> rgba(size_t(W) * H * 4);
    for (int y = 0; y < H; ++y) {
        float t = std::clamp(float(y - cap_top) / float(std::max(1, cap_bottom - cap_top)), 0.0f, 1.0f);
        const float fr = 1.0f, fg = 0.86f - 0.3f * t, fb = 0.45f - 0.1f * t;
        for (int x = 0; x < W; ++x) {
            size_t i = size_t(y) * W + x;
            float plate = rounded_box(x, y, 20.0f, 28.0f);
            float frame = plate - rounded_box(x, y, 23.0f, 25.0f);
            // Layers from the bottom: plate, warm glow, frame line, lettering ("over" each time).
            float r = 0.16f, g = 0.05f, b = 0.2f, a = 0.55f * plate;
            auto over = [&](float lr, float lg, float lb, float la) {
                float na = la + a * (1 - la);
                if (na <= 0) return;
                r = (lr * la + r * a * (1 - la)) / na;
                g = (lg * la + g * a * (1 - la)) / na;
                b = (lb * la + b * a * (1 - la)) / na;
                a = na;
            };
            over(1.0f, 0.55f, 0.3f, std::min(1.0f, glow[i]) * 0.6f * plate);
            over(1.0f, 0.8f, 0.45f, frame * 0.9f);
            over(fr, fg, fb, cover[i]);
            unsigned char* p = &rgba[i * 4];
            if (a < 0.5f / 255.0f) {
                p[0] = p[1] = p[2] = p[3] = 0;
                continue;
            }
            p[0] = to_byte(r);
            p[1] = to_byte(g);
            p[2] = to_byte(b);
            p[3] = to_byte(a);
        }
    }
    return rgba;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("mklogo");
    CLI::App app{"Draws the show's " + std::to_string(W) + "x" + std::to_string(H) + " RGBA title image into OUT.png."};
    app.name("mklogo");
    std::string out;
    bool starter = false;
    app.add_option("OUT", out, "the PNG to write")->required();
    app.add_flag("--template", starter, "draw the starter project's logo (logo.png of a new project) instead");
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    tool::note_input(LOGO_FONT_PATH);
    std::string why = tool::check_output(out);
    if (!why.empty()) return tool::error(why);

    std::string font_bytes;
    stbtt_fontinfo font;
    if (!tool::read_file(LOGO_FONT_PATH, font_bytes, why)) return tool::error("cannot load the font: " + why);
    const unsigned char* ttf = reinterpret_cast<const unsigned char*>(font_bytes.data());
    if (!stbtt_InitFont(&font, ttf, stbtt_GetFontOffsetForIndex(ttf, 0)))
        return tool::error(std::string("cannot load font ") + LOGO_FONT_PATH);

    bool ok = false;
    std::vector<unsigned char> rgba = starter ? starter_logo(font, ok) : show_logo(font, ok);
    if (!ok) return tool::error("the font has no glyph for the title");
    std::string png;
    if (!stbi_write_png_to_func(append_bytes, &png, W, H, 4, rgba.data(), W * 4)) return tool::error("cannot encode the PNG");
    if (!tool::write_file(out, png, why)) return tool::error(why);
    return tool::finish(0);
}
