// The compiled-in show against its frozen reference: the same tracks in the same order, and every
// parameter bit for bit the same at every millisecond of the show.
#include <gtest/gtest.h>

#include <cstring>

#include "timeline/frozen_show.h"
#include "timeline/show_rows.h"
#include "timeline/timeline_reset.h"

namespace {

TEST(ShowScriptFrozen, SameTracksInTheSameOrderAndTheSameValueAtEveryMillisecond) {
    timeline_reset();
    program_set = show_rows::FAKE;
    build_show_script();
    const int n = (int)(sizeof frozen_show::TRACKS / sizeof frozen_show::TRACKS[0]);
    ASSERT_EQ(track_count, n);
    for (int i = 0; i < n; ++i) {
        const Track& k = track_table[i];
        const frozen_show::FrozenTrack& f = frozen_show::TRACKS[i];
        uint32_t from, to;
        std::memcpy(&from, &k.from, 4);
        std::memcpy(&to, &k.to, 4);
        EXPECT_TRUE(k.start == f.start && k.end == f.end && k.mode == f.mode && from == f.from && to == f.to &&
                    k.target == reinterpret_cast<float*>(&show_params) + f.target)
            << "track " << i;
    }
    const int floats = sizeof(ShowParams) / sizeof(float);
    ASSERT_EQ(floats, (int)(sizeof frozen_show::DIGESTS / sizeof frozen_show::DIGESTS[0]));
    std::vector<uint64_t> digest(floats, 1469598103934665603ull);
    for (int32_t t = 0; t <= 240001; ++t) {
        show_params = show_params_initial;
        tracks_evaluate(t);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&show_params);
        for (int c = 0; c < floats; ++c)
            for (int b = 0; b < 4; ++b) digest[c] = (digest[c] ^ p[4 * c + b]) * 1099511628211ull;
    }
    for (int c = 0; c < floats; ++c) EXPECT_EQ(digest[c], frozen_show::DIGESTS[c]) << "float " << c << " of ShowParams";
    timeline_reset();
}

}  // namespace
