#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;
using Lines = std::vector<std::string>;

// Default setup on port 0: path 1 (pedal) channel 2, path 2 (manuals 1 and
// 3) channel 1, path 3 (manual 2) channel 3, input A channel 8 (manual 0 by
// its first send), input B channel 9 (manual 1), stop control channel 5,
// frame inputs channels 1, 10, 10 with programs 1 back and 2 forward.
class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    }
    // Applies the changed setup to the open inputs.
    void Reapply() {
        ASSERT_TRUE(rig.rig.organ.CloseMidiInputs());
        ASSERT_TRUE(rig.Routing().ApplySetup(rig.setup));
        ASSERT_TRUE(rig.rig.organ.OpenMidiInputs());
    }
    Lines Send(unsigned port, uint32_t message) {
        EXPECT_TRUE(rig.ports.Send(port, message));
        return rig.actions.Take();
    }

    test::RoutingRig rig;
};

TEST_F(Dispatch, NotesPlayEveryConsumerOnTheirPortAndChannelWithTheirKeyShift) {
    // Manuals 1 and 3 share path 2 (channel 1): one keyboard holds a key on
    // each, under its own source id.
    EXPECT_EQ(Send(0, Message(0x90, 60, 100)), (Lines{"down 1 60 1", "down 3 60 3"}));
    // A note-on with velocity 0 releases exactly as a note-off does.
    EXPECT_EQ(Send(0, Message(0x90, 60, 0)), (Lines{"up 1 60 1", "up 3 60 3"}));
    EXPECT_EQ(Send(0, Message(0x81, 40, 64)), (Lines{"up 0 40 0"}));
    EXPECT_EQ(Send(0, Message(0x92, 50, 1)), (Lines{"down 2 50 2"}));
    // Input A plays the pedal (its first send), B plays manual 1.
    EXPECT_EQ(Send(0, Message(0x97, 45, 9)), (Lines{"down 0 45 10"}));
    EXPECT_EQ(Send(0, Message(0x88, 45, 9)), (Lines{"up 1 45 11"}));
    // Nothing listens on channel 12 or on another port.
    EXPECT_EQ(Send(0, Message(0x9B, 60, 100)), Lines{});
    EXPECT_FALSE(rig.ports.Send(1, Message(0x90, 60, 100)));

    rig.setup.ManualKeyShift[1] = -12;
    rig.setup.ManualAKeyShift = 7;
    rig.setup.ManualAChan = 1;  // input A now shares channel 1 with path 2
    Reapply();
    EXPECT_EQ(Send(0, Message(0x90, 60, 100)),
              (Lines{"down 1 48 1", "down 3 48 3", "down 0 67 10"}));
    // Polyphonic and channel pressure, pitch bend and clock are ignored.
    EXPECT_EQ(Send(0, Message(0xA0, 60, 10)), Lines{});
    EXPECT_EQ(Send(0, Message(0xD0, 60)), Lines{});
    EXPECT_EQ(Send(0, Message(0xE0, 0, 64)), Lines{});
    EXPECT_EQ(Send(0, Message(0xF8)), Lines{});
}

TEST_F(Dispatch, StopControlNotesEngageOnPressAndDisengageOnRelease) {
    rig.setup.ControlChan = 2;  // the pedal's channel too: both act
    Reapply();
    EXPECT_EQ(Send(0, Message(0x91, 60, 90)), (Lines{"down 0 60 0", "stop control 60 on"}));
    EXPECT_EQ(Send(0, Message(0x91, 60, 0)), (Lines{"up 0 60 0", "stop control 60 off"}));
    EXPECT_EQ(Send(0, Message(0x81, 61, 90)), (Lines{"up 0 61 0", "stop control 61 off"}));
}

TEST_F(Dispatch, ChannelModeControllersSilenceTheirChannelAndControllersMoveAssignedEnclosures) {
    test::RoutingRig enclosed;
    enclosed.actions.enclosureCount = 3;
    uint32_t inputs[] = {0, 1, 0};
    for (int e = 0; e < 3; ++e) {
        (*enclosed.actions.enclosures)[static_cast<size_t>(e)].loaded = true;
        (*enclosed.actions.enclosures)[static_cast<size_t>(e)].midiInput = inputs[e];
        (*enclosed.actions.enclosures)[static_cast<size_t>(e)].index = e;
    }
    enclosed.setup.EnclosureController = {7, 123, 1, 1, 1, 1};
    enclosed.setup.EnclosureChan = {1, 1, 16, 16, 16, 16};
    ASSERT_TRUE(enclosed.Activate()) << ::testing::PrintToString(enclosed.Reports());
    auto value = [&](int e) {
        return (*enclosed.actions.enclosures)[static_cast<size_t>(e)].value.load();
    };

    enclosed.ports.Send(0, Message(0xB0, 7, 40));
    EXPECT_EQ(enclosed.actions.Take(), Lines{});
    EXPECT_EQ(value(0), 40u);
    EXPECT_EQ(value(1), 127u);
    EXPECT_EQ(value(2), 40u);
    // Each enclosure moved asks the console for its bar.
    EXPECT_EQ(enclosed.rig.view.enclosureBarRedraws, (std::vector<int>{0, 2}));
    // Controller 123 resets notes and moves the one enclosure that listens to it.
    enclosed.ports.Send(0, Message(0xB0, 123, 5));
    EXPECT_EQ(enclosed.actions.Take(), (Lines{"reset notes 1", "reset notes 3"}));
    enclosed.ports.Send(0, Message(0xB7, 127, 0));  // input A's target, the pedal
    EXPECT_EQ(enclosed.actions.Take(), (Lines{"reset notes 0"}));
    enclosed.ports.Send(0, Message(0xB0, 122, 0));
    EXPECT_EQ(enclosed.actions.Take(), Lines{});
    EXPECT_EQ(value(0), 40u);
    EXPECT_EQ(value(1), 5u);
    // Another channel moves nothing.
    enclosed.ports.Send(0, Message(0xB1, 7, 90));
    EXPECT_EQ(value(0), 40u);
    EXPECT_EQ(enclosed.rig.view.enclosureBarRedraws, (std::vector<int>{0, 2, 1}));
}

