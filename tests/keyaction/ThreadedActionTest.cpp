#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "keyaction/ActionRig.h"

namespace tessaline {
namespace {

// A MIDI-like thread plays chords on the Great while a UI-like thread draws
// and retires stops and couplers; the action lock keeps them apart, so when
// both are done every count is back at zero and every pipe is silent.
TEST(ThreadedAction, KeysAndDrawstopsFromTwoThreadsLeaveNothingSounding) {
    test::ActionRig a(3);
    a.AddCoupler(1, 1, 2, 0, "NNNYN");
    a.AddCoupler(1, 2, 3, -12, "NNNNN");
    a.AddCoupler(2, 3, 2, 12, "NNNYN");
    a.organ.Set("Stop003", "StopControlMIDIKeyNumber", "40");
    a.organ.Set("Coupler002", "StopControlMIDIKeyNumber", "40");
    a.Load();
    Organ& organ = a.rig.organ;
    constexpr int kRounds = 400;
    std::atomic<bool> midiDone{false};

    std::thread midi([&] {
        for (int round = 0; round < kRounds; ++round) {
            int root = 48 + round % 12;
            for (int note : {root, root + 4, root + 7}) organ.KeyDown(1, note, 1);
            organ.KeyDown(2, root + 2, 2);
            for (int note : {root, root + 4, root + 7}) organ.KeyUp(1, note, 1);
            organ.KeyUp(2, root + 2, 2);
        }
        midiDone.store(true);
    });
    std::thread ui([&] {
        int step = 0;
        while (!midiDone.load()) {
            switch (step++ % 5) {
                case 0: organ.StopToggle(1 + step % 3, 0); break;
                case 1: organ.CouplerToggle(1, step % 2); break;
                case 2: organ.CouplerToggle(2, 0); break;
                case 3: organ.SetTestNote(step % 2 == 0); break;
                default: organ.StopControl(40, step % 2 == 0); break;
            }
        }
        organ.SetTestNote(false);
    });
    midi.join();
    ui.join();

    for (int m = 1; m <= 3; ++m)
        for (int k = 0; k < test::kRigKeys; ++k) {
            const ManualKey& key = a.M(m).keys[static_cast<size_t>(k)];
            ASSERT_EQ(key.holds, 0u) << m << " " << k;
            ASSERT_EQ(key.directMask, 0u);
            for (uint32_t pass : key.passHolds) ASSERT_EQ(pass, 0u);
        }
    EXPECT_TRUE(a.AllQuiet());
}

}  // namespace
}  // namespace tessaline
