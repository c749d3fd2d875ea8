// Scene files: the reader the program builder calls twice per program, and the writer tools use.
#include "scene_file.h"

#include <stdio.h>
#include <stdlib.h>

#include "platform/file.h"

const unsigned char SCENE_FILE_KEY[SCENE_FILE_KEY_SIZE] = {
    'R', 'e', 's', 'o', 'l', 'v', 'i', 'n', 'g', ' ', 't', 'e', 'x', 't', 'u', 'r', 'e',
    ' ', 'u', 'n', 'i', 't', 's', ':', ' ', '%', 's', ' ', 'f', 'o', 'r', ' ', 'p', 'a',
    's', 's', ' ', 'n', 'u', 'm', 'b', 'e', 'r', ':', ' ', '%', 's', '.', '\n'};

int32_t scene_file_counter;

void scene_file_xor(unsigned char* bytes, size_t len) {
    for (size_t i = 0; i < len; ++i) bytes[i] ^= SCENE_FILE_KEY[i % SCENE_FILE_KEY_SIZE];
}

size_t scene_file_scramble(const char* text, size_t len, unsigned char final_byte, unsigned char* out) {
    for (size_t i = 0; i < len; ++i) out[i] = (unsigned char)text[i];
    out[len] = final_byte;
    scene_file_xor(out, len + 1);
    return len + 1;
}

char* read_scene_file(const char* label) {
    (void)label;
    char name[16];
    snprintf(name, sizeof name, "%d.ck", (int)scene_file_counter);
    // A directory, pipe, device or socket in its place counts as a file that cannot be opened.
    FILE* f = plat_open_regular(name);
    if (!f) return nullptr;

    // A length that cannot be found or is absurd counts as a file that cannot be read.
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0) length = ftell(f);
    if (length < 0 || length > SCENE_FILE_MAX_SIZE || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return nullptr;
    }
    char* text = (char*)malloc((size_t)length + 1);
    if (!text) {
        fclose(f);
        return nullptr;
    }
    size_t got = fread(text, 1, (size_t)length, f);
    fclose(f);

    // Only the bytes actually read are unscrambled, and a file that gave no byte is the empty
    // text rather than a write before the buffer.
    scene_file_xor((unsigned char*)text, got);
    ++scene_file_counter;
    text[got > 0 ? got - 1 : 0] = '\0';
    return text;
}
