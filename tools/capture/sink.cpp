// The capture's output through the FFmpeg libraries: frames converted with libswscale and sound
// with libswresample, encoded with libavcodec and muxed with libavformat; or PNG files.
#include "sink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <sndfile.h>

#include "common/toolkit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

struct Encoder {
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    int64_t next_pts = 0;
};

struct Sink {
    SinkOptions o;
    bool done = false;  // finished or abandoned
    // Video file, written under a temporary name until complete.
    AVFormatContext* format = nullptr;
    tool::Output video_out;
    Encoder video, audio;
    SwsContext* scale = nullptr;
    SwrContext* resample = nullptr;
    AVPacket* packet = nullptr;
    std::vector<int16_t> pending;  // sound not yet a whole codec frame
    // PNG sequence.
    AVCodecContext* png = nullptr;
    AVFrame* rgb = nullptr;
    tool::OutputFolder frames;
    tool::Output wav_out;
    SNDFILE* wav = nullptr;
    int64_t png_count = 0;
};

static std::string av_error(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(code, text, sizeof text);
    return text;
}

static bool fail(std::string& error, const std::string& what, int code = 0) {
    error = code ? what + ": " + av_error(code) : what;
    return false;
}

// Sends `frame` (null: drain) and writes every packet the encoder has ready.
static bool encode(Sink& s, Encoder& e, AVFrame* frame, std::string& error) {
    int r = avcodec_send_frame(e.codec, frame);
    if (r < 0) return fail(error, std::string("cannot encode ") + e.codec->codec->name, r);
    for (;;) {
        r = avcodec_receive_packet(e.codec, s.packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return fail(error, std::string("cannot encode ") + e.codec->codec->name, r);
        // Every frame lasts one tick; without it the muxer guesses the last frame's length as
        // zero and the track's edit list ends before it.
        if (s.packet->duration == 0 && e.codec->codec_type == AVMEDIA_TYPE_VIDEO) s.packet->duration = 1;
        av_packet_rescale_ts(s.packet, e.codec->time_base, e.stream->time_base);
        s.packet->stream_index = e.stream->index;
        r = av_interleaved_write_frame(s.format, s.packet);
        if (r < 0) return fail(error, "cannot write " + s.o.out, r);
    }
}

// The container the file name asks for, when it can hold what the capture writes.
static const AVOutputFormat* container_for(const SinkOptions& o, std::string& error) {
    const AVOutputFormat* format = av_guess_format(nullptr, o.out.c_str(), nullptr);
    AVCodecID video = o.lossless ? AV_CODEC_ID_FFV1 : AV_CODEC_ID_H264, audio = o.lossless ? AV_CODEC_ID_FLAC : AV_CODEC_ID_AAC;
    const char* what = o.lossless ? "FFV1 video with FLAC sound (--lossless)" : "H.264 video with AAC sound";
    const char* use = o.lossless ? "use a .mkv name" : "use a .mp4 or .mkv name";
    if (!format) {
        fail(error, "--out " + o.out + ": no container is known by that name; " + use);
        return nullptr;
    }
    if (avformat_query_codec(format, video, FF_COMPLIANCE_NORMAL) != 1 || avformat_query_codec(format, audio, FF_COMPLIANCE_NORMAL) != 1) {
        fail(error, "--out " + o.out + ": " + format->long_name + " cannot hold " + what + "; " + use);
        return nullptr;
    }
    return format;
}

bool sink_check(const SinkOptions& o, std::string& error) {
    if (!o.png_dir.empty()) return true;
    return container_for(o, error) != nullptr;
}

static bool open_encoder(Sink& s, Encoder& e, const char* name, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) return fail(error, std::string("this FFmpeg has no ") + name + " encoder");
    e.codec = avcodec_alloc_context3(codec);
    e.stream = avformat_new_stream(s.format, nullptr);
    e.frame = av_frame_alloc();
    return e.codec && e.stream && e.frame ? true : fail(error, "out of memory");
}

