// Fuzzes the scene-file reader as the program builder calls it: the input is scene file 0.
#include <stdint.h>
#include <stdlib.h>
#include <stdio.h>
#include <unistd.h>

#include "load/scene_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/oruvane-fuzz-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen("0.ck", "wb");
    if (!f) abort();
    fwrite(data, 1, size, f);
    fclose(f);
    scene_file_counter = 0;
    char* text = read_scene_file("fuzz");
    if (!text || scene_file_counter != 1) abort();  // a regular file is always read
    free(text);
    return 0;
}
