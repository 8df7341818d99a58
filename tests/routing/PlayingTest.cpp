#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;

// MIDI through virtual ports into the organ's own key action: manual 1 (24
// keys from note 36, path 2, channel 1) plays stop 1; manual 2 (24 keys from
// note 48, path 3, channel 3) plays stop 2. Both stops are drawn by default
// and answer stop-control note 70. Input A (channel 8) sends to manuals 1, 2.
class Playing : public ::testing::Test {
protected:
    void SetUp() override {
        ports.AddPort("Keyboards");
        midi.emplace(ports, rig.organ);
        rig.organ.midiRouting.SetInputSystem(&*midi);

        auto file = test::OrganFileBuilder::MinimalOrgan();
        file.Set("Organ", "NumberOfManuals", "2");
        test::SetManual(file, 1, 24, {1});
        test::SetManual(file, 2, 24, {2});
        file.Set("Manual001", "MIDIInputNumber", "2");
        file.Set("Manual002", "MIDIInputNumber", "3");
        file.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "48");
        for (int n = 1; n <= 2; ++n) {
            test::SetStop(file, n, test::WritePipeWavs(rig.dir, "stop" + std::to_string(n), 24));
            std::string section = n == 1 ? "Stop001" : "Stop002";
            file.Set(section, "DefaultToEngaged", "Y");
            file.Set(section, "StopControlMIDIKeyNumber", "70");
        }
        setup.ManualASend = {1, 2, 1, 2};
        ASSERT_TRUE(rig.Load(file));
        // Pipes start voices only through an attached engine; its clock stays at 0.
        ASSERT_TRUE(engine.SetParameters(static_cast<uint32_t>(engine.FindDevice("Virtual: Hand-driven output")), 512));
        ASSERT_TRUE(rig.organ.AttachEngine(engine));
        ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
        {
            auto lock = rig.organ.LockAction();
            rig.organ.ResetActionLocked();
            rig.organ.midiRouting.ResetRedirectableInputs();
        }
        ASSERT_TRUE(rig.organ.OpenMidiInputs());
        ASSERT_EQ(rig.errors.Count(), 0u);
    }
    Pipe& PipeOf(int manual, int key) {
        return *rig.organ.manuals[static_cast<size_t>(manual)].GetStop(0)->GetPipe(key);
    }
    void Send(uint32_t message) { ASSERT_TRUE(ports.Send(0, message)); }

    VirtualMidiPorts ports;
    VirtualAudioSystem output;
    ManualTimerService timers;
    AudioEngine engine{output, timers};
    test::OrganRig rig;
    // The organ's own pool, where its pipes start their voices.
    VoicePool& voices = rig.organ.Voices();
    std::optional<MidiInputSystem> midi;
    SetupInfo setup;
};

TEST_F(Playing, NotesSoundTheKeyShiftedPipeAndVelocityZeroReleasesIt) {
    ASSERT_TRUE(rig.organ.CloseMidiInputs());
    setup.ManualKeyShift[1] = 12;
    ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
    ASSERT_TRUE(rig.organ.OpenMidiInputs());

    Send(Message(0x90, 40, 100));  // note 52: key 16
    EXPECT_TRUE(PipeOf(1, 16).sounding);
    EXPECT_EQ(PipeOf(1, 16).holdCount, 1u);
    EXPECT_FALSE(PipeOf(1, 4).sounding);
    EXPECT_EQ(voices.CountInUse(), 1);
    // A second note-on from the same keyboard adds no hold.
    Send(Message(0x90, 40, 90));
    EXPECT_EQ(PipeOf(1, 16).holdCount, 1u);
    Send(Message(0x90, 40, 0));
    EXPECT_FALSE(PipeOf(1, 16).sounding);
    EXPECT_EQ(PipeOf(1, 16).holdCount, 0u);
    // Manual 2 on its own channel, with its own first note.
    Send(Message(0x92, 50, 100));
    EXPECT_TRUE(PipeOf(2, 2).sounding);
    Send(Message(0x82, 50, 100));
    EXPECT_FALSE(PipeOf(2, 2).sounding);
}

