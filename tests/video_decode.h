// Decoding a video file back with the FFmpeg libraries, for the tests of what the tools record:
// every frame as RGB (its middle pixel and a digest kept) and all the sound at 44100 Hz.
#pragma once
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Decoded {
    int frames = 0, width = 0, height = 0;
    std::vector<std::vector<int>> centre;  // RGB of the middle pixel, per frame
    std::vector<uint64_t> hash;            // of each whole RGB frame
    std::vector<float> sound;              // interleaved stereo at 44100 Hz
    double seconds() const { return (double)sound.size() / 2 / 44100; }
};

inline uint64_t fnv(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Decodes every frame (as RGB24, top row first, handed to `each` too) and all the sound of `path`.
inline Decoded decode(const std::string& path, const std::function<void(int, const uint8_t*)>& each = {}) {
    Decoded d;
    AVFormatContext* format = nullptr;
    EXPECT_EQ(avformat_open_input(&format, path.c_str(), nullptr, nullptr), 0) << path;
    if (!format) return d;
    avformat_find_stream_info(format, nullptr);
    std::vector<AVCodecContext*> codecs(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodec* c = avcodec_find_decoder(format->streams[i]->codecpar->codec_id);
        codecs[i] = avcodec_alloc_context3(c);
        avcodec_parameters_to_context(codecs[i], format->streams[i]->codecpar);
        avcodec_open2(codecs[i], c, nullptr);
    }
    SwsContext* scale = nullptr;
    SwrContext* resample = nullptr;
    std::vector<uint8_t> rgb;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto take = [&](AVCodecContext* c) {
        while (avcodec_receive_frame(c, frame) == 0) {
            if (c->codec_type == AVMEDIA_TYPE_VIDEO) {
                d.width = frame->width;
                d.height = frame->height;
                if (!scale) {
                    scale = sws_getContext(frame->width, frame->height, (AVPixelFormat)frame->format, frame->width,
                                           frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
                    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
                    sws_setColorspaceDetails(scale, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
                    rgb.resize((size_t)frame->width * frame->height * 3);
                }
                uint8_t* planes[1] = {rgb.data()};
                int strides[1] = {frame->width * 3};
                sws_scale(scale, frame->data, frame->linesize, 0, frame->height, planes, strides);
                const uint8_t* m = &rgb[((size_t)(frame->height / 2) * frame->width + frame->width / 2) * 3];
                d.centre.push_back({m[0], m[1], m[2]});
                d.hash.push_back(fnv(rgb.data(), rgb.size()));
                if (each) each(d.frames, rgb.data());
                ++d.frames;
            } else if (c->codec_type == AVMEDIA_TYPE_AUDIO) {
                if (!resample) {
                    AVChannelLayout stereo;
                    av_channel_layout_default(&stereo, 2);
                    swr_alloc_set_opts2(&resample, &stereo, AV_SAMPLE_FMT_FLT, 44100, &frame->ch_layout,
                                        (AVSampleFormat)frame->format, frame->sample_rate, 0, nullptr);
                    swr_init(resample);
                }
                size_t at = d.sound.size();
                d.sound.resize(at + 2 * (size_t)frame->nb_samples + 64);
                uint8_t* out[1] = {reinterpret_cast<uint8_t*>(&d.sound[at])};
                int n = swr_convert(resample, out, frame->nb_samples + 32, (const uint8_t**)frame->extended_data,
                                    frame->nb_samples);
                d.sound.resize(at + 2 * (size_t)std::max(n, 0));
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        AVCodecContext* c = codecs[packet->stream_index];
        if (avcodec_send_packet(c, packet) == 0) take(c);
        av_packet_unref(packet);
    }
    for (AVCodecContext* c : codecs) {
        avcodec_send_packet(c, nullptr);
        take(c);
        avcodec_free_context(&c);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    sws_freeContext(scale);
    swr_free(&resample);
    avformat_close_input(&format);
    return d;
}

