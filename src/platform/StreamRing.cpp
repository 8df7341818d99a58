#include "platform/StreamRing.h"

#include <algorithm>
#include <cstring>

namespace tessaline {

StreamRing::StreamRing(uint32_t bufferBytes)
    : samples(bufferBytes / 2, 0), frameCount(bufferBytes / 4) {}

bool StreamRing::Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first,
                      RingRegion& second) {
    first = {};
    second = {};
    // Only whole frames, inside the ring, never more than the ring holds.
    if (bytes == 0 || bytes % 4 != 0 || offsetBytes % 4 != 0) return false;
    if (offsetBytes >= Bytes() || bytes > Bytes()) return false;
    uint32_t firstBytes = std::min(bytes, Bytes() - offsetBytes);
    first = {samples.data() + offsetBytes / 2, firstBytes};
    if (firstBytes < bytes) second = {samples.data(), bytes - firstBytes};
    return true;
}

bool StreamRing::Inside(const RingRegion& region) const {
    if (region.data == nullptr) return region.bytes == 0;
    const int16_t* begin = samples.data();
    const int16_t* end = begin + samples.size();
    return region.data >= begin && region.data <= end && region.bytes % 4 == 0 &&
           region.bytes / 2 <= static_cast<size_t>(end - region.data);
}

bool StreamRing::Unlock(const RingRegion& first, const RingRegion& second) {
    if (!Inside(first) || !Inside(second)) return false;
    unlocks.fetch_add(1, std::memory_order_release);
    return true;
}

void StreamRing::Play(int16_t* out, uint32_t frames) {
    unlocks.load(std::memory_order_acquire);
    uint32_t at = cursor.load(std::memory_order_relaxed);
    while (frames > 0) {
        uint32_t span = std::min(frames, frameCount - at);
        if (out) {
            std::memcpy(out, samples.data() + size_t{at} * 2, size_t{span} * 4);
            out += size_t{span} * 2;
        }
        frames -= span;
        at = (at + span) % frameCount;
    }
    cursor.store(at, std::memory_order_release);
}

void StreamRing::Skip(uint32_t frames) { Play(nullptr, frames); }

}  // namespace tessaline
