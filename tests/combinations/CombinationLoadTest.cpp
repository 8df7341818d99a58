#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "combinations/CombinationEntry.h"
#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

class CombinationLoad : public ::testing::Test {
protected:
    // The reports of a failed load; "loaded" when the organ loaded.
    std::string Result() { return c.Load() ? "loaded" : c.Reports(); }

    test::CombinationRig c;
};

TEST(EntrySpecifier, SignGivesTheStateAndMagnitudeThePosition) {
    struct Case {
        const char* text;
        bool valid;
        uint8_t index;
        bool engage;
    } cases[] = {{"+3", true, 2, true}, {"3", true, 2, true}, {"-012", true, 11, false}, {"+12", true, 11, true},
                 {"0", false, 0, false}, {"-0", false, 0, false}, {"13", false, 0, false}, {"-13", false, 0, false},
                 {"-2147483648", false, 0, false}, {"x", false, 0, false}};
    for (const Case& c : cases) {
        uint8_t index = 99;
        bool engage = !c.engage;
        EXPECT_EQ(ParseEntrySpecifier(c.text, 12, index, engage), c.valid) << c.text;
        if (c.valid) {
            EXPECT_TRUE(index == c.index && engage == c.engage) << c.text;
        }
    }
    EXPECT_EQ(FormatEntrySpecifier(11, true), "+012");
    EXPECT_EQ(FormatEntrySpecifier(11, false), "-012");
}

TEST_F(CombinationLoad, DefinitionsFillEveryTable) {
    c.organ.Set("Divisional001", "NumberOfStops", "3");
    c.organ.Set("Divisional001", "Stop002", "12");
    c.organ.Set("Divisional001", "Stop003", "-4");
    ASSERT_EQ(Result(), "loaded");
    const Divisional& d = c.model().manuals[1].divisionals[0];
    EXPECT_TRUE(d.loaded && d.combinationLoaded);
    ASSERT_EQ(d.stops.count, 3u);
    EXPECT_EQ(std::vector<CombinationEntry>(d.stops.begin(), d.stops.end()),
              (std::vector<CombinationEntry>{{0, 0, true}, {0, 11, true}, {0, 3, false}}));
    EXPECT_EQ(c.model().manuals[2].divisionals[1].number, 4u);
    const General& g = c.model().generals[2];
    EXPECT_EQ(g.number, 3u);
    EXPECT_FALSE(g.isFrameGeneral);
    ASSERT_EQ(g.stops.count, 1u);
    EXPECT_EQ(g.stops.entries[0], (CombinationEntry{1, 2, true}));
    EXPECT_FALSE(c.model().generals[3].combinationLoaded);  // only 3 generals

    const General& frame = c.model().generals[kMaxGenerals + 5];
    EXPECT_TRUE(frame.isFrameGeneral && frame.combinationLoaded && frame.Empty());
    EXPECT_EQ(frame.number, 105u);
    EXPECT_FALSE(frame.loaded);  // no button

    const ReversiblePiston& piston = c.model().reversiblePistons[0];
    EXPECT_EQ(piston.objectType, PistonObject::Stop);
    EXPECT_EQ(piston.manual, 1u);
    EXPECT_EQ(piston.object, 1u);
}

TEST_F(CombinationLoad, DivisionalDefinitionFaultsAreReportedWithTheirNumbers) {
    const std::string tail =
        " [Loading an organ divisional combination.] / Divisional combination 1 on manual 2 failed to load. [Loading an organ manual.] / Manual 2 failed to load. [Loading an organ.]";
    struct Case {
        const char* key;
        const char* value;  // nullptr removes the key
        std::string message;
    } cases[] = {
        {"NumberOfStops", nullptr, "The number of stops for the divisional 3 is not specified in the organ definition file."},
        {"NumberOfStops", "4", "An invalid number of stops for the divisional 3 is specified in the organ definition file."},
        {"NumberOfCouplers", nullptr, "The number of couplers for the divisional 3 is not specified in the organ definition file."},
        {"NumberOfCouplers", "1", "An invalid number of couplers for the divisional 3 is specified in the organ definition file."},
        {"NumberOfTremulants", "-1", "An invalid number of tremulants for the divisional 3 is specified in the organ definition file."},
        {"Stop001", nullptr, "Stop specifier 1 for the divisional 3 could not be found in the organ definition file."},
        {"Stop001", "0", "An invalid stop specifier 1 for the divisional 3 is specified in the organ definition file."},
        {"Stop001", "-4", "An invalid stop specifier 1 for the divisional 3 is specified in the organ definition file."},
    };
    for (const Case& k : cases) {
        test::CombinationRig rig;
        if (k.value)
            rig.organ.Set("Divisional003", k.key, k.value);
        else
            rig.organ.Remove("Divisional003", k.key);
        EXPECT_FALSE(rig.Load()) << k.key;
        EXPECT_EQ(rig.Reports(), k.message + tail) << k.key;
        EXPECT_FALSE(rig.model().manuals[2].divisionals[0].loaded);
    }
}

