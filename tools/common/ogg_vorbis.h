// Ogg Vorbis encoding of 16-bit sound for the tools that write compressed music: libsndfile's
// encoder into memory, then every page renumbered to one fixed stream serial, so that the same
// samples give the same bytes on every run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace sound {

// Encodes `frames` interleaved frames of `channels` 16-bit channels at `rate` Hz as an Ogg Vorbis
// file at Vorbis quality `quality` (0 smallest, about 64 kbit/s for stereo, to 1 best), its one
// logical stream numbered `serial`. Returns the file's bytes, or "" with `why` set to one line.
std::string ogg_vorbis_bytes(const int16_t* samples, size_t frames, int channels, int rate, double quality,
                             uint32_t serial, std::string& why);

// Gives every page of the Ogg file `ogg` the stream serial `serial` and its checksum to match.
// Returns false, leaving `ogg` as it was, unless it is whole Ogg pages from start to end.
bool ogg_set_serial(std::string& ogg, uint32_t serial);

// The Ogg page checksum (CRC-32, polynomial 0x04c11db7, unreflected, from 0) of `size` bytes.
uint32_t ogg_crc(const unsigned char* bytes, size_t size);

}  // namespace sound
