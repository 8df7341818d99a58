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
    bool Inside(const RingRegion& region) const;

    std::vector<int16_t> samples;
    uint32_t frameCount;
    std::atomic<uint32_t> cursor{0};
    std::atomic<uint64_t> unlocks{0};
};

}  // namespace tessaline