static bool start_encoder(Sink& s, Encoder& e, AVDictionary** options, std::string& error) {
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(e.codec, e.codec->codec, options);
    av_dict_free(options);
    if (r < 0) return fail(error, std::string("cannot open the ") + e.codec->codec->name + " encoder", r);
    r = avcodec_parameters_from_context(e.stream->codecpar, e.codec);
    if (r < 0) return fail(error, "cannot set up the output streams", r);
    e.stream->time_base = e.codec->time_base;
    return true;
}

static bool open_video_file(Sink& s, std::string& error) {
    const SinkOptions& o = s.o;
    const AVOutputFormat* container = container_for(o, error);
    if (!container) return false;
    if (!s.video_out.open(o.out, error) || !s.video_out.close_stream()) return fail(error, error.empty() ? "cannot write " + o.out : error);
    int r = avformat_alloc_output_context2(&s.format, container, nullptr, s.video_out.temp().c_str());
    if (r < 0) return fail(error, "cannot set up the output", r);
    s.packet = av_packet_alloc();
    if (!s.packet) return fail(error, "out of memory");

    if (!open_encoder(s, s.video, o.lossless ? "ffv1" : "libx264", error)) return false;
    AVCodecContext* v = s.video.codec;
    v->width = o.width;
    v->height = o.height;
    v->time_base = AVRational{1, o.fps};
    v->framerate = AVRational{o.fps, 1};
    AVDictionary* vopt = nullptr;
    AVPixelFormat source = AV_PIX_FMT_BGRA;
    if (o.lossless) {
        v->pix_fmt = AV_PIX_FMT_0RGB32;  // the pixels as read, alpha dropped
        av_dict_set(&vopt, "level", "3", 0);
        av_dict_set(&vopt, "slices", "4", 0);
        av_dict_set(&vopt, "slicecrc", "1", 0);
        v->thread_count = 0;
    } else {
        // Full-range RGB to the limited-range BT.709 every HD player expects.
        v->pix_fmt = AV_PIX_FMT_YUV420P;
        v->color_range = AVCOL_RANGE_MPEG;
        v->colorspace = AVCOL_SPC_BT709;
        v->color_primaries = AVCOL_PRI_BT709;
        v->color_trc = AVCOL_TRC_BT709;
        av_dict_set(&vopt, "preset", "veryfast", 0);
        av_dict_set(&vopt, "crf", std::to_string(o.crf).c_str(), 0);
    }
    if (!start_encoder(s, s.video, &vopt, error)) return false;
    s.video.stream->avg_frame_rate = v->framerate;
    s.scale = sws_getContext(o.width, o.height, source, o.width, o.height, v->pix_fmt, SWS_BILINEAR | SWS_ACCURATE_RND,
                             nullptr, nullptr, nullptr);
    if (!s.scale) return fail(error, "cannot set up the pixel conversion");
    if (!o.lossless) {
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(s.scale, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
    s.video.frame->format = v->pix_fmt;
    s.video.frame->width = o.width;
    s.video.frame->height = o.height;
    if (av_frame_get_buffer(s.video.frame, 0) < 0) return fail(error, "out of memory");

    if (!open_encoder(s, s.audio, o.lossless ? "flac" : "aac", error)) return false;
    AVCodecContext* a = s.audio.codec;
    a->sample_rate = o.rate;
    a->time_base = AVRational{1, o.rate};
    a->sample_fmt = o.lossless ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&a->ch_layout, 2);
    if (!o.lossless) a->bit_rate = 256000;
    AVDictionary* aopt = nullptr;
    if (!start_encoder(s, s.audio, &aopt, error)) return false;
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    r = swr_alloc_set_opts2(&s.resample, &a->ch_layout, a->sample_fmt, o.rate, &stereo, AV_SAMPLE_FMT_S16, o.rate, 0, nullptr);
    if (r < 0 || swr_init(s.resample) < 0) return fail(error, "cannot set up the sound conversion", r);
    AVFrame* f = s.audio.frame;
    f->format = a->sample_fmt;
    f->sample_rate = o.rate;
    av_channel_layout_copy(&f->ch_layout, &a->ch_layout);
    f->nb_samples = a->frame_size > 0 ? a->frame_size : 1024;
    if (av_frame_get_buffer(f, 0) < 0) return fail(error, "out of memory");

    r = avio_open(&s.format->pb, s.video_out.temp().c_str(), AVIO_FLAG_WRITE);
    if (r < 0) return fail(error, "cannot write " + o.out, r);
    AVDictionary* mux = nullptr;
    if (std::strcmp(container->name, "mp4") == 0 || std::strcmp(container->name, "mov") == 0)
        av_dict_set(&mux, "movflags", "+faststart", 0);  // playable while it downloads
    r = avformat_write_header(s.format, &mux);
    av_dict_free(&mux);
    if (r < 0) return fail(error, "cannot write " + o.out, r);
    return true;
}

static bool open_png_dir(Sink& s, std::string& error) {
    const SinkOptions& o = s.o;
    if (!s.frames.open(o.png_dir, ".png", error)) return fail(error, "--png-dir: " + error);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    if (!codec) return fail(error, "this FFmpeg has no PNG encoder");
    s.png = avcodec_alloc_context3(codec);
    s.rgb = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.png || !s.rgb || !s.packet) return fail(error, "out of memory");
    s.png->width = o.width;
    s.png->height = o.height;
    s.png->pix_fmt = AV_PIX_FMT_RGB24;
    s.png->time_base = AVRational{1, o.fps};
    int r = avcodec_open2(s.png, codec, nullptr);
    if (r < 0) return fail(error, "cannot open the PNG encoder", r);
    s.rgb->format = AV_PIX_FMT_RGB24;
    s.rgb->width = o.width;
    s.rgb->height = o.height;
    if (av_frame_get_buffer(s.rgb, 0) < 0) return fail(error, "out of memory");
    s.scale = sws_getContext(o.width, o.height, AV_PIX_FMT_BGRA, o.width, o.height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                             nullptr, nullptr);
    if (!s.scale) return fail(error, "cannot set up the pixel conversion");
    SF_INFO info{};
    info.samplerate = o.rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    std::string wav = (fs::path(o.png_dir) / "audio.wav").string();
    if (!s.wav_out.open(wav, error) || !s.wav_out.close_stream()) return fail(error, error.empty() ? "cannot write " + wav : error);
    s.wav = sf_open(s.wav_out.temp().c_str(), SFM_WRITE, &info);
    if (!s.wav) return fail(error, "cannot write " + wav + ": " + sf_strerror(nullptr));
    return true;
}

