#include <gtest/gtest.h>

#include <string>

#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

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

TEST(CombinationLoad, CountsTheOrganDoesNotStoreAreNotRead) {
    test::CombinationRig c;
    for (const char* key : {"DivisionalsStoreTremulants", "DivisionalsStoreIntermanualCouplers",
                            "DivisionalsStoreIntramanualCouplers", "GeneralsStoreDivisionalCouplers"})
        c.organ.Set("Organ", key, "N");
    for (int d = 1; d <= 4; ++d) {
        c.organ.Set(NumberedName("Divisional", d), "NumberOfCouplers", "junk");
        c.organ.Remove(NumberedName("Divisional", d), "NumberOfTremulants");
    }
    c.organ.Remove("General001", "NumberOfDivisionalCouplers");
    // A tremulant piston reads no manual; object types are read in any case.
    c.organ.Set("Organ", "NumberOfTremulants", "1");
    test::SetTremulant(c.organ, 1);
    c.organ.Set("ReversiblePiston001", "ObjectType", "tremulant");
    c.organ.Set("ReversiblePiston001", "ManualNumber", "junk");
    c.organ.Set("ReversiblePiston001", "ObjectNumber", "1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    EXPECT_EQ(c.model().reversiblePistons[0].objectType, PistonObject::Tremulant);
}

}  // namespace
}  // namespace tessaline
