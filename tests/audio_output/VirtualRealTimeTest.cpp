#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "StreamTestRenderer.h"
#include "audio/AudioStream.h"
#include "platform/ThreadTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

// The whole output chain on real threads: the real-time virtual device plays
// the ring at 44100 frames per second while the thread timer refills it.
TEST(VirtualRealTimeOutput, PlaysEveryFrameTimeOneRingLateForHalfASecond) {
    constexpr int64_t kRing = 64 * 128;  // 186 ms: ticks every 46 ms
    RecordingErrorSink errors;
    VirtualAudioSystem devices(44100);
    ThreadTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream(devices, timers, renderer);
    ASSERT_EQ(stream.FindDevice("Virtual: Real-time output"), 1);
    ASSERT_TRUE(stream.SetParameters(1, kRing));
    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(stream.StartPlayback());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int64_t position = stream.CurrentPlayPosition();
    ASSERT_TRUE(stream.StopPlayback());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    EXPECT_EQ(errors.Count(), 0u);
    uint64_t played = devices.PlayedFrames();
    EXPECT_GE(played, static_cast<uint64_t>(0.45 * 44100));
    EXPECT_LE(played, static_cast<uint64_t>(seconds * 44100) + 64);
    EXPECT_GE(position, static_cast<int64_t>(0.45 * 44100));
    EXPECT_LE(position, static_cast<int64_t>(played));

    std::vector<int16_t> out = devices.Captured();
    ASSERT_EQ(out.size(), 2 * played);
    for (size_t i = 0; i < played; ++i) {
        int16_t v = i < kRing ? 0 : PatternLeft(static_cast<int64_t>(i) - kRing);
        ASSERT_EQ(out[2 * i], v) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], -v) << "frame " << i;
    }
    EXPECT_EQ(stream.SkippedTicks(), 0u);
}

}  // namespace
}  // namespace tessaline