SinkPtr sink_open(const SinkOptions& o, std::string& error) {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not the user's business
    SinkPtr s(new Sink);
    s->o = o;
    bool ok = o.png_dir.empty() ? open_video_file(*s, error) : open_png_dir(*s, error);
    if (!ok) return nullptr;  // the deleter removes what was made
    return s;
}

// Converts bottom-up BGRA into `to` (top row first) through the sink's scaler.
static void convert(Sink& s, const uint8_t* bgra, AVFrame* to) {
    int stride = 4 * s.o.width;
    const uint8_t* rows[1] = {bgra + (size_t)stride * (size_t)(s.o.height - 1)};
    const int strides[1] = {-stride};
    sws_scale(s.scale, rows, strides, 0, s.o.height, to->data, to->linesize);
}

bool sink_video(Sink& s, const uint8_t* bgra, std::string& error) {
    if (s.png) {
        convert(s, bgra, s.rgb);
        int r = avcodec_send_frame(s.png, s.rgb);
        if (r >= 0) r = avcodec_receive_packet(s.png, s.packet);
        if (r < 0) return fail(error, "cannot encode PNG", r);
        std::string name = s.frames.add(s.png_count++);
        tool::Output frame;
        bool ok = frame.open(name, error) &&
                  std::fwrite(s.packet->data, 1, (size_t)s.packet->size, frame.file()) == (size_t)s.packet->size;
        av_packet_unref(s.packet);
        if (!ok && error.empty()) error = "cannot write " + name + ": " + std::strerror(errno);
        return ok && frame.commit(error);
    }
    int r = av_frame_make_writable(s.video.frame);
    if (r < 0) return fail(error, "out of memory", r);
    convert(s, bgra, s.video.frame);
    s.video.frame->pts = s.video.next_pts++;
    return encode(s, s.video, s.video.frame, error);
}

