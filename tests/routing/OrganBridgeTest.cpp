// MIDI through virtual ports into the organ's own key action, drawstops and
// action lock.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "midi/OrganActionBridge.h"
#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;

TEST(OrganBridge, StopControlAllNotesOffAndSystemResetActOnTheOrgan) {
    // The tremulant answers stop-control note 70 (channel 5).
    test::RoutingRig rig;
    rig.file.Set("Organ", "NumberOfTremulants", "1");
    test::SetTremulant(rig.file, 1);
    rig.file.Set("Tremulant001", "StopControlMIDIKeyNumber", "70");
    OrganActionBridge bridge(rig.rig.organ);
    rig.Routing().SetActions(bridge);
    ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    Organ& organ = rig.rig.organ;
    const Drawstop& tremulant = organ.Tremulants()[0].drawstop;
    auto send = [&](uint32_t message) { EXPECT_TRUE(rig.ports.Send(0, message)); };

    send(Message(0x94, 70, 64));
    EXPECT_TRUE(tremulant.Engaged());
    send(Message(0x84, 70, 64));
    EXPECT_FALSE(tremulant.Engaged());
    send(Message(0x94, 70, 64));
    // All notes off cuts its own channel only.
    send(Message(0x90, 40, 100));  // manual 1, key 4
    send(Message(0x92, 50, 100));  // manual 2, key 9
    send(Message(0xB0, 123, 0));
    EXPECT_EQ(organ.manuals[1].keys[4].holds, 0u);
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 1u);
    // A system reset lets every key go, draws the defaults again and sends
    // input A back to its first manual.
    ASSERT_TRUE(rig.Routing().SelectSend(0, 1));
    send(Message(0xFF));
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 0u);
    EXPECT_FALSE(tremulant.Engaged());
    EXPECT_EQ(rig.Routing().redirectable[0].targetManual, 0u);
    EXPECT_EQ(rig.Reports(), std::vector<std::string>{});
}

// Several MIDI ports deliver on threads of their own, all into the one
// dispatcher and the organ's action bridge. Regression: the bridge once
// released the shared lock holder in place, marking it empty after the mutex
// was free, so a second thread that took the lock in between lost it and the
// program stopped with "Operation not permitted".
TEST(MidiThreads, MessagesFromSixThreadsAtOnceTakeTurnsAndLeaveNoKeyHeld) {
    test::RoutingRig r;
    OrganActionBridge bridge(r.rig.organ);
    r.Routing().SetActions(bridge);
    ASSERT_TRUE(r.Activate());

    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 6; ++t) {
        threads.emplace_back([&r, t] {
            for (uint32_t i = 0; i < 30000; ++i) {
                const uint32_t channel = (t * 5 + i) % 16;
                const uint32_t note = 36 + (i * 7 + t) % 61;
                r.rig.organ.OnMidiMessage(0, test::Message(0x90 | channel, note, 100));
                r.rig.organ.OnMidiMessage(0, test::Message(0x80 | channel, note, 0));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (const Manual& manual : r.rig.organ.manuals)
        for (const ManualKey& key : manual.keys) ASSERT_EQ(key.holds | key.directMask, 0u);
    EXPECT_TRUE(r.rig.organ.CloseMidiInputs());
    EXPECT_EQ(r.Reports(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaline
