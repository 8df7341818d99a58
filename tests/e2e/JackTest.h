#pragma once
// What the end-to-end tests on JACK share: a fixture that starts a private
// server for each test (skipping, with the reason, when jackd cannot start),
// and the capture of the program's audio output.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "JackHarness.h"
#include "SoundChecks.h"

namespace tessaline::e2e {

// The audio output ports of the program under test.
inline constexpr const char* kProgramLeftPort = "Tessaline:outport 0";
inline constexpr const char* kProgramRightPort = "Tessaline:outport 1";

class JackTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Opens the capture for `seconds`, connects it to the program's output
    // ports, lets the connection settle and records the first 0.2 s, so that
    // later frames follow a connected graph. Call under ASSERT_NO_FATAL_FAILURE.
    void StartCapture(JackCapture& capture, size_t seconds);

    JackServer server;
};

// Checks that a stream or engine lists the JACK server's device first and
// sets it up with a buffer of bufferFrames. Call under ASSERT_NO_FATAL_FAILURE.
template <class Output>
void UseJackDevice(Output& output, int64_t bufferFrames) {
    ASSERT_GE(output.DeviceCount(), 1u);
    ASSERT_STREQ(output.DeviceDescription(0), "Jack: system");
    ASSERT_TRUE(output.SetParameters(0, bufferFrames));
}

}  // namespace tessaline::e2e
