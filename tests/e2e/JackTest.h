#pragma once
// What the end-to-end tests on JACK share: a fixture that starts a private
// server for each test (skipping, with the reason, when jackd cannot start),
// measures of captured sound, and an organ set up on the server as the
// program sets it up.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JackHarness.h"
#include "audio/AudioEngine.h"
#include "midi/MidiInputSystem.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "support/OrganRig.h"

namespace tessaline::e2e {

class JackTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Opens the capture for `seconds`, connects it to the organ's output
    // ports, lets the connection settle and records the first 0.2 s, so that
    // later frames follow a connected graph. Call under ASSERT_NO_FATAL_FAILURE.
    void StartCapture(JackCapture& capture, size_t seconds);

    JackServer server;
};

// The median of the frequencies (counted by upward zero crossings) of
// consecutive 0.1 s pieces from `from`: one dropped cycle of a loaded test
// machine moves one piece, not the result.
double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces);
// The largest magnitude in x[from, to).
float Peak(const std::vector<float>& x, size_t from, size_t to);
// The first frame of x[from, to) whose magnitude reaches threshold, or `to`.
size_t FirstSound(const std::vector<float>& x, size_t from, size_t to, float threshold);
// A WAV file of a looped sine of amplitude 12000 and `period` frames a cycle:
// 100 cycles, the loop over whole cycles from the tenth, the release marker at
// the loop's end.
std::string SineWav(uint32_t period);

// An organ on the JACK server as the program sets it up: MIDI from the
// keyboards' ports through RtMidi and the MIDI input system, sound from the
// engine on the JACK device. Counts the MIDI messages that reach it.
class JackOrgan : public MidiMessageTarget {
public:
    // Lists the MIDI ports, which must include the keyboards' (opened before),
    // and sets `device` to the device of each. Call under ASSERT_NO_FATAL_FAILURE.
    void FindKeyboards(const std::vector<const JackMidiSender*>& keyboards);
    // Loads the organ, puts its engine on the JACK device with a buffer of
    // bufferFrames, applies the setup and activates the organ. Call under
    // ASSERT_NO_FATAL_FAILURE.
    void Start(const std::string& organPath, const SetupInfo& setup, int64_t bufferFrames);
    // As the window activates and deactivates the organ.
    bool Activate() { return engine.StartPlayback() && rig.organ.OpenMidiInputs(); }
    bool Deactivate() { return engine.StopPlayback() && rig.organ.CloseMidiInputs(); }
    void OnMidiMessage(unsigned deviceNumber, uint32_t message) override {
        delivered.fetch_add(1, std::memory_order_relaxed);
        rig.organ.OnMidiMessage(deviceNumber, message);
    }

    test::OrganRig rig;
    std::unique_ptr<RtMidiPorts> ports;
    std::unique_ptr<MidiInputSystem> midi;
    std::vector<unsigned> device;
    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine{devices, timers};
    std::atomic<uint64_t> delivered{0};
};

}  // namespace tessaline::e2e
