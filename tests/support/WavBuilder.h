#pragma once
// Writes WAV files from code for the tests, the fuzzer's seeds and the
// benchmarks: mono or stereo, any rate and resolution, `smpl` loops, `cue `
// points, chunks wrapped in LIST chunks, odd-sized chunks with their pad byte,
// and the raw pieces to put together malformed files.

#include <cstdint>
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

struct WavLoopSpec {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t type = 0;
    uint32_t playCount = 0;
};

class WavBuilder {
public:
    WavBuilder& Channels(uint16_t count);
    WavBuilder& Rate(uint32_t rate);
    WavBuilder& Bits(uint16_t bits);
    WavBuilder& FormatTag(uint16_t tag);
    WavBuilder& BlockAlignment(uint16_t bytes);
    WavBuilder& BytesPerSecond(uint32_t bytes);
    // Sample values, interleaved left/right for stereo.
    WavBuilder& Values(std::vector<int16_t> values);
    // `frames` frames of a deterministic pattern (left and right differ);
    // set the channels first.
    WavBuilder& Pattern(uint32_t frames);
    WavBuilder& Loop(uint32_t start, uint32_t end, uint32_t type = 0, uint32_t playCount = 0);
    // Declares a number of loops other than the records written.
    WavBuilder& DeclaredLoops(uint32_t count);
    WavBuilder& Cue(uint32_t sampleOffset);
    WavBuilder& DeclaredCues(uint32_t count);
    WavBuilder& NoSampler();
    WavBuilder& NoCues();
    // Puts `smpl` and `cue ` inside a LIST chunk of type "adtl".
    WavBuilder& MarkersInList();
    // A chunk written before the data chunk, as given.
    WavBuilder& Extra(std::string chunk);

    uint16_t ChannelCount() const { return channels; }
    const std::vector<int16_t>& SampleValues() const { return values; }

    std::string FormatChunk() const;
    std::string DataChunk() const;
    std::string SamplerChunk() const;
    std::string CueChunk() const;
    // The whole file: fmt, the extra chunks, data, then smpl and cue.
    std::string Build() const;

private:
    uint16_t channels = 1;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    uint16_t formatTag = 1;
    int blockAlignment = -1;
    int64_t bytesPerSecond = -1;
    std::vector<int16_t> values;
    std::vector<WavLoopSpec> loops;
    int64_t declaredLoops = -1;
    std::vector<uint32_t> cues;
    int64_t declaredCues = -1;
    bool sampler = true;
    bool cueChunk = true;
    bool markersInList = false;
    std::vector<std::string> extras;
};

}  // namespace tessaline::test
