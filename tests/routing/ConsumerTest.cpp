#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using Op = VirtualMidiPorts::Operation;
using Lines = std::vector<std::string>;

TEST(RoutingSetters, RefuseWithoutAnOrganAndRefuseInputsOutOfRange) {
    test::RoutingRig rig;
    MidiRouting& routing = rig.Routing();
    EXPECT_FALSE(routing.SetManualInput(0, 0, 0, 0));
    EXPECT_FALSE(routing.SetEnclosureInput(0, 0, 0, 1));
    EXPECT_FALSE(routing.SetRedirectInput(0, 0, 0, 0, 0, 1, 2, 3));
    EXPECT_FALSE(routing.SetStopControlInput(0, 0));
    EXPECT_FALSE(routing.SetFrameControlInput(0, 0, 0, 0, 1));
    EXPECT_FALSE(rig.rig.organ.OpenMidiInputs());
    EXPECT_FALSE(rig.rig.organ.CloseMidiInputs());
    Lines noOrgan(4, "No organ is loaded. | Updating organ MIDI parameters.");
    for (const char* action : {"Updating organ registration control MIDI parameters.", "Starting organ MIDI engine.", "Stopping organ MIDI engine."})
        noOrgan.push_back(std::string("No organ is loaded. | ") + action);
    EXPECT_EQ(rig.Reports(), noOrgan);

    ASSERT_TRUE(rig.Load());
    EXPECT_FALSE(routing.SetManualInput(6, 0, 0, 0));
    EXPECT_FALSE(routing.SetEnclosureInput(6, 0, 0, 1));
    EXPECT_FALSE(routing.SetRedirectInput(2, 0, 0, 0, 0, 1, 2, 3));
    EXPECT_FALSE(routing.SetFrameControlInput(3, 0, 0, 0, 1));
    EXPECT_EQ(rig.Reports(),
              (Lines{"Attempt to update an invalid MIDI input (6). | Updating organ manual MIDI parameters.",
                     "Attempt to update an invalid MIDI input (7). | Updating organ enclosure MIDI parameters.",
                     "Attempt to update an invalid MIDI input (3). | Updating organ redirectable manual MIDI parameters.",
                     "Attempt to update an invalid registration control MIDI input (4). | Updating organ registration control MIDI parameters."}));
}

TEST(RoutingSetters, TheSetupReachesEveryConsumerCountingChannelsAndProgramsFromZero) {
    test::RoutingRig rig;
    rig.actions.enclosureCount = 2;
    (*rig.actions.enclosures)[0].loaded = true;
    (*rig.actions.enclosures)[0].midiInput = 4;
    (*rig.actions.enclosures)[1].loaded = true;
    (*rig.actions.enclosures)[1].midiInput = 0;
    rig.setup.ManualChan[0] = 16;
    rig.setup.ManualKeyShift = {0, -24, 0, 0, 0, 0};
    rig.setup.ManualMIDIInDevNumber = {3, 2, 1, 0, 0, 0};
    rig.setup.ManualBSend = {5, 4, 3, 2};
    rig.setup.ManualBKeyShift = -3;
    rig.setup.ControlChan = 16;
    rig.setup.ControlMIDIInDevNumber = 2;
    rig.setup.CombFramePrevPC = {1, 128, 7};
    rig.setup.CombFrameNextPC = {2, 127, 8};
    rig.setup.EnclosureChan = {1, 2, 16, 16, 9, 16};
    rig.setup.EnclosureController = {1, 1, 1, 1, 31, 1};
    rig.setup.EnclosureMIDIInDevNumber = {3, 0, 0, 0, 1, 0};
    ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());

    // Channels, devices and programs count from 0 inside.
    const Organ& organ = rig.rig.organ;
    EXPECT_EQ(organ.manuals[0].midiChannel, 15u);
    EXPECT_EQ(organ.manuals[0].midiDevice, 3u);
    EXPECT_EQ(organ.manuals[3].keyShift, -24);  // path 2 as well
    const RedirectableInput& b = organ.midiRouting.redirectable[1];
    EXPECT_EQ(b.sends, (std::array<uint32_t, 4>{5, 4, 3, 2}));
    EXPECT_EQ(b.midiChannel, 8u);
    EXPECT_EQ(b.sourceId, 11u);
    EXPECT_EQ(organ.midiRouting.stopControl.midiChannel, 15u);
    EXPECT_EQ(organ.midiRouting.stopControl.midiDevice, 2u);
    const FrameControlInput& frame2 = organ.midiRouting.frameControl[1];
    EXPECT_EQ(frame2.previousProgram, 127u);
    EXPECT_EQ(frame2.nextProgram, 126u);
    EXPECT_TRUE((*rig.actions.enclosures)[0].Matches(1, 8, 31));
    EXPECT_TRUE((*rig.actions.enclosures)[1].Matches(3, 0, 1));

    // A new load forgets the manuals' paths and the stop and frame inputs;
    // the redirectable inputs keep theirs.
    ASSERT_TRUE(rig.rig.Load(rig.file));
    EXPECT_FALSE(organ.manuals[1].midiParametersLoaded);
    EXPECT_FALSE(organ.midiRouting.stopControl.parametersLoaded);
    EXPECT_FALSE(organ.midiRouting.frameControl[1].parametersLoaded);
    EXPECT_TRUE(b.parametersLoaded);
    EXPECT_EQ(b.keyShift, -3);
    EXPECT_EQ(b.target, nullptr);
}

