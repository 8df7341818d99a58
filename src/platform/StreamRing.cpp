#include "platform/StreamRing.h"

#include <algorithm>
#include <cstring>

namespace tessaline {

StreamRing::StreamRing(uint32_t bufferBytes)
    : samples(bufferBytes / 2, 0), scratch(bufferBytes / 2, 0), frameCount(bufferBytes / 4) {}

bool StreamRing::Overlap(uint64_t a, uint64_t b) const {
    const auto aStart = static_cast<uint32_t>(a >> 32), aCount = static_cast<uint32_t>(a);
    const auto bStart = static_cast<uint32_t>(b >> 32), bCount = static_cast<uint32_t>(b);
    if (aCount == 0 || bCount == 0) return false;
    // Spans on a circle of frameCount frames: one starts inside the other.
    return (bStart + frameCount - aStart) % frameCount < aCount ||
           (aStart + frameCount - bStart) % frameCount < bCount;
}

bool StreamRing::Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first,
                      RingRegion& second) {
    first = {};
    second = {};
    // Only whole frames, inside the ring, never more than the ring holds.
    if (bytes == 0 || bytes % 4 != 0 || offsetBytes % 4 != 0) return false;
    if (offsetBytes >= Bytes() || bytes > Bytes()) return false;
    const uint64_t span = Span(offsetBytes / 4, bytes / 4);
    writing.store(span, std::memory_order_seq_cst);
    if (Overlap(span, reading.load(std::memory_order_seq_cst))) {
        first = {scratch.data(), bytes};
        return true;
    }
    uint32_t firstBytes = std::min(bytes, Bytes() - offsetBytes);
    first = {samples.data() + offsetBytes / 2, firstBytes};
    if (firstBytes < bytes) second = {samples.data(), bytes - firstBytes};
    return true;
}

bool StreamRing::Inside(const RingRegion& region, const std::vector<int16_t>& area) const {
    if (region.data == nullptr) return region.bytes == 0;
    const int16_t* begin = area.data();
    const int16_t* end = begin + area.size();
    return region.data >= begin && region.data <= end && region.bytes % 4 == 0 &&
           region.bytes / 2 <= static_cast<size_t>(end - region.data);
}

bool StreamRing::Unlock(const RingRegion& first, const RingRegion& second) {
    const bool inRing = Inside(first, samples) && Inside(second, samples);
    const bool inScratch = Inside(first, scratch) && second.bytes == 0;
    if (!inRing && !inScratch) return false;
    unlocks.fetch_add(1, std::memory_order_release);
    writing.store(0, std::memory_order_seq_cst);
    return true;
}

void StreamRing::Play(int16_t* out, uint32_t frames) {
    unlocks.load(std::memory_order_acquire);
    uint32_t at = cursor.load(std::memory_order_relaxed);
    while (frames > 0) {
        uint32_t span = std::min(frames, frameCount - at);
        if (out) {
            const uint64_t piece = Span(at, span);
            reading.store(piece, std::memory_order_seq_cst);
            const uint64_t written = writing.load(std::memory_order_seq_cst);
            if (Overlap(piece, written)) {
                const auto start = static_cast<uint32_t>(written >> 32);
                const auto count = static_cast<uint32_t>(written);
                for (uint32_t f = 0; f < span; ++f) {
                    const bool beingWritten = (at + f + frameCount - start) % frameCount < count;
                    const size_t i = size_t{at + f} * 2;
                    out[2 * f] = beingWritten ? 0 : samples[i];
                    out[2 * f + 1] = beingWritten ? 0 : samples[i + 1];
                }
            } else {
                std::memcpy(out, samples.data() + size_t{at} * 2, size_t{span} * 4);
            }
            reading.store(0, std::memory_order_release);
            out += size_t{span} * 2;
        }
        frames -= span;
        at = (at + span) % frameCount;
    }
    cursor.store(at, std::memory_order_release);
}

void StreamRing::Skip(uint32_t frames) { Play(nullptr, frames); }

}  // namespace tessaline
