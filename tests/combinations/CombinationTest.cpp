// Loading, pressing and capturing divisionals, generals, registration frames
// and reversible pistons, with their couplers and tremulants.

#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationBridge.h"
#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

// General 1 puts Great stop 3 in and draws Swell stop 2; divisional 1
// (Great) draws stop 1 and puts stop 12 in.
class Combination : public ::testing::Test {
protected:
    void SetUp() override {
        test::SetGeneral(c.organ, 1, 2, 1, {{1, -3}, {2, 2}});
        test::SetDivisional(c.organ, 1, 1, 1, {1, -12});
        ASSERT_TRUE(c.Load()) << c.Reports();
    }

    test::CombinationRig c;
    Organ& organ = c.model();
};

TEST_F(Combination, APressSetsOnlyTheListedDrawstopsAndPressesOutOfRangeDoNothing) {
    c.SetRegistration("001100000001/000");
    organ.PressGeneral(0);
    EXPECT_EQ(c.Registration(), "000100000001/010");
    c.SetRegistration("011000000001/101");
    organ.PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "111000000000/101");
    organ.PressGeneral(3);  // three generals: entries 0 to 2
    organ.PressGeneral(-1);
    organ.PressGeneral(kGeneralEntries);
    organ.PressDivisional(1, 2);
    organ.PressDivisional(0, 0);  // no pedal
    organ.PressDivisional(3, 0);
    organ.PressReversiblePiston(1);
    EXPECT_EQ(c.Registration(), "111000000000/101");
    EXPECT_EQ(c.rig.errors.Count(), 0u);
}

TEST(CombinationCapture, StoresTheDisplayedDrawstopsOrAllWhenTheOrganSaysSo) {
    for (bool hiddenToo : {false, true}) {
        SCOPED_TRACE(hiddenToo);
        test::CombinationRig c;
        c.organ.Set("Organ", "CombinationsStoreNonDisplayedDrawstops", hiddenToo ? "Y" : "N");
        ASSERT_TRUE(c.Load());
        Organ& organ = c.model();
        c.SetRegistration("101011000001/011");
        organ.captureMode = true;
        organ.PressGeneral(1);
        organ.PressDivisional(2, 1);
        organ.captureMode = false;
        EXPECT_EQ(c.Registration(), "101011000001/011");  // capturing changes nothing
        EXPECT_EQ(organ.generals[1].stops.count, hiddenToo ? 15u : 14u);
        const uint8_t fifth = hiddenToo ? 4 : 5;  // the fifth entry
        EXPECT_EQ(organ.generals[1].stops.entries[4], (CombinationEntry{1, fifth, true}));
        c.SetRegistration("010100111110/100");
        organ.PressGeneral(1);
        // The hidden stop 5 comes back only when it was stored.
        EXPECT_EQ(c.Registration(), hiddenToo ? "101011000001/011" : "101001000001/011");
        c.SetRegistration("000000000000/100");
        organ.PressDivisional(2, 1);
        EXPECT_EQ(c.Registration(), "000000000000/011");
    }
}

TEST_F(Combination, FramesStepAndStoreInCaptureModeAndStopAtBothEnds) {
    organ.PreviousFrame();
    EXPECT_EQ(c.rig.view.shownFrame, 0u);  // never told: nothing happened
    organ.captureMode = true;
    for (const char* registration : {"100000000000/000", "010000000000/000", "001000000000/000"}) {
        c.SetRegistration(registration);
        organ.NextFrame();
    }
    organ.captureMode = false;
    EXPECT_EQ(organ.frameNumber, 3u);
    EXPECT_EQ(c.rig.view.shownFrame, 4u);
    c.SetRegistration("111111111111/111");
    organ.PreviousFrame();
    EXPECT_EQ(c.Registration(), "010010000000/000");  // the hidden stop 5 is not stored

    for (int i = 0; i < 600; ++i) organ.NextFrame();
    EXPECT_EQ(organ.frameNumber, 511u);
    EXPECT_EQ(c.rig.view.shownFrame, 512u);
    organ.captureMode = true;
    organ.PressGeneral(kGeneralEntries - 1);  // the last frame
    organ.captureMode = false;
    EXPECT_FALSE(organ.generals[kGeneralEntries - 1].Empty());
    ASSERT_TRUE(organ.ClearFrameGenerals());
    EXPECT_TRUE(organ.generals[kGeneralEntries - 1].Empty());
    EXPECT_EQ(organ.generals[kGeneralEntries - 1].number, 611u);
}

