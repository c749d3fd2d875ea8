// Decoding with no device: a stream moved to a frame gives what playing through to it gives,
// exactly at the file's own rate, and nothing past the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/audio_decode.h"
#include "scratch_dir.h"
#include "sound_files.h"

namespace {

double tone(int ch, double t) { return 0.5 * std::sin(2 * M_PI * (ch == 0 ? 440.0 : 550.0) * t); }

std::vector<float> mixed(AudioDecoder* d, int frames) {
    std::vector<float> out(2 * (size_t)frames, 0.0f);
    out.resize(2 * (size_t)decoder_mix(d, out.data(), frames));
    return out;
}

// Moves `d` to output frame `at` and mixes `frames` frames (or what is left of `through`, the
// whole sound played through): the largest difference from `through` there, or 2 when fewer
// frames came out.
double worst_after_seek(AudioDecoder* d, const std::vector<float>& through, int64_t at, int frames) {
    int64_t left = (int64_t)through.size() / 2 - at;
    if (frames > left) frames = (int)left;
    decoder_seek(d, at);
    std::vector<float> out = mixed(d, frames);
    if (out.size() != 2 * (size_t)frames) return 2;
    double worst = 0;
    for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, (double)std::fabs(out[i] - through[2 * at + i]));
    return worst;
}

}  // namespace

TEST(DecoderSeek, StreamAtTheOutputRateLandsOnTheFileSample) {
    ScratchDir dir;
    std::vector<int16_t> file = write_sound("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.0, tone);
    static AudioDecoder d;
    ASSERT_EQ(decoder_open_stream(&d, 0, "s.wav", 0, 0), 1);
    for (int64_t at : {30000, 12345, 0}) {  // backwards too
        ASSERT_EQ(decoder_seek(&d, at), 1);
        std::vector<float> out = mixed(&d, 2000);
        ASSERT_EQ(out.size(), 4000u);
        std::vector<int16_t> s16(out.size());
        audio_mix_to_s16(out.data(), s16.data(), (int)out.size());
        EXPECT_TRUE(std::equal(s16.begin(), s16.end(), file.begin() + 2 * at)) << "from frame " << at;
    }
    decoder_seek(&d, 44100 - 10);
    EXPECT_EQ(mixed(&d, 100).size(), 20u) << "ten frames left";
    decoder_seek(&d, 50000);
    EXPECT_EQ(mixed(&d, 100).size(), 0u) << "past the end";
    decoder_close(&d);
    EXPECT_EQ(decoder_seek(&d, 0), 0);
}

TEST(DecoderSeek, ResampledStreamMatchesPlayingThrough) {
    ScratchDir dir;
    write_sound("s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, 1.0, tone);
    static AudioDecoder through, moved;
    ASSERT_EQ(decoder_open_stream(&through, 0, "s.wav", 0, 0), 1);
    ASSERT_EQ(decoder_open_stream(&moved, 0, "s.wav", 0, 0), 1);
    const int at = 22051;
    mixed(&through, at);
    decoder_seek(&moved, at);
    std::vector<float> a = mixed(&through, 1000), b = mixed(&moved, 1000);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-5) << i;
    decoder_close(&through);
    decoder_close(&moved);
}

TEST(DecoderSeek, ModuleNearSeekSoundsAsRenderingFromTheStartDoes) {
    ScratchDir dir;
    write_file("song.mod", long_tracker_module(20));
    static AudioDecoder exact, near;
    const uint32_t flags = AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMP;
    ASSERT_EQ(decoder_open_module(&exact, 0, "song.mod", 0, 0, flags), 1);
    ASSERT_EQ(decoder_open_module(&near, 0, "song.mod", 0, 0, flags), 1);
    // Within a row, on a row, and (looping) past the end of the 153.6 s song.
    for (int64_t at : {(int64_t)(97.05 * 44100), (int64_t)(30.72 * 44100), (int64_t)(160.0 * 44100)}) {
        SCOPED_TRACE(at);
        decoder_seek(&exact, at);
        decoder_seek_near(&near, at);
        std::vector<float> a = mixed(&exact, 4410), b = mixed(&near, 4410);
        ASSERT_EQ(a.size(), b.size());
        double signal = 0, differ = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            signal += a[i] * a[i];
            differ += (a[i] - b[i]) * (a[i] - b[i]);
        }
        EXPECT_GT(signal, 1.0) << "the song sounds there";
        EXPECT_LT(differ, signal * 0.01) << "the same notes at the same moments";
    }
    decoder_close(&exact);
    decoder_close(&near);
}

