// Notes from a JACK MIDI client, through RtMidi, the MIDI input system and
// the organ's routing and key action (couplers included), to pipes played by
// the engine's stream on the JACK device, captured from JACK.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "JackTest.h"
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

constexpr int64_t kBuffer = 16 * 128;

// Stop n of twelve pipes from note 60 on: key 9 (note 69) sounds 441 Hz (a
// period of 100 frames), every other key 210 Hz.
void SetTwelvePipeStop(test::OrganRig& rig, test::OrganFileBuilder& file, int n) {
    rig.dir.Write("pipes/a.wav", SineWav(100));
    rig.dir.Write("pipes/low.wav", SineWav(210));
    std::vector<std::string> pipes(12, "pipes/low.wav");
    pipes[9] = "pipes/a.wav";
    test::SetStop(file, n, pipes);
}

// Manual m of twelve keys from note 60, on MIDI input path `path` (from 1).
void SetTwelveKeyManual(test::OrganFileBuilder& file, int m, int path, const std::vector<int>& stops) {
    test::SetManual(file, m, 12, stops);
    const std::string section = NumberedName("Manual", m);
    file.Set(section, "FirstAccessibleKeyMIDINoteNumber", "60");
    file.Set(section, "MIDIInputNumber", std::to_string(path));
}

class RoutingOnJack : public JackTest {
protected:
    // Loads the organ, starts it on the JACK device and opens its MIDI inputs
    // with every path on the keyboard's port. Call under ASSERT_NO_FATAL_FAILURE.
    void StartOrgan(const test::OrganFileBuilder& file) {
        // The keyboard exists before the MIDI ports are listed.
        ASSERT_TRUE(keyboard.Open(server.Name()));
        ports = std::make_unique<RtMidiPorts>(RtMidiPorts::Api::Jack);
        midi = std::make_unique<MidiInputSystem>(*ports, rig.organ);
        const unsigned device = midi->FindDevice(keyboard.PortName());
        ASSERT_NE(device, MidiInputSystem::kNoDevice) << keyboard.PortName();

        devices = std::make_unique<RtAudioOutputSystem>();
        engine = std::make_unique<AudioEngine>(*devices, timers);
        ASSERT_NO_FATAL_FAILURE(UseJackDevice(*engine, kBuffer));
        ASSERT_TRUE(rig.Load(file));
        ASSERT_TRUE(rig.organ.AttachEngine(*engine));
        SetupInfo setup;
        setup.ManualMIDIInDevNumber.fill(device);
        ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
        {
            auto lock = rig.organ.LockAction();
            rig.organ.ResetActionLocked();
            rig.organ.midiRouting.ResetRedirectableInputs();
        }
        rig.organ.midiRouting.SetInputSystem(midi.get());
        ASSERT_TRUE(engine->StartPlayback());
        ASSERT_TRUE(rig.organ.OpenMidiInputs());
        ASSERT_EQ(rig.errors.Count(), 0u) << rig.errors.Errors()[0].boxText;
        ASSERT_NO_FATAL_FAILURE(StartCapture(capture, 5));
    }

    // Holds the key of `note` on MIDI channel `channel` (from 1) for 1.5 s,
    // releases it and records 0.5 s more; then stops the organ.
    void PlayNote(int channel, int note) {
        const auto status = static_cast<uint8_t>(channel - 1);
        const auto key = static_cast<uint8_t>(note);
        pressedAt = capture.Frames();
        ASSERT_TRUE(keyboard.Send({static_cast<uint8_t>(0x90 | status), key, 100}));
        ASSERT_TRUE(capture.WaitForFrames(pressedAt + 3 * kJackRate / 2, 20));
        releasedAt = capture.Frames();
        ASSERT_TRUE(keyboard.Send({static_cast<uint8_t>(0x80 | status), key, 0}));
        ASSERT_TRUE(capture.WaitForFrames(releasedAt + kJackRate / 2, 20));
        capture.Stop();
        EXPECT_TRUE(rig.organ.CloseMidiInputs());
        EXPECT_TRUE(engine->StopPlayback());
        EXPECT_EQ(rig.errors.Count(), 0u);
    }

    // Silence before the key; about one buffer after it a pipe at `hz`,
    // sounding until the release reaches the output; silence after the release.
    void ExpectASoundWhileHeld(double hz) {
        const std::vector<float>& sound = capture.Left();
        EXPECT_LT(Peak(sound, pressedAt - kJackRate / 10, pressedAt), 0.001f) << "sound before the key";
        const size_t first = FirstSound(sound, pressedAt, releasedAt, 0.01f);
        // The MIDI and audio threads of a loaded machine may add to the buffer.
        ASSERT_LT(first, pressedAt + kJackRate / 2) << "the key sounded nothing in time";
        const size_t steady = first + kJackRate / 10;
        EXPECT_NEAR(MedianFrequency(sound, steady, 7), hz, 1.0);
        EXPECT_GT(Peak(sound, steady, steady + 7 * kJackRate / 10), 0.05f);
        EXPECT_GT(Peak(sound, releasedAt, releasedAt + kBuffer), 0.05f);
        EXPECT_LT(Peak(sound, releasedAt + kJackRate / 4, releasedAt + kJackRate / 2), 0.001f)
            << "the pipe did not stop";
    }

    JackMidiSender keyboard;
    test::OrganRig rig;
    std::unique_ptr<RtMidiPorts> ports;
    std::unique_ptr<MidiInputSystem> midi;
    std::unique_ptr<RtAudioOutputSystem> devices;
    ThreadTimerService timers;
    std::unique_ptr<AudioEngine> engine;
    JackCapture capture;
    size_t pressedAt = 0;
    size_t releasedAt = 0;
};

TEST_F(RoutingOnJack, AHeldKeySoundsItsPipeAtItsPitchAndItsReleaseEndsIt) {
    auto file = test::OrganFileBuilder::MinimalOrgan();
    SetTwelveKeyManual(file, 1, 1, {1});
    SetTwelvePipeStop(rig, file, 1);
    file.Set("Stop001", "DefaultToEngaged", "Y");
    ASSERT_NO_FATAL_FAILURE(StartOrgan(file));

    // The first path's default channel is 2.
    ASSERT_NO_FATAL_FAILURE(PlayNote(2, 69));
    ExpectASoundWhileHeld(441.0);
}

TEST_F(RoutingOnJack, AKeyCoupledToAnotherManualSoundsThatManualsPipeUntilItsRelease) {
    // Manual 1 (path 1, channel 2) has a stop of 210 Hz pipes, not drawn;
    // its engaged coupler plays manual 2 (path 3, channel 3), whose stop is
    // drawn: only that stop has a 441 Hz pipe.
    auto file = test::OrganFileBuilder::MinimalOrgan();
    file.Set("Organ", "NumberOfManuals", "2");
    SetTwelveKeyManual(file, 1, 1, {1});
    SetTwelveKeyManual(file, 2, 3, {2});
    file.Set("Manual001", "NumberOfCouplers", "1");
    file.Set("Manual001", "Coupler001", "1");
    SetTwelvePipeStop(rig, file, 2);
    test::SetStop(file, 1, std::vector<std::string>(12, "pipes/low.wav"));
    file.Set("Stop002", "DefaultToEngaged", "Y");
    test::SetCoupler(file, 1, 2, 0);
    file.Set("Coupler001", "DefaultToEngaged", "Y");
    ASSERT_NO_FATAL_FAILURE(StartOrgan(file));

    ASSERT_NO_FATAL_FAILURE(PlayNote(2, 69));
    ExpectASoundWhileHeld(441.0);
}

}  // namespace
}  // namespace tessaline::e2e
