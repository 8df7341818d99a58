#include "audio/AudioStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioRenderer.h"
#include "platform/StreamRing.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

struct RenderCall {
    int64_t blockTime;
    int64_t frames;
    bool operator==(const RenderCall&) const = default;
};

// The renderer writes a pattern naming each frame time (left = frame time
// folded into 1..30000, right = its negative) and notes what it was asked for.
int16_t PatternLeft(int64_t frameTime) { return static_cast<int16_t>(frameTime % 30000 + 1); }

class StreamTestRenderer : public AudioRenderer {
public:
    MixBufferAllocation AllocateMixBuffers(int64_t) override {
        ++allocations;
        return allocation;
    }
    void FreeMixBuffers() override { ++frees; }
    bool RenderBlock(std::span<int16_t> out, int64_t blockTime) override {
        calls.push_back({blockTime, static_cast<int64_t>(out.size() / 2)});
        for (int16_t v : out) zeroedBeforeRender = zeroedBeforeRender && v == 0;
        for (size_t i = 0; i < out.size() / 2; ++i) {
            const int16_t v = PatternLeft(blockTime + static_cast<int64_t>(i));
            out[2 * i] = v;
            out[2 * i + 1] = static_cast<int16_t>(-v);
        }
        return true;
    }

    MixBufferAllocation allocation;
    int allocations = 0;
    int frees = 0;
    bool zeroedBeforeRender = true;
    std::vector<RenderCall> calls;
};

// The stream on the hand-driven device, with a timer the test fires.
struct StreamRig {
    RecordingErrorSink errors;
    VirtualAudioSystem devices{8192};
    ManualTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream{devices, timers, renderer};

    bool Start(int64_t frames) { return stream.SetParameters(0, frames) && stream.StartPlayback(); }
    void Play(uint32_t frames) {
        ASSERT_TRUE(devices.Advance(frames));
        ASSERT_TRUE(timers.Fire());
    }
    // Nothing of the device, timer or mix buffers is left.
    void ExpectReleased() {
        EXPECT_FALSE(stream.IsPlaying());
        EXPECT_EQ(devices.OpenStreams(), 0);
        EXPECT_FALSE(timers.Running());
        EXPECT_EQ(renderer.frees, renderer.allocations);
    }
    // Played frame i carries frame time i - ring for every i in [from, to).
    void ExpectPlayedOneRingLate(size_t from, size_t to, int64_t ring) {
        const std::vector<int16_t> out = devices.Captured();
        ASSERT_GE(out.size(), 2 * to);
        for (size_t i = from; i < to; ++i) {
            const int64_t t = static_cast<int64_t>(i) - ring;
            const int16_t v = t < 0 ? 0 : PatternLeft(t);
            ASSERT_EQ(out[2 * i], v) << "frame " << i;
            ASSERT_EQ(out[2 * i + 1], -v) << "frame " << i;
        }
    }
};

using Messages = std::vector<std::string>;

TEST(AudioStreamStart, ParametersAreCheckedAndRefusedWhilePlaying) {
    StreamRig rig;
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_FALSE(rig.stream.SetParameters(2, 42 * 128));
    EXPECT_FALSE(rig.stream.SetParameters(0, 3));
    EXPECT_FALSE(rig.stream.SetParameters(0, 2048 * 128 + 1));
    EXPECT_TRUE(rig.stream.SetParameters(0, 2048 * 128));
    ASSERT_TRUE(rig.Start(42 * 128));
    EXPECT_FALSE(rig.stream.SetParameters(0, 128));
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_EQ(rig.stream.BufferFrames(), 42 * 128);
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"System parameters have not been set.",
                        "Invalid system parameters (audio device number 2).",
                        "Invalid system parameters (audio buffer of 3 frames).",
                        "Invalid system parameters (audio buffer of 262145 frames).",
                        "Attempt to set audio system paramters when system is running.",
                        "Attempt to play audio output when already playing."}));
    for (const auto& e : rig.errors.Errors())
        EXPECT_EQ(e.attemptedAction, "Initialising audio system.");
    EXPECT_EQ(rig.renderer.allocations, 1);
}

