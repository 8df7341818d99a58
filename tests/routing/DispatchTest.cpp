#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;
using Lines = std::vector<std::string>;

// All on port 0: path 1 (pedal) channel 2, shared with stop control; path 2
// (manuals 1 and 3) channel 1, key shift -12; path 3 (manual 2) channel 3;
// input A channel 8 (the pedal by its first send), key shift 7; input B
// channel 9 (manual 1); frame inputs on channels 1, 10 and 10, the second
// stepping back on program 5 and on with 6, the third the reverse. Three
// enclosures on channel 1: controllers 7, 123 and 7.
class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        rig.setup.ManualKeyShift[1] = -12;
        rig.setup.ManualAKeyShift = 7;
        rig.setup.ControlChan = 2;
        rig.setup.CombFramePrevPC = {1, 5, 6};
        rig.setup.CombFrameNextPC = {2, 6, 5};
        rig.setup.EnclosureController = {7, 123, 7, 1, 1, 1};
        rig.setup.EnclosureChan = {1, 1, 1, 16, 16, 16};
        rig.actions.enclosureCount = 3;
        for (int e = 0; e < 3; ++e) {
            Enclosure& enclosure = (*rig.actions.enclosures)[static_cast<size_t>(e)];
            enclosure.loaded = true;
            enclosure.midiInput = e == 1 ? 1 : 0;
            enclosure.index = e;
        }
        ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    }
    Lines Send(unsigned port, uint32_t message) {
        EXPECT_TRUE(rig.ports.Send(port, message));
        return rig.actions.Take();
    }
    uint32_t Value(int e) { return (*rig.actions.enclosures)[static_cast<size_t>(e)].value.load(); }

    test::RoutingRig rig;
};

TEST_F(Dispatch, EachMessageKindReachesTheConsumersOfItsChannel) {
    rig.actions.divisionals[0] = {1, 2};
    rig.actions.divisionals[1] = {4, 1, 1};
    rig.actions.divisionals[3] = {1};
    rig.actions.generals = {1, 3, 1};
    rig.actions.pistons = {-1, 1};
    const std::pair<uint32_t, Lines> cases[] = {
        // One keyboard on a shared path holds a key on each manual under
        // its own source id; velocity 0 releases as a note-off does.
        {Message(0x90, 60, 100), {"down 1 48 1", "down 3 48 3"}},
        {Message(0x90, 60, 0), {"up 1 48 1", "up 3 48 3"}},
        {Message(0x92, 50, 1), {"down 2 50 2"}},
        // Stop control shares the pedal's channel: both act.
        {Message(0x91, 60, 90), {"down 0 60 0", "stop on 60"}},
        {Message(0x91, 60, 0), {"up 0 60 0", "stop off 60"}},
        {Message(0x81, 61, 90), {"up 0 61 0", "stop off 61"}},
        // The redirectable inputs play their targets with their own ids.
        {Message(0x97, 45, 9), {"down 0 52 10"}},
        {Message(0x88, 45, 9), {"up 1 45 11"}},
        {Message(0x9B, 60, 100), {}},
        // Pressure, pitch bend and clock are ignored.
        {Message(0xA0, 60, 10), {}},
        {Message(0xD0, 60), {}},
        {Message(0xE0, 0, 64), {}},
        {Message(0xF8), {}},
        // All notes off and the other channel mode messages reset the notes
        // of their channel's manuals; 122 (local control) does not.
        {Message(0xB0, 123, 5), {"reset notes 1", "reset notes 3"}},
        {Message(0xB7, 127, 0), {"reset notes 0"}},
        {Message(0xB0, 122, 0), {}},
        // Channel 1 is manuals 1 and 3 and frame input 1, whose "next" is
        // program 2 (1 inside): the frame steps and the generals are pressed.
        {Message(0xC0, 1),
         {"divisional 1 1", "divisional 1 2", "divisional 3 0", "next frame", "general 0",
          "general 2", "piston 1"}},
        {Message(0xC0, 0), {"previous frame"}},
        {Message(0xC7, 1), {"divisional 0 0", "general 0", "general 2", "piston 1"}},
        {Message(0xC7, 5), {}},
        // Channel 10 is only the frame inputs': no general is pressed, and
        // only the first input that knows the program steps.
        {Message(0xC9, 1), {}},
        {Message(0xC9, 4), {"previous frame"}},
        {Message(0xC9, 5), {"next frame"}},
        {Message(0xFF), {"reset organ"}},
    };
    for (const auto& [message, lines] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(Send(0, message), lines);
    }
    EXPECT_FALSE(rig.ports.Send(1, Message(0x90, 60, 100)));  // nothing listens on port 1
}

TEST_F(Dispatch, ControllersMoveTheEnclosuresAssignedToThem) {
    Send(0, Message(0xB0, 7, 40));
    EXPECT_EQ(Value(0), 40u);
    EXPECT_EQ(Value(1), 127u);
    EXPECT_EQ(Value(2), 40u);
    // Each enclosure moved asks the console for its bar.
    EXPECT_EQ(rig.rig.view.enclosureBarRedraws, (std::vector<int>{0, 2}));
    Send(0, Message(0xB0, 123, 5));
    Send(0, Message(0xB1, 7, 90));  // another channel moves nothing
    EXPECT_EQ(Value(0), 40u);
    EXPECT_EQ(Value(1), 5u);
    EXPECT_EQ(rig.rig.view.enclosureBarRedraws, (std::vector<int>{0, 2, 1}));
}

TEST_F(Dispatch, NothingIsActedOnAfterAClose) {
    // A close that fails leaves port 1 open; its messages still arrive but
    // the organ no longer acts on them.
    ASSERT_TRUE(rig.rig.organ.CloseMidiInputs());
    rig.setup.ControlMIDIInDevNumber = 1;
    ASSERT_TRUE(rig.Routing().ApplySetup(rig.setup));
    ASSERT_TRUE(rig.rig.organ.OpenMidiInputs());
    rig.ports.InjectFailure(1, VirtualMidiPorts::Operation::Stop, "stuck");
    EXPECT_FALSE(rig.rig.organ.CloseMidiInputs());
    EXPECT_EQ(rig.Reports(),
              (Lines{"Could not stop MIDI input device 1 (Error: stuck). | Halting MIDI system.",
                     "Cannot close MIDI input device for the drawstop control system. | "
                     "Deactivating organ drawstop control system.",
                     "Could not close the MIDI device for the stop control system. | "
                     "Stopping organ MIDI engine."}));
    EXPECT_TRUE(rig.ports.Send(1, Message(0x94, 60, 100)));
    EXPECT_TRUE(rig.ports.Send(1, Message(0xFF)));
    EXPECT_EQ(rig.actions.Take(), Lines{});
    EXPECT_FALSE(rig.actions.locked);
}

}  // namespace
}  // namespace tessaline