// Every compressed format plays through the stream decoder at the tone's level and pitch for as
// long as it was written, and a stream moved to a frame gives what playing through to it gives,
// to within the codec's own rounding: the capture of a show from a later start, the preview's
// seeks and a show started part-way rely on that. The first move goes less than two seconds
// forward from what was decoded at the opening (where libsndfile's Ogg Vorbis skips instead of
// searching), and the tone's MP3 is of a bit rate low enough for its frames to take their data
// from several frames back.
TEST(DecoderFormats, CompressedStreamsPlayTheToneAndSeekWherePlayingThroughGets) {
    ScratchDir dir;
    for (const StreamFormat& f : compressed_formats()) {
        SCOPED_TRACE(f.name);
        write_tone(f.name, f, 2.0);
        static AudioDecoder through, moved;
        ASSERT_EQ(decoder_open_stream(&through, 0, f.name, 0, 0), 1);
        EXPECT_NEAR(decoder_length_seconds(&through), 2.0, 0.001);
        std::vector<float> all = mixed(&through, 3 * 44100);
        EXPECT_NEAR((double)all.size() / 2, 2.0 * 44100, 2);
        // The middle: the codecs' first and last blocks fade in and out.
        const size_t edge = 4410;
        ASSERT_GT(all.size() / 2, 2 * edge);
        expect_test_tone(tone_of(all.data() + 2 * edge, all.size() / 2 - 2 * edge, 2, 44100, 1.0), f.name);

        ASSERT_EQ(decoder_open_stream(&moved, 0, f.name, 0, 0), 1);
        for (int64_t at : {60000, 22051, 3000})  // backwards too
            EXPECT_LT(worst_after_seek(&moved, all, at, 2000), 1e-3) << "from frame " << at;
        decoder_close(&through);
        decoder_close(&moved);
    }
}

// The end of a stream is found by a seek as playing through finds it. The sound: a sweep, four
// seconds of silence and a last burst, which Ogg Vorbis packs into one long last page, whose
// first frame libsndfile misplaces when its search lands there. After playing to the end, moves
// back into the last tenth of a second, where libsndfile's Ogg Opus counts from the wrong end of
// the last packet; a preview scrubbing the show's last moments or a show restarted near its end
// does both.
TEST(DecoderFormats, SeeksIntoTheLastPageAndBackFromTheEndLandWherePlayingThroughGets) {
    ScratchDir dir;
    for (const StreamFormat& f : compressed_formats()) {
        SCOPED_TRACE(f.name);
        write_sound(f.name, f.format, f.rate, 2, 10.3, [](int ch, double t) {
            if (t < 6) return 0.4 * std::sin(2 * M_PI * (200 + 30 * t) * t + ch);
            return t < 10 ? 0.0 : 0.3 * std::sin(2 * M_PI * (300 + 900 * t) * t + ch);
        });
        static AudioDecoder through, moved;
        ASSERT_EQ(decoder_open_stream(&through, 0, f.name, 0, 0), 1);
        ASSERT_EQ(decoder_open_stream(&moved, 0, f.name, 0, 0), 1);
        std::vector<float> all = mixed(&through, 11 * 44100);
        const int64_t end = (int64_t)all.size() / 2;
        ASSERT_NEAR(end, 10.3 * 44100, 2);
        for (int64_t back : {9000, 1500, 30000, 120, 4000, 60, 200000}) {
            EXPECT_LT(worst_after_seek(&moved, all, end - back, 1000), 1e-3) << back << " frames before the end";
            mixed(&moved, 44100);  // on to the end
        }
        decoder_close(&through);
        decoder_close(&moved);
    }
}
