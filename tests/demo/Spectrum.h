#pragma once
// Amplitude of one DFT bin, for the pitch and timbre checks of pipe sounds.

#include <cmath>
#include <cstdint>
#include <numbers>

namespace tessaline::demo {

// Amplitude of the sinusoid with k periods in the n frames from `values`
// (interleaved, `channels` values a frame), by Goertzel's recurrence.
inline double BinAmplitude(const int16_t* values, int channels, int64_t n, int64_t k) {
    const double w = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    double s1 = 0.0, s2 = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        double s = values[i * channels] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return 2.0 * std::hypot(s1 - s2 * std::cos(w), s2 * std::sin(w)) / static_cast<double>(n);
}

}  // namespace tessaline::demo
