// Stream and module decoding at the output rate, with no device: libsndfile streams resampled by
// linear interpolation, libopenmpt modules rendered directly, and the 16-bit conversion of a mix.
#include "platform/audio_decode.h"
#include "platform/file.h"

#include <libopenmpt/libopenmpt.h>
#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

static const int64_t MODULE_MAX_BYTES = 64 << 20;  // bigger is no module worth loading into memory
// Frames before an Ogg Vorbis stream's last page from which a seek into that page decodes on: well
// clear of it for libsndfile's search, which looks half a long block (at most 4096 frames) earlier
// than it is asked to and loads the page after the one it finds.
static const int64_t VORBIS_SEEK_MARGIN = 8192;

// ---- sources ---------------------------------------------------------------------------------

static int source_open(AudioSource& s, int from_memory, const char* file, uint64_t offset, uint64_t length) {
    s = AudioSource{};
    s.file_at = -1;
    if (!file) return 0;
    if (from_memory) {
        if (length == 0 || length > (uint64_t)INT64_MAX) return 0;  // a memory block has no end to find
        s.memory = (const unsigned char*)file + offset;
        s.size = (int64_t)length;
        return 1;
    }
    FILE* f = plat_open_regular(file);
    if (!f) return 0;
    off_t end = -1;
    if (fseeko(f, 0, SEEK_END) == 0) end = ftello(f);
    if (end < 0 || offset > (uint64_t)end) {
        fclose(f);
        return 0;
    }
    uint64_t avail = (uint64_t)end - offset;
    s.file = f;
    s.base = (int64_t)offset;
    s.size = (int64_t)(length != 0 && length < avail ? length : avail);
    return 1;
}

static void source_close(AudioSource& s) {
    if (s.file) fclose((FILE*)s.file);
    s = AudioSource{};
}

static sf_count_t source_length(void* user) { return ((AudioSource*)user)->size; }

static sf_count_t source_seek(sf_count_t offset, int whence, void* user) {
    AudioSource* s = (AudioSource*)user;
    sf_count_t to = offset;
    if (whence == SEEK_CUR) to = s->pos + offset;
    else if (whence == SEEK_END) to = s->size + offset;
    if (to < 0) return -1;
    s->pos = to;
    return to;
}

static sf_count_t source_read(void* into, sf_count_t count, void* user) {
    AudioSource* s = (AudioSource*)user;
    if (count <= 0 || s->pos >= s->size) return 0;
    if (count > s->size - s->pos) count = s->size - s->pos;
    if (s->memory) {
        memcpy(into, s->memory + s->pos, (size_t)count);
    } else {
        FILE* f = (FILE*)s->file;
        int64_t at = s->base + s->pos;
        if (s->file_at != at && fseeko(f, (off_t)at, SEEK_SET) != 0) {
            s->file_at = -1;
            return 0;
        }
        count = (sf_count_t)fread(into, 1, (size_t)count, f);
        s->file_at = at + count;
    }
    s->pos += count;
    return count;
}

static sf_count_t source_write(const void*, sf_count_t, void*) { return 0; }

static sf_count_t source_tell(void* user) { return ((AudioSource*)user)->pos; }

static SF_VIRTUAL_IO source_io = {source_length, source_seek, source_read, source_write, source_tell};

// ---- streams ---------------------------------------------------------------------------------

