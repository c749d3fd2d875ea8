// The logo decoder: any image stb_image recognises by content, to 8-bit RGBA, with bounds on
// what one image may cost so that a hostile file cannot exhaust memory or time.
#pragma once
#include <stddef.h>

enum {
    IMAGE_MAX_SIDE = 16384,                // wider or taller images are refused
    IMAGE_MAX_FILE_BYTES = 64 << 20,       // larger files are not read
    // More pixels than this per byte of file cannot come from any format's compression: such a
    // file claims a size it has no data for, and decoding it would only cost time.
    IMAGE_MAX_PIXELS_PER_BYTE = 4096,
};
// No single allocation of the decoder may exceed this (an RGBA image of 8192x8192).
static const size_t IMAGE_MAX_ALLOCATION = (size_t)256 << 20;

// Decodes `size` bytes to RGBA, top row first; sets *width and *height. Returns pixels to release
// with image_free, or null when the bytes are not an image the decoder takes within its bounds.
unsigned char* image_decode_rgba(const unsigned char* bytes, size_t size, int* width, int* height);
// Reads the regular file at `path` (at most IMAGE_MAX_FILE_BYTES) and decodes it as above.
unsigned char* image_load_rgba(const char* path, int* width, int* height);
void image_free(unsigned char* pixels);
