#include "JackTest.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

#include "support/WavBuilder.h"

namespace tessaline::e2e {

void JackTest::SetUp() {
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;
}

void JackTest::StartCapture(JackCapture& capture, size_t seconds) {
    ASSERT_TRUE(capture.Open(server.Name(), seconds * kJackRate));
    ASSERT_TRUE(
        capture.Connect(FindPort(server.Name(), "^Tessaline.*:outport 0$", JackPortIsOutput),
                        FindPort(server.Name(), "^Tessaline.*:outport 1$", JackPortIsOutput)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.Start();
    ASSERT_TRUE(capture.WaitForFrames(kJackRate / 5, 5)) << "the JACK server stalled";
}

double MedianFrequency(const std::vector<float>& x, size_t from, size_t pieces) {
    std::vector<double> found;
    for (size_t k = 0; k < pieces; ++k) {
        double first = -1, last = -1;
        int crossings = 0;
        const size_t end = std::min(x.size(), from + (k + 1) * kJackRate / 10);
        for (size_t i = from + k * kJackRate / 10; i + 1 < end; ++i) {
            if (x[i] < 0 && x[i + 1] >= 0) {
                // Placed between its two frames by linear interpolation.
                last = static_cast<double>(i) + x[i] / (x[i] - x[i + 1]);
                if (first < 0) first = last;
                ++crossings;
            }
        }
        found.push_back(crossings < 2 ? 0 : (crossings - 1) * kJackRate / (last - first));
    }
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

void JackOrgan::FindKeyboards(const std::vector<const JackMidiSender*>& keyboards) {
    ports = std::make_unique<RtMidiPorts>(RtMidiPorts::Api::Jack);
    midi = std::make_unique<MidiInputSystem>(*ports, *this);
    for (const JackMidiSender* keyboard : keyboards) {
        device.push_back(midi->FindDevice(keyboard->PortName()));
        ASSERT_NE(device.back(), MidiInputSystem::kNoDevice) << keyboard->PortName();
    }
}

void JackOrgan::Start(const std::string& organPath, const SetupInfo& setup, int64_t bufferFrames) {
    // With a server running, JACK comes first in the list.
    ASSERT_GE(engine.DeviceCount(), 1u);
    ASSERT_STREQ(engine.DeviceDescription(0), "Jack: system");
    ASSERT_TRUE(engine.SetParameters(0, bufferFrames));
    ASSERT_TRUE(rig.organ.Load(organPath)) << rig.errors.Errors()[0].boxText;
    ASSERT_TRUE(rig.organ.AttachEngine(engine));
    ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
    {
        auto lock = rig.organ.LockAction();
        rig.organ.ResetActionLocked();
        rig.organ.midiRouting.ResetRedirectableInputs();
    }
    rig.organ.midiRouting.SetInputSystem(midi.get());
    ASSERT_TRUE(Activate());
    ASSERT_EQ(rig.errors.Count(), 0u) << rig.errors.Errors()[0].boxText;
}

}  // namespace tessaline::e2e
