// Several MIDI ports deliver on threads of their own (one per JACK client,
// for instance), all into the one dispatcher and the organ's own action
// bridge at the same time.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "RoutingRig.h"
#include "midi/OrganActionBridge.h"

namespace tessaline {
namespace {

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