// The file frame where the last page of the Ogg stream in `s` starts, as libsndfile counts frames
// (from the stream's first granule, `frames` in all), or -1 when there is no page before it. The
// pages are followed from the start by their headers alone; something that is no page ends the
// walk, as the end of the file does. `s` is left where it was.
static int64_t ogg_last_page_frame(AudioSource& s, int64_t frames) {
    unsigned char h[27 + 255];
    const int64_t was = s.pos;
    int64_t at = 0, before = -1, last = -1;
    uint32_t serial = 0;
    for (;;) {
        s.pos = at;
        if (source_read(h, 27, &s) != 27 || memcmp(h, "OggS", 4) != 0) break;
        int segments = h[26];
        if (source_read(h + 27, segments, &s) != segments) break;
        int64_t body = 0;
        for (int i = 0; i < segments; ++i) body += h[27 + i];
        uint32_t page_serial = (uint32_t)h[14] | (uint32_t)h[15] << 8 | (uint32_t)h[16] << 16 | (uint32_t)h[17] << 24;
        uint64_t granule = 0;
        for (int i = 7; i >= 0; --i) granule = granule << 8 | h[6 + i];
        if (at == 0) serial = page_serial;
        // A page on which no packet ends has no granule (all ones).
        if (page_serial == serial && granule != ~(uint64_t)0 && granule <= (uint64_t)INT64_MAX) {
            before = last;
            last = (int64_t)granule;
        }
        at += 27 + segments + body;
    }
    s.pos = was;
    if (before < 0) return -1;
    int64_t start = last - frames;  // the granule of the stream's first frame
    return before - start > 0 ? before - start : 0;
}

// The next file frame as a stereo pair: mono on both sides, extra channels dropped. 0 at the end.
static int stream_next_frame(AudioDecoder& d, float* frame) {
    if (d.used >= d.decoded) {
        if (d.file_done) return 0;
        sf_count_t got = sf_readf_float(d.sound, d.buffer, AUDIO_DECODE_FRAMES);
        if (got <= 0) {
            d.file_done = 1;
            return 0;
        }
        d.decoded = (int32_t)got;
        d.used = 0;
    }
    const float* f = d.buffer + (size_t)d.used * (size_t)d.file_channels;
    frame[0] = f[0];
    frame[1] = d.file_channels > 1 ? f[1] : f[0];
    ++d.used;
    return 1;
}

// Starts decoding at file frame `at`, `phase` of the way towards the frame after it.
static void stream_restart(AudioDecoder& d, sf_count_t at, double phase) {
    d.decoded = d.used = 0;
    // libsndfile 1.2.0 goes wrong in two Ogg seeks that do not come from the start: an Ogg Vorbis
    // stream is not searched for a frame less than two seconds ahead of where it has decoded to,
    // and the skip there miscounts what the decoder still holds; an Ogg Opus stream that has
    // decoded its last packet counts that packet's frames from the wrong end. Either way the sound
    // comes out shifted for good. From the start every seek lands.
    if (d.seek_via_start && at > 0) sf_seek(d.sound, 0, SEEK_SET);
    sf_count_t from = at > d.seek_preroll ? at - d.seek_preroll : 0;
    if (d.seek_tail >= 0 && from > d.seek_tail) from = d.seek_tail;
    d.file_done = sf_seek(d.sound, from, SEEK_SET) < 0;
    while (!d.file_done && from < at) {
        sf_count_t n = at - from < AUDIO_DECODE_FRAMES ? at - from : (sf_count_t)AUDIO_DECODE_FRAMES;
        sf_count_t got = sf_readf_float(d.sound, d.buffer, n);
        if (got <= 0) d.file_done = 1;
        from += got;
    }
    d.prev_valid = stream_next_frame(d, d.prev);
    if (!d.prev_valid) d.prev[0] = d.prev[1] = 0.0f;
    d.next_valid = stream_next_frame(d, d.next);
    if (!d.next_valid) d.next[0] = d.next[1] = 0.0f;
    d.phase = phase;
    d.at_end = !d.prev_valid;
}

