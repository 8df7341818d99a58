#pragma once
// Where the organ's pipe samples live: large zero-filled chunks taken from the
// system when an organ loads, handed out by bumping a pointer, and all given
// back at once when the organ is unloaded. A pipe never frees its own memory;
// a pipe loaded again simply takes new memory, the old stays until Clear.
//
// Fresh pages cost a fault on first touch; the chunks ask for transparent huge
// pages so that loading touches one page per 2 MiB instead of one per 4 KiB.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "organ/Constants.h"

namespace tessaline {

class SampleMemory {
public:
    // capacityBytes bounds everything the arena may take from the system
    // (tests use a small bound to see a refused allocation).
    explicit SampleMemory(size_t chunkBytes = kSampleMemoryChunkBytes,
                          size_t capacityBytes = SIZE_MAX);
    ~SampleMemory();
    SampleMemory(const SampleMemory&) = delete;
    SampleMemory& operator=(const SampleMemory&) = delete;

    // OFF: room for `values` zero-filled 16-bit values, 64-byte aligned, or
    // nullptr when the system (or the capacity) has no more memory.
    int16_t* Allocate(size_t values);
    // OFF: gives every chunk back; every pointer handed out becomes invalid.
    void Clear();

    // Bytes handed out (alignment padding included) and taken from the system.
    size_t BytesUsed() const { return bytesUsed; }
    size_t BytesReserved() const { return bytesReserved; }

private:
    struct Chunk {
        uint8_t* base;
        size_t size;
    };
    bool AddChunk(size_t atLeast);

    std::vector<Chunk> chunks;  // the last one is being filled
    size_t fill = 0;            // bytes used of the last chunk
    size_t chunkBytes;
    size_t capacityBytes;
    size_t bytesUsed = 0;
    size_t bytesReserved = 0;
};

}  // namespace tessaline
