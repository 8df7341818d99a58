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

}  // namespace tessaline::e2e
