#include "samples/SampleLoader.h"

#include <bit>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "organ/Constants.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

static_assert(std::endian::native == std::endian::little,
              "sample values are copied from the file without byte swapping");

constexpr const char* kAction = "Loading an organ pipe.";
constexpr uint32_t kPcmFormatTag = 1;
constexpr uint32_t kBytesPerSecondPerChannel = 88200;

// A run of file frames copied into memory one after the other.
struct Segment {
    uint32_t first = 0;
    uint32_t count = 0;
};

struct Levels {
    double left = 0.0;
    double right = 0.0;
};

bool Refuse(PipeSample& sample, const char* format, const char* fileName) {
    ReportError(format, kAction, fileName);
    ReleasePipeSample(sample);
    return false;
}

int16_t ValueAt(const uint8_t* data, size_t index) {
    int16_t value;
    std::memcpy(&value, data + 2 * index, sizeof value);
    return value;
}

// value x gain, clamped to -32767..32767 and truncated toward zero: the
// stored form never holds -32768. (Written as minimum and maximum, as the
// vector form below computes it.)
int16_t Convert(int16_t value, double gain) {
    double x = value * gain;
    x = x < 32767.0 ? x : 32767.0;
    x = x > -32767.0 ? x : -32767.0;
    return static_cast<int16_t>(static_cast<int32_t>(x));
}

#if defined(__x86_64__)
// Convert, eight values at a time, with exactly the same double arithmetic;
// the number of values done. Loading an organ is dominated by this copy.
__attribute__((target("avx2"))) size_t ConvertRunAvx2(const uint8_t* from, int16_t* to,
                                                      size_t count, double gain) {
    const __m256d factor = _mm256_set1_pd(gain);
    const __m256d highest = _mm256_set1_pd(32767.0);
    const __m256d lowest = _mm256_set1_pd(-32767.0);
    // The memory is fresh and read only when the pipe plays: streaming stores
    // spare reading its lines into the cache first. They need 16-byte
    // aligned addresses; the values before the first one go one by one.
    size_t i = 0;
    while (i < count && reinterpret_cast<uintptr_t>(to + i) % 16 != 0) {
        to[i] = Convert(ValueAt(from, i), gain);
        ++i;
    }
    for (; i + 8 <= count; i += 8) {
        __m256i wide = _mm256_cvtepi16_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * i)));
        __m256d low = _mm256_cvtepi32_pd(_mm256_castsi256_si128(wide));
        __m256d high = _mm256_cvtepi32_pd(_mm256_extracti128_si256(wide, 1));
        low = _mm256_max_pd(_mm256_min_pd(_mm256_mul_pd(low, factor), highest), lowest);
        high = _mm256_max_pd(_mm256_min_pd(_mm256_mul_pd(high, factor), highest), lowest);
        __m128i packed = _mm_packs_epi32(_mm256_cvttpd_epi32(low), _mm256_cvttpd_epi32(high));
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), packed);
    }
    _mm_sfence();
    return i;
}
#endif

// Converts count consecutive values.
void ConvertRun(const uint8_t* from, int16_t* to, size_t count, double gain) {
    size_t i = 0;
#if defined(__x86_64__)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2) i = ConvertRunAvx2(from, to, count, gain);
#endif
    for (; i < count; ++i) to[i] = Convert(ValueAt(from, i), gain);
}

// Copies the frames of one segment from the file layout into the memory
// layout, frame `at` onwards.
void ConvertSegment(const uint8_t* data, Segment segment, SampleFormat fileFormat,
                    SampleFormat memoryFormat, int keptChannel, double gain, int16_t* memory,
                    size_t at) {
    size_t fileChannels = fileFormat == SampleFormat::Stereo ? 2 : 1;
    const uint8_t* from = data + 2 * fileChannels * segment.first;
    if (fileFormat == memoryFormat) {
        ConvertRun(from, memory + fileChannels * at, fileChannels * segment.count, gain);
    } else if (fileFormat == SampleFormat::Stereo) {
        int16_t* to = memory + at;
        for (size_t f = 0; f < segment.count; ++f)
            to[f] = Convert(ValueAt(from, 2 * f + static_cast<size_t>(keptChannel)), gain);
    } else {
        int16_t* to = memory + 2 * at;
        for (size_t f = 0; f < segment.count; ++f) {
            int16_t value = Convert(ValueAt(from, f), gain);
            to[2 * f] = value;
            to[2 * f + 1] = value;
        }
    }
}

