#pragma once
// Synthesis of one pipe sample: attack with chiff and wind, a seamless
// sustain loop, and a release with the pipe's own decay and a short room tail.
//
// Everything from the end of the attack onwards is built from signals that
// repeat exactly every loopFrames frames (the ranks' harmonics, the breath
// noise, the slight wind unsteadiness), so the loop joins without a step and
// the release continues the waveform where the loop left it.

#include <cstdint>
#include <vector>

#include "LoopPlan.h"
#include "PipeVoicing.h"

namespace tessaline::demo {

// Frames of sustain between the end of the attack and the loop start; the
// far channel of a stereo pipe is delayed by at most this much, so its loop
// also lies wholly in the steady part of the sound.
inline constexpr int64_t kMaxChannelDelay = 32;
inline constexpr int64_t kMinLoopFrames = 17640;  // 0.4 s
inline constexpr int64_t kMaxLoopFrames = 35280;  // 0.8 s
inline constexpr double kReleaseSeconds = 0.9;
// The loop plan stops searching once every rank is this close to pitch.
inline constexpr double kGoodEnoughCents = 0.05;

struct Rank {
    double frequency;  // wanted pitch in Hz
    double level;      // relative to the pipe's other ranks
};

struct PipeRecipe {
    Family family = Family::Principal;
    std::vector<Rank> ranks;
    double level = 0.3;       // peak of the sustain, as a fraction of full scale
    uint64_t seed = 1;        // makes each pipe's noise and phases its own
    int channels = 1;
    double leftGain = 1.0;    // stereo only
    double rightGain = 1.0;
    int64_t leftDelay = 0;    // frames, stereo only, 0 to kMaxChannelDelay
    int64_t rightDelay = 0;
};

struct PipeSound {
    int channels = 1;
    std::vector<int16_t> samples;  // interleaved
    int64_t loopStart = 0;
    int64_t loopEnd = 0;           // inclusive
    int64_t releaseMarker = 0;     // first frame of the release
    LoopPlan plan;

    int64_t Frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

// False when no loop can be planned for the ranks (a rank below 2.5 Hz).
bool SynthesisePipe(const PipeRecipe& recipe, PipeSound& sound);

// A small deterministic generator (splitmix64) for noise and phases.
class NoiseSource {
public:
    explicit NoiseSource(uint64_t seed) : state(seed) {}
    uint64_t Next();
    double Uniform();  // -1 .. 1
private:
    uint64_t state;
};

}  // namespace tessaline::demo