class Opening : public ::testing::Test {
protected:
    void SetUp() override {
        rig.actions.enclosureCount = 2;
        for (Enclosure& e : *rig.actions.enclosures) e.loaded = true;
        // Every kind of consumer on a port of its own kind, so the calls on
        // each port tell which were opened.
        rig.setup.ManualMIDIInDevNumber = {0, 0, 0, 0, 0, 0};
        rig.setup.ManualAMIDIInDevNumber = 1;
        rig.setup.ManualBMIDIInDevNumber = 1;
        rig.setup.CombFrameMIDIInDevNumber = {2, 2, 2};
        rig.setup.EnclosureMIDIInDevNumber = {3, 3, 3, 3, 3, 3};
        rig.setup.ControlMIDIInDevNumber = 3;
        ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());
    }
    bool Open(unsigned port) const { return rig.ports.IsOpen(port); }

    test::RoutingRig rig;
};

TEST_F(Opening, AFailingConsumerClosesWhatOpenedBeforeIt) {
    rig.ports.InjectFailure(2, Op::Open, "busy");
    EXPECT_FALSE(rig.rig.organ.OpenMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not open MIDI input device number 2 (Error: busy). | Initialising MIDI system.",
                     "Cannot open a MIDI input device for the registration frame control system. | Activating organ registration frame control system.",
                     "The MIDI input device for registration frame control 1 could not be opened. | Starting organ MIDI engine."}));
    for (unsigned port = 0; port < 3; ++port) EXPECT_FALSE(Open(port)) << port;
    EXPECT_EQ(rig.ports.Calls(3, Op::Open), 0);
    EXPECT_FALSE(rig.Routing().Listening());
}

TEST_F(Opening, ARollBackReportsEveryCloseThatFailsAndGoesOn) {
    rig.ports.InjectFailure(3, Op::Open, "busy");
    rig.ports.InjectFailure(1, Op::Stop, "stuck");
    EXPECT_FALSE(rig.rig.organ.OpenMidiInputs());
    // Input A closes port 1 and fails; input B, sharing it, fails the same
    // way; the frame inputs after them still close port 2.
    const char* stopFails =
        "Could not stop MIDI input device 1 (Error: stuck). | Halting MIDI system.";
    const char* redirectableFails =
        "Cannot close MIDI input device for a redirectable manual. | Deactivating an organ redirectable manual.";
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not open MIDI input device number 3 (Error: busy). | Initialising MIDI system.",
                     "Cannot open MIDI input device for enclosure 1. | Activating an organ enclosure.",
                     "The MIDI input device for enclosure 1 could not be opened. | Starting organ MIDI engine.",
                     stopFails, redirectableFails,
                     "Could not close the MIDI device for redirectable manual MIDI input 1. | Activating Tessaline.",
                     stopFails, redirectableFails,
                     "Could not close the MIDI device for redirectable manual MIDI input 2. | Activating Tessaline."}));
    EXPECT_FALSE(Open(0));
    EXPECT_FALSE(Open(2));
}

TEST_F(Opening, AConsumerWithoutParametersIsReportedByItsOwnMessage) {
    ASSERT_TRUE(rig.rig.Load(rig.file));  // the stop-control input is cleared again
    ASSERT_TRUE(rig.Routing().SetManualInput(0, 0, 1, 0));
    ASSERT_TRUE(rig.Routing().SetManualInput(1, 0, 0, 0));
    EXPECT_FALSE(rig.rig.organ.OpenMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Cannot open MIDI input device for manual 2 because MIDI parameters have not been loaded. | Activating an organ manual.",
                     "The MIDI input device for manual number 2 could not be opened (0=Pedal, 1=Great, ...). | Starting organ MIDI engine."}));
    EXPECT_FALSE(Open(0));
    EXPECT_EQ(rig.ports.Calls(0, Op::Close), 1);
}

TEST_F(Opening, EveryConsumerOpensItsPortAndClosingStopsAtTheFirstFailure) {
    ASSERT_TRUE(rig.rig.organ.OpenMidiInputs());
    EXPECT_EQ(rig.Reports(), Lines{});
    for (unsigned port = 0; port < 4; ++port) {
        EXPECT_TRUE(Open(port)) << port;
        EXPECT_EQ(rig.ports.Calls(port, Op::Open), 1) << port;  // shared ports open once
    }
    EXPECT_TRUE(rig.Routing().Listening());
    rig.ports.InjectFailure(2, Op::Reset, "gone");
    EXPECT_FALSE(rig.rig.organ.CloseMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not reset MIDI input device 2 (Error: gone). | Halting MIDI system.",
                     "Cannot close a MIDI input device for the registration frame control system. | Deactivating organ registration frame control system.",
                     "Could not close the MIDI device for registration frame control 1. | Stopping organ MIDI engine."}));
    EXPECT_FALSE(Open(0));
    EXPECT_FALSE(Open(1));
    EXPECT_EQ(rig.ports.Calls(1, Op::Close), 1);
    EXPECT_TRUE(Open(3));
}

}  // namespace
}  // namespace tessaline
