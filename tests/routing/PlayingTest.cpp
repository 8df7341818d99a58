#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "routing/RoutingRig.h"
#include "support/EngineRig.h"

namespace tessaline {
namespace {

using test::Message;

// MIDI through virtual ports into the organ's own key action: manual 1 (24
// keys from note 36, path 2, channel 1, key shift +12) plays stop 1; manual 2
// (24 keys from note 48, path 3, channel 3) plays stop 2. Both stops are drawn
// by default and answer stop-control note 70, as does the organ's tremulant.
// Input A (channel 8) sends to manuals 1, 2.
TEST(Playing, MidiPlaysTheOrgansOwnKeyActionDrawstopsAndResets) {
    VirtualMidiPorts ports;
    ports.AddPort("Keyboards");
    test::EngineRig sound{512};
    test::OrganRig rig;
    MidiInputSystem midi(ports, rig.organ);
    rig.organ.midiRouting.SetInputSystem(&midi);
    auto file = test::OrganFileBuilder::MinimalOrgan();
    file.Set("Organ", "NumberOfManuals", "2");
    test::SetManual(file, 1, 24, {1});
    test::SetManual(file, 2, 24, {2});
    file.Set("Manual001", "MIDIInputNumber", "2");
    file.Set("Manual002", "MIDIInputNumber", "3");
    file.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "48");
    for (int n = 1; n <= 2; ++n) {
        test::SetStop(file, n, test::WritePipeWavs(rig.dir, "stop" + std::to_string(n), 24));
        file.Set(NumberedName("Stop", n), "DefaultToEngaged", "Y");
        file.Set(NumberedName("Stop", n), "StopControlMIDIKeyNumber", "70");
    }
    file.Set("Organ", "NumberOfTremulants", "1");
    test::SetTremulant(file, 1);
    file.Set("Tremulant001", "StopControlMIDIKeyNumber", "70");
    SetupInfo setup;
    setup.ManualASend = {1, 2, 1, 2};
    setup.ManualKeyShift[1] = 12;
    ASSERT_TRUE(rig.Load(file));
    ASSERT_TRUE(rig.organ.AttachEngine(sound.engine));
    ASSERT_TRUE(rig.organ.midiRouting.ApplySetup(setup));
    {
        auto lock = rig.organ.LockAction();
        rig.organ.ResetActionLocked();
        rig.organ.midiRouting.ResetRedirectableInputs();
    }
    ASSERT_TRUE(rig.organ.OpenMidiInputs());
    auto send = [&](uint32_t message) { ASSERT_TRUE(ports.Send(0, message)); };
    auto pipe = [&](int manual, int key) -> Pipe& {
        return *rig.organ.manuals[static_cast<size_t>(manual)].GetStop(0)->GetPipe(key);
    };
    Stop& stop1 = *rig.organ.manuals[1].GetStop(0);

    send(Message(0x90, 40, 100));  // note 52: key 16
    EXPECT_TRUE(pipe(1, 16).sounding);
    EXPECT_FALSE(pipe(1, 4).sounding);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 1);
    send(Message(0x90, 40, 90));  // a second note-on from the same keyboard adds no hold
    EXPECT_EQ(pipe(1, 16).holdCount, 1u);
    send(Message(0x90, 40, 0));
    EXPECT_FALSE(pipe(1, 16).sounding);
    EXPECT_EQ(pipe(1, 16).holdCount, 0u);
    send(Message(0x92, 50, 100));  // manual 2 on its own channel, with its own first note
    EXPECT_TRUE(pipe(2, 2).sounding);
    send(Message(0x82, 50, 100));
    EXPECT_FALSE(pipe(2, 2).sounding);

    // Stop control on channel 5 draws and retires while keys are held.
    send(Message(0x90, 29, 100));
    send(Message(0x92, 49, 100));
    send(Message(0x84, 70, 64));
    EXPECT_FALSE(stop1.Engaged() || rig.organ.manuals[2].GetStop(0)->Engaged());
    EXPECT_FALSE(pipe(1, 5).sounding || pipe(2, 1).sounding);
    EXPECT_FALSE(rig.organ.Tremulants()[0].drawstop.Engaged());
    send(Message(0x94, 70, 64));
    EXPECT_TRUE(rig.organ.Tremulants()[0].drawstop.Engaged());
    EXPECT_TRUE(pipe(1, 5).sounding && pipe(2, 1).sounding);
    send(Message(0x94, 71, 64));  // no drawstop answers 71
    EXPECT_TRUE(stop1.Engaged());

    // All notes off cuts its channel only; the key plays again after it.
    send(Message(0xB0, 123, 0));
    EXPECT_FALSE(pipe(1, 5).sounding);
    EXPECT_EQ(rig.organ.manuals[1].keys[5].holds, 0u);
    EXPECT_TRUE(pipe(2, 1).sounding);
    send(Message(0x90, 29, 100));
    EXPECT_TRUE(pipe(1, 5).sounding);

    // A system reset silences everything, draws the defaults again and sends
    // input A back to its first manual.
    ASSERT_TRUE(rig.organ.midiRouting.SelectSend(0, 1));
    send(Message(0x84, 70, 0));
    send(Message(0xFF));
    EXPECT_FALSE(pipe(1, 5).sounding || pipe(2, 1).sounding);
    EXPECT_EQ(rig.organ.manuals[2].keys[1].holds, 0u);
    EXPECT_TRUE(stop1.Engaged());
    EXPECT_EQ(rig.organ.midiRouting.redirectable[0].targetManual, 1u);
    EXPECT_EQ(rig.errors.Count(), 0u);
    ASSERT_TRUE(rig.organ.CloseMidiInputs());
}

}  // namespace
}  // namespace tessaline
