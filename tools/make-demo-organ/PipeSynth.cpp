#include "PipeSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "organ/Constants.h"

namespace tessaline::demo {

uint64_t NoiseSource::Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double NoiseSource::Uniform() {
    return static_cast<double>(Next() >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kTableBits = 12;
constexpr int64_t kTableSize = int64_t{1} << kTableBits;
// Partials are kept below this, well under half the sample rate.
constexpr double kHighestPartial = 16000.0;

// One period of a rank's waveform, harmonics with seeded phases.
std::vector<double> BuildWavetable(Family family, double fundamental, NoiseSource& noise) {
    static const std::vector<double> sine = [] {
        std::vector<double> table(kTableSize);
        for (int64_t i = 0; i < kTableSize; ++i)
            table[i] = std::sin(kTwoPi * static_cast<double>(i) / kTableSize);
        return table;
    }();
    std::vector<double> amplitudes = HarmonicAmplitudes(family, fundamental, kHighestPartial);
    std::vector<double> table(kTableSize + 1, 0.0);
    for (size_t k = 0; k < amplitudes.size(); ++k) {
        int64_t h = static_cast<int64_t>(k) + 1;
        // Every harmonic starts at a seeded phase, the fundamental too: the
        // waveform has no needle peaks, and the pipes of several stops that
        // sound one pitch do not start in step (real pipes never do), which
        // would add their fundamentals up to the sum of their levels.
        auto phase = static_cast<int64_t>(noise.Next() % kTableSize);
        for (int64_t i = 0; i < kTableSize; ++i)
            table[i] += amplitudes[k] * sine[(h * i + phase) & (kTableSize - 1)];
    }
    table[kTableSize] = table[0];  // guard for interpolation
    return table;
}

// Band-limited breath noise that repeats every `frames` frames: white noise
// through a one-pole low-pass and a high-pass, run twice around the circle
// so the filters' state at the end meets their state at the start.
std::vector<double> LoopedNoise(int64_t frames, double centre, NoiseSource& noise) {
    std::vector<double> white(frames);
    for (auto& v : white) v = noise.Uniform();
    double lp = std::exp(-kTwoPi * std::min(centre * 2.0, 9000.0) / kSampleRate);
    double hp = std::exp(-kTwoPi * std::min(centre * 0.5, 4000.0) / kSampleRate);
    std::vector<double> out(frames);
    double low = 0.0, slow = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int64_t i = 0; i < frames; ++i) {
            low = lp * low + (1.0 - lp) * white[i];
            slow = hp * slow + (1.0 - hp) * low;
            out[i] = low - slow;
        }
    }
    double peak = 1e-12;
    for (double v : out) peak = std::max(peak, std::fabs(v));
    for (auto& v : out) v /= peak;
    return out;
}

// The noise of a pipe's speech onset: white noise through a two-pole
// resonator an octave wide around centre, scaled to RMS 1.
std::vector<double> ChiffNoise(int64_t frames, double centre, NoiseSource& noise) {
    const double radius = std::exp(-kTwoPi * centre * 0.5 / kSampleRate);
    const double a1 = 2.0 * radius * std::cos(kTwoPi * centre / kSampleRate);
    const double a2 = -radius * radius;
    std::vector<double> out(static_cast<size_t>(frames));
    double y1 = 0.0, y2 = 0.0, energy = 1e-12;
    for (auto& v : out) {
        v = a1 * y1 + a2 * y2 + noise.Uniform();
        y2 = y1;
        y1 = v;
        energy += v * v;
    }
    const double rms = std::sqrt(energy / static_cast<double>(std::max<int64_t>(frames, 1)));
    for (auto& v : out) v /= rms;
    return out;
}

int16_t Quantise(double value) {
    double scaled = std::round(value * 32767.0);
    return static_cast<int16_t>(std::clamp(scaled, -32767.0, 32767.0));
}

}  // namespace

