#pragma once
// Writes WAV files from code for the tests, the fuzzer's seeds and the
// benchmarks: mono or stereo at 44100 Hz, any resolution, `smpl` loops, `cue `
// points, chunks wrapped in LIST chunks, odd-sized chunks with their pad byte,
// and the raw pieces to put together malformed files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline::test {

std::string Le16(uint16_t value);
std::string Le32(uint32_t value);
// A chunk: identifier, the payload's size, the payload and a pad byte when
// the size is odd.
std::string Chunk(std::string_view identifier, std::string_view payload);
// A chunk whose declared size is not its payload's (no pad byte added).
std::string ChunkDeclaring(std::string_view identifier, uint32_t declaredSize,
                           std::string_view payload);
// A LIST chunk of the given type holding the chunks.
std::string List(std::string_view type, std::string_view chunks);
// "RIFF", the size, "WAVE" and the chunks.
std::string Riff(std::string_view chunks);

class WavBuilder {
public:
    WavBuilder& Channels(uint16_t count) { return Set(channels, count); }
    WavBuilder& Bits(uint16_t value) { return Set(bits, value); }
    WavBuilder& FormatTag(uint16_t tag) { return Set(formatTag, tag); }
    WavBuilder& BytesPerSecond(uint32_t bytes) { return Set(bytesPerSecond, bytes); }
    // Sample values, interleaved left/right for stereo.
    WavBuilder& Values(std::vector<int16_t> v) { return Set(values, std::move(v)); }
    // `frames` frames of a deterministic pattern (left and right differ);
    // set the channels first.
    WavBuilder& Pattern(uint32_t frames);
    WavBuilder& Loop(uint32_t start, uint32_t end, uint32_t type = 0, uint32_t playCount = 0) {
        loops.push_back({start, end, type, playCount});
        return *this;
    }
    WavBuilder& Cue(uint32_t sampleOffset) {
        cues.push_back(sampleOffset);
        return *this;
    }
    WavBuilder& DeclaredCues(uint32_t count) { return Set(declaredCues, count); }
    WavBuilder& NoSampler() { return Set(sampler, false); }
    WavBuilder& NoCues() { return Set(cueChunk, false); }
    // Puts `smpl` and `cue ` inside a LIST chunk of type "adtl".
    WavBuilder& MarkersInList() { return Set(markersInList, true); }
    // A chunk written before the data chunk, as given.
    WavBuilder& Extra(std::string chunk) {
        extras.push_back(std::move(chunk));
        return *this;
    }

    const std::vector<int16_t>& SampleValues() const { return values; }

    std::string FormatChunk() const;
    std::string DataChunk() const;
    std::string SamplerChunk() const;
    std::string CueChunk() const;
    // The whole file: fmt, the extra chunks, data, then smpl and cue.
    std::string Build() const;

private:
    template <class Field, class Value>
    WavBuilder& Set(Field& field, Value value) {
        field = std::move(value);
        return *this;
    }

    uint16_t channels = 1;
    uint16_t bits = 16;
    uint16_t formatTag = 1;
    std::optional<uint32_t> bytesPerSecond;
    std::vector<int16_t> values;
    struct LoopSpec {
        uint32_t start, end, type, playCount;
    };
    std::vector<LoopSpec> loops;
    std::vector<uint32_t> cues;
    std::optional<uint32_t> declaredCues;
    bool sampler = true;
    bool cueChunk = true;
    bool markersInList = false;
    std::vector<std::string> extras;
};

}  // namespace tessaline::test
