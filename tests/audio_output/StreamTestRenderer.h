#pragma once
// A renderer for output-stream tests: writes a pattern that names each frame
// time, and remembers which frame times it was asked for.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "audio/AudioRenderer.h"

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
        if (onAllocate) onAllocate();
        return allocation;
    }
    void FreeMixBuffers() override { ++frees; }
    bool RenderBlock(std::span<int16_t> out, int64_t blockTime) override {
        calls.push_back({blockTime, static_cast<int64_t>(out.size() / 2)});
        for (int16_t v : out) zeroedBeforeRender = zeroedBeforeRender && v == 0;
        for (size_t i = 0; i < out.size() / 2; ++i) {
            int16_t v = PatternLeft(blockTime + static_cast<int64_t>(i));
            out[2 * i] = v;
            out[2 * i + 1] = static_cast<int16_t>(-v);
        }
        if (duringRender) duringRender();
        return true;
    }

    MixBufferAllocation allocation;
    std::function<void()> onAllocate;
    std::function<void()> duringRender;
    int64_t allocatedFrames = 0;
    int allocations = 0;
    int frees = 0;
    bool zeroedBeforeRender = true;
    std::vector<RenderCall> calls;
};

}  // namespace tessaline
