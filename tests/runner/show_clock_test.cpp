// The show clock: elapsed time on the wrapping 32-bit millisecond counter.
#include <gtest/gtest.h>

#include "runner/show.h"

namespace {

TEST(ShowClock, ElapsedSurvivesTheCounterWrapping) {
    const struct {
        uint32_t start, now;
        int32_t elapsed;
    } cases[] = {
        {1000, 1000, 0},
        {1000, 241000, 240000},
        {0xFFFFFF00u, 0x00000100u, 0x200},            // wrapped during the show
        {0xFFFFFFFFu, 0x0003A97Fu, 240000},           // 240 s across the wrap
        {0x80000000u, 0x7FFFFFFFu, -1},               // a clock that stepped back reads negative
        {5, 0xFFFFFFFFu, -6},
    };
    for (const auto& c : cases) EXPECT_EQ(show_elapsed(c.now, c.start), c.elapsed) << c.start << " -> " << c.now;
}

}  // namespace
