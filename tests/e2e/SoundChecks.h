#pragma once
// Measurements of captured or recorded sound shared by the end-to-end tests,
// and the looped sine pipe they play.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaline::e2e {

// Frequency from the upward zero crossings of x[from, to), each crossing
// placed between its two frames by linear interpolation; 0 with fewer than
// two crossings.
double ZeroCrossingFrequency(const std::vector<float>& x, size_t from, size_t to);

// The median of the frequencies of consecutive 0.1 s pieces from `from`: one
// dropped cycle of a loaded test machine moves one piece, not the result.
double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces);

// The largest magnitude in x[from, to), 0 for an empty range.
float Peak(const std::vector<float>& x, size_t from, size_t to);
// The first frame of x[from, to) whose magnitude reaches threshold, or `to`.
size_t FirstSound(const std::vector<float>& x, size_t from, size_t to, float threshold);

// A WAV file of a looped sine of `period` frames a cycle: 100 cycles, the
// loop over whole cycles, the release marker at the loop's end.
std::string SineWav(uint32_t period);

}  // namespace tessaline::e2e
