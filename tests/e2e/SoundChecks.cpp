#include "SoundChecks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "JackHarness.h"
#include "support/WavBuilder.h"

namespace tessaline::e2e {

double ZeroCrossingFrequency(const std::vector<float>& x, size_t from, size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from; i + 1 < to && i + 1 < x.size(); ++i) {
        if (x[i] < 0 && x[i + 1] >= 0) {
            double at = static_cast<double>(i) + x[i] / (x[i] - x[i + 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * kJackRate / (last - first);
}

double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces) {
    std::vector<double> found;
    const size_t piece = kJackRate / 10;
    for (size_t k = 0; k < pieces; ++k)
        found.push_back(ZeroCrossingFrequency(x, from + k * piece, from + (k + 1) * piece));
    std::sort(found.begin(), found.end());
    return found[found.size() / 2];
}

float Peak(const std::vector<float>& x, size_t from, size_t to) {
    float peak = 0;
    for (size_t i = from; i < to && i < x.size(); ++i) peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

size_t FirstSound(const std::vector<float>& x, size_t from, size_t to, float threshold) {
    for (; from < to && from < x.size(); ++from)
        if (std::fabs(x[from]) >= threshold) return from;
    return to;
}

std::string SineWav(uint32_t period) {
    std::vector<int16_t> values;
    for (uint32_t i = 0; i < 100 * period; ++i)
        values.push_back(static_cast<int16_t>(
            std::lround(12000.0 * std::sin(2.0 * std::numbers::pi * i / period))));
    test::WavBuilder wav;
    wav.Values(values).Loop(10 * period, 90 * period - 1).Cue(90 * period);
    return wav.Build();
}

}  // namespace tessaline::e2e
