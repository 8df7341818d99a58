#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationEntry.h"
#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

TEST(EntrySpecifier, SignGivesTheStateAndMagnitudeThePosition) {
    struct Case {
        const char* text;
        bool valid;
        uint8_t index;
        bool engage;
    } cases[] = {{"+3", true, 2, true},    {"3", true, 2, true},     {"-012", true, 11, false},
                 {"+12", true, 11, true},  {"0", false, 0, false},   {"-0", false, 0, false},
                 {"13", false, 0, false},  {"-13", false, 0, false}, {"-2147483648", false, 0, false},
                 {"x", false, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        uint8_t index = 99;
        bool engage = !c.engage;
        EXPECT_EQ(ParseEntrySpecifier(c.text, 12, index, engage), c.valid);
        if (c.valid) {
            EXPECT_TRUE(index == c.index && engage == c.engage);
        }
    }
    EXPECT_EQ(FormatEntrySpecifier(11, false), "-012");
}

// The combination organ with two tremulants on the Swell, the second hidden,
// and two couplers on the Swell: 1 to the Great, 2 an octave up on the Swell.
// Divisional 3 draws both couplers and tremulant 1; Swell stop 2 is hidden.
// General 2 names tremulant -3, unread while it declares no tremulants.
void AddSwellObjects(test::CombinationRig& c) {
    c.organ.Set("Organ", "NumberOfTremulants", "2");
    test::SetTremulant(c.organ, 1);
    test::SetTremulant(c.organ, 2);
    c.organ.Set("Tremulant002", "Displayed", "N");
    c.organ.Set("Manual002", "NumberOfTremulants", "2");
    c.organ.Set("Manual002", "Tremulant001", "1");
    c.organ.Set("Manual002", "Tremulant002", "2");
    test::SetCoupler(c.organ, 1, 1, 0);
    test::SetCoupler(c.organ, 2, 2, 12);
    c.organ.Set("Manual002", "NumberOfCouplers", "2");
    c.organ.Set("Manual002", "Coupler001", "1");
    c.organ.Set("Manual002", "Coupler002", "2");
    c.organ.Set("Divisional003", "NumberOfCouplers", "2");
    c.organ.Set("Divisional003", "Coupler001", "+1");
    c.organ.Set("Divisional003", "Coupler002", "-2");
    c.organ.Set("Divisional003", "NumberOfTremulants", "1");
    c.organ.Set("Divisional003", "Tremulant001", "+1");
    c.organ.Set("Stop014", "Displayed", "N");
    c.organ.Set("General002", "TremulantNumber001", "-3");
}

TEST(CombinationLoad, EachFaultIsReportedWithItsNumbersAndLeavesNoCombination) {
    const std::string divisional = " [Loading an organ divisional combination.] / Divisional combination 1 on manual 2 failed to load. [Loading an organ manual.] / Manual 2 failed to load. [Loading an organ.]";
    const std::string general = " [Loading an organ general combination.] / General combination 2 failed to load. [Loading an organ.]";
    const std::string piston = " [Loading a reversible piston.] / Reversible piston 1 failed to load. [Loading an organ.]";
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr removes the key
        std::string message;
    } cases[] = {
        {"Divisional003", "NumberOfStops", nullptr, "The number of stops for the divisional 3 is not specified in the organ definition file." + divisional},
        {"Divisional003", "NumberOfStops", "4", "An invalid number of stops for the divisional 3 is specified in the organ definition file." + divisional},
        {"Divisional003", "NumberOfCouplers", "3", "An invalid number of couplers for the divisional 3 is specified in the organ definition file." + divisional},
        {"Divisional003", "Stop001", nullptr, "Stop specifier 1 for the divisional 3 could not be found in the organ definition file." + divisional},
        {"Divisional003", "Stop001", "-4", "An invalid stop specifier 1 for the divisional 3 is specified in the organ definition file." + divisional},
        {"Divisional003", "Stop001", "-2", "Stop specifier 1 for the divisional 3 is a non-displayed drawstop, which are not stored by divisionals for this organ." + divisional},
        {"Divisional003", "Tremulant001", "-2", "Tremulant specifier 1 for the divisional 3 is a non-displayed drawstop, which are not stored by divisionals for this organ." + divisional},
        {"Divisional003", "Tremulant001", "3", "An invalid tremulant specifier 1 for the divisional 3 is specified in the organ definition file." + divisional},
        {"Organ", "DivisionalsStoreIntermanualCouplers", "N", "Coupler specifier 1 for the divisional 3 is an inter-manual coupler, which are not stored by divisionals for this organ." + divisional},
        {"Organ", "DivisionalsStoreIntramanualCouplers", "N", "Coupler specifier 2 for the divisional 3 is an intra-manual coupler, which are not stored by divisionals for this organ." + divisional},
        {"General002", "NumberOfStops", "0", "No objects are specified for the general combination in the organ definition file." + general},
        {"General002", "NumberOfStops", "513", "An invalid number of stops for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "NumberOfTremulants", nullptr, "The number of tremulants for the general combination 2 is not specified in the organ definition file." + general},
        {"General002", "NumberOfTremulants", "1", "An invalid tremulant number specifier 1 for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "NumberOfDivisionalCouplers", "9", "An invalid number of divisional couplers for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "StopManual001", nullptr, "Stop manual specifier 1 for the general combination 2 could not be found in the organ definition file." + general},
        {"General002", "StopManual001", "3", "An invalid stop manual specifier 1 for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "StopNumber001", "-13", "An invalid stop number specifier 1 for the general combination 2 is specified in the organ definition file." + general},
        {"General002", "StopNumber001", "+5", "Stop number specifier 1 for the general combination 2 is a non-displayed drawstop, which are not stored by general combinations for this organ." + general},
        {"ReversiblePiston001", "ObjectNumber", "13", "An invalid object number is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ObjectType", "Pedal", "An invalid object type is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ObjectType", nullptr, "No object type is specified in the organ definition file for ReversiblePiston001." + piston},
        {"ReversiblePiston001", "ManualNumber", "3", "An invalid manual specifier for ReversiblePiston001 is specified in the organ definition file." + piston},
        {"ReversiblePiston001", "ManualNumber", nullptr, "Manual specifier for ReversiblePiston001 could not be found in the organ definition file." + piston},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.section) + " " + k.key);
        test::CombinationRig c;
        AddSwellObjects(c);
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

TEST(CombinationLoad, OnlyTheKeysTheOrganStoresAreRead) {
    test::CombinationRig c;
    AddSwellObjects(c);
    // Hidden drawstops may be stored; without tremulants or couplers in
    // divisionals those counts are not read.
    c.organ.Set("Organ", "CombinationsStoreNonDisplayedDrawstops", "Y");
    c.organ.Set("Divisional003", "Stop001", "-2");
    for (const char* key : {"DivisionalsStoreTremulants", "DivisionalsStoreIntermanualCouplers",
                            "DivisionalsStoreIntramanualCouplers", "GeneralsStoreDivisionalCouplers"})
        c.organ.Set("Organ", key, "N");
    for (int d = 1; d <= 4; ++d) {
        c.organ.Set(NumberedName("Divisional", d), "NumberOfCouplers", "junk");
        c.organ.Remove(NumberedName("Divisional", d), "NumberOfTremulants");
    }
    c.organ.Remove("General001", "NumberOfDivisionalCouplers");
    // A tremulant piston reads no manual; object types are read in any case.
    c.organ.Set("ReversiblePiston001", "ObjectType", "tremulant");
    c.organ.Set("ReversiblePiston001", "ManualNumber", "junk");
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "2");
    ASSERT_TRUE(c.Load()) << c.Reports();
    EXPECT_EQ(c.model().reversiblePistons[0].objectType, PistonObject::Tremulant);
    EXPECT_EQ(c.model().reversiblePistons[0].object, 1u);
    EXPECT_EQ(c.model().manuals[2].divisionals[0].stops.entries[0], (CombinationEntry{0, 1, false}));

    c.model().captureMode = true;
    c.model().NextFrame();
    ASSERT_TRUE(c.model().Unload(false));
    EXPECT_FALSE(c.model().captureMode);
    EXPECT_EQ(c.model().frameNumber, 0u);
    EXPECT_FALSE(c.model().generals[kMaxGenerals + 1].combinationLoaded);
}

}  // namespace
}  // namespace tessaline