TEST_F(Dispatch, ProgramChangesPressDivisionalsStepFramesAndPressGeneralsOnlyFromAKeyboard) {
    rig.actions.divisionalPrograms[1] = {4, 1, 1};
    rig.actions.divisionalPrograms[3] = {1};
    rig.actions.divisionalPrograms[0] = {1, 2};
    rig.actions.generalPrograms = {1, 3, 1};
    rig.actions.pistonPrograms = {-1, 1};
    // Channel 1: manuals 1 and 3, and frame input 1, whose "next" program is
    // 2 (1 inside): the frame steps and the generals are pressed as well.
    EXPECT_EQ(Send(0, Message(0xC0, 1)),
              (Lines{"divisional 1 1", "divisional 1 2", "divisional 3 0", "next frame",
                     "general 0", "general 2", "piston 1"}));
    EXPECT_EQ(Send(0, Message(0xC0, 0)), (Lines{"previous frame"}));
    // Channel 10 is only a frame input's: a general with that program stays.
    rig.actions.generalPrograms = {1};
    EXPECT_EQ(Send(0, Message(0xC9, 1)), (Lines{"next frame"}));
    // Input A's channel presses its target's (the pedal's) divisionals.
    EXPECT_EQ(Send(0, Message(0xC7, 1)), (Lines{"divisional 0 0", "general 0", "piston 1"}));
    EXPECT_EQ(Send(0, Message(0xC7, 5)), Lines{});
}

TEST_F(Dispatch, OnlyTheFirstMatchingFrameInputSteps) {
    // Inputs 2 and 3 share channel 10; input 2 names programs 5 and 6,
    // input 3 the reverse.
    rig.setup.CombFramePrevPC = {1, 5, 6};
    rig.setup.CombFrameNextPC = {2, 6, 5};
    Reapply();
    EXPECT_EQ(Send(0, Message(0xC9, 4)), (Lines{"previous frame"}));
    EXPECT_EQ(Send(0, Message(0xC9, 5)), (Lines{"next frame"}));
    EXPECT_EQ(Send(0, Message(0xC9, 6)), Lines{});
}

TEST_F(Dispatch, SystemResetFromAnyOpenPortResetsTheOrganAndTheRedirectableInputs) {
    ASSERT_TRUE(rig.Routing().SelectSend(0, 2));
    rig.actions.Take();
    EXPECT_EQ(rig.Routing().redirectable[0].targetManual, 2u);
    EXPECT_EQ(Send(0, Message(0xFF)), (Lines{"reset organ"}));
    EXPECT_EQ(rig.Routing().redirectable[0].targetManual, 0u);
    EXPECT_EQ(rig.Routing().redirectable[0].currentSend, 0u);
}

TEST_F(Dispatch, EveryMessageIsActedOnUnderTheLockAndNothingAfterClosing) {
    int before = rig.actions.entries;
    rig.ports.Send(0, Message(0x90, 60, 100));
    rig.ports.Send(0, Message(0xF8));
    EXPECT_EQ(rig.actions.entries, before + 2);
    EXPECT_FALSE(rig.actions.locked);

    // A close that fails leaves port 1 open; its messages still arrive but
    // the organ no longer acts on them.
    rig.setup.ControlMIDIInDevNumber = 1;
    Reapply();
    rig.actions.Take();
    rig.ports.InjectFailure(1, VirtualMidiPorts::Operation::Stop, "stuck");
    EXPECT_FALSE(rig.rig.organ.CloseMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not stop MIDI input device 1 (Error: stuck). | Halting MIDI system.",
                     "Cannot close MIDI input device for the drawstop control system. | Deactivating organ drawstop control system.",
                     "Could not close the MIDI device for the stop control system. | Stopping organ MIDI engine."}));
    EXPECT_TRUE(rig.ports.Send(1, Message(0x94, 60, 100)));
    EXPECT_TRUE(rig.ports.Send(1, Message(0xFF)));
    EXPECT_EQ(rig.actions.Take(), Lines{});
}

}  // namespace
}  // namespace tessaline
