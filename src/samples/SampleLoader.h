#pragma once
// Building a pipe's in-memory sample from its WAV file: checks, gains, the
// attack-and-loop then release layout, the release fade-in, the reduction of
// stereo recordings to one channel for a mono organ, and the gains that
// simulate their stereo image again at mixing time.

#include <cstdint>

#include "samples/PipeSample.h"
#include "samples/SampleMemory.h"
#include "samples/WavFile.h"

namespace tessaline {

// What every pipe of one organ load shares. The organ owns the buffer and the
// memory; the formats and the organ gain come from its [Organ] section and the
// player's setup.
struct SampleLoadContext {
    SampleLoadingBuffer& buffer;
    SampleMemory& memory;
    SampleFormat highestSampleFormat = SampleFormat::Mono;
    SampleFormat memorySampleFormat = SampleFormat::Mono;
    bool simulateStereo = false;
    double organAmplitudeLevel = 1.0;  // the organ's AmplitudeLevel / 100
};

// OFF: builds `sample` from the file. The gain applied to every value is
// overallVolumePercent / 100 x organAmplitudeLevel x stopAmplitudeLevel.
// True, or false after reporting (action "Loading an organ pipe."), and then
// the sample is left released.
bool LoadPipeSample(const SampleLoadContext& context, PipeSample& sample, const char* fileName,
                    uint32_t overallVolumePercent, bool percussive, double stopAmplitudeLevel);

// OFF: detaches the sample from its memory (which stays in the organ's sample
// memory until that is cleared), resets every position to none and both gains
// to 1.0. The caller silences the pipe first.
void ReleasePipeSample(PipeSample& sample);

}  // namespace tessaline