TEST(AudioStreamStart, TimesTheTicksByTheBuffer) {
    // A tick every quarter buffer: 32, 192, 224 and 1344 frames.
    for (auto [blocks, delay, resolution] :
         {std::array<uint32_t, 3>{1, 0, 1}, {6, 4, 1}, {7, 5, 2}, {42, 30, 2}}) {
        SCOPED_TRACE(blocks);
        StreamRig rig;
        ASSERT_TRUE(rig.Start(blocks * 128));
        EXPECT_EQ(rig.timers.lastDelay, delay);
        EXPECT_EQ(rig.timers.lastResolution, resolution);
    }
}

TEST(AudioStreamStart, EachFailingStepReportsAndReleasesWhatWasOpened) {
    using F = VirtualAudioFaults;
    const struct {
        std::atomic<bool> F::*fault;
        const char* message;
        bool mixBuffersMade;  // only after the stream buffer is read back
    } cases[] = {
        {&F::create, "Could not create audio output object.", false},
        {&F::createEmpty, "Audio output failed to start properly.", false},
        {&F::mono8Bit, "The audio output device does not support 16-bit stereo audio.", false},
        {&F::createBuffer, "Could not create audio output buffer.", false},
        {&F::lock, "Could not lock audio output buffer.", true},
        {&F::unlock, "Could not unlock audio output buffer.", true},
        {&F::play, "Could not start audio output buffer playback.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StreamRig rig;
        (rig.devices.faults.*c.fault) = true;
        EXPECT_FALSE(rig.Start(128));
        EXPECT_EQ(rig.errors.Messages(), Messages{c.message});
        EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Initialising audio system.");
        rig.ExpectReleased();
        EXPECT_EQ(rig.renderer.allocations, c.mixBuffersMade ? 1 : 0);
    }

    StreamRig rig;
    rig.timers.refuse = true;
    EXPECT_FALSE(rig.Start(128));
    rig.ExpectReleased();
    rig.timers.refuse = false;
    rig.renderer.allocation = {MixBufferAllocation::Status::GroupFailed, 7};
    EXPECT_FALSE(rig.stream.StartPlayback());
    rig.ExpectReleased();
    rig.renderer.allocation = {MixBufferAllocation::Status::MasterFailed, 0};
    EXPECT_FALSE(rig.stream.StartPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"Could not start audio output timer.",
                        "Memory could not be allocated for the audio buffer for manual 7.",
                        "Memory could not be allocated for the main output audio buffer."}));
}

TEST(AudioStreamStop, ReleasesEverythingAndAStartBeginsAFreshClock) {
    StreamRig rig;
    ASSERT_TRUE(rig.Start(128));
    rig.Play(100);
    rig.Play(60);
    ASSERT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 0);
    EXPECT_FALSE(rig.stream.StopPlayback());
    rig.renderer.calls.clear();
    ASSERT_TRUE(rig.stream.StartPlayback());
    rig.Play(20);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 20}}));

    // A device that will not stop stays playing, without its timer.
    rig.devices.faults.stop = true;
    EXPECT_FALSE(rig.stream.StopPlayback());
    EXPECT_TRUE(rig.stream.IsPlaying());
    EXPECT_FALSE(rig.timers.Running());
    rig.devices.faults.stop = false;
    EXPECT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"Attempt to stop playing audio output when not playing.",
                        "Could not stop audio output buffer playback"}));
    for (const auto& e : rig.errors.Errors())
        EXPECT_EQ(e.attemptedAction, "Stopping audio system.");
}

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
    rig.ExpectPlayedOneRingLate(0, 280, kRing);
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
}

TEST_F(Tick, FailuresInsideATickLeaveTheClockForTheNextTick) {
    rig.devices.faults.shortLock = true;  // a region one frame short is not written
    rig.Play(20);
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
    EXPECT_EQ(rig.errors.Messages(), Messages{"The audio output device stopped playing."});
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
    // A piece that wraps is two reads, so each span is checked on its own.
    int torn = 0;
    while (!done) {
        const uint32_t wrap = 2 * std::min(5u, 16 - ring.CursorBytes() / 4);
        int16_t piece[10];
        ring.Play(piece, 5);
        for (uint32_t i = 1; i < 10; ++i) {
            const int16_t first = piece[i < wrap ? 0 : wrap];
            torn += piece[i] != first && piece[i] != 0 && first != 0;
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace tessaline
