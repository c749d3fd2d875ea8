// mkicon: the desktop icon, made from the show's own title image (bitmap.png, drawn by mklogo):
// the title scaled to the icon's width and laid on a dark rounded tile, as it shows over the
// black screen at the end of the show.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/toolkit.h"
#include "load/image.h"

#include <stb_image_write.h>

namespace {

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), (size_t)size);
}

// Coverage of the tile at pixel (x, y): a square with rounded corners of radius r, antialiased
// over one pixel.
float tile_cover(int x, int y, int size, float r) {
    float px = x + 0.5f, py = y + 0.5f;
    float cx = std::clamp(px, r, size - r), cy = std::clamp(py, r, size - r);
    float d = std::hypot(px - cx, py - cy);
    return std::clamp(r - d + 0.5f, 0.0f, 1.0f);
}

// The logo's premultiplied colour and alpha averaged over the source rectangle that icon pixel
// (x, y) covers, for a logo scaled by `scale` and placed at (ox, oy). Zero outside the logo.
void logo_sample(const unsigned char* logo, int w, int h, float scale, float ox, float oy, int x, int y, float out[4]) {
    float sx0 = (x - ox) / scale, sx1 = (x + 1 - ox) / scale;
    float sy0 = (y - oy) / scale, sy1 = (y + 1 - oy) / scale;
    out[0] = out[1] = out[2] = out[3] = 0;
    float area = 0;
    for (int sy = std::max(0, (int)std::floor(sy0)); sy < std::min(h, (int)std::ceil(sy1)); ++sy) {
        float fy = std::min(sy1, sy + 1.0f) - std::max(sy0, (float)sy);
        for (int sx = std::max(0, (int)std::floor(sx0)); sx < std::min(w, (int)std::ceil(sx1)); ++sx) {
            float f = fy * (std::min(sx1, sx + 1.0f) - std::max(sx0, (float)sx));
            const unsigned char* p = logo + ((size_t)sy * w + sx) * 4;
            float a = p[3] / 255.0f;
            for (int c = 0; c < 3; ++c) out[c] += f * a * p[c] / 255.0f;
            out[3] += f * a;
            area += f;
        }
    }
    float full = (sx1 - sx0) * (sy1 - sy0);
    if (area > 0)
        for (int c = 0; c < 4; ++c) out[c] /= full;
}

}  // namespace

int main(int argc, char** argv) {
    tool::init("mkicon");
    CLI::App app{"Makes the desktop icon, a SIZE x SIZE RGBA PNG, from the show's title image LOGO."};
    app.name("mkicon");
    std::string logo_path, out;
    int size = 256;
    app.add_option("LOGO", logo_path, "the title image (bitmap.png)")->required();
    app.add_option("OUT", out, "the PNG to write")->required();
    app.add_option("--size", size, "the icon's side in pixels")->check(CLI::Range(16, 1024));
    int status = tool::parse(app, argc, argv);
    if (status >= 0) return status;
    tool::note_input(logo_path);
    std::string why = tool::check_output(out);
    if (!why.empty()) return tool::error(why);

    int w = 0, h = 0;
    unsigned char* logo = image_load_rgba(logo_path.c_str(), &w, &h);
    if (!logo) return tool::error("cannot read the title image " + logo_path);

    // The title spans the tile less a margin, centred; the tile runs from a deep blue-grey at the
    // top to black, so the pale lettering and its glow stay visible on light and dark desktops.
    const float margin = size * 0.06f;
    const float scale = (size - 2 * margin) / (float)w;
    const float ox = margin, oy = (size - h * scale) * 0.5f;
    std::vector<unsigned char> rgba((size_t)size * size * 4);
    for (int y = 0; y < size; ++y) {
        float t = (float)y / (size - 1);
        float bg[3] = {0.10f * (1 - t), 0.12f * (1 - t), 0.18f * (1 - t)};
        for (int x = 0; x < size; ++x) {
            float tile = tile_cover(x, y, size, size * 0.18f);
            float s[4];
            logo_sample(logo, w, h, scale, ox, oy, x, y, s);
            unsigned char* p = &rgba[((size_t)y * size + x) * 4];
            for (int c = 0; c < 3; ++c) {
                float v = s[c] + bg[c] * (1 - s[3]);  // the title over the tile, premultiplied
                p[c] = (unsigned char)std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f);
            }
            p[3] = (unsigned char)std::lround(tile * 255.0f);
        }
    }
    image_free(logo);

    std::string png;
    if (!stbi_write_png_to_func(append_bytes, &png, size, size, 4, rgba.data(), size * 4))
        return tool::error("cannot encode the icon");
    if (!tool::write_file(out, png, why)) return tool::error(why);
    return tool::finish(0);
}