// Linear interpolation between neighbouring file frames; at equal rates phase stays 0 and the
// file's samples pass through untouched.
static int stream_mix(AudioDecoder& d, float* mix, int frames) {
    for (int i = 0; i < frames; ++i) {
        if (!d.prev_valid) {
            d.at_end = 1;
            return i;
        }
        float t = (float)d.phase;
        mix[2 * i] += d.prev[0] + (d.next[0] - d.prev[0]) * t;
        mix[2 * i + 1] += d.prev[1] + (d.next[1] - d.prev[1]) * t;
        d.phase += d.step;
        while (d.phase >= 1.0 && d.prev_valid) {
            d.phase -= 1.0;
            d.prev[0] = d.next[0];
            d.prev[1] = d.next[1];
            d.prev_valid = d.next_valid;
            d.next_valid = d.next_valid && stream_next_frame(d, d.next);
            if (!d.next_valid) d.next[0] = d.next[1] = 0.0f;
        }
    }
    return frames;
}

int decoder_open_stream(AudioDecoder* d, int from_memory, const char* file, uint64_t offset, uint64_t length) {
    *d = AudioDecoder{};
    if (!source_open(d->source, from_memory, file, offset, length)) return 0;
    SF_INFO info;
    memset(&info, 0, sizeof info);
    SNDFILE* sound = sf_open_virtual(&source_io, SFM_READ, &info, &d->source);
    if (!sound || info.channels < 1 || info.channels > AUDIO_FILE_CHANNELS || info.samplerate <= 0) {
        if (sound) sf_close(sound);
        source_close(d->source);
        return 0;
    }
    d->sound = sound;
    d->file_channels = info.channels;
    d->file_rate = info.samplerate;
    d->file_frames = info.frames;
    d->step = (double)info.samplerate / AUDIO_RATE;
    int codec = info.format & SF_FORMAT_SUBMASK;
    d->seek_via_start = codec == SF_FORMAT_VORBIS || codec == SF_FORMAT_OPUS;
    // libsndfile 1.2.0 may search an Ogg Vorbis stream into its last page, whose first frame it
    // then takes for an earlier one (the page's granule counts only to the end of the sound, not
    // to the end of its last block): a seek there starts from before that page and decodes on.
    d->seek_tail = -1;
    if (codec == SF_FORMAT_VORBIS) {
        int64_t last_page = ogg_last_page_frame(d->source, info.frames);
        if (last_page >= 0) d->seek_tail = last_page > VORBIS_SEEK_MARGIN ? last_page - VORBIS_SEEK_MARGIN : 0;
    }
    // An MP3 frame may take its data from up to 511 bytes of the frames before it, which mpg123
    // does not go back for after a seek: at a low bit rate the first frames come out silent.
    // Decoding starts ten frames of 1152 early, which covers the furthest reach.
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) d->seek_preroll = 10 * 1152;
    d->kind = AUDIO_DECODER_STREAM;
    stream_restart(*d, 0, 0.0);
    return 1;
}

double decoder_length_seconds(const AudioDecoder* d) {
    if (d->kind == AUDIO_DECODER_STREAM) return (double)d->file_frames / d->file_rate;
    if (d->kind == AUDIO_DECODER_MODULE) return openmpt_module_get_duration_seconds(d->module);
    return 0;
}

// ---- modules ---------------------------------------------------------------------------------

int decoder_open_module(AudioDecoder* d, int from_memory, const char* file, uint64_t offset, uint64_t length, uint32_t flags) {
    *d = AudioDecoder{};
    AudioSource source;
    if (!source_open(source, from_memory, file, offset, length)) return 0;
    openmpt_module* module = nullptr;
    if (source.size > 0 && source.size <= MODULE_MAX_BYTES) {
        // libopenmpt wants the whole module at once; it keeps its own copy, so ours goes straight back.
        void* bytes = malloc((size_t)source.size);
        if (bytes && source_read(bytes, source.size, &source) == source.size)
            module = openmpt_module_create_from_memory2(bytes, (size_t)source.size, openmpt_log_func_silent, nullptr,
                                                        openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
        free(bytes);
    }
    source_close(source);
    if (!module) return 0;
    openmpt_module_set_repeat_count(module, (flags & AUDIO_MUSIC_LOOP) ? -1 : 0);
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);  // linear
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    (flags & AUDIO_MUSIC_RAMP) ? -1 : 0);  // -1: libopenmpt's usual ramp
    d->module = module;
    d->kind = AUDIO_DECODER_MODULE;
    return 1;
}

