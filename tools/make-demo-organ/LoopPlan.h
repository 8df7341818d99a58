#pragma once
// Loop lengths for synthesised pipes. A sustain loop is seamless when every
// partial of every rank completes a whole number of periods in it, so each
// rank's frequency becomes periods * 44100 / loopFrames. The plan picks the
// loop length that brings every rank closest to its wanted pitch.

#include <cstdint>
#include <span>
#include <vector>

namespace tessaline::demo {

// Equal temperament at A = 440 Hz; the note may be fractional (cents / 100).
double EqualTemperament(double midiNote);
// Signed distance from reference to frequency in cents.
double CentsBetween(double frequency, double reference);

struct LoopPlan {
    int64_t loopFrames = 0;
    std::vector<int64_t> periods;  // whole periods of each rank in the loop
    double worstCents = 0.0;       // largest pitch error over the ranks

    double Frequency(size_t rank) const;
};

// Searches loop lengths from minFrames to maxFrames (the first one whose
// worst error is below goodEnoughCents wins, otherwise the best of all).
// False when no length gives every rank at least one period.
bool PlanLoop(std::span<const double> frequencies, int64_t minFrames, int64_t maxFrames,
              double goodEnoughCents, LoopPlan& plan);

}  // namespace tessaline::demo
