#include <gtest/gtest.h>

#include <vector>

#include "StreamRig.h"

namespace tessaline {
namespace {

using Calls = std::vector<RenderCall>;

// One block of 128 frames: the cursor wraps every 128 frames played.
constexpr int64_t kRing = 128;

struct Tick : ::testing::Test {
    Tick() { EXPECT_TRUE(rig.Start(kRing)); }
    StreamRig rig;
};

TEST_F(Tick, RendersExactlyTheFramesPlayedSinceTheLastTickOneRingAhead) {
    rig.Play(40);
    rig.Play(50);
    rig.Play(60);  // wraps: tail of lap 0, then the start of lap 1
    rig.Play(100);
    ASSERT_TRUE(rig.devices.Advance(30));  // wraps again
    // Between ticks the position reads through the wrap without moving the clock.
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 280);
    EXPECT_EQ(rig.stream.ClockState().playPosition, 250);
    ASSERT_TRUE(rig.timers.Fire());
    EXPECT_EQ(rig.renderer.calls,
              (Calls{{0, 40}, {40, 50}, {90, 38}, {128, 22}, {150, 100}, {250, 6}, {256, 24}}));
    EXPECT_TRUE(rig.renderer.zeroedBeforeRender);
    const AudioStream::Clock c = rig.stream.ClockState();
    EXPECT_EQ((std::vector<int64_t>{c.lapBase, c.playPosition, c.writePosition, c.lastCursor}),
              (std::vector<int64_t>{256, 280, 280, 24}));
    rig.ExpectPlayedOneRingLate(0, 280, kRing);
    EXPECT_EQ(rig.stream.SkippedTicks(), 0u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Tick, WriterMoreThanALapBehindSkipsAheadAndStaysAligned) {
    rig.devices.faults.lock = true;  // the writer cannot write and falls behind
    rig.Play(100);
    rig.Play(100);
    rig.devices.faults.lock = false;
    rig.Play(100);  // two laps behind: the writer moves on a lap and writes nothing yet
    EXPECT_TRUE(rig.renderer.calls.empty());
    rig.Play(10);
    EXPECT_EQ(rig.renderer.calls, (Calls{{128, 128}, {256, 54}}));
    rig.Play(128);
    rig.ExpectPlayedOneRingLate(310, 438, kRing);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Tick, ATickFindingTheLastStillRenderingIsSkippedAndLateTicksAreCounted) {
    int nested = 0;
    rig.renderer.duringRender = [&] {
        if (nested++ == 0) {
            EXPECT_TRUE(rig.timers.Fire());
        }
    };
    rig.Play(40);
    rig.Play(8);  // the flag is clear again afterwards
    EXPECT_EQ(rig.renderer.calls, (Calls{{0, 40}, {40, 8}}));
    EXPECT_EQ(rig.stream.SkippedTicks(), 1u);

    // 32 frames per tick: a 0 ms delay runs at the 1 ms resolution.
    ASSERT_TRUE(rig.timers.Fire(1000000));
    EXPECT_EQ(rig.stream.LateTicks(), 0u);
    ASSERT_TRUE(rig.timers.Fire(1000001));
    EXPECT_EQ(rig.stream.LateTicks(), 1u);
}

TEST_F(Tick, FailuresInsideATickLeaveTheClockForTheNextTick) {
    rig.devices.faults.shortLock = true;
    rig.Play(20);
    EXPECT_TRUE(rig.renderer.calls.empty());
    rig.devices.faults.shortLock = false;
    rig.devices.faults.position = true;  // unreadable cursor: the clock stays as it was
    rig.Play(20);
    // The writer catches up with the clock it has, not with the device.
    EXPECT_EQ(rig.renderer.calls, (Calls{{0, 20}}));
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 20);
    rig.devices.faults.position = false;
    rig.devices.faults.unlock = true;
    rig.Play(0);
    rig.devices.faults.unlock = false;
    rig.Play(10);
    EXPECT_EQ(rig.renderer.calls, (Calls{{0, 20}, {20, 20}, {40, 10}}));
    ASSERT_EQ(rig.errors.Count(), 1u);
    EXPECT_EQ(rig.errors.Errors()[0].message, "Could not unlock audio output stream buffer.");
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Running audio system.");
}

// A device that ends the stream on its own (a sound server that dies, a
// device unplugged): reported once, the stream still answers, and stopping
// and starting again brings the sound back.
TEST_F(Tick, ALostDeviceIsReportedOnceAndTheStreamStopsAndStartsAgain) {
    rig.Play(100);
    rig.devices.faults.lost = true;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(rig.timers.Fire());
    EXPECT_EQ(rig.errors.Count(), 1u);
    EXPECT_EQ(rig.errors.Errors()[0].boxText,
              "Message: The audio output device stopped playing.\n\n"
              "Attempted action: Running audio system.");
    EXPECT_TRUE(rig.stream.DeviceLost());
    EXPECT_EQ(rig.renderer.calls, (Calls{{0, 100}}));
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 100);
    EXPECT_TRUE(rig.stream.IsPlaying());

    ASSERT_TRUE(rig.stream.StopPlayback());
    EXPECT_FALSE(rig.stream.DeviceLost());
    rig.devices.faults.lost = false;
    ASSERT_TRUE(rig.stream.StartPlayback());
    rig.Play(60);
    EXPECT_EQ(rig.renderer.calls.back(), (RenderCall{0, 60}));
    EXPECT_EQ(rig.errors.Count(), 1u);
}

}  // namespace
}  // namespace tessaline
