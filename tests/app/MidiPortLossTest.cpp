// A keyboard unplugged while the organ plays: the window hears of it within a
// few seconds, once, and the organ plays on from the other input.

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include "ShellRig.h"

namespace tessaline {
namespace {

TEST(MidiPortLoss, AnUnpluggedKeyboardIsReportedOnceAndTheOtherInputPlaysOn) {
    test::ShellRig rig;
    rig.ports.AddPort("Pedalboard");
    // The manuals listen to the second port (manual 1 on channel 2).
    rig.setupChanges = [](SetupInfo& setup) { setup.ManualMIDIInDevNumber.fill(1); };
    rig.StartSetUp();
    MainWindow& window = *rig.window;
    ASSERT_TRUE(window.LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    ASSERT_TRUE(window.Midi().IsOpen(0) && window.Midi().IsOpen(1));

    rig.ports.InjectFailure(0, VirtualMidiPorts::Operation::Check,
                            "The MIDI input port Keyboard is no longer present.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.errors.Count() > 0; }, 5000));
    EXPECT_EQ(rig.Reports(), (std::vector<std::string>{
                                 "MIDI input device number 0 stopped working (Error: The MIDI "
                                 "input port Keyboard is no longer present.). | Receiving MIDI "
                                 "input."}));
    EXPECT_TRUE(window.IsActive());
    ASSERT_TRUE(rig.ports.Send(1, 0x643C91));
    const auto& keys = window.GetOrgan().manuals[1].keys;
    EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [](const auto& key) { return key.holds > 0; }));
}

}  // namespace
}  // namespace tessaline
