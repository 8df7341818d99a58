#pragma once
// An output stream on the hand-driven virtual device, with a timer that ticks
// when the test fires it and a renderer that writes a pattern naming each
// frame time and remembers which frame times it was asked for.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "audio/AudioRenderer.h"
#include "audio/AudioStream.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {

struct RenderCall {
    int64_t blockTime;
    int64_t frames;
    bool operator==(const RenderCall&) const = default;
};

// The pattern: left = frame time folded into 1..30000, right = its negative.
inline int16_t PatternLeft(int64_t frameTime) { return static_cast<int16_t>(frameTime % 30000 + 1); }

class StreamTestRenderer : public AudioRenderer {
public:
    MixBufferAllocation AllocateMixBuffers(int64_t bufferFrames) override {
        allocatedFrames = bufferFrames;
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
        if (duringRender) duringRender();
        return true;
    }

    MixBufferAllocation allocation;
    std::function<void()> duringRender;
    int64_t allocatedFrames = 0;
    int allocations = 0;
    int frees = 0;
    bool zeroedBeforeRender = true;
    std::vector<RenderCall> calls;
};

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

}  // namespace tessaline
