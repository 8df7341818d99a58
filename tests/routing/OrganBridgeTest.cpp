// MIDI through virtual ports into the organ's own key action, drawstops and
// action lock.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "audio/AudioEngine.h"
#include "midi/OrganActionBridge.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "routing/RoutingRig.h"
#include "support/EngineRig.h"

namespace tessaline {
namespace {

using test::Message;

// Manual 1 has stops 1 (drawn by default, stop-control note 70) and 2.
// Input A sends to manuals 1 and 2.
class OrganBridge : public ::testing::Test {
protected:
    void SetUp() override {
        test::OrganFileBuilder& file = rig.file;
        std::vector<std::string> pipes(61, test::WritePipeWav(rig.rig.dir, "p.wav"));
        test::SetStop(file, 1, pipes);
        test::SetStop(file, 2, pipes);
        file.Set("Stop001", "DefaultToEngaged", "Y");
        file.Set("Stop001", "StopControlMIDIKeyNumber", "70");
        file.Set("Manual001", "NumberOfStops", "2");
        file.Set("Manual001", "Stop001", "1");
        file.Set("Manual001", "Stop002", "2");
        rig.setup.ManualASend = {1, 2, 1, 2};
        rig.Routing().SetActions(bridge);
        ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());
        ASSERT_TRUE(organ.AttachEngine(sound.engine));
        organ.ResetAction();
        ASSERT_TRUE(organ.OpenMidiInputs());
    }
    void Send(uint32_t message) { EXPECT_TRUE(rig.ports.Send(0, message)); }
    bool Sounding(int key) { return organ.manuals[1].GetStop(0)->GetPipe(key)->sounding; }
    std::string Registration() {
        Manual& manual = organ.manuals[1];
        return std::string(manual.GetStop(0)->Engaged() ? "1" : "0") +
               (manual.GetStop(1)->Engaged() ? "1" : "0");
    }

    test::EngineRig sound{512};
    test::RoutingRig rig;
    Organ& organ = rig.rig.organ;
    OrganActionBridge bridge{organ};
};

TEST_F(OrganBridge, StopControlAllNotesOffAndSystemResetActOnTheOrgan) {
    Send(Message(0x90, 40, 100));  // manual 1, key 4
    Send(Message(0x92, 50, 100));  // manual 2, key 9
    // Stop control on channel 5 retires and draws while the key is held.
    Send(Message(0x84, 70, 64));
    EXPECT_FALSE(Sounding(4));
    Send(Message(0x94, 70, 64));
    EXPECT_TRUE(Sounding(4));
    // All notes off cuts its own channel only.
    Send(Message(0xB0, 123, 0));
    EXPECT_FALSE(Sounding(4));
    EXPECT_EQ(organ.manuals[1].keys[4].holds, 0u);
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 1u);
    // A system reset silences everything, draws the defaults again and sends
    // input A back to its first manual.
    Send(Message(0x90, 40, 100));
    ASSERT_TRUE(rig.Routing().SelectSend(0, 1));
    Send(Message(0x84, 70, 0));
    Send(Message(0xFF));
    EXPECT_EQ(organ.manuals[1].keys[4].holds, 0u);
    EXPECT_EQ(organ.manuals[2].keys[9].holds, 0u);
    EXPECT_EQ(Registration(), "10");
    EXPECT_EQ(rig.Routing().redirectable[0].targetManual, 1u);
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

    for (uint32_t m = 0; m <= 3; ++m) {
        const Manual& manual = r.rig.organ.manuals[m];
        for (int k = 0; k < manual.numberOfLogicalKeys; ++k) {
            EXPECT_EQ(manual.keys[static_cast<size_t>(k)].holds, 0u) << m << " " << k;
            EXPECT_EQ(manual.keys[static_cast<size_t>(k)].directMask, 0u) << m << " " << k;
        }
    }
    EXPECT_TRUE(r.rig.organ.CloseMidiInputs());
    EXPECT_EQ(r.Reports(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tessaline
