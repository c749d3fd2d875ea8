// The logo decoder: stb_image's implementation built here, private to this file, with its size
// limit set and its allocations capped, and without the formats whose decoders can be made to
// run without end or to take far more than their file's worth of work.
#include "load/image.h"

#include <stdio.h>
#include <stdlib.h>

#include "platform/file.h"

static void* image_malloc(size_t n) { return n <= IMAGE_MAX_ALLOCATION ? malloc(n) : nullptr; }
static void* image_realloc(void* p, size_t n) { return n <= IMAGE_MAX_ALLOCATION ? realloc(p, n) : nullptr; }

#define STBI_MALLOC(n) image_malloc(n)
#define STBI_REALLOC(p, n) image_realloc(p, n)
#define STBI_FREE(p) free(p)
#define STBI_MAX_DIMENSIONS IMAGE_MAX_SIDE
#define STBI_NO_STDIO
#define STBI_NO_PIC
#define STBI_NO_PNM
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

unsigned char* image_decode_rgba(const unsigned char* bytes, size_t size, int* width, int* height) {
    if (!bytes || size == 0 || size > (size_t)IMAGE_MAX_FILE_BYTES) return nullptr;
    int channels = 0;
    return stbi_load_from_memory(bytes, (int)size, width, height, &channels, 4);
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
