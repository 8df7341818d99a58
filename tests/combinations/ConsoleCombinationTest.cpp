// Clicks and keys on the console that reach the combinations: general,
// divisional and reversible piston buttons, capture mode, the frame keys, and
// the tremulants' drawstops.

#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

constexpr uint32_t kLeft = 37, kRight = 39, kDown = 40;

class ConsoleCombination : public ::testing::Test {
protected:
    void SetUp() override {
        c.organ.Set("Organ", "NumberOfTremulants", "1");
        test::SetTremulant(c.organ, 1);
        c.organ.Set("Tremulant001", "ShortcutKey", "84");
        ASSERT_TRUE(c.Load()) << c.Reports();
    }
    // A click in the middle of a control's frame.
    void Click(const Control& control) {
        c.model().OnLeftButtonDown((control.frame.left + control.frame.right) / 2,
                                   (control.frame.top + control.frame.bottom) / 2);
    }
    Organ& organ() { return c.model(); }

    test::CombinationRig c;
};

TEST_F(ConsoleCombination, ButtonClicksRecallOrCaptureGeneralsAndDivisionalsAndTogglePistons) {
    Click(organ().generals[1]);  // engages the Great's stop 2
    EXPECT_EQ(c.Registration(), "010000000000/000");
    Click(organ().manuals[2].divisionals[0]);  // engages the Swell's stop 1
    EXPECT_EQ(c.Registration(), "010000000000/100");
    Click(organ().reversiblePistons[0]);  // reverses the Great's stop 2, both ways
    EXPECT_EQ(c.Registration(), "000000000000/100");
    Click(organ().reversiblePistons[0]);
    EXPECT_EQ(c.Registration(), "010000000000/100");

    c.SetRegistration("100000000011/011");
    organ().SetCaptureMode(true);
    Click(organ().generals[0]);
    EXPECT_EQ(c.Registration(), "100000000011/011");
    // A reversible piston acts the same in capture mode.
    Click(organ().reversiblePistons[0]);
    EXPECT_EQ(c.Registration(), "110000000011/011");
    organ().SetCaptureMode(false);
    c.SetRegistration("011101111100/100");  // stop 5 is hidden and not stored
    Click(organ().generals[0]);
    EXPECT_EQ(c.Registration(), "100000000011/011");
}

TEST_F(ConsoleCombination, ArrowKeysStepTheFrameAndDownPressesTheFrameGeneral) {
    organ().OnKeyDown(kLeft);  // no step below frame 0
    EXPECT_EQ(organ().frameNumber.load(), 0u);
    organ().OnKeyDown(kRight);
    organ().OnKeyDown(kRight);
    EXPECT_EQ(organ().frameNumber.load(), 2u);
    EXPECT_EQ(c.rig.view.shownFrame, 3u);

    c.SetRegistration("001000000100/010");
    organ().SetCaptureMode(true);
    organ().OnKeyDown(kDown);  // captures into frame general 2
    organ().SetCaptureMode(false);
    c.SetRegistration("110000000000/001");
    organ().OnKeyDown(kDown);
    EXPECT_EQ(c.Registration(), "001000000100/010");

    // Stepping away and back recalls the frame general reached.
    organ().OnKeyDown(kLeft);
    EXPECT_EQ(organ().frameNumber.load(), 1u);
    c.SetRegistration("111101111111/111");
    organ().OnKeyDown(kRight);
    EXPECT_EQ(c.Registration(), "001000000100/010");
}

TEST_F(ConsoleCombination, ATremulantDrawstopTogglesByClickAndShortcutKey) {
    Drawstop& drawstop = organ().Tremulants()[0].drawstop;
    Click(drawstop);
    EXPECT_TRUE(drawstop.Engaged());
    organ().OnKeyDown(84);
    EXPECT_FALSE(drawstop.Engaged());
    organ().OnKeyDown(84);
    EXPECT_TRUE(drawstop.Engaged());
    // The action lock was given back: a locked entry runs at once.
    organ().StopToggle(1, 0);
    EXPECT_EQ(c.Registration(), "100000000000/000");
}

}  // namespace
}  // namespace tessaline