bool SynthesisePipe(const PipeRecipe& recipe, PipeSound& sound) {
    std::vector<double> wanted;
    for (const Rank& r : recipe.ranks) wanted.push_back(r.frequency);
    LoopPlan plan;
    if (wanted.empty() ||
        !PlanLoop(wanted, kMinLoopFrames, kMaxLoopFrames, kGoodEnoughCents, plan))
        return false;

    const Voicing voicing = VoicingOf(recipe.family);
    const int64_t L = plan.loopFrames;
    const double lowest = *std::min_element(wanted.begin(), wanted.end());
    NoiseSource noise(recipe.seed);

    std::vector<std::vector<double>> tables;
    for (size_t r = 0; r < recipe.ranks.size(); ++r)
        tables.push_back(BuildWavetable(recipe.family, plan.Frequency(r), noise));
    std::vector<double> breath = LoopedNoise(L, std::max(lowest * 4.0, 600.0), noise);

    // Bass pipes speak more slowly than treble ones.
    const double speechScale = std::clamp(std::sqrt(110.0 / lowest), 0.6, 2.0);
    const int64_t attack = static_cast<int64_t>(voicing.attackSeconds * speechScale * kSampleRate);
    const int64_t loopStart = attack + kMaxChannelDelay;
    const int64_t releaseMarker = loopStart + L;
    const int64_t releaseFrames = static_cast<int64_t>(kReleaseSeconds * kSampleRate);
    const int64_t total = releaseMarker + releaseFrames;

    // The steady, L-periodic part.
    auto steady = [&](int64_t t) {
        int64_t cycle = t % L;
        double value = 0.0;
        for (size_t r = 0; r < tables.size(); ++r) {
            // Exact phase: periods * t / L of a turn, reduced in integers.
            int64_t turn = (plan.periods[r] * cycle) % L;
            double position = static_cast<double>(turn) * kTableSize / static_cast<double>(L);
            int64_t i = static_cast<int64_t>(position);
            double frac = position - static_cast<double>(i);
            value += recipe.ranks[r].level * (tables[r][i] + frac * (tables[r][i + 1] - tables[r][i]));
        }
        // Three slow swells of the wind per loop.
        double wind = 1.0 + 0.004 * std::sin(kTwoPi * 3.0 * static_cast<double>(cycle) / L);
        return value * wind;
    };

    // Normalise on the loop so every pipe of a stop has the same sustain peak.
    double peak = 1e-12;
    for (int64_t t = loopStart; t < releaseMarker; ++t) peak = std::max(peak, std::fabs(steady(t)));
    const double gain = recipe.level / peak;
    const double breathLevel = voicing.windNoise;

    // Chiff: a burst of band-passed noise in the upper partials (1.2-6 kHz),
    // only in the attack, at RMS 1 before its envelope.
    const std::vector<double> chiff = ChiffNoise(attack, std::clamp(lowest * 5.0, 1200.0, 6000.0), noise);
    const double chiffTime = voicing.chiffSeconds * speechScale * kSampleRate;

    std::vector<double> dry(total);
    for (int64_t t = 0; t < total; ++t) {
        double tone = steady(t) * gain + breathLevel * recipe.level * breath[t % L];
        if (t < attack) {
            double x = static_cast<double>(t) / static_cast<double>(attack);
            double rise = 1.0 - std::pow(1.0 - x, 3.0);
            double fade = (1.0 - x) * (1.0 - x);
            // The burst itself rises over 2 ms, so the sample starts from silence.
            double onset = std::exp(-static_cast<double>(t) / chiffTime) * fade *
                           std::min(1.0, static_cast<double>(t) / (0.002 * kSampleRate));
            double octave = std::sin(kTwoPi * 2.0 * static_cast<double>(plan.periods[0]) *
                                     static_cast<double>(t % L) / L);
            tone = tone * rise + recipe.level * onset *
                                     (voicing.chiffLevel * 2.0 * chiff[t] + voicing.octaveTransient * octave * rise);
        } else if (t >= releaseMarker) {
            double u = static_cast<double>(t - releaseMarker) / kSampleRate;
            double envelope = (1.0 - voicing.roomShare) * std::exp(-u / (voicing.speechDecay * speechScale)) +
                              voicing.roomShare * std::exp(-u / voicing.roomDecay);
            // The last fifth fades to silence so the file ends at zero.
            double left = 1.0 - u / kReleaseSeconds;
            envelope *= std::min(1.0, left * 5.0);
            tone *= envelope;
        }
        dry[t] = tone;
    }

    sound = PipeSound{};
    sound.channels = recipe.channels;
    sound.loopStart = loopStart;
    sound.loopEnd = releaseMarker - 1;
    sound.releaseMarker = releaseMarker;
    sound.plan = plan;
    sound.samples.resize(static_cast<size_t>(total * recipe.channels));
    if (recipe.channels == 1) {
        for (int64_t t = 0; t < total; ++t) sound.samples[t] = Quantise(dry[t]);
    } else {
        const double gains[2] = {recipe.leftGain, recipe.rightGain};
        const int64_t delays[2] = {std::clamp<int64_t>(recipe.leftDelay, 0, kMaxChannelDelay),
                                   std::clamp<int64_t>(recipe.rightDelay, 0, kMaxChannelDelay)};
        for (int64_t t = 0; t < total; ++t)
            for (int c = 0; c < 2; ++c) {
                int64_t source = t - delays[c];
                double v = source >= 0 ? dry[source] * gains[c] : 0.0;
                sound.samples[t * 2 + c] = Quantise(v);
            }
    }
    return true;
}

}  // namespace tessaline::demo
