#include "JackTest.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

namespace tessaline::e2e {

void JackTest::SetUp() {
    std::string whyNot;
    if (!server.Start(whyNot)) GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;
}

void JackTest::StartCapture(JackCapture& capture, size_t seconds) {
    ASSERT_TRUE(capture.Open(server.Name(), seconds * kJackRate));
    ASSERT_TRUE(capture.Connect(kProgramLeftPort, kProgramRightPort));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.Start();
    ASSERT_TRUE(capture.WaitForFrames(kJackRate / 5, 5)) << "the JACK server stalled";
}

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
    return found.empty() ? 0 : found[found.size() / 2];
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

}  // namespace tessaline::e2e
