#include "LoopPlan.h"

#include <cmath>
#include <limits>

#include "organ/Constants.h"

namespace tessaline::demo {

double EqualTemperament(double midiNote) { return 440.0 * std::exp2((midiNote - 69.0) / 12.0); }

double CentsBetween(double frequency, double reference) {
    return 1200.0 * std::log2(frequency / reference);
}

double LoopPlan::Frequency(size_t rank) const {
    return static_cast<double>(periods[rank]) * kSampleRate / static_cast<double>(loopFrames);
}

bool PlanLoop(std::span<const double> frequencies, int64_t minFrames, int64_t maxFrames,
              double goodEnoughCents, LoopPlan& plan) {
    plan = LoopPlan{};
    double best = std::numeric_limits<double>::infinity();
    std::vector<int64_t> periods(frequencies.size());
    for (int64_t frames = minFrames; frames <= maxFrames; ++frames) {
        double worst = 0.0;
        bool usable = true;
        for (size_t r = 0; r < frequencies.size(); ++r) {
            double exact = frequencies[r] * static_cast<double>(frames) / kSampleRate;
            periods[r] = std::llround(exact);
            if (periods[r] < 1) {
                usable = false;
                break;
            }
            double actual = static_cast<double>(periods[r]) * kSampleRate / static_cast<double>(frames);
            worst = std::max(worst, std::fabs(CentsBetween(actual, frequencies[r])));
        }
        if (!usable || worst >= best) continue;
        best = worst;
        plan.loopFrames = frames;
        plan.periods = periods;
        plan.worstCents = worst;
        if (worst < goodEnoughCents) break;
    }
    return plan.loopFrames > 0;
}

}  // namespace tessaline::demo
