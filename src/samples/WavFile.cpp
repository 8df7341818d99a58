#include "samples/WavFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ErrorReporting.h"
#include "samples/SanitizerPoison.h"

namespace tessaline {

namespace {

constexpr const char* kReadAction = "Loading a sample.";
constexpr size_t kRiffHeaderBytes = 12;
constexpr size_t kChunkHeaderBytes = 8;
constexpr uint32_t kFormatFieldBytes = 16;
constexpr uint32_t kSamplerHeaderBytes = 36;
constexpr uint32_t kLoopRecordBytes = 24;
constexpr uint32_t kCueCountBytes = 4;
constexpr uint32_t kCuePointBytes = 24;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool SameId(const uint8_t* p, const char* identifier) { return std::memcmp(p, identifier, 4) == 0; }

// Reads up to count bytes, retrying short reads; the number of bytes read.
size_t ReadFully(int fd, uint8_t* into, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, into + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

// Record `index` (from 0) of recordBytes each after a header of headerBytes,
// when the chunk is complete and holds all of it.
const uint8_t* RecordIn(const WavChunk& chunk, uint32_t headerBytes, uint32_t recordBytes,
                        uint32_t index) {
    uint64_t offset = headerBytes + static_cast<uint64_t>(index) * recordBytes;
    if (!chunk.Complete() || offset + recordBytes > chunk.size) return nullptr;
    return chunk.data + offset;
}

}  // namespace

SampleLoadingBuffer::SampleLoadingBuffer(size_t bufferCapacity) {
    // Fresh anonymous memory is zero-filled; huge pages make the first touch
    // of the buffer cheap.
    void* memory = ::mmap(nullptr, bufferCapacity, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        ReportError("Memory could not be allocated for the sample buffer.",
                    "Creating sample loading buffer.");
        return;
    }
    ::madvise(memory, bufferCapacity, MADV_HUGEPAGE);
    bytes = static_cast<uint8_t*>(memory);
    capacity = bufferCapacity;
    PoisonBytes(bytes, capacity);
}

void SampleLoadingBuffer::ExposeOnly(size_t length) {
    if (addressable > length) PoisonBytes(bytes + length, addressable - length);
    UnpoisonBytes(bytes, length);
    addressable = length;
}

SampleLoadingBuffer::~SampleLoadingBuffer() {
    if (!bytes) return;
    UnpoisonBytes(bytes, capacity);
    ::munmap(bytes, capacity);
}

bool ReadSampleFile(SampleLoadingBuffer& buffer, const char* fileName) {
    buffer.valid = false;
    buffer.size = 0;
    if (!buffer.Present()) {
        ReportError("Could not load sample %s because memory had not been successfully allocated.",
                    kReadAction, fileName);
        return false;
    }
    // Non-blocking, so that a pipe named as a sample cannot hang the load
    // waiting for a writer (it then reads as an empty file).
    int fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        ReportError("The sample file %s could not be opened.", kReadAction, fileName);
        return false;
    }
    struct stat status {};
    bool measured = ::fstat(fd, &status) == 0;
    if (measured && static_cast<uint64_t>(status.st_size) > buffer.capacity) {
        ::close(fd);
        ReportError("The sample %s exceeds the (fixed) maximum size.", kReadAction, fileName);
        return false;
    }
    size_t length = measured ? static_cast<size_t>(status.st_size) : 0;
    buffer.ExposeOnly(length);
    size_t got = measured ? ReadFully(fd, buffer.bytes, length) : 0;
    ::close(fd);
    if (!measured || got < length) {
        ReportError("The sample file %s could not all be read successfully.", kReadAction,
                    fileName);
        return false;
    }
    // A file too short for the header must not be judged on what an earlier
    // file left in the buffer.
    if (length < kRiffHeaderBytes || !SameId(buffer.bytes, "RIFF") ||
        !SameId(buffer.bytes + 8, "WAVE")) {
        ReportError("The file %s is not in Microsoft RIFF format.", kReadAction, fileName);
        return false;
    }
    buffer.size = length;
    buffer.valid = true;
    return true;
}

std::optional<WavChunk> FindChunk(const SampleLoadingBuffer& buffer, const char* identifier,
                                  int occurrence) {
    if (!buffer.Valid()) return std::nullopt;
    std::span<const uint8_t> file = buffer.File();
    const uint64_t end = file.size();
    uint64_t position = 8;  // the "WAVE" form type
    int count = 0;
    while (position + 4 <= end) {
        const uint8_t* at = file.data() + position;
        if (SameId(at, "LIST")) {
            position += kChunkHeaderBytes;  // step into the list
            continue;
        }
        if (SameId(at, "INFO") || SameId(at, "WAVE") || SameId(at, "adtl")) {
            position += 4;  // a form or list type
            continue;
        }
        if (position + kChunkHeaderBytes > end) break;
        uint32_t size = Read32(at + 4);
        if (SameId(at, identifier) && ++count == occurrence) {
            uint64_t left = end - position - kChunkHeaderBytes;
            return WavChunk{at + kChunkHeaderBytes, size,
                            static_cast<uint32_t>(left < size ? left : size)};
        }
        position += kChunkHeaderBytes + static_cast<uint64_t>(size) + (size & 1u);
    }
    return std::nullopt;
}

std::optional<WavFormat> FormatChunk(const SampleLoadingBuffer& buffer) {
    auto chunk = FindChunk(buffer, "fmt ", 1);
    if (!chunk) return std::nullopt;
    WavFormat format;
    if (!chunk->Complete() || chunk->size < kFormatFieldBytes) return format;
    const uint8_t* p = chunk->data;
    format.formatTag = Read16(p);
    format.channels = Read16(p + 2);
    format.sampleRate = Read32(p + 4);
    format.averageBytesPerSecond = Read32(p + 8);
    format.blockAlignment = Read16(p + 12);
    format.bitsPerSample = Read16(p + 14);
    format.complete = true;
    return format;
}

std::optional<WavChunk> DataChunk(const SampleLoadingBuffer& buffer) {
    return FindChunk(buffer, "data", 1);
}

std::optional<WavSampler> SamplerChunk(const SampleLoadingBuffer& buffer) {
    auto chunk = FindChunk(buffer, "smpl", 1);
    if (!chunk) return std::nullopt;
    WavSampler sampler;
    if (!chunk->Complete() || chunk->size < kSamplerHeaderBytes) return sampler;
    sampler.numberOfLoops = Read32(chunk->data + 28);
    sampler.complete = true;
    return sampler;
}

std::optional<WavLoop> LoopRecord(const SampleLoadingBuffer& buffer, uint32_t i) {
    auto chunk = FindChunk(buffer, "smpl", 1);
    if (!chunk || i < 1 || !chunk->Complete() || chunk->size < kSamplerHeaderBytes ||
        i > Read32(chunk->data + 28))
        return std::nullopt;
    const uint8_t* p = RecordIn(*chunk, kSamplerHeaderBytes, kLoopRecordBytes, i - 1);
    if (!p) return std::nullopt;
    return WavLoop{Read32(p),      Read32(p + 4),  Read32(p + 8),
                   Read32(p + 12), Read32(p + 16), Read32(p + 20)};
}

std::optional<WavCues> CueChunk(const SampleLoadingBuffer& buffer) {
    auto chunk = FindChunk(buffer, "cue ", 1);
    if (!chunk) return std::nullopt;
    WavCues cues;
    if (!chunk->Complete() || chunk->size < kCueCountBytes) return cues;
    cues.numberOfCuePoints = Read32(chunk->data);
    cues.complete = true;
    return cues;
}

std::optional<WavCuePoint> CuePoint(const SampleLoadingBuffer& buffer, uint32_t i) {
    auto chunk = FindChunk(buffer, "cue ", 1);
    if (!chunk || i < 1 || !chunk->Complete() || chunk->size < kCueCountBytes ||
        i > Read32(chunk->data))
        return std::nullopt;
    const uint8_t* p = RecordIn(*chunk, kCueCountBytes, kCuePointBytes, i - 1);
    if (!p) return std::nullopt;
    return WavCuePoint{Read32(p),      Read32(p + 4),  Read32(p + 8),
                       Read32(p + 12), Read32(p + 16), Read32(p + 20)};
}

}  // namespace tessaline
