// The logo decoder: stb_image's implementation built here, private to this file, with its size
// limit set and its allocations capped, and without the formats whose decoders can be made to
// run without end or to take far more than their file's worth of work, and without PSD, whose
// matte removal turns a crafted pixel into an out-of-range float-to-byte conversion. Where a kept
// decoder can be made to overrun, spin or drag the same way, a walk over the file ahead of it
// refuses the file.
#include "load/image.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file.h"

// Zeroed: the JPEG decoder's state is one allocation, and a scan may name a Huffman table no
// segment defined; zeroed, such a table matches no code and the decode fails, where left as it
// came from malloc it would index the symbol list with garbage.
static void* image_malloc(size_t n) { return n <= IMAGE_MAX_ALLOCATION ? calloc(1, n) : nullptr; }
static void* image_realloc(void* p, size_t n) { return n <= IMAGE_MAX_ALLOCATION ? realloc(p, n) : nullptr; }

#define STBI_MALLOC(n) image_malloc(n)
#define STBI_REALLOC(p, n) image_realloc(p, n)
#define STBI_FREE(p) free(p)
#define STBI_MAX_DIMENSIONS IMAGE_MAX_SIDE
#define STBI_NO_STDIO
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STBI_NO_PSD
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

// JPEG Huffman tables whose code counts add up to more than 256 symbols overrun the decoder's
// size list in this stb_image release (later ones refuse them): such files are refused here. The
// walk follows the decoder's reading: a table may run past its segment's stated length, and
// bytes past the end of the file read as 0.
static int jpeg_tables_fit(const unsigned char* b, size_t n) {
    // The decoder takes any run of 0xFF fill bytes before the start marker, as before any marker.
    size_t i = 0;
    while (i < n && b[i] == 0xFF) ++i;
    if (i == 0 || i >= n || b[i] != 0xD8) return 1;
    ++i;
    while (i + 4 <= n) {
        if (b[i] != 0xFF) {  // entropy-coded data between markers
            ++i;
            continue;
        }
        unsigned m = b[i + 1];
        if (m == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {  // no length follows
            i += 2;
            continue;
        }
        if (m == 0xD9) break;
        long left = (long)(b[i + 2] << 8 | b[i + 3]) - 2;
        if (m != 0xC4) {
            i += 4 + (left > 0 ? (size_t)left : 0);
            continue;
        }
        size_t p = i + 4;
        while (left > 0 && p < n) {
            size_t symbols = 0;
            for (size_t k = p + 1; k <= p + 16 && k < n; ++k) symbols += b[k];
            if (symbols > 256) return 0;
            p += 17 + symbols;
            left -= 17 + (long)symbols;
        }
        i = p;
    }
    return 1;
}

// One Radiance header line as the decoder reads it: up to the newline, at most HDR_LINE - 1
// bytes kept (the rest of a longer line skipped), and the file's last byte never kept. Returns
// where the next line starts.
enum { HDR_LINE = 1024 };
static size_t hdr_line(const unsigned char* b, size_t n, size_t i, char* line) {
    int len = 0;
    char c = i < n ? (char)b[i++] : 0;
    while (i < n && c != '\n') {
        line[len++] = c;
        if (len == HDR_LINE - 1) {
            while (i < n && b[i++] != '\n') {
            }
            break;
        }
        c = i < n ? (char)b[i++] : 0;
    }
    line[len] = 0;
    return i;
}

// A run count of zero in a Radiance run-length scanline (and every count past the end of the
// file reads as zero) leaves this stb_image release's decoder where it was, reading the same
// count forever: such a file is corrupt and refused here. The walk follows the decoder's reading
// up to the first scanline the decoder would refuse or read some other way.
static int hdr_runs_advance(const unsigned char* b, size_t n) {
    static const char radiance[] = "#?RADIANCE\n", rgbe[] = "#?RGBE\n";
    if ((n < sizeof radiance - 1 || memcmp(b, radiance, sizeof radiance - 1) != 0) &&
        (n < sizeof rgbe - 1 || memcmp(b, rgbe, sizeof rgbe - 1) != 0))
        return 1;
    char line[HDR_LINE];
    size_t i = hdr_line(b, n, 0, line);
    do i = hdr_line(b, n, i, line);
    while (line[0] != 0);
    i = hdr_line(b, n, i, line);
    if (strncmp(line, "-Y ", 3) != 0) return 1;
    char* at = line + 3;
    long height = strtol(at, &at, 10);
    while (*at == ' ') ++at;
    if (strncmp(at, "+X ", 3) != 0) return 1;
    long width = strtol(at + 3, nullptr, 10);
    // Narrower or wider images are read as flat pixels, a bounded loop.
    if (width < 8 || width >= 32768 || width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) return 1;
    auto next = [&]() -> unsigned { return i < n ? b[i++] : 0u; };
    for (long row = 0; row < height; ++row) {
        unsigned c1 = next(), c2 = next(), len = next();
        if (c1 != 2 || c2 != 2 || (len & 0x80)) return 1;  // not run-length: read as flat pixels
        len = len << 8 | next();
        if ((long)len != width) return 1;  // refused by the decoder
        for (int channel = 0; channel < 4; ++channel) {
            for (long x = 0; x < width;) {
                unsigned count = next();
                if (count == 0) return 0;
                if (count > 128) {
                    count -= 128;
                    next();
                } else {
                    i = count < n - i ? i + count : n;
                }
                if ((long)count > width - x) return 1;  // refused by the decoder
                x += count;
            }
        }
    }
    return 1;
}

// A GIF's codes can each name the one before plus a pixel, so that decoding the k-th walks k
// table entries: this stb_image release walks them all even past the end of its frame, and a
// megabyte of such codes costs seconds. A frame's codes never stand for more pixels than the
// frame holds (a table's worth of slack aside); a file whose first frame's do is refused here.
// The walk follows the decoder's reading of the header, the extensions and the codes.
static int gif_codes_fit(const unsigned char* b, size_t n) {
    if (n < 6 || memcmp(b, "GIF8", 4) != 0 || (b[4] != '7' && b[4] != '9') || b[5] != 'a') return 1;
    size_t i = 10;
    auto next = [&]() -> unsigned { return i < n ? b[i++] : 0u; };
    unsigned flags = next();
    i += 2;
    if (flags & 0x80) i += 3u * (2u << (flags & 7));
    for (;;) {
        unsigned tag = next();
        if (tag == 0x21) {
            unsigned len = next();  // the extension's kind, then its blocks
            if (len == 0xF9) {
                len = next();
                if (len != 4) {
                    i += len;
                    continue;
                }
                i += 4;
            }
            while ((len = next()) != 0) i += len;
            continue;
        }
        if (tag != 0x2C) return 1;  // no image: refused by the decoder
        break;
    }
    i += 4;
    unsigned long long w = next(), h = 0;
    w |= next() << 8;
    h = next();
    h |= next() << 8;
    unsigned local = next();
    if (local & 0x80) i += 3u * (2u << (local & 7));
    unsigned lzw = next();
    if (lzw > 12) return 1;
    static uint32_t length[8192];  // pixels each code stands for
    const unsigned clear = 1u << lzw;
    for (unsigned k = 0; k < clear; ++k) length[k] = 1;
    unsigned size = lzw + 1, mask = (1u << size) - 1, avail = clear + 2, bits = 0, valid = 0, block = 0;
    int old = -1, first = 1;
    unsigned long long pixels = 0, most = w * h + 4096;
    for (;;) {
        if (valid < size) {
            if (block == 0 && (block = next()) == 0) return 1;
            --block;
            bits |= next() << valid;
            valid += 8;
            continue;
        }
        unsigned code = bits & mask;
        bits >>= size;
        valid -= size;
        if (code == clear) {
            size = lzw + 1;
            mask = (1u << size) - 1;
            avail = clear + 2;
            old = -1;
            first = 0;
            continue;
        }
        if (code == clear + 1 || code > avail || first) return 1;
        if (old >= 0) {
            if (avail >= 8192) return 1;
            length[avail++] = length[old] + 1;
        } else if (code == avail) {
            return 1;
        }
        pixels += length[code];
        if (pixels > most) return 0;
        if ((avail & mask) == 0 && avail <= 0x0FFF) mask = (1u << ++size) - 1;
        old = (int)code;
    }
}

unsigned char* image_decode_rgba(const unsigned char* bytes, size_t size, int* width, int* height) {
    if (!bytes || size == 0 || size > (size_t)IMAGE_MAX_FILE_BYTES) return nullptr;
    if (!jpeg_tables_fit(bytes, size) || !hdr_runs_advance(bytes, size) || !gif_codes_fit(bytes, size)) return nullptr;
    int info_w = 0, info_h = 0, info_channels = 0;
    if (stbi_info_from_memory(bytes, (int)size, &info_w, &info_h, &info_channels) &&
        (unsigned long long)info_w * (unsigned long long)info_h > (unsigned long long)size * IMAGE_MAX_PIXELS_PER_BYTE)
        return nullptr;
    int channels = 0, w = 0, h = 0;
    unsigned char* pixels = stbi_load_from_memory(bytes, (int)size, &w, &h, &channels, 4);
    // A decoder can report success for an image with no pixels (a Radiance header of width 0).
    if (pixels && (w < 1 || h < 1)) {
        stbi_image_free(pixels);
        pixels = nullptr;
    }
    *width = w;
    *height = h;
    return pixels;
}

unsigned char* image_load_rgba(const char* path, int* width, int* height) {
    FILE* f = plat_open_regular(path);
    if (!f) return nullptr;
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0) length = ftell(f);
    if (length <= 0 || length > IMAGE_MAX_FILE_BYTES || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return nullptr;
    }
    unsigned char* bytes = (unsigned char*)malloc((size_t)length);
    size_t got = bytes ? fread(bytes, 1, (size_t)length, f) : 0;
    fclose(f);
    unsigned char* pixels = got > 0 ? image_decode_rgba(bytes, got, width, height) : nullptr;
    free(bytes);
    return pixels;
}

void image_free(unsigned char* pixels) { stbi_image_free(pixels); }