static int module_mix(AudioDecoder& d, float* mix, int frames) {
    int done = 0;
    while (done < frames) {
        int n = frames - done < AUDIO_MODULE_FRAMES ? frames - done : AUDIO_MODULE_FRAMES;
        size_t got = openmpt_module_read_interleaved_float_stereo(d.module, AUDIO_RATE, (size_t)n, d.module_buffer);
        if (mix)
            for (size_t i = 0; i < got * 2; ++i) mix[2 * done + i] += d.module_buffer[i];
        done += (int)got;
        if (got < (size_t)n) {
            d.at_end = 1;
            break;
        }
    }
    return done;
}

// ---- both ------------------------------------------------------------------------------------

void decoder_close(AudioDecoder* d) {
    if (d->sound) sf_close(d->sound);
    source_close(d->source);
    if (d->module) openmpt_module_destroy(d->module);
    *d = AudioDecoder{};
}

int decoder_seek(AudioDecoder* d, int64_t frame) {
    if (frame < 0) frame = 0;
    if (d->kind == AUDIO_DECODER_STREAM) {
        double at = (double)frame * d->step;
        double whole = floor(at);
        stream_restart(*d, (sf_count_t)whole, at - whole);
        return 1;
    }
    if (d->kind == AUDIO_DECODER_MODULE) {
        // libopenmpt's own seek lands on a row; rendering from the start lands on the sample.
        openmpt_module_set_position_seconds(d->module, 0.0);
        d->at_end = 0;
        while (frame > 0 && !d->at_end) {
            int n = frame < AUDIO_MODULE_FRAMES ? (int)frame : AUDIO_MODULE_FRAMES;
            frame -= module_mix(*d, nullptr, n);
        }
        return 1;
    }
    return 0;
}

int decoder_seek_near(AudioDecoder* d, int64_t frame) {
    if (d->kind != AUDIO_DECODER_MODULE) return decoder_seek(d, frame);
    if (frame < 0) frame = 0;
    double seconds = (double)frame / AUDIO_RATE;
    // A looping song is found again within its one pass, as playing on through the loop would.
    double song = openmpt_module_get_duration_seconds(d->module);
    if (openmpt_module_get_repeat_count(d->module) != 0 && song > 0) seconds = fmod(seconds, song);
    d->at_end = 0;
    // libopenmpt lands on the next row at or after the time asked: ask earlier and earlier until
    // the row is at or before it.
    double row = seconds;
    for (double back = 0.25;; back *= 2) {
        double ask = seconds - back < 0 ? 0 : seconds - back;
        row = openmpt_module_set_position_seconds(d->module, ask);
        if (row <= seconds || ask == 0) break;
    }
    int64_t left = (int64_t)llround((seconds - row) * AUDIO_RATE);
    if (row > seconds || left < 0) return decoder_seek(d, frame);
    while (left > 0 && !d->at_end) {
        int n = left < AUDIO_MODULE_FRAMES ? (int)left : AUDIO_MODULE_FRAMES;
        left -= module_mix(*d, nullptr, n);
    }
    return 1;
}

int decoder_mix(AudioDecoder* d, float* mix, int frames) {
    if (d->at_end || frames <= 0) return 0;
    if (d->kind == AUDIO_DECODER_STREAM) return stream_mix(*d, mix, frames);
    if (d->kind == AUDIO_DECODER_MODULE) return module_mix(*d, mix, frames);
    return 0;
}

void audio_mix_to_s16(const float* mix, int16_t* out, int samples) {
    for (int i = 0; i < samples; ++i) {
        float v = mix[i] * 32768.0f;
        v = v < -32768.0f ? -32768.0f : v > 32767.0f ? 32767.0f : v;
        out[i] = (int16_t)(v < 0 ? v - 0.5f : v + 0.5f);
    }
}
