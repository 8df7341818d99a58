#include "samples/SampleMemory.h"

#include <sys/mman.h>

#include "samples/SanitizerPoison.h"

namespace tessaline {

namespace {

constexpr size_t kAlignment = 64;

size_t RoundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

SampleMemory::SampleMemory(size_t chunkSize, size_t capacity)
    : chunkBytes(chunkSize), capacityBytes(capacity) {}

SampleMemory::~SampleMemory() { Clear(); }

bool SampleMemory::AddChunk(size_t atLeast) {
    size_t size = RoundUp(atLeast > chunkBytes ? atLeast : chunkBytes, kAlignment);
    if (size > capacityBytes - bytesReserved) size = RoundUp(atLeast, kAlignment);
    if (size > capacityBytes - bytesReserved) return false;
    void* memory =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    ::madvise(memory, size, MADV_HUGEPAGE);
    PoisonBytes(memory, size);
    chunks.push_back({static_cast<uint8_t*>(memory), size});
    fill = 0;
    bytesReserved += size;
    return true;
}

int16_t* SampleMemory::Allocate(size_t values) {
    if (values > (SIZE_MAX - kAlignment) / sizeof(int16_t)) return nullptr;
    size_t bytes = RoundUp(values * sizeof(int16_t), kAlignment);
    if (chunks.empty() || chunks.back().size - fill < bytes) {
        if (!AddChunk(bytes)) return nullptr;
    }
    uint8_t* at = chunks.back().base + fill;
    fill += bytes;
    bytesUsed += bytes;
    UnpoisonBytes(at, values * sizeof(int16_t));
    return reinterpret_cast<int16_t*>(at);
}

void SampleMemory::Clear() {
    for (const Chunk& chunk : chunks) {
        UnpoisonBytes(chunk.base, chunk.size);
        ::munmap(chunk.base, chunk.size);
    }
    chunks.clear();
    fill = 0;
    bytesUsed = 0;
    bytesReserved = 0;
}

}  // namespace tessaline
