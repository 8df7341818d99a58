// A note from a JACK MIDI client, through RtMidi, the MIDI input system and
// the organ's routing and key action, to a pipe played by the engine's stream
// on the JACK device, captured from JACK.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "JackHarness.h"
#include "SoundChecks.h"
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

// The full name of the one output port matching pattern: the MIDI input and
// the audio output each open a JACK client under the program's name, and the
// server renames the later one.
std::string OutputPort(const std::string& server, const char* pattern) {
    jack_client_t* client = jack_client_open(
        "routing-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), nullptr,
        server.c_str());
    if (!client) return "";
    std::string name;
    if (const char** found = jack_get_ports(client, pattern, nullptr, JackPortIsOutput)) {
        if (found[0] && !found[1]) name = found[0];
        jack_free(found);
    }
    jack_client_close(client);
    return name;
}

float Peak(const std::vector<float>& x, size_t from, size_t to) {
    float peak = 0;
    for (size_t i = from; i < to && i < x.size(); ++i) peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

TEST(RoutingOnJack, AHeldKeySoundsItsPipeAtItsPitchAndItsReleaseEndsIt) {
    JackServer server;
    std::string whyNot;
    if (!server.Start(whyNot))
        GTEST_SKIP() << "jackd could not start, so no end-to-end test: " << whyNot;

    // The keyboard exists before the MIDI ports are listed.
    JackMidiSender keyboard;
    ASSERT_TRUE(keyboard.Open(server.Name()));

    test::OrganRig rig;
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, rig.organ);
    const unsigned device = midi.FindDevice(keyboard.PortName());
    ASSERT_NE(device, MidiInputSystem::kNoDevice) << keyboard.PortName();

    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine(devices, timers);
    ASSERT_GE(engine.DeviceCount(), 1u);
    ASSERT_STREQ(engine.DeviceDescription(0), "Jack: system");
    constexpr int64_t kBuffer = 16 * 128;
    ASSERT_TRUE(engine.SetParameters(0, kBuffer));

    // Twelve keys from note 60; note 69 (key 9) sounds 441 Hz (a period of
    // 100 frames), every other key 210 Hz.
    auto file = test::OrganFileBuilder::MinimalOrgan();
    test::SetManual(file, 1, 12, {1});
    file.Set("Manual001", "FirstAccessibleKeyMIDINoteNumber", "60");
    rig.dir.Write("pipes/a.wav", SineWav(100));
    rig.dir.Write("pipes/low.wav", SineWav(210));
    std::vector<std::string> pipes(12, "pipes/low.wav");
    pipes[9] = "pipes/a.wav";
    test::SetStop(file, 1, pipes);
    file.Set("Stop001", "DefaultToEngaged", "Y");
    ASSERT_TRUE(rig.Load(file));
    ASSERT_TRUE(rig.organ.AttachEngine(engine));
    SetupInfo setup;
    setup.ManualMIDIInDevNumber[0] = device;
    ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
    {
        auto lock = rig.organ.LockAction();
        rig.organ.ResetActionLocked();
        rig.organ.midiRouting.ResetRedirectableInputs();
    }
    rig.organ.midiRouting.SetInputSystem(&midi);
    ASSERT_TRUE(engine.StartPlayback());
    ASSERT_TRUE(rig.organ.OpenMidiInputs());
    ASSERT_EQ(rig.errors.Count(), 0u) << rig.errors.Errors()[0].boxText;

    JackCapture capture;
    ASSERT_TRUE(capture.Open(server.Name(), 5 * kJackRate));
    const std::string left = OutputPort(server.Name(), "^Tessaline.*:outport 0$");
    const std::string right = OutputPort(server.Name(), "^Tessaline.*:outport 1$");
    ASSERT_TRUE(capture.Connect(left, right)) << left << " " << right;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture.Start();
    ASSERT_TRUE(capture.WaitForFrames(kJackRate / 5, 5));

    // Manual 1 is on the first path, whose default channel is 2.
    const size_t pressedAt = capture.Frames();
    ASSERT_TRUE(keyboard.Send({0x91, 69, 100}));
    ASSERT_TRUE(capture.WaitForFrames(pressedAt + 3 * kJackRate / 2, 20));
    const size_t releasedAt = capture.Frames();
    ASSERT_TRUE(keyboard.Send({0x81, 69, 0}));
    ASSERT_TRUE(capture.WaitForFrames(releasedAt + kJackRate / 2, 20));
    capture.Stop();
    EXPECT_TRUE(rig.organ.CloseMidiInputs());
    EXPECT_TRUE(engine.StopPlayback());
    EXPECT_EQ(rig.errors.Count(), 0u);

    const std::vector<float>& sound = capture.Left();
    EXPECT_LT(Peak(sound, pressedAt - kJackRate / 10, pressedAt), 0.001f) << "sound before the key";
    size_t first = pressedAt;
    while (first < releasedAt && std::fabs(sound[first]) < 0.01f) ++first;
    // About one buffer after the key; the MIDI and audio threads of a loaded
    // machine may add some.
    ASSERT_LT(first, pressedAt + kJackRate / 2) << "the key sounded nothing in time";
    // The held key's pipe at its pitch, through its loop: the median of 0.1 s
    // pieces, so that a cycle dropped by a loaded machine moves one piece only.
    const size_t steady = first + kJackRate / 10;
    EXPECT_NEAR(MedianFrequency(sound, steady, 7), 441.0, 1.0);
    EXPECT_GT(Peak(sound, steady, steady + 7 * kJackRate / 10), 0.05f);
    // Still sounding until the release reaches the output, then the release
    // plays out and silence follows.
    EXPECT_GT(Peak(sound, releasedAt, releasedAt + kBuffer), 0.05f);
    EXPECT_LT(Peak(sound, releasedAt + kJackRate / 4, releasedAt + kJackRate / 2), 0.001f)
        << "the pipe did not stop";
}

}  // namespace
}  // namespace tessaline::e2e
