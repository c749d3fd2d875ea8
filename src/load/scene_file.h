// Scene files: shader source text kept in numbered files "%d.ck" in the current directory, each
// byte XORed with a fixed key by file position, with one extra byte at the end that is not text.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { SCENE_FILE_KEY_SIZE = 49 };

// Larger files are taken for something that is not a scene file (a directory reports the
// largest possible length) and are not read.
enum { SCENE_FILE_MAX_SIZE = 64 << 20 };

// "Resolving texture units: %s for pass number: %s." followed by a line feed; no terminating zero.
extern const unsigned char SCENE_FILE_KEY[SCENE_FILE_KEY_SIZE];
extern int32_t scene_file_counter;  // number of the next file to read; zero at load

// Reads and unscrambles the next numbered file. Returns a malloc'd, zero-terminated text without
// the file's final byte (release with free), and advances the counter; returns null and leaves
// the counter alone when the file cannot be opened or sized, is not a regular file, or is over SCENE_FILE_MAX_SIZE. `label` is for the reader only.
char* read_scene_file(const char* label);

// Scrambles `len` bytes of text into out[0 .. len], which must hold len + 1 bytes: the text
// XORed with the key, then `final_byte` (also XORed). Returns the file size, len + 1.
size_t scene_file_scramble(const char* text, size_t len, unsigned char final_byte, unsigned char* out);
// XORs `len` bytes in place with the key, as if they started at file offset 0 (its own inverse).
void scene_file_xor(unsigned char* bytes, size_t len);