// The level of each channel of a stereo recording: the root mean square of
// value x gain per segment, the segments weighted by their lengths. An empty
// segment has no weight.
Levels ChannelLevels(const uint8_t* data, const Segment* segments, int segmentCount,
                     double gain) {
    Levels weighted;
    double totalFrames = 0.0;
    for (int s = 0; s < segmentCount; ++s) {
        const Segment& segment = segments[s];
        if (segment.count == 0) continue;
        double sumLeft = 0.0;
        double sumRight = 0.0;
        for (size_t f = 0; f < segment.count; ++f) {
            size_t frame = segment.first + f;
            double left = ValueAt(data, 2 * frame) * gain;
            double right = ValueAt(data, 2 * frame + 1) * gain;
            sumLeft += left * left;
            sumRight += right * right;
        }
        weighted.left += std::sqrt(sumLeft / segment.count) * segment.count;
        weighted.right += std::sqrt(sumRight / segment.count) * segment.count;
        totalFrames += segment.count;
    }
    if (totalFrames > 0.0) {
        weighted.left /= totalFrames;
        weighted.right /= totalFrames;
    }
    return weighted;
}

// The release starts from silence: frame j of the first 1024 release frames
// is scaled by 32 x j / 32767. |value| <= 32767 and the factor stays below 1,
// so the result needs no clamping.
void FadeInRelease(int16_t* memory, size_t releaseStart, size_t releaseFrames, size_t channels) {
    size_t fadeFrames =
        releaseFrames < static_cast<size_t>(kReleaseFadeFrames) ? releaseFrames : kReleaseFadeFrames;
    for (size_t j = 0; j < fadeFrames; ++j) {
        int32_t factor = kReleaseFadeStep * static_cast<int32_t>(j);
        int16_t* frame = memory + (releaseStart + j) * channels;
        for (size_t c = 0; c < channels; ++c)
            frame[c] = static_cast<int16_t>(frame[c] * factor / 32767);
    }
}

// Checks the loop and release markers of a looped pipe in their order and
// finds its two segments.
bool FindLoopedSegments(const SampleLoadingBuffer& buffer, PipeSample& sample,
                        const char* fileName, uint32_t frameCount, Segment segments[2],
                        uint32_t& loopStart) {
    auto sampler = SamplerChunk(buffer);
    if (!sampler)
        return Refuse(sample, "Could not find the sampler (loop) chunk information in the sample %s.",
                      fileName);
    if (!sampler->complete)
        return Refuse(sample, "The sampler (loop) chunk information in the sample %s is incomplete.",
                      fileName);
    auto cues = CueChunk(buffer);
    if (!cues)
        return Refuse(sample,
                      "Could not find the cue points (markers) chunk information in the sample %s.",
                      fileName);
    if (!cues->complete)
        return Refuse(sample,
                      "The cue points (markers) chunk information in the sample %s is incomplete.",
                      fileName);
    if (sampler->numberOfLoops == 0)
        return Refuse(sample, "The sample %s has no loop points defined.", fileName);
    auto loop = LoopRecord(buffer, 1);
    if (!loop)
        return Refuse(sample,
                      "Information for the first sample loop in the sample %s could not be found.",
                      fileName);
    if (loop->type != 0)
        return Refuse(sample, "The first sample loop is not of the correct type in sample %s.",
                      fileName);
    if (loop->playCount != 0)
        return Refuse(sample, "The first sample loop does not repeat infinitely in sample %s.",
                      fileName);
    if (loop->end == 0)
        return Refuse(sample, "The first sample loop is of zero length in sample %s.", fileName);
    if (cues->numberOfCuePoints == 0)
        return Refuse(sample, "The sample %s has no cue points (markers) defined.", fileName);

    std::optional<uint32_t> releaseOffset;
    for (uint32_t i = 1; i <= cues->numberOfCuePoints && !releaseOffset; ++i) {
        auto cue = CuePoint(buffer, i);
        if (!cue) {
            ReportError("Information for cue point number %d (marker) in the sample %s could not be found.",
                        kAction, static_cast<int>(i), fileName);
            ReleasePipeSample(sample);
            return false;
        }
        if (cue->sampleOffset != loop->start) releaseOffset = cue->sampleOffset;
    }
    if (!releaseOffset)
        return Refuse(sample,
                      "No cue points (markers) were found that aren't equal to the start of the "
                      "sample loop in the sample %s.",
                      fileName);
    if (*releaseOffset > frameCount)
        return Refuse(sample,
                      "The first cue point (marker) that isn't equal to the sample loop in the "
                      "sample %s is invalid.",
                      fileName);
    // Markers the file format leaves unchecked: the loop must lie inside the
    // wave data, or the copy would read past it.
    if (loop->start > loop->end)
        return Refuse(sample, "The first sample loop starts after its end in sample %s.", fileName);
    if (loop->end >= frameCount)
        return Refuse(sample, "The first sample loop extends beyond the wave data in sample %s.",
                      fileName);

    loopStart = loop->start;
    segments[0] = {0, loop->end + 1};
    segments[1] = {*releaseOffset, frameCount - *releaseOffset};
    return true;
}

}  // namespace

