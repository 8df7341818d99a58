#pragma once
// Reading a pipe's WAV file: the organ's one loading buffer, the RIFF chunk
// walk and the records the sample loader needs from the `fmt `, `data`,
// `smpl` and `cue ` chunks.
//
// Every lookup is bounded by the bytes of the file actually read: a chunk
// whose declared size runs past the end of the file is found, but reported
// as incomplete, and a record that does not lie wholly inside its chunk is
// not found at all. Nothing here reads past the file in the buffer (the rest
// of the buffer holds leftovers of earlier, longer files).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "organ/Constants.h"

namespace tessaline {

// One per organ, created with the organ object and kept until it is destroyed;
// each ReadSampleFile overwrites it, so nothing may point into it after the
// sample that was read has been converted.
class SampleLoadingBuffer {
public:
    // UI. Allocates the zero-filled bytes once; when that fails, reports it
    // and the buffer stays absent. The capacity is also the largest file that
    // can be loaded.
    explicit SampleLoadingBuffer(size_t capacity = kSampleLoadingBufferBytes);
    ~SampleLoadingBuffer();
    SampleLoadingBuffer(const SampleLoadingBuffer&) = delete;
    SampleLoadingBuffer& operator=(const SampleLoadingBuffer&) = delete;

    bool Present() const { return bytes != nullptr; }
    size_t Capacity() const { return capacity; }
    // The file now in the buffer (empty until one has been read).
    std::span<const uint8_t> File() const { return {bytes, size}; }
    // True after a file was read and recognised as RIFF/WAVE.
    bool Valid() const { return valid; }

private:
    friend bool ReadSampleFile(SampleLoadingBuffer& buffer, const char* fileName);
    // Under AddressSanitizer only the first `length` bytes stay addressable,
    // so a read past the file is caught; otherwise nothing happens.
    void ExposeOnly(size_t length);

    uint8_t* bytes = nullptr;
    size_t capacity = 0;
    size_t size = 0;
    bool valid = false;
    size_t addressable = 0;
};

// OFF: reads the whole file into the buffer and checks its RIFF/WAVE header.
// True, or false after reporting (action "Loading a sample.").
bool ReadSampleFile(SampleLoadingBuffer& buffer, const char* fileName);

// A chunk found in the buffer: its data and declared size, and how much of
// that data the file really holds.
struct WavChunk {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t available = 0;

    bool Complete() const { return available == size; }
};

// The occurrence-th chunk (from 1) with the four-byte identifier, looking into
// LIST chunks as if their chunks stood at the top level; none when absent or
// when the buffer holds no valid file.
std::optional<WavChunk> FindChunk(const SampleLoadingBuffer& buffer, const char* identifier,
                                  int occurrence);

struct WavFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlignment = 0;
    uint16_t bitsPerSample = 0;
    // False when the chunk is shorter than its 16 bytes of fields or runs
    // past the end of the file; the fields are then zero.
    bool complete = false;
};

struct WavSampler {
    uint32_t numberOfLoops = 0;
    // False when the chunk is shorter than its nine fields or runs past the
    // end of the file.
    bool complete = false;
};

struct WavLoop {
    uint32_t cuePointId = 0;
    uint32_t type = 0;
    uint32_t start = 0;
    uint32_t end = 0;  // inclusive
    uint32_t fraction = 0;
    uint32_t playCount = 0;
};

struct WavCues {
    uint32_t numberOfCuePoints = 0;
    // False when the chunk cannot hold its count or runs past the end of the
    // file.
    bool complete = false;
};

struct WavCuePoint {
    uint32_t identifier = 0;
    uint32_t position = 0;
    uint32_t dataChunkId = 0;
    uint32_t chunkStart = 0;
    uint32_t blockStart = 0;
    uint32_t sampleOffset = 0;
};

std::optional<WavFormat> FormatChunk(const SampleLoadingBuffer& buffer);
std::optional<WavChunk> DataChunk(const SampleLoadingBuffer& buffer);
std::optional<WavSampler> SamplerChunk(const SampleLoadingBuffer& buffer);
// Loop record i (from 1): none when i is out of 1..numberOfLoops or the
// record does not lie wholly inside a complete `smpl` chunk.
std::optional<WavLoop> LoopRecord(const SampleLoadingBuffer& buffer, uint32_t i);
std::optional<WavCues> CueChunk(const SampleLoadingBuffer& buffer);
// Cue point i (from 1): none when i is out of 1..numberOfCuePoints or the
// record does not lie wholly inside a complete `cue ` chunk.
std::optional<WavCuePoint> CuePoint(const SampleLoadingBuffer& buffer, uint32_t i);

}  // namespace tessaline
