#include "audio/AudioStream.h"

#include <gtest/gtest.h>

#include <vector>

#include "StreamTestRenderer.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

// One block of 128 frames: the cursor wraps every 128 frames played.
constexpr int64_t kRing = 128;

struct Rig {
    RecordingErrorSink errors;
    VirtualAudioSystem devices{8192};
    ManualTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream{devices, timers, renderer};

    explicit Rig(int64_t frames = kRing) {
        EXPECT_TRUE(stream.SetParameters(0, frames));
        EXPECT_TRUE(stream.StartPlayback());
    }
    void Play(uint32_t frames) {
        ASSERT_TRUE(devices.Advance(frames));
        ASSERT_TRUE(timers.Fire());
    }
    // Played frame i carries frame time i - ring for every i in [from, to).
    void ExpectPlayedOneRingLate(size_t from, size_t to, int64_t ring = kRing) {
        std::vector<int16_t> out = devices.Captured();
        ASSERT_GE(out.size(), 2 * to);
        for (size_t i = from; i < to; ++i) {
            int16_t v = i < static_cast<size_t>(ring) ? 0 : PatternLeft(static_cast<int64_t>(i) - ring);
            ASSERT_EQ(out[2 * i], v) << "frame " << i;
            ASSERT_EQ(out[2 * i + 1], -v) << "frame " << i;
        }
    }
};

TEST(AudioStreamTick, RendersExactlyTheFramesPlayedSinceTheLastTick) {
    Rig rig;
    rig.Play(40);
    rig.Play(50);
    rig.Play(60);   // wraps: tail of lap 0, then the start of lap 1
    rig.Play(100);
    rig.Play(30);   // wraps again
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{
                                      {0, 40}, {40, 50}, {90, 38}, {128, 22}, {150, 100}, {250, 6}, {256, 24}}));
    EXPECT_TRUE(rig.renderer.zeroedBeforeRender);
    AudioStream::Clock c = rig.stream.ClockState();
    EXPECT_EQ(c.lapBase, 256);
    EXPECT_EQ(c.playPosition, 280);
    EXPECT_EQ(c.writePosition, 280);
    EXPECT_EQ(c.lastCursor, 24);
    // Every frame time is heard one ring length after it was due.
    rig.ExpectPlayedOneRingLate(0, 280);
    EXPECT_EQ(rig.stream.SkippedTicks(), 0u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(AudioStreamTick, CursorWrapAdvancesLapBaseAndPositionByFramesPlayed) {
    Rig rig(1024);
    rig.Play(1000);
    EXPECT_EQ(rig.stream.ClockState().lapBase, 0);
    ASSERT_TRUE(rig.devices.Advance(100));
    // Between ticks the position reads through the wrap without changing the clock.
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 1100);
    EXPECT_EQ(rig.stream.ClockState().playPosition, 1000);
    ASSERT_TRUE(rig.timers.Fire());
    AudioStream::Clock c = rig.stream.ClockState();
    EXPECT_EQ(c.lapBase, 1024);
    EXPECT_EQ(c.playPosition, 1100);
    EXPECT_EQ(c.lastCursor, 76);
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 1100);
    ASSERT_TRUE(rig.devices.Advance(24));
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 1124);
}

TEST(AudioStreamTick, WriterMoreThanALapBehindSkipsAheadAndStaysAligned) {
    Rig rig;
    rig.devices.faults.lock = true;  // the writer cannot write and falls behind
    rig.Play(100);
    rig.Play(100);
    EXPECT_TRUE(rig.renderer.calls.empty());
    rig.devices.faults.lock = false;
    rig.Play(100);  // two laps behind: the writer moves on a lap and writes nothing yet
    EXPECT_TRUE(rig.renderer.calls.empty());
    EXPECT_EQ(rig.stream.ClockState().writePosition, 128);
    rig.Play(10);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{128, 128}, {256, 54}}));
    EXPECT_EQ(rig.stream.ClockState().writePosition, 310);
    rig.Play(128);
    rig.ExpectPlayedOneRingLate(310, 438);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(AudioStreamTick, TickFindingTheLastOneStillRenderingIsSkipped) {
    Rig rig;
    int nested = 0;
    rig.renderer.duringRender = [&] {
        if (nested++ == 0) {
            EXPECT_TRUE(rig.timers.Fire());
        }
    };
    rig.Play(40);
    EXPECT_EQ(rig.stream.SkippedTicks(), 1u);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 40}}));
    EXPECT_EQ(rig.stream.ClockState().writePosition, 40);
    rig.Play(8);  // the flag is clear again afterwards
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 40}, {40, 8}}));
    EXPECT_EQ(rig.stream.SkippedTicks(), 1u);
}

TEST(AudioStreamTick, TicksMoreThanOnePeriodLateAreCounted) {
    Rig rig;  // 32 frames per tick: a 0 ms delay runs at the 1 ms resolution
    ASSERT_TRUE(rig.timers.Fire(1000000));
    EXPECT_EQ(rig.stream.LateTicks(), 0u);
    ASSERT_TRUE(rig.timers.Fire(1000001));
    ASSERT_TRUE(rig.timers.Fire(50000000));
    EXPECT_EQ(rig.stream.LateTicks(), 2u);
}

TEST(AudioStreamTick, FailuresInsideATickLeaveTheClockForTheNextTick) {
    Rig rig;
    rig.devices.faults.shortLock = true;
    rig.Play(20);
    EXPECT_TRUE(rig.renderer.calls.empty());
    rig.devices.faults.shortLock = false;
    rig.devices.faults.position = true;  // unreadable cursor: the clock stays as it was
    rig.Play(20);
    // The writer catches up with the clock it has, not with the device.
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 20}}));
    EXPECT_EQ(rig.stream.ClockState().playPosition, 20);
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 20);
    rig.devices.faults.position = false;
    rig.Play(0);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 20}, {20, 20}}));
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(AudioStreamTick, UnlockFailureIsReportedAndTheWriterMovesOn) {
    Rig rig;
    rig.devices.faults.unlock = true;
    rig.Play(30);
    ASSERT_EQ(rig.errors.Count(), 1u);
    EXPECT_EQ(rig.errors.Errors()[0].message, "Could not unlock audio output stream buffer.");
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Running audio system.");
    rig.devices.faults.unlock = false;
    rig.Play(10);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 30}, {30, 10}}));
}

class KeepingHook : public AudioBlockHook {
public:
    void WriteRecordedBlock(std::span<const int16_t> frames) override {
        kept.insert(kept.end(), frames.begin(), frames.end());
    }
    std::vector<int16_t> kept;
};

TEST(AudioStreamTick, BlockHookReceivesEveryRenderedFrameInOrder) {
    Rig rig;
    KeepingHook hook;
    rig.stream.SetBlockHook(&hook);
    rig.Play(100);
    rig.Play(60);  // tail and current lap: two blocks
    rig.stream.SetBlockHook(nullptr);
    rig.Play(5);
    ASSERT_EQ(hook.kept.size(), 2u * 160);
    for (size_t t = 0; t < 160; ++t) {
        ASSERT_EQ(hook.kept[2 * t], PatternLeft(static_cast<int64_t>(t))) << t;
        ASSERT_EQ(hook.kept[2 * t + 1], -PatternLeft(static_cast<int64_t>(t))) << t;
    }
}

}  // namespace
}  // namespace tessaline