TEST_F(CombinationLoad, StoreSettingsDecideWhichCountsAreRead) {
    // Without tremulants or couplers in divisionals those counts are not read.
    c.organ.Set("Organ", "DivisionalsStoreTremulants", "N");
    c.organ.Set("Organ", "DivisionalsStoreIntermanualCouplers", "N");
    c.organ.Set("Organ", "DivisionalsStoreIntramanualCouplers", "N");
    c.organ.Set("Organ", "GeneralsStoreDivisionalCouplers", "N");
    for (int d = 1; d <= 4; ++d) {
        c.organ.Set("Divisional00" + std::to_string(d), "NumberOfCouplers", "junk");
        c.organ.Remove("Divisional00" + std::to_string(d), "NumberOfTremulants");
    }
    c.organ.Remove("General001", "NumberOfDivisionalCouplers");
    EXPECT_EQ(Result(), "loaded");
}

TEST_F(CombinationLoad, HiddenDrawstopsAreRefusedUnlessTheOrganStoresThem) {
    c.organ.Set("Divisional002", "Stop001", "-5");
    EXPECT_EQ(Result(), "Stop specifier 1 for the divisional 2 is a non-displayed drawstop, which are not stored by divisionals for this organ. [Loading an organ divisional combination.] / Divisional combination 2 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
    c.organ.Set("Divisional002", "Stop001", "1");
    c.organ.Set("General002", "StopNumber001", "+5");
    EXPECT_EQ(Result(), "Stop number specifier 1 for the general combination 2 is a non-displayed drawstop, which are not stored by general combinations for this organ. [Loading an organ general combination.] / General combination 2 failed to load. [Loading an organ.]");
    c.organ.Set("Organ", "CombinationsStoreNonDisplayedDrawstops", "Y");
    c.organ.Set("Divisional002", "Stop001", "-5");
    EXPECT_EQ(Result(), "loaded");
}

TEST_F(CombinationLoad, GeneralDefinitionFaultsAreReportedWithTheirNumbers) {
    const std::string tail =
        " [Loading an organ general combination.] / General combination 2 failed to load. [Loading an organ.]";
    struct Case {
        const char* key;
        const char* value;
        std::string message;
    } cases[] = {
        {"NumberOfStops", "0", "No objects are specified for the general combination in the organ definition file."},
        {"NumberOfStops", "513", "An invalid number of stops for the general combination 2 is specified in the organ definition file."},
        {"NumberOfCouplers", "65", "An invalid number of couplers for the general combination 2 is specified in the organ definition file."},
        {"NumberOfTremulants", nullptr, "The number of tremulants for the general combination 2 is not specified in the organ definition file."},
        {"NumberOfDivisionalCouplers", "9", "An invalid number of divisional couplers for the general combination 2 is specified in the organ definition file."},
        {"StopManual001", nullptr, "Stop manual specifier 1 for the general combination 2 could not be found in the organ definition file."},
        {"StopManual001", "0", "An invalid stop manual specifier 1 for the general combination 2 is specified in the organ definition file."},
        {"StopManual001", "3", "An invalid stop manual specifier 1 for the general combination 2 is specified in the organ definition file."},
        {"StopManual001", "-1", "An invalid stop manual specifier 1 for the general combination 2 is specified in the organ definition file."},
        {"StopNumber001", "-4", "An invalid stop number specifier 1 for the general combination 2 is specified in the organ definition file."},
        {"StopNumber001", nullptr, "Stop number specifier 1 for the general combination 2 could not be found in the organ definition file."},
    };
    for (const Case& k : cases) {
        test::CombinationRig rig;
        rig.organ.Set("General002", "StopManual001", "2");
        rig.organ.Set("General002", "StopNumber001", "3");
        ASSERT_TRUE(rig.Load());
        if (k.value)
            rig.organ.Set("General002", k.key, k.value);
        else
            rig.organ.Remove("General002", k.key);
        EXPECT_FALSE(rig.Load()) << k.key;
        EXPECT_EQ(rig.Reports(), k.message + tail) << k.key << "=" << (k.value ? k.value : "");
        EXPECT_FALSE(rig.model().generals[1].loaded);
    }
}

TEST_F(CombinationLoad, GeneralTremulantAndDivisionalCouplerEntriesAreBoundedByTheOrgan) {
    c.organ.Set("Organ", "NumberOfTremulants", "2");
    test::SetTremulant(c.organ, 1);
    test::SetTremulant(c.organ, 2);
    c.organ.Set("General001", "NumberOfTremulants", "1");
    c.organ.Set("General001", "TremulantNumber001", "-3");
    EXPECT_EQ(Result(), "An invalid tremulant number specifier 1 for the general combination 1 is specified in the organ definition file. [Loading an organ general combination.] / General combination 1 failed to load. [Loading an organ.]");
    c.organ.Set("General001", "TremulantNumber001", "-2");
    c.organ.Set("General001", "NumberOfDivisionalCouplers", "1");
    EXPECT_EQ(Result(), "Divisional coupler number specifier 1 for the general combination 1 could not be found in the organ definition file. [Loading an organ general combination.] / General combination 1 failed to load. [Loading an organ.]");
    c.organ.Set("General001", "NumberOfDivisionalCouplers", "0");
    ASSERT_EQ(Result(), "loaded");
    EXPECT_EQ(c.model().generals[0].tremulants.entries[0], (CombinationEntry{0, 1, false}));
}

TEST_F(CombinationLoad, ReversiblePistonObjects) {
    const std::string tail = " [Loading a reversible piston.] / Reversible piston 1 failed to load. [Loading an organ.]";
    c.organ.Set("Organ", "NumberOfTremulants", "2");
    test::SetTremulant(c.organ, 1);
    test::SetTremulant(c.organ, 2);
    c.organ.Set("ReversiblePiston001", "ObjectType", "tremulant");
    c.organ.Set("ReversiblePiston001", "ManualNumber", "junk");  // not read for a tremulant
    ASSERT_EQ(Result(), "loaded");
    EXPECT_EQ(c.model().reversiblePistons[0].objectType, PistonObject::Tremulant);
    EXPECT_EQ(c.model().reversiblePistons[0].object, 1u);

    c.organ.Set("ReversiblePiston001", "ObjectNumber", "0");
    EXPECT_EQ(Result(), "An invalid object number is specified in the organ definition file for ReversiblePiston001." + tail);
    c.organ.Set("ReversiblePiston001", "ObjectType", "Pedal");
    EXPECT_EQ(Result(), "An invalid object type is specified in the organ definition file for ReversiblePiston001." + tail);
    c.organ.Remove("ReversiblePiston001", "ObjectType");
    EXPECT_EQ(Result(), "No object type is specified in the organ definition file for ReversiblePiston001." + tail);
    c.organ.Set("ReversiblePiston001", "ObjectType", "Coupler");
    EXPECT_EQ(Result(), "An invalid manual specifier for ReversiblePiston001 is specified in the organ definition file." + tail);
    c.organ.Set("ReversiblePiston001", "ManualNumber", "2");
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "1");
    // The Swell has no couplers.
    EXPECT_EQ(Result(), "An invalid object number is specified in the organ definition file for ReversiblePiston001." + tail);
    c.organ.Set("ReversiblePiston001", "ObjectType", "STOP");
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "3");
    EXPECT_EQ(Result(), "loaded");
    c.organ.Remove("ReversiblePiston001", "ManualNumber");
    EXPECT_EQ(Result(), "Manual specifier for ReversiblePiston001 could not be found in the organ definition file." + tail);
}

TEST_F(CombinationLoad, AFailedLoadAndAnUnloadLeaveNoCombination) {
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "13");
    EXPECT_FALSE(c.Load());
    // Generals were loaded by the stage before the pistons, and rolled back.
    EXPECT_FALSE(c.model().generals[0].loaded);
    EXPECT_FALSE(c.model().generals[0].combinationLoaded);
    EXPECT_EQ(c.model().generals[0].stops.count, 0u);
    EXPECT_FALSE(c.model().manuals[1].divisionals[0].combinationLoaded);

    c.organ.Set("ReversiblePiston001", "ObjectNumber", "2");
    ASSERT_TRUE(c.Load());
    c.model().captureMode = true;
    c.model().NextFrame();
    ASSERT_TRUE(c.model().Unload(false));
    EXPECT_FALSE(c.model().captureMode);
    EXPECT_EQ(c.model().frameNumber, 0u);
    EXPECT_FALSE(c.model().generals[kMaxGenerals + 1].combinationLoaded);
    EXPECT_FALSE(c.model().generals[1].loaded);
    EXPECT_FALSE(c.model().reversiblePistons[0].pistonLoaded);
}

}  // namespace
}  // namespace tessaline
