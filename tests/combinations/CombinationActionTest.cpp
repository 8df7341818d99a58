#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

class CombinationAction : public ::testing::Test {
protected:
    void SetUp() override {
        // General 1: Great stop 3 off, Swell stop 2 on.
        c.organ.Set("General001", "NumberOfStops", "2");
        c.organ.Set("General001", "StopNumber001", "-3");
        c.organ.Set("General001", "StopManual002", "2");
        c.organ.Set("General001", "StopNumber002", "+2");
        // Divisional 1 (Great): stop 1 on, stop 12 off.
        c.organ.Set("Divisional001", "NumberOfStops", "2");
        c.organ.Set("Divisional001", "Stop002", "-12");
        ASSERT_TRUE(c.Load());
    }

    test::CombinationRig c;
};

TEST_F(CombinationAction, RecallChangesOnlyTheListedDrawstops) {
    c.SetRegistration("001100000001/000");
    c.model().PressGeneral(0);
    EXPECT_EQ(c.Registration(), "000100000001/010");
    c.SetRegistration("011000000001/101");
    c.model().PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "111000000000/101");
}

TEST_F(CombinationAction, PressesOutOfRangeDoNothing) {
    c.SetRegistration("111111111111/111");
    c.model().PressGeneral(3);  // three generals: entries 0 to 2
    c.model().PressGeneral(-1);
    c.model().PressGeneral(kGeneralEntries);
    c.model().PressDivisional(1, 2);
    c.model().PressDivisional(0, 0);  // no pedal
    c.model().PressDivisional(3, 0);
    c.model().PressReversiblePiston(1);
    EXPECT_EQ(c.Registration(), "111111111111/111");
    c.model().PressGeneral(2);  // stop 3 of the Great on: no change
    EXPECT_EQ(c.Registration(), "111111111111/111");
    EXPECT_EQ(c.rig.errors.Count(), 0u);

    test::CombinationRig none;  // nothing happens without an organ
    none.model().PressGeneral(kMaxGenerals);
    none.model().NextFrame();
    none.model().PressReversiblePiston(0);
    none.model().PressDivisional(1, 0);
    EXPECT_EQ(none.model().frameNumber, 0u);
    EXPECT_EQ(none.rig.errors.Count(), 0u);
}

TEST_F(CombinationAction, CaptureStoresEveryDisplayedDrawstop) {
    c.SetRegistration("101011000001/011");
    c.model().captureMode = true;
    c.model().PressGeneral(1);
    c.model().PressDivisional(2, 1);
    c.model().captureMode = false;
    EXPECT_EQ(c.Registration(), "101011000001/011");  // capturing changes nothing

    const General& g = c.model().generals[1];
    // 11 displayed Great stops (stop 5 is hidden) and 3 Swell stops.
    ASSERT_EQ(g.stops.count, 14u);
    EXPECT_EQ(g.stops.entries[3], (CombinationEntry{1, 3, false}));
    EXPECT_EQ(g.stops.entries[4], (CombinationEntry{1, 5, true}));  // stop 5 skipped
    EXPECT_EQ(g.stops.entries[11], (CombinationEntry{2, 0, false}));
    const Divisional& d = c.model().manuals[2].divisionals[1];
    ASSERT_EQ(d.stops.count, 3u);
    EXPECT_EQ(d.stops.entries[2], (CombinationEntry{0, 2, true}));

    c.SetRegistration("010111111110/100");
    c.model().PressGeneral(1);
    // The hidden stop 5 keeps its state.
    EXPECT_EQ(c.Registration(), "101011000001/011");
    c.SetRegistration("000000000000/100");
    c.model().PressDivisional(2, 1);
    EXPECT_EQ(c.Registration(), "000000000000/011");
}

TEST(CombinationCapture, HiddenDrawstopsAreStoredWhenTheOrganSaysSo) {
    test::CombinationRig c;
    c.organ.Set("Organ", "CombinationsStoreNonDisplayedDrawstops", "Y");
    ASSERT_TRUE(c.Load());
    c.SetRegistration("000010000000/000");
    c.model().captureMode = true;
    c.model().PressGeneral(0);
    c.model().PressDivisional(1, 0);
    EXPECT_EQ(c.model().generals[0].stops.count, 15u);
    EXPECT_EQ(c.model().generals[0].stops.entries[4], (CombinationEntry{1, 4, true}));
    EXPECT_EQ(c.model().manuals[1].divisionals[0].stops.count, 12u);
    c.model().captureMode = false;
    c.SetRegistration("000000000000/000");
    c.model().PressGeneral(0);
    EXPECT_EQ(c.Registration(), "000010000000/000");
}

TEST_F(CombinationAction, ShiftSteppingStoresFramesAndSteppingBackRecallsThem) {
    Organ& organ = c.model();
    const char* registrations[] = {"100000000000/000", "010000000000/000", "001000000000/000"};
    organ.captureMode = true;
    for (const char* registration : registrations) {
        c.SetRegistration(registration);
        organ.NextFrame();
    }
    organ.captureMode = false;
    EXPECT_EQ(organ.frameNumber, 3u);
    EXPECT_EQ(c.rig.view.shownFrame, 4u);
    // Frames 2, 3 and 4 as shown are general entries 100, 101 and 102.
    EXPECT_TRUE(organ.generals[kMaxGenerals].Empty());
    EXPECT_EQ(organ.generals[kMaxGenerals + 1].stops.entries[0], (CombinationEntry{1, 0, true}));
    EXPECT_EQ(organ.generals[kMaxGenerals + 3].stops.entries[2], (CombinationEntry{1, 2, true}));

    c.SetRegistration("111111111111/111");
    organ.PreviousFrame();
    EXPECT_EQ(organ.frameNumber, 2u);
    EXPECT_EQ(c.rig.view.shownFrame, 3u);
    // Frame 3 as shown holds the second registration; the hidden stop 5 is not stored.
    EXPECT_EQ(c.Registration(), "010010000000/000");
}

TEST_F(CombinationAction, FramesStopAtBothEnds) {
    Organ& organ = c.model();
    organ.PreviousFrame();
    EXPECT_EQ(organ.frameNumber, 0u);
    EXPECT_EQ(c.rig.view.shownFrame, 0u);  // never told: nothing happened
    for (int i = 0; i < 600; ++i) organ.NextFrame();
    EXPECT_EQ(organ.frameNumber, 511u);
    EXPECT_EQ(c.rig.view.shownFrame, 512u);
    // Frame 511 is the last general entry; an empty frame recalls nothing.
    c.SetRegistration("110000000000/001");
    organ.captureMode = true;
    organ.PressGeneral(kMaxGenerals + 511);
    organ.captureMode = false;
    EXPECT_EQ(organ.generals[kGeneralEntries - 1].stops.count, 14u);
    organ.NextFrame();
    EXPECT_EQ(organ.frameNumber, 511u);
    ASSERT_TRUE(organ.ClearFrameGenerals());
    EXPECT_TRUE(organ.generals[kGeneralEntries - 1].Empty());
    EXPECT_EQ(organ.generals[kGeneralEntries - 1].number, 611u);
}

}  // namespace
}  // namespace tessaline
