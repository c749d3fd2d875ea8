// Ogg Vorbis through libsndfile into memory. libsndfile numbers each stream it writes from a clock
// seeded generator; the pages are renumbered afterwards, which only changes their serial field and
// checksum.
#include "common/ogg_vorbis.h"

#include <sndfile.h>

#include <cstring>

namespace sound {
namespace {

// A growing file in memory for libsndfile's virtual I/O.
struct Memory {
    std::string bytes;
    sf_count_t pos = 0;
};

sf_count_t memory_length(void* user) { return (sf_count_t)static_cast<Memory*>(user)->bytes.size(); }

sf_count_t memory_seek(sf_count_t offset, int whence, void* user) {
    Memory* m = static_cast<Memory*>(user);
    sf_count_t to = whence == SEEK_CUR ? m->pos + offset : whence == SEEK_END ? (sf_count_t)m->bytes.size() + offset : offset;
    if (to < 0) return -1;
    m->pos = to;
    return to;
}

sf_count_t memory_read(void* into, sf_count_t count, void* user) {
    Memory* m = static_cast<Memory*>(user);
    sf_count_t left = (sf_count_t)m->bytes.size() - m->pos;
    if (count > left) count = left;
    if (count <= 0) return 0;
    std::memcpy(into, m->bytes.data() + m->pos, (size_t)count);
    m->pos += count;
    return count;
}

sf_count_t memory_write(const void* from, sf_count_t count, void* user) {
    Memory* m = static_cast<Memory*>(user);
    if (count <= 0) return 0;
    size_t end = (size_t)m->pos + (size_t)count;
    if (end > m->bytes.size()) m->bytes.resize(end);
    std::memcpy(&m->bytes[(size_t)m->pos], from, (size_t)count);
    m->pos += count;
    return count;
}

sf_count_t memory_tell(void* user) { return static_cast<Memory*>(user)->pos; }

void put_u32le(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(uint8_t(v >> (8 * i)));
}

}  // namespace

uint32_t ogg_crc(const unsigned char* bytes, size_t size) {
    static uint32_t table[256];
    if (table[1] == 0)
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            table[i] = r;
        }
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ bytes[i]) & 0xff];
    return crc;
}

bool ogg_set_serial(std::string& ogg, uint32_t serial) {
    // A page: "OggS", version, flags, granule (8), serial (4), sequence (4), checksum (4), the
    // number of segments, their lengths, then the body.
    std::string out = ogg;
    size_t at = 0;
    while (at < out.size()) {
        if (out.size() - at < 27 || out.compare(at, 4, "OggS") != 0) return false;
        size_t segments = uint8_t(out[at + 26]), header = 27 + segments;
        if (out.size() - at < header) return false;
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i) body += uint8_t(out[at + 27 + i]);
        if (out.size() - at - header < body) return false;
        put_u32le(out, at + 14, serial);
        put_u32le(out, at + 22, 0);
        put_u32le(out, at + 22, ogg_crc(reinterpret_cast<const unsigned char*>(out.data() + at), header + body));
        at += header + body;
    }
    if (at == 0) return false;
    ogg.swap(out);
    return true;
}

std::string ogg_vorbis_bytes(const int16_t* samples, size_t frames, int channels, int rate, double quality,
                             uint32_t serial, std::string& why) {
    SF_VIRTUAL_IO io = {memory_length, memory_seek, memory_read, memory_write, memory_tell};
    Memory memory;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
    if (!file) {
        why = std::string("cannot encode Ogg Vorbis: ") + sf_strerror(nullptr);
        return "";
    }
    bool ok = sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality) == SF_TRUE;
    // In pieces: libsndfile hands the encoder at most what it is given at once.
    const size_t chunk = 65536;
    for (size_t at = 0; ok && at < frames; at += chunk) {
        sf_count_t n = (sf_count_t)(frames - at < chunk ? frames - at : chunk);
        ok = sf_writef_short(file, samples + at * (size_t)channels, n) == n;
    }
    if (!ok) why = std::string("cannot encode Ogg Vorbis: ") + sf_strerror(file);
    if (sf_close(file) != 0 && ok) {
        ok = false;
        why = "cannot encode Ogg Vorbis: the encoder failed at the end";
    }
    if (ok && !ogg_set_serial(memory.bytes, serial)) {
        ok = false;
        why = "cannot encode Ogg Vorbis: the encoder wrote no Ogg pages";
    }
    return ok ? memory.bytes : std::string();
}

}  // namespace sound
