// Faults of the JACK server and its clients under a playing organ: the server
// killed while the organ is active, and a keyboard's client that goes away.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JackHarness.h"
#include "audio/AudioEngine.h"
#include "midi/MidiInputSystem.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"
#include "support/WavBuilder.h"

namespace tessaline::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A looped square wave of 100-frame periods, release marker at the loop end.
std::string SquareWav() {
    std::vector<int16_t> values;
    for (int i = 0; i < 20000; ++i) values.push_back(i % 100 < 50 ? 9000 : -9000);
    test::WavBuilder wav;
    wav.Values(values).Loop(1000, 18999).Cue(19000);
    return wav.Build();
}

// Waits, at most `limit`, for the condition.
template <class Condition>
bool WaitUntil(Condition condition, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// How long the call took.
template <class Call>
Clock::duration Timed(Call call) {
    const auto begin = Clock::now();
    call();
    return Clock::now() - begin;
}

// The organ of one manual (notes 60 to 71) and one stop, whose every pipe
// plays the square wave, activated on the JACK server with two keyboards:
// manual 1 listens to the first, redirectable input A (sending to manual 1)
// to the second.
struct JackOrgan {
    bool Build(JackServer& server) {
        if (!first.Open(server.Name()) || !second.Open(server.Name())) return false;
        ports = std::make_unique<RtMidiPorts>(RtMidiPorts::Api::Jack);
        midi = std::make_unique<MidiInputSystem>(*ports, rig.organ);
        firstDevice = midi->FindDevice(first.PortName());
        secondDevice = midi->FindDevice(second.PortName());
        if (firstDevice == MidiInputSystem::kNoDevice || secondDevice == MidiInputSystem::kNoDevice)
            return false;
        if (engine.DeviceCount() < 1 || engine.FindDevice("Jack: system") != 0) return false;
        if (!engine.SetParameters(0, 16 * 128)) return false;

        auto file = test::OrganFileBuilder::MinimalOrgan();
        test::SetManual(file, 1, 12, {1});
        file.Set("Manual001", "FirstAccessibleKeyMIDINoteNumber", "60");
        rig.dir.Write("pipes/square.wav", SquareWav());
        test::SetStop(file, 1, std::vector<std::string>(12, "pipes/square.wav"));
        file.Set("Stop001", "DefaultToEngaged", "Y");
        if (!rig.Load(file) || !rig.organ.AttachEngine(engine)) return false;
        SetupInfo setup;
        setup.ManualMIDIInDevNumber[1] = firstDevice;
        setup.ManualAMIDIInDevNumber = secondDevice;
        setup.ManualBMIDIInDevNumber = firstDevice;
        if (!rig.organ.midiRouting.ApplySetup(setup)) return false;
        {
            auto lock = rig.organ.LockAction();
            rig.organ.ResetActionLocked();
            rig.organ.midiRouting.ResetRedirectableInputs();
        }
        rig.organ.midiRouting.SetInputSystem(midi.get());
        return Activate();
    }
    // As the window activates and deactivates the organ.
    bool Activate() { return engine.StartPlayback() && rig.organ.OpenMidiInputs(); }
    bool Deactivate() { return engine.StopPlayback() && rig.organ.CloseMidiInputs(); }

    uint32_t Holds(int note) { return rig.organ.manuals[1].keys[static_cast<size_t>(note - 60)].holds; }

    test::OrganRig rig;
    JackMidiSender first, second;
    std::unique_ptr<RtMidiPorts> ports;
    std::unique_ptr<MidiInputSystem> midi;
    unsigned firstDevice = 0, secondDevice = 0;
    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine{devices, timers};
};

// Records the organ's output on the server and says whether it sounds.
bool Sounds(JackServer& server) {
    const std::string left = FindPort(server.Name(), "^Tessaline.*:outport 0$", JackPortIsOutput);
    const std::string right = FindPort(server.Name(), "^Tessaline.*:outport 1$", JackPortIsOutput);
    JackCapture capture;
    if (!capture.Open(server.Name(), kJackRate) || !capture.Connect(left, right)) return false;
    capture.Start();
    if (!capture.WaitForFrames(kJackRate / 2, 10)) return false;
    capture.Stop();
    float peak = 0;
    for (size_t i = 0; i < capture.Frames(); ++i) peak = std::max(peak, std::fabs(capture.Left()[i]));
    return peak > 0.05f;
}

TEST(JackFault, AServerKilledUnderThePlayingOrganIsReportedOnceAndTheOrganPlaysAgainWhenItIsBack) {
    JackServer server;
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;
    JackOrgan organ;
    ASSERT_TRUE(organ.Build(server));
    ASSERT_EQ(organ.rig.errors.Count(), 0u) << organ.rig.errors.Errors()[0].boxText;
    ASSERT_TRUE(organ.first.Send({0x91, 64, 100}));  // manual 1's channel 2
    ASSERT_TRUE(WaitUntil([&] { return organ.Holds(64) == 1; }, 5s));

    server.Crash();
    ASSERT_TRUE(WaitUntil([&] { return organ.rig.errors.Count() > 0; }, 5s))
        << "the lost server went unnoticed";
    std::this_thread::sleep_for(300ms);  // ticks go on meanwhile
    ASSERT_EQ(organ.rig.errors.Count(), 1u);
    EXPECT_EQ(organ.rig.errors.Errors()[0].boxText,
              "Message: The audio output device stopped playing.\n\n"
              "Attempted action: Running audio system.");
    EXPECT_TRUE(organ.engine.Stream().DeviceLost());

    // The window's calls still return at once: keys, drawstops, the clock.
    Organ& o = organ.rig.organ;
    const auto keys = Timed([&] {
        o.KeyDown(1, 62, 0);
        o.KeyUp(1, 62, 0);
        o.KeyUp(1, 64, 1);  // manual 1's path is source 1
        o.StopToggle(1, 0);
        o.StopToggle(1, 0);
        organ.engine.CurrentPlayPosition();
    });
    EXPECT_LT(keys, 200ms);
    EXPECT_EQ(organ.Holds(64), 0u);

    // Deactivated while the server is down, activated once it is back.
    bool deactivated = false;
    EXPECT_LT(Timed([&] { deactivated = organ.Deactivate(); }), 2s);
    EXPECT_TRUE(deactivated);
    organ.first.Close();
    organ.second.Close();
    ASSERT_TRUE(server.Start(whyNot)) << whyNot;
    ASSERT_TRUE(organ.first.Open(server.Name()));
    ASSERT_TRUE(organ.second.Open(server.Name()));
    ASSERT_TRUE(organ.Activate());
    EXPECT_FALSE(organ.engine.Stream().DeviceLost());
    EXPECT_EQ(organ.rig.errors.Count(), 1u);

    // The keyboards' new clients, found again by name, play the organ, and
    // it sounds again.
    ASSERT_TRUE(organ.first.Send({0x91, 67, 100}));
    EXPECT_TRUE(WaitUntil([&] { return organ.Holds(67) == 1; }, 5s));
    EXPECT_TRUE(Sounds(server));
    EXPECT_TRUE(organ.Deactivate());
    EXPECT_EQ(organ.rig.errors.Count(), 1u);
}

TEST(JackFault, AKeyboardThatGoesAwayLeavesTheOtherPlayingTheOrgan) {
    JackServer server;
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;
    JackOrgan organ;
    ASSERT_TRUE(organ.Build(server));
    ASSERT_TRUE(organ.first.Send({0x91, 60, 100}));
    ASSERT_TRUE(organ.second.Send({0x97, 61, 100}));  // input A's channel 8
    ASSERT_TRUE(WaitUntil([&] { return organ.Holds(60) == 1 && organ.Holds(61) == 1; }, 5s));

    // The first keyboard quits with its key down.
    organ.first.Close();
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(organ.second.Send({0x87, 61, 0}));
    ASSERT_TRUE(organ.second.Send({0x97, 65, 100}));
    EXPECT_TRUE(WaitUntil([&] { return organ.Holds(61) == 0 && organ.Holds(65) == 1; }, 5s));
    EXPECT_EQ(organ.Holds(60), 1u);
    EXPECT_TRUE(Sounds(server));

    // Deactivation closes both ports, the orphaned one too, and lets the
    // keys go.
    EXPECT_TRUE(organ.Deactivate());
    {
        auto lock = organ.rig.organ.LockAction();
        organ.rig.organ.ResetActionLocked();
    }
    EXPECT_EQ(organ.Holds(60), 0u);
    EXPECT_EQ(organ.rig.errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline::e2e
