#include "platform/StreamRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace tessaline {
namespace {

// Regression: in an underrun the device played over frames being written.
// Now it plays them as silence, and a write that meets the frames being
// played goes elsewhere, so neither side ever sees a half-written block.
TEST(StreamRing, PlayAndWriteNeverMeetOnTheSameFrames) {
    StreamRing ring(64);  // 16 frames
    RingRegion a, b;
    ASSERT_TRUE(ring.Lock(0, 64, a, b));
    std::fill_n(a.data, 32, int16_t{7});
    ASSERT_TRUE(ring.Unlock(a, b));
    ASSERT_TRUE(ring.Lock(8, 16, a, b));  // frames 2..5 being written
    int16_t out[32];
    ring.Play(out, 16);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(out[i], (i >= 4 && i < 12) ? 0 : 7) << i;
    ASSERT_TRUE(ring.Unlock(a, b));

    // The writer fills the whole ring with one value a block while the device
    // plays: every piece played is one block's value throughout, or silence.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int16_t value = 1; value < 2000; ++value) {
            RingRegion first, second;
            if (!ring.Lock(0, 64, first, second)) break;
            std::fill_n(first.data, first.bytes / 2, value);
            if (!ring.Unlock(first, second)) break;
        }
        done = true;
    });
    int torn = 0;
    while (!done) {
        int16_t piece[10];
        ring.Play(piece, 5);
        for (int i = 1; i < 10; ++i) torn += piece[i] != piece[0] && piece[i] != 0 && piece[0] != 0;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace tessaline
