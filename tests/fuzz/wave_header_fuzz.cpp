// Fuzzes the wave player's header check: whatever it takes must describe whole 16-bit stereo frames.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "platform/audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char header[44];
    memset(header, 0, sizeof header);
    memcpy(header, data, size < sizeof header ? size : sizeof header);
    uint32_t data_size = 1;
    if (wave_header_check(header, &data_size) && data_size % 4 != 0) abort();
    return 0;
}
