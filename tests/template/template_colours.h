// What the starter project's frames look like on average: the mean colour (0..255 per channel,
// over the whole 1920x1080 frame as shown) of each scene in the middle of its slot, and of the
// last scene with the logo fully in. Each scene has its own hue or brightness, so that anyone
// watching, and the tests, can tell them apart. Measured on Mesa's llvmpipe.
#pragma once

struct MeanColour {
    const char* label;  // the scene's program, or "logo"
    double rgb[3];
};

const MeanColour TEMPLATE_COLOURS[] = {
    {"pt01", {174, 100, 60}},  // sunrise: orange
    {"pt02", {27, 51, 105}},   // rings: blue
    {"pt03", {89, 166, 87}},   // chequered plain: green
    {"pt04", {116, 25, 107}},  // trails: magenta
    {"pt05", {165, 143, 46}},  // plasma: gold
    {"pt06", {11, 15, 31}},    // night sky: dark navy
    {"pt07", {111, 17, 13}},   // sphere: red
    {"pt08", {59, 137, 142}},  // stripes: cyan
    {"pt09", {140, 126, 174}}, // haze: lavender
    {"logo", {65, 49, 103}},   // the haze dimmed under the logo's dark plate and gold title
};

// The label of the entry whose mean colour is nearest `rgb`.
inline const char* nearest_template_colour(const double rgb[3]) {
    const char* best = "";
    double best_d = 1e300;
    for (const MeanColour& c : TEMPLATE_COLOURS) {
        double d = 0;
        for (int k = 0; k < 3; ++k) d += (rgb[k] - c.rgb[k]) * (rgb[k] - c.rgb[k]);
        if (d < best_d) best_d = d, best = c.label;
    }
    return best;
}

// The mean colour of an RGB picture, `pixels` of 3 bytes each, sampled every 7th pixel.
inline void mean_colour(const unsigned char* rgb, size_t pixels, double out[3]) {
    double sum[3] = {0, 0, 0};
    size_t n = 0;
    for (size_t i = 0; i < pixels; i += 7, ++n)
        for (int k = 0; k < 3; ++k) sum[k] += rgb[3 * i + k];
    for (int k = 0; k < 3; ++k) out[k] = n ? sum[k] / n : 0;
}
