// Fuzzes the logo decoder with the bounds the show decodes with.
#include <stdint.h>
#include <stdlib.h>

#include "load/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = 0, height = 0;
    unsigned char* pixels = image_decode_rgba(data, size, &width, &height);
    if (pixels) {
        if (width < 1 || height < 1 || width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE) abort();
        // Touch the last pixel: the buffer must hold the whole image.
        volatile unsigned char last = pixels[(size_t)width * (size_t)height * 4 - 1];
        (void)last;
        image_free(pixels);
    }
    return 0;
}
