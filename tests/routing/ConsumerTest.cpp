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
    rig.actions.enclosureCount = 1;
    (*rig.actions.enclosures)[0].loaded = true;
    (*rig.actions.enclosures)[0].midiInput = 4;
    rig.setup.ManualChan[0] = 16;
    rig.setup.ManualKeyShift = {0, -24, 0, 0, 0, 0};
    rig.setup.ManualMIDIInDevNumber[0] = 3;
    rig.setup.ManualBKeyShift = -3;
    rig.setup.ControlMIDIInDevNumber = 2;
    rig.setup.CombFramePrevPC = {1, 128, 7};
    rig.setup.CombFrameNextPC = {2, 127, 8};
    rig.setup.EnclosureChan[4] = 9;
    rig.setup.EnclosureController[4] = 31;
    rig.setup.EnclosureMIDIInDevNumber[4] = 1;
    ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());

    // Channels, devices and programs count from 0 inside.
    const Organ& organ = rig.rig.organ;
    EXPECT_EQ(organ.manuals[0].midiChannel, 15u);
    EXPECT_EQ(organ.manuals[0].midiDevice, 3u);
    EXPECT_EQ(organ.manuals[3].keyShift, -24);  // path 2 as well
    const RedirectableInput& b = organ.midiRouting.redirectable[1];
    EXPECT_EQ(b.midiChannel, 8u);
    EXPECT_EQ(b.sourceId, 11u);
    EXPECT_EQ(organ.midiRouting.stopControl.midiDevice, 2u);
    const FrameControlInput& frame2 = organ.midiRouting.frameControl[1];
    EXPECT_EQ(frame2.previousProgram, 127u);
    EXPECT_EQ(frame2.nextProgram, 126u);
    EXPECT_TRUE((*rig.actions.enclosures)[0].Matches(1, 8, 31));

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

// Every kind of consumer on a port of its own kind: manuals on port 0, the
// redirectable inputs on 1, the frame inputs on 2, the enclosures and stop
// control on 3. Opening port 3 fails, and so does stopping port 1.
TEST(Opening, AFailedOpenClosesWhatOpenedBeforeItReportingEveryCloseThatFails) {
    test::RoutingRig rig;
    rig.actions.enclosureCount = 2;
    for (Enclosure& e : *rig.actions.enclosures) e.loaded = true;
    rig.setup.ManualMIDIInDevNumber = {0, 0, 0, 0, 0, 0};
    rig.setup.ManualAMIDIInDevNumber = 1;
    rig.setup.ManualBMIDIInDevNumber = 1;
    rig.setup.CombFrameMIDIInDevNumber = {2, 2, 2};
    rig.setup.EnclosureMIDIInDevNumber = {3, 3, 3, 3, 3, 3};
    rig.setup.ControlMIDIInDevNumber = 3;
    ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());
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
    EXPECT_FALSE(rig.ports.IsOpen(0));
    EXPECT_FALSE(rig.ports.IsOpen(2));
    EXPECT_FALSE(rig.Routing().Listening());
}

}  // namespace
}  // namespace tessaline