// Encodes whole codec frames from the pending sound; with `last`, the remainder as a short frame.
static bool drain_audio(Sink& s, bool last, std::string& error) {
    AVFrame* f = s.audio.frame;
    int size = s.audio.codec->frame_size > 0 ? s.audio.codec->frame_size : 1024;
    size_t at = 0;
    while (s.pending.size() - at >= 2 * (size_t)size || (last && s.pending.size() > at)) {
        int n = (int)std::min<size_t>((size_t)size, (s.pending.size() - at) / 2);
        int r = av_frame_make_writable(f);
        if (r < 0) return fail(error, "out of memory", r);
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(s.pending.data() + at)};
        f->nb_samples = n;
        r = swr_convert(s.resample, f->data, n, in, n);
        if (r < 0) return fail(error, "cannot convert the sound", r);
        f->pts = s.audio.next_pts;
        s.audio.next_pts += n;
        if (!encode(s, s.audio, f, error)) return false;
        at += 2 * (size_t)n;
    }
    s.pending.erase(s.pending.begin(), s.pending.begin() + (long)at);
    return true;
}

bool sink_audio(Sink& s, const int16_t* samples, int frames, std::string& error) {
    if (s.wav) {
        if (sf_writef_short(s.wav, samples, frames) != frames)
            return fail(error, "cannot write " + s.o.png_dir + "/audio.wav: " + sf_strerror(s.wav));
        return true;
    }
    s.pending.insert(s.pending.end(), samples, samples + 2 * (size_t)frames);
    return drain_audio(s, false, error);
}

bool sink_finish(Sink& s, std::string& error) {
    if (s.png) {
        int r = sf_close(s.wav);
        s.wav = nullptr;
        if (r != 0) return fail(error, "cannot write " + s.o.png_dir + "/audio.wav");
        s.frames.add_named("audio.wav");
        if (!s.wav_out.commit(error)) return false;
        s.frames.keep();
        s.done = true;
        return true;
    }
    if (!drain_audio(s, true, error) || !encode(s, s.audio, nullptr, error) || !encode(s, s.video, nullptr, error))
        return false;
    int r = av_write_trailer(s.format);
    if (r < 0) return fail(error, "cannot write " + s.o.out, r);
    r = avio_closep(&s.format->pb);
    if (r < 0) return fail(error, "cannot write " + s.o.out, r);
    if (!s.video_out.commit(error)) return false;
    s.done = true;
    return true;
}

void sink_abort(Sink& s) {
    if (s.done) return;
    s.done = true;
    if (s.format && s.format->pb) avio_closep(&s.format->pb);
    s.video_out.abort();
    if (s.wav) sf_close(s.wav);
    s.wav = nullptr;
    s.wav_out.abort();
    s.frames.abort();
}

void sink_free(Sink* s) {
    if (!s) return;
    sink_abort(*s);
    for (Encoder* e : {&s->video, &s->audio}) {
        avcodec_free_context(&e->codec);
        av_frame_free(&e->frame);
    }
    avcodec_free_context(&s->png);
    av_frame_free(&s->rgb);
    av_packet_free(&s->packet);
    sws_freeContext(s->scale);
    swr_free(&s->resample);
    if (s->format) avformat_free_context(s->format);
    delete s;
}