TEST(CombinationBridge, ProgramsCountFromZeroAndPressesCaptureInCaptureMode) {
    test::CombinationRig c;
    c.organ.Set("General002", "MIDIProgramChangeNumber", "6");
    c.organ.Set("ReversiblePiston001", "MIDIProgramChangeNumber", "128");
    ASSERT_TRUE(c.Load());
    CombinationBridge& bridge = c.model().combinationBridge;
    EXPECT_EQ(bridge.GeneralProgram(1), 5);
    EXPECT_EQ(bridge.ReversiblePistonProgram(0), 127);
    // The routing presses under the action lock.
    auto press = [&] {
        auto lock = c.model().LockAction();
        bridge.PressGeneral(1);
    };
    c.SetRegistration("100000000000/000");
    c.model().SetCaptureMode(true);
    press();
    c.model().SetCaptureMode(false);
    c.SetRegistration("001000000000/000");
    press();
    EXPECT_EQ(c.Registration(), "100000000000/000");
}

// Coupler 1 of the Great goes to the Swell, coupler 2 an octave up on the
// Great itself; a one-way divisional coupler takes the Swell to the Great.
class CouplerCombination : public ::testing::Test {
protected:
    CouplerCombination() {
        test::SetCoupler(c.organ, 1, 2, 0);
        test::SetCoupler(c.organ, 2, 1, 12);
        c.organ.Set("Manual001", "NumberOfCouplers", "2");
        c.organ.Set("Manual001", "Coupler001", "1");
        c.organ.Set("Manual001", "Coupler002", "2");
        test::SetDrawstopKeys(c.organ, "DivisionalCoupler001", "DC", 3, 1);
        c.organ.Set("DivisionalCoupler001", "NumberOfManuals", "2");
        c.organ.Set("DivisionalCoupler001", "Manual001", "2");
        c.organ.Set("DivisionalCoupler001", "Manual002", "1");
        c.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
        c.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    }
    const Coupler& CouplerOf(int i) { return organ.manuals[1].couplers[static_cast<size_t>(i)]; }
    void SetCouplers(bool first, bool second) {
        first ? organ.manuals[1].CouplerOn(0) : organ.manuals[1].CouplerOff(0);
        second ? organ.manuals[1].CouplerOn(1) : organ.manuals[1].CouplerOff(1);
    }

    test::CombinationRig c;
    Organ& organ = c.model();
};

TEST_F(CouplerCombination, DivisionalsStoreOnlyTheCouplerKindsTheOrganStores) {
    c.organ.Set("Organ", "DivisionalsStoreIntermanualCouplers", "N");
    ASSERT_TRUE(c.Load()) << c.Reports();
    SetCouplers(true, true);
    organ.captureMode = true;
    organ.PressDivisional(1, 0);
    const Divisional& d = organ.manuals[1].divisionals[0];
    ASSERT_EQ(d.couplers.count, 1u);
    EXPECT_EQ(d.couplers.entries[0], (CombinationEntry{0, 1, true}));
}

TEST_F(CouplerCombination, GeneralsSetCouplersAndAOneWayDivisionalCouplerCarriesDivisionals) {
    ASSERT_TRUE(c.Load()) << c.Reports();
    SetCouplers(true, false);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressGeneral(2);
    organ.captureMode = false;
    SetCouplers(false, true);
    organ.DivisionalCouplerOff(0);
    organ.PressGeneral(2);
    EXPECT_TRUE(CouplerOf(0).Engaged() && !CouplerOf(1).Engaged());
    EXPECT_TRUE(organ.divisionalCouplers[0].Engaged());

    // The Swell's divisional reaches the Great, not the other way.
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(2, 0);
    EXPECT_EQ(c.Registration(), "100000000000/100");
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "100000000000/000");

    // Coupler entries survive a save and a load.
    std::string path = c.rig.dir.File("couplers.cmb");
    ASSERT_TRUE(organ.SaveCombinationFile(path));
    ASSERT_TRUE(organ.LoadCombinationFile(c.rig.dir.File("test.organ")));
    ASSERT_TRUE(organ.LoadCombinationFile(path)) << c.Reports();
    SetCouplers(false, true);
    organ.PressGeneral(2);
    EXPECT_TRUE(CouplerOf(0).Engaged() && !CouplerOf(1).Engaged());
}

// Tremulant 1 belongs to the Swell, tremulant 2 is not displayed; divisional
// 3 draws tremulant 1, general 1 puts it in.
TEST(TremulantCombination, CombinationsSetTheTremulantsAndCaptureOnlyTheDisplayedOne) {
    test::CombinationRig c;
    c.organ.Set("Organ", "NumberOfTremulants", "2");
    test::SetTremulant(c.organ, 1);
    test::SetTremulant(c.organ, 2);
    c.organ.Set("Tremulant002", "Displayed", "N");
    c.organ.Set("Manual002", "NumberOfTremulants", "2");
    c.organ.Set("Manual002", "Tremulant001", "1");
    c.organ.Set("Manual002", "Tremulant002", "2");
    c.organ.Set("Divisional003", "NumberOfTremulants", "1");
    c.organ.Set("Divisional003", "Tremulant001", "+1");
    c.organ.Set("General001", "NumberOfTremulants", "1");
    c.organ.Set("General001", "TremulantNumber001", "-1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    Organ& organ = c.model();
    organ.PressDivisional(2, 0);
    EXPECT_TRUE(organ.Tremulants()[0].drawstop.Engaged());
    organ.PressGeneral(0);
    EXPECT_FALSE(organ.Tremulants()[0].drawstop.Engaged());
    organ.TremulantOn(1);
    organ.captureMode = true;
    organ.PressDivisional(2, 1);
    organ.PressGeneral(1);
    const Divisional& divisional = organ.manuals[2].divisionals[1];
    ASSERT_EQ(divisional.tremulants.count, 1u);
    EXPECT_EQ(divisional.tremulants.entries[0], (CombinationEntry{0, 0, false}));
    ASSERT_EQ(organ.generals[1].tremulants.count, 1u);
    EXPECT_EQ(organ.generals[1].tremulants.entries[0], (CombinationEntry{0, 0, false}));
}

// One case per message shape; Swell stop 2 is hidden.
TEST(CombinationLoad, EachFaultIsReportedWithItsNumbersAndLeavesNoCombination) {
    const std::string divisional = " [Loading an organ divisional combination.] / Divisional combination 1 on manual 2 failed to load. [Loading an organ manual.] / Manual 2 failed to load. [Loading an organ.]";
    const std::string general = " [Loading an organ general combination.] / General combination 2 failed to load. [Loading an organ.]";
    const std::string piston = " [Loading a reversible piston.] / Reversible piston 1 failed to load. [Loading an organ.]";
    const std::string invalidStop = "An invalid stop specifier 1 for the divisional 3 is specified in the organ definition file." + divisional;
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr removes the key
        std::string message;
    } cases[] = {
        {"Divisional003", "NumberOfStops", nullptr, "The number of stops for the divisional 3 is not specified in the organ definition file." + divisional},
        {"Divisional003", "NumberOfStops", "4", "An invalid number of stops for the divisional 3 is specified in the organ definition file." + divisional},
        {"Divisional003", "Stop001", nullptr, "Stop specifier 1 for the divisional 3 could not be found in the organ definition file." + divisional},
        {"Divisional003", "Stop001", "-4", invalidStop},
        {"Divisional003", "Stop001", "-2147483648", invalidStop},
        {"Divisional003", "Stop001", "-2", "Stop specifier 1 for the divisional 3 is a non-displayed drawstop, which are not stored by divisionals for this organ." + divisional},
        {"General002", "NumberOfStops", "0", "No objects are specified for the general combination in the organ definition file." + general},
        {"General002", "NumberOfStops", "513", "An invalid number of stops for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "StopManual001", "3", "An invalid stop manual specifier 1 for the general combination 2 is specified in the organ definition file." + general},
        {"ReversiblePiston001", "ObjectNumber", "13", "An invalid object number is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ObjectType", "Pedal", "An invalid object type is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ObjectType", nullptr, "No object type is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ManualNumber", "3", "An invalid manual specifier for ReversiblePiston001 is specified in the organ definition file." + piston},
        {"ReversiblePiston001", "ManualNumber", nullptr, "Manual specifier for ReversiblePiston001 could not be found in the organ definition file." + piston},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.section) + " " + k.key);
        test::CombinationRig c;
        c.organ.Set("Stop014", "Displayed", "N");
        if (k.value)
            c.organ.Set(k.section, k.key, k.value);
        else
            c.organ.Remove(k.section, k.key);
        EXPECT_FALSE(c.Load());
        EXPECT_EQ(c.Reports(), k.message);
        EXPECT_FALSE(c.model().generals[0].loaded || c.model().generals[0].combinationLoaded);
        EXPECT_FALSE(c.model().manuals[1].divisionals[0].combinationLoaded);
    }
}

}  // namespace
}  // namespace tessaline
