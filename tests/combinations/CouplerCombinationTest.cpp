#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

std::string Numbered(const char* stem, int n) { return NumberedName(stem, n); }

// The combination organ with two couplers on the Great: 1 into the Swell,
// 2 an octave up on the Great itself.
class CouplerCombinations : public ::testing::Test {
protected:
    CouplerCombinations() {
        test::SetCoupler(c.organ, 1, 2, 0);
        test::SetCoupler(c.organ, 2, 1, 12);
        c.organ.Set("Manual001", "NumberOfCouplers", "2");
        c.organ.Set("Manual001", "Coupler001", "1");
        c.organ.Set("Manual001", "Coupler002", "2");
    }
    const Coupler& CouplerOf(int c_) { return c.model().manuals[1].couplers[static_cast<size_t>(c_)]; }
    void SetCouplers(bool first, bool second) {
        Manual& great = c.model().manuals[1];
        auto set = [&](int i, bool on) { on ? great.CouplerOn(i) : great.CouplerOff(i); };
        set(0, first);
        set(1, second);
    }

    test::CombinationRig c;
};

TEST_F(CouplerCombinations, DivisionalsKeepOnlyTheCouplerKindsTheOrganStores) {
    c.organ.Set("Divisional001", "NumberOfCouplers", "2");
    c.organ.Set("Divisional001", "Coupler001", "+1");
    c.organ.Set("Divisional001", "Coupler002", "-2");
    ASSERT_TRUE(c.Load()) << c.Reports();
    SetCouplers(false, true);
    c.model().PressDivisional(1, 0);
    EXPECT_TRUE(CouplerOf(0).Engaged());
    EXPECT_FALSE(CouplerOf(1).Engaged());

    c.organ.Set("Organ", "DivisionalsStoreIntermanualCouplers", "N");
    EXPECT_FALSE(c.Load());
    EXPECT_EQ(c.Reports(), "Coupler specifier 1 for the divisional 1 is an inter-manual coupler, which are not stored by divisionals for this organ. [Loading an organ divisional combination.] / Divisional combination 1 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
    c.organ.Set("Divisional001", "NumberOfCouplers", "0");
    ASSERT_TRUE(c.Load()) << c.Reports();
    SetCouplers(true, true);
    c.model().captureMode = true;
    c.model().PressDivisional(1, 0);
    const Divisional& d = c.model().manuals[1].divisionals[0];
    ASSERT_EQ(d.couplers.count, 1u);
    EXPECT_EQ(d.couplers.entries[0], (CombinationEntry{0, 1, true}));

    c.organ.Set("Organ", "DivisionalsStoreIntermanualCouplers", "Y");
    c.organ.Set("Organ", "DivisionalsStoreIntramanualCouplers", "N");
    c.organ.Set("Divisional001", "NumberOfCouplers", "1");
    c.organ.Set("Divisional001", "Coupler001", "2");
    EXPECT_FALSE(c.Load());
    EXPECT_EQ(c.rig.errors.Messages().at(0), "Coupler specifier 1 for the divisional 1 is an intra-manual coupler, which are not stored by divisionals for this organ.");
    c.organ.Set("Divisional001", "Coupler001", "1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    SetCouplers(false, true);
    c.model().captureMode = true;
    c.model().PressDivisional(1, 0);
    ASSERT_EQ(d.couplers.count, 1u);
    EXPECT_EQ(d.couplers.entries[0], (CombinationEntry{0, 0, false}));
}

TEST_F(CouplerCombinations, GeneralsStoreCouplersAndDivisionalCouplers) {
    test::SetDrawstopKeys(c.organ, "DivisionalCoupler001", "DC", 3, 1);
    c.organ.Set("DivisionalCoupler001", "NumberOfManuals", "2");
    c.organ.Set("DivisionalCoupler001", "Manual001", "2");
    c.organ.Set("DivisionalCoupler001", "Manual002", "1");
    c.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
    c.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    Organ& organ = c.model();
    SetCouplers(true, false);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressGeneral(2);
    organ.captureMode = false;
    const General& g = organ.generals[2];
    ASSERT_EQ(g.couplers.count, 2u);
    EXPECT_EQ(g.couplers.entries[0], (CombinationEntry{1, 0, true}));
    EXPECT_EQ(g.couplers.entries[1], (CombinationEntry{1, 1, false}));
    ASSERT_EQ(g.divisionalCouplers.count, 1u);
    EXPECT_EQ(g.divisionalCouplers.entries[0], (CombinationEntry{0, 0, true}));

    SetCouplers(false, true);
    organ.DivisionalCouplerOff(0);
    organ.PressGeneral(2);
    EXPECT_TRUE(CouplerOf(0).Engaged());
    EXPECT_FALSE(CouplerOf(1).Engaged());
    EXPECT_TRUE(organ.divisionalCouplers[0].Engaged());

    // The engaged one-way coupler carries a Swell divisional to the Great,
    // not the other way.
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(2, 0);
    EXPECT_EQ(c.Registration(), "100000000000/100");
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "100000000000/000");
    organ.DivisionalCouplerOff(0);
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(2, 0);
    EXPECT_EQ(c.Registration(), "000000000000/100");

    // Saved with their manual numbers and read back.
    std::string path = c.rig.dir.File("couplers.cmb");
    ASSERT_TRUE(organ.SaveCombinationFile(path));
    ASSERT_TRUE(organ.LoadCombinationFile(c.OrganPath()));
    EXPECT_EQ(organ.generals[2].couplers.count, 0u);
    ASSERT_TRUE(organ.LoadCombinationFile(path)) << c.Reports();
    EXPECT_EQ(organ.generals[2].couplers.entries[1], (CombinationEntry{1, 1, false}));
    EXPECT_EQ(organ.generals[2].divisionalCouplers.count, 1u);
}

TEST(GeneralCapture, StopsAtSixtyFourCouplers) {
    test::CombinationRig c;
    c.organ.Set("Organ", "NumberOfManuals", "5");
    for (int m = 3; m <= 5; ++m) test::SetManual(c.organ, m, 61, {});
    int n = 0;
    for (int m = 1; m <= 5; ++m) {
        std::string manual = Numbered("Manual", m);
        c.organ.Set(manual, "NumberOfCouplers", "16");
        for (int i = 1; i <= 16; ++i) {
            test::SetCoupler(c.organ, ++n, m, 12);
            c.organ.Set(manual, Numbered("Coupler", i), std::to_string(n));
        }
    }
    ASSERT_TRUE(c.Load()) << c.Reports();
    c.model().manuals[5].CouplerOn(15);
    c.model().captureMode = true;
    c.model().PressGeneral(0);
    const General& g = c.model().generals[0];
    ASSERT_EQ(g.couplers.count, 64u);
    EXPECT_EQ(g.couplers.entries[63], (CombinationEntry{4, 15, false}));
    EXPECT_EQ(g.stops.count, 14u);  // stops are stored in full
}

// Tremulant 1 belongs to the Swell; tremulant 2 is not displayed.
class TremulantCombinations : public ::testing::Test {
protected:
    TremulantCombinations() {
        c.organ.Set("Organ", "NumberOfTremulants", "2");
        test::SetTremulant(c.organ, 1);
        test::SetTremulant(c.organ, 2);
        c.organ.Set("Tremulant002", "Displayed", "N");
        c.organ.Set("Manual002", "NumberOfTremulants", "2");
        c.organ.Set("Manual002", "Tremulant001", "1");
        c.organ.Set("Manual002", "Tremulant002", "2");
    }
    bool Engaged(int t) { return c.model().Tremulants()[static_cast<size_t>(t)].drawstop.Engaged(); }

    test::CombinationRig c;
};

TEST_F(TremulantCombinations, DivisionalsAndGeneralsSetTheTremulants) {
    c.organ.Set("Divisional003", "NumberOfTremulants", "1");
    c.organ.Set("Divisional003", "Tremulant001", "+1");
    c.organ.Set("General001", "NumberOfTremulants", "1");
    c.organ.Set("General001", "TremulantNumber001", "-1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    Organ& organ = c.model();
    organ.PressDivisional(2, 0);
    EXPECT_TRUE(Engaged(0));
    organ.PressGeneral(0);
    EXPECT_FALSE(Engaged(0));
    organ.TremulantOn(1);
    organ.captureMode = true;
    organ.PressDivisional(2, 1);
    organ.PressGeneral(1);
    // The hidden tremulant 2 is stored by neither.
    const Divisional& d = organ.manuals[2].divisionals[1];
    ASSERT_EQ(d.tremulants.count, 1u);
    EXPECT_EQ(d.tremulants.entries[0], (CombinationEntry{0, 0, false}));
    ASSERT_EQ(organ.generals[1].tremulants.count, 1u);
    EXPECT_EQ(organ.generals[1].tremulants.entries[0], (CombinationEntry{0, 0, false}));

    c.organ.Set("Divisional003", "Tremulant001", "-2");
    EXPECT_FALSE(c.Load());
    EXPECT_EQ(c.rig.errors.Messages().at(0), "Tremulant specifier 1 for the divisional 3 is a non-displayed drawstop, which are not stored by divisionals for this organ.");
    c.organ.Set("Divisional003", "Tremulant001", "3");
    EXPECT_FALSE(c.Load());
    EXPECT_EQ(c.rig.errors.Messages().at(0), "An invalid tremulant specifier 1 for the divisional 3 is specified in the organ definition file.");
}

TEST_F(TremulantCombinations, AReversiblePistonTogglesItsTremulantAndDivisionalsMayStoreNone) {
    c.organ.Set("ReversiblePiston001", "ObjectType", "Tremulant");
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "1");
    c.organ.Set("Organ", "DivisionalsStoreTremulants", "N");
    ASSERT_TRUE(c.Load()) << c.Reports();
    c.model().PressReversiblePiston(0);
    EXPECT_TRUE(Engaged(0));
    c.model().captureMode = true;
    c.model().PressReversiblePiston(0);
    EXPECT_FALSE(Engaged(0));
    c.model().TremulantOn(0);
    c.model().PressDivisional(2, 0);
    EXPECT_EQ(c.model().manuals[2].divisionals[0].tremulants.count, 0u);
}

}  // namespace
}  // namespace tessaline