bool LoadPipeSample(const SampleLoadContext& context, PipeSample& sample, const char* fileName,
                    uint32_t overallVolumePercent, bool percussive, double stopAmplitudeLevel) {
    ReleasePipeSample(sample);
    double gain = overallVolumePercent / 100.0 * context.organAmplitudeLevel * stopAmplitudeLevel;
    SampleLoadingBuffer& buffer = context.buffer;
    if (!ReadSampleFile(buffer, fileName)) {
        ReportError("Failed to load organ pipe sample %s.", kAction, fileName);
        return false;
    }
    sample.percussive = percussive;

    auto format = FormatChunk(buffer);
    if (!format)
        return Refuse(sample, "Could not find the format chunk information in the sample %s.",
                      fileName);
    if (!format->complete)
        return Refuse(sample, "The format chunk information in the sample %s is incomplete.",
                      fileName);
    SampleFormat fileFormat;
    if (format->channels == 1) {
        fileFormat = SampleFormat::Mono;
    } else if (format->channels == 2) {
        fileFormat = SampleFormat::Stereo;
    } else {
        return Refuse(sample,
                      "The sample %s has an unsupported number of channels - only mono/stereo "
                      "samples are allowed.",
                      fileName);
    }
    if (format->bitsPerSample != 16)
        return Refuse(sample,
                      "The sample %s is not in 44.1 kHz 16-bit format (invalid bit resolution).",
                      fileName);
    if (format->sampleRate != static_cast<uint32_t>(kSampleRate))
        return Refuse(sample, "The sample %s is not in 44.1 kHz 16-bit format (invalid sample rate).",
                      fileName);
    if (format->blockAlignment != format->channels * 2)
        return Refuse(sample,
                      "The sample %s is not in 44.1 kHz 16-bit format (invalid block alignment).",
                      fileName);
    if (format->averageBytesPerSecond != format->channels * kBytesPerSecondPerChannel)
        return Refuse(sample, "The sample %s is not in 44.1 kHz 16-bit format (invalid bytes/sec).",
                      fileName);
    if (format->formatTag != kPcmFormatTag)
        return Refuse(sample, "The sample %s is compressed.", fileName);
    if (fileFormat == SampleFormat::Stereo && context.highestSampleFormat == SampleFormat::Mono)
        return Refuse(sample,
                      "The sample %s has a greater number of channels than the "
                      "HighestSampleFormat specified for the organ allows.",
                      fileName);
    auto data = DataChunk(buffer);
    if (!data)
        return Refuse(sample, "The wave data chunk could not be found in the sample %s.", fileName);
    if (!data->Complete())
        return Refuse(sample, "The wave data chunk in the sample %s extends beyond the end of the file.",
                      fileName);
    uint32_t frameCount = data->size / format->blockAlignment;

    Segment segments[2];
    int segmentCount = 1;
    uint32_t loopStart = 0;
    if (percussive) {
        segments[0] = {0, frameCount};
    } else {
        if (!FindLoopedSegments(buffer, sample, fileName, frameCount, segments, loopStart))
            return false;
        segmentCount = 2;
    }
    size_t frames = segments[0].count + (segmentCount == 2 ? size_t{segments[1].count} : 0);

    SampleFormat memoryFormat = context.memorySampleFormat;
    size_t memoryChannels = memoryFormat == SampleFormat::Stereo ? 2 : 1;
    int16_t* memory = context.memory.Allocate(frames * memoryChannels);
    if (!memory)
        return Refuse(sample, "Memory could not be allocated for the sample storage of sample %s.",
                      fileName);

    // A stereo recording in a mono organ keeps only its louder channel.
    bool reduce = fileFormat == SampleFormat::Stereo && memoryFormat == SampleFormat::Mono;
    Levels levels;
    int keptChannel = 0;
    if (reduce) {
        levels = ChannelLevels(data->data, segments, segmentCount, gain);
        keptChannel = levels.right > levels.left ? 1 : 0;
        double louder = keptChannel == 1 ? levels.right : levels.left;
        // A silent recording has no balance to keep (and would divide by zero).
        if (!context.simulateStereo && louder > 0.0)
            gain *= ((levels.left + levels.right) / 2.0) / louder;
    }

    size_t at = 0;
    for (int s = 0; s < segmentCount; ++s) {
        ConvertSegment(data->data, segments[s], fileFormat, memoryFormat, keptChannel, gain, memory,
                       at);
        at += segments[s].count;
    }

    if (!percussive) {
        sample.loopStart = loopStart;
        sample.releaseStart = segments[0].count;
        FadeInRelease(memory, segments[0].count, segments[1].count, memoryChannels);
    }
    sample.end = static_cast<int64_t>(frames);
    sample.memory = memory;

    if (reduce && context.simulateStereo) {
        if (keptChannel == 0 && levels.left > 0.0)
            sample.rightGain = static_cast<float>(levels.right / levels.left);
        else if (keptChannel == 1)
            sample.leftGain = static_cast<float>(levels.left / levels.right);
    }
    return true;
}

void ReleasePipeSample(PipeSample& sample) {
    sample.memory = nullptr;
    sample.loopStart = PipeSample::kNoFrame;
    sample.releaseStart = PipeSample::kNoFrame;
    sample.end = 0;
    sample.leftGain = 1.0f;
    sample.rightGain = 1.0f;
    sample.percussive = false;
}

}  // namespace tessaline