TEST_F(Playing, ARedirectableSendMovesHeldKeysToTheSameLogicalKeys) {
    Send(Message(0x97, 40, 100));  // input A on manual 1: key 4
    Send(Message(0x90, 40, 100));  // and manual 1's own keyboard
    EXPECT_EQ(PipeOf(1, 4).holdCount, 1u);
    EXPECT_TRUE(rig.organ.midiRouting.SelectSend(0, 1));
    // Manual 1 keeps sounding from its own keyboard; key 4 of manual 2
    // (note 52) now sounds from input A.
    EXPECT_TRUE(PipeOf(1, 4).sounding);
    EXPECT_TRUE(PipeOf(2, 4).sounding);
    EXPECT_TRUE(rig.organ.manuals[2].keys[4].directMask & (1u << 10));
    EXPECT_EQ(rig.organ.manuals[1].keys[4].directMask, 1u << 1);
    Send(Message(0x87, 40, 0));  // note 40 is key 4 of neither now: manual 2 starts at 48
    EXPECT_TRUE(PipeOf(2, 4).sounding);
    Send(Message(0x87, 52, 0));
    EXPECT_FALSE(PipeOf(2, 4).sounding);
    Send(Message(0x80, 40, 0));
    EXPECT_FALSE(PipeOf(1, 4).sounding);
}

TEST_F(Playing, StopControlNotesDrawAndRetireStopsWhileKeysAreHeld) {
    Send(Message(0x90, 41, 100));
    Send(Message(0x92, 49, 100));
    EXPECT_TRUE(PipeOf(1, 5).sounding);
    EXPECT_TRUE(PipeOf(2, 1).sounding);
    Send(Message(0x84, 70, 64));  // channel 5: both stops retire
    EXPECT_FALSE(rig.organ.manuals[1].GetStop(0)->Engaged());
    EXPECT_FALSE(rig.organ.manuals[2].GetStop(0)->Engaged());
    EXPECT_FALSE(PipeOf(1, 5).sounding);
    EXPECT_FALSE(PipeOf(2, 1).sounding);
    Send(Message(0x94, 70, 64));
    EXPECT_TRUE(PipeOf(1, 5).sounding);
    EXPECT_TRUE(PipeOf(2, 1).sounding);
    Send(Message(0x94, 71, 64));  // no drawstop answers 71
    EXPECT_TRUE(rig.organ.manuals[1].GetStop(0)->Engaged());
}

TEST_F(Playing, AllNotesOffCutsItsChannelAndSystemResetTheWholeOrgan) {
    Send(Message(0x90, 41, 100));
    Send(Message(0x92, 49, 100));
    Send(Message(0xB0, 123, 0));
    EXPECT_FALSE(PipeOf(1, 5).sounding);
    EXPECT_EQ(rig.organ.manuals[1].keys[5].holds, 0u);
    EXPECT_TRUE(PipeOf(2, 1).sounding);
    // After the cut the same key can be played again.
    Send(Message(0x90, 41, 100));
    EXPECT_TRUE(PipeOf(1, 5).sounding);

    ASSERT_TRUE(rig.organ.midiRouting.SelectSend(0, 1));
    Send(Message(0x84, 70, 0));  // retire both stops
    Send(Message(0xFF));
    EXPECT_FALSE(PipeOf(1, 5).sounding);
    EXPECT_FALSE(PipeOf(2, 1).sounding);
    EXPECT_EQ(rig.organ.manuals[2].keys[1].holds, 0u);
    EXPECT_TRUE(rig.organ.manuals[1].GetStop(0)->Engaged());  // back to its default
    EXPECT_EQ(rig.organ.midiRouting.redirectable[0].targetManual, 1u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline
