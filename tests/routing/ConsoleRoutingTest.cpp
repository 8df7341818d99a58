// What reaches the routing from the organ itself: the send keys F1-F8 of the
// console and program changes pressing the organ's own combinations.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "organ/Stop.h"
#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;
using Lines = std::vector<std::string>;

TEST(ConsoleSendKeys, FunctionKeysSelectTheSendsOfInputsAAndB) {
    test::RoutingRig rig;
    rig.setup.ManualASend = {1, 2, 0, 5};
    rig.setup.ManualBSend = {3, 0, 1, 2};
    ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    Organ& organ = rig.rig.organ;
    RedirectableInput& a = rig.Routing().redirectable[0];
    RedirectableInput& b = rig.Routing().redirectable[1];
    ASSERT_EQ(a.targetManual, 1u);
    ASSERT_EQ(b.targetManual, 3u);

    organ.OnKeyDown(113);  // F2
    EXPECT_EQ(a.currentSend, 1u);
    EXPECT_EQ(a.target, &organ.manuals[2]);
    EXPECT_EQ(b.targetManual, 3u);
    organ.OnKeyDown(119);  // F8
    EXPECT_EQ(b.currentSend, 3u);
    EXPECT_EQ(b.target, &organ.manuals[2]);
    organ.OnKeyDown(116);  // F5
    EXPECT_EQ(b.target, &organ.manuals[3]);
    organ.OnKeyDown(112);  // F1
    EXPECT_EQ(a.target, &organ.manuals[1]);
    // F9 is no send key; F4 names manual 5, which the organ lacks.
    organ.OnKeyDown(120);
    organ.OnKeyDown(115);
    EXPECT_EQ(a.currentSend, 0u);
    EXPECT_EQ(b.currentSend, 0u);
    EXPECT_FALSE(rig.actions.locked);
}

// Manual 1 has stops 1 and 2; general 1 (program 5) engages stop 2, the
// piston (program 6) reverses stop 1, divisional 1 of manual 1 (program 7)
// engages stop 1.
class ProgramChange : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::string> pipe{test::WritePipeWav(rig.rig.dir, "p.wav")};
        test::SetStop(rig.file, 1, pipe);
        test::SetStop(rig.file, 2, pipe);
        rig.file.Set("Manual001", "NumberOfStops", "2");
        rig.file.Set("Manual001", "Stop001", "1");
        rig.file.Set("Manual001", "Stop002", "2");
        rig.file.Set("Organ", "NumberOfGenerals", "1");
        rig.file.Set("Organ", "NumberOfReversiblePistons", "1");
        test::SetButtonKeys(rig.file, "General001", "G", 1, 1);
        rig.file.Set("General001", "MIDIProgramChangeNumber", "6");
        for (const char* key : {"NumberOfCouplers", "NumberOfTremulants", "NumberOfDivisionalCouplers"})
            rig.file.Set("General001", key, "0");
        rig.file.Set("General001", "NumberOfStops", "1");
        rig.file.Set("General001", "StopManual001", "1");
        rig.file.Set("General001", "StopNumber001", "2");
        test::SetButtonKeys(rig.file, "ReversiblePiston001", "R", 1, 2);
        rig.file.Set("ReversiblePiston001", "MIDIProgramChangeNumber", "7");
        rig.file.Set("ReversiblePiston001", "ObjectType", "Stop");
        rig.file.Set("ReversiblePiston001", "ManualNumber", "1");
        rig.file.Set("ReversiblePiston001", "ObjectNumber", "1");
        rig.file.Set("Manual001", "NumberOfDivisionals", "1");
        rig.file.Set("Manual001", "Divisional001", "1");
        test::SetButtonKeys(rig.file, "Divisional001", "D", 1, 3);
        rig.file.Set("Divisional001", "MIDIProgramChangeNumber", "8");
        rig.file.Set("Divisional001", "NumberOfStops", "1");
        rig.file.Set("Divisional001", "NumberOfCouplers", "0");
        rig.file.Set("Divisional001", "NumberOfTremulants", "0");
        rig.file.Set("Divisional001", "Stop001", "+1");
        // The organ's own combinations answer, not the recorder's.
        rig.Routing().SetCombinations(&rig.rig.organ.combinationBridge);
        ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    }
    std::string Registration() {
        Manual& manual = rig.rig.organ.manuals[1];
        return std::string(manual.GetStop(0)->Engaged() ? "1" : "0") +
               (manual.GetStop(1)->Engaged() ? "1" : "0");
    }
    void Program(uint32_t status, uint32_t program) {
        EXPECT_TRUE(rig.ports.Send(0, Message(status, program)));
    }

    test::RoutingRig rig;
};

TEST_F(ProgramChange, AProgramChangeOnAKeyboardsChannelPressesOrCapturesTheOrgansCombinations) {
    // Channel 1 is manual 1's; the file's programs count from 1; 40 names nothing.
    const std::pair<uint32_t, const char*> steps[] = {{5, "01"}, {6, "11"}, {6, "01"}, {7, "11"}, {40, "11"}};
    for (auto [program, registration] : steps) {
        Program(0xC0, program);
        EXPECT_EQ(Registration(), registration) << program;
    }
    Manual& manual = rig.rig.organ.manuals[1];
    manual.GetStop(0)->Engage();
    manual.GetStop(1)->Disengage();
    rig.rig.organ.SetCaptureMode(true);
    Program(0xC0, 5);
    EXPECT_EQ(Registration(), "10");
    rig.rig.organ.SetCaptureMode(false);
    manual.GetStop(0)->Disengage();
    manual.GetStop(1)->Engage();
    Program(0xC0, 5);
    EXPECT_EQ(Registration(), "10");
}

}  // namespace
}  // namespace tessaline
