#pragma once
// The looping stream buffer shared by the output back ends: bufferBytes of
// 16-bit stereo frames, a play cursor that the device side advances, and the
// region checks of Lock and Unlock.
//
// Hand-off between the writer (the engine's timer thread) and the device
// thread: the device reads frames at the cursor, then publishes the new
// cursor with a release store; the writer reads the cursor with acquire and
// only writes frames the cursor has passed. Unlock publishes the written
// frames with a release store that the device acquires before it reads.
//
// In an underrun the cursor overtakes the writer, and both could touch the
// same frames at once. Each side therefore announces its span before using
// it and then looks at the other's (sequentially consistent, so at least one
// of them sees the other): the device plays silence over a span being
// written, and a write that meets the span being played goes to a scratch
// area instead. Those frames were late anyway.

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/AudioOutput.h"

namespace tessaline {

class StreamRing {
public:
    explicit StreamRing(uint32_t bufferBytes);

    uint32_t Bytes() const { return frameCount * 4; }
    uint32_t Frames() const { return frameCount; }

    // Writer side.
    bool Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first, RingRegion& second);
    bool Unlock(const RingRegion& first, const RingRegion& second);
    uint32_t CursorBytes() const { return cursor.load(std::memory_order_acquire) * 4; }

    // Device side: copies frames from the cursor on into out (interleaved
    // left/right), wrapping as often as needed, and advances the cursor.
    void Play(int16_t* out, uint32_t frames);
    // Copies frames as Play does, into nothing: the cursor only advances.
    void Skip(uint32_t frames);

private:
    bool Inside(const RingRegion& region, const std::vector<int16_t>& area) const;
    // A span of frames packed as start << 32 | count; count 0 is no span.
    static uint64_t Span(uint32_t start, uint32_t count) { return uint64_t{start} << 32 | count; }
    bool Overlap(uint64_t a, uint64_t b) const;

    std::vector<int16_t> samples;
    std::vector<int16_t> scratch;
    uint32_t frameCount;
    std::atomic<uint64_t> writing{0};  // the span between Lock and Unlock
    std::atomic<uint64_t> reading{0};  // the span Play copies now
    std::atomic<uint32_t> cursor{0};
    std::atomic<uint64_t> unlocks{0};
};

}  // namespace tessaline
