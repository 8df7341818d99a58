#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyaction/ActionRig.h"

namespace tessaline {
namespace {

// The reports of a failed load joined as "message [action] / ...", or
// "loaded"; a failed load must leave no manual behind.
std::string LoadResult(test::ActionRig& a) {
    a.rig.errors.Clear();
    if (a.rig.Load(a.organ)) return "loaded";
    for (const Manual& manual : a.rig.organ.manuals) EXPECT_FALSE(manual.loaded);
    EXPECT_EQ(a.rig.organ.pipesLoaded, 0u);
    return a.Reports();
}

// One case per message shape. Coupler 1 takes the Great to the Swell;
// divisional coupler 1 joins manuals 3, 2 and 1.
TEST(CouplerLoad, EachFaultIsReportedWithItsOwnMessage) {
    const std::string coupler = " [Loading an organ coupler.] / Coupler 1 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]";
    const std::string divisional = " [Loading an organ divisional coupler.] / Divisional coupler 1 failed to load. [Loading an organ.]";
    struct Case {
        const char* section;
        const char* key;
        const char* value;  // nullptr: removed
        std::string message;
    } cases[] = {
        {"Coupler001", "UnisonOff", nullptr, "The UnisonOff setting for coupler 1 is not specified in the organ definition file." + coupler},
        {"Coupler001", "UnisonOff", "X", "The unison off setting for coupler 1 is invalid." + coupler},
        {"Coupler001", "DestinationManual", "4", "An invalid destination manual number for the coupler 1 is specified in the organ definition file." + coupler},
        {"Coupler001", "DestinationKeyshift", "-25", "An invalid DestinationKeyshift setting for coupler 1 is specified in the organ definition file (max +/-24)." + coupler},
        {"Coupler001", "CoupleToSubsequentDownwardIntramanualCouplers", "1", "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler 1 is invalid." + coupler},
        {"DivisionalCoupler001", "NumberOfManuals", nullptr, "The number of manuals is not specified in the organ definition file for DivisionalCoupler001, or the section is missing." + divisional},
        {"DivisionalCoupler001", "NumberOfManuals", "7", "An invalid number of manuals is specified in the organ definition file for DivisionalCoupler001." + divisional},
        {"DivisionalCoupler001", "Manual003", "4", "Manual specifier 3 is invalid in the organ definition file for DivisionalCoupler001." + divisional},
        {"DivisionalCoupler001", "BiDirectionalCoupling", "maybe", "An invalid BiDirectionalCoupling setting is specified in the organ definition file for DivisionalCoupler001 (Y/N)." + divisional},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " " + c.key);
        test::ActionRig a(3);
        a.AddCoupler(1, 1, 2, 0, "NNNNN");
        a.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
        test::SetDrawstopKeys(a.organ, "DivisionalCoupler001", "Divisional coupler", 3, 1);
        a.organ.Set("DivisionalCoupler001", "NumberOfManuals", "3");
        for (int i = 1; i <= 3; ++i)
            a.organ.Set("DivisionalCoupler001", NumberedName("Manual", i), std::to_string(4 - i));
        a.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
        EXPECT_EQ(LoadResult(a), "loaded");
        if (c.value)
            a.organ.Set(c.section, c.key, c.value);
        else
            a.organ.Remove(c.section, c.key);
        EXPECT_EQ(LoadResult(a), c.message);
        EXPECT_FALSE(a.rig.organ.divisionalCouplers[0].divisionalCouplerLoaded);
    }

    test::ActionRig twice;
    twice.AddCoupler(1, 1, 0, 0, nullptr);
    twice.AddCoupler(1, 2, 2, 0, "NNNNN");
    twice.AddCoupler(1, 3, 0, 0, nullptr);
    EXPECT_EQ(LoadResult(twice), "There are two or more unison off couplers specified for manual 1. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
}

TEST(CouplerPaths, AClosedPathWithNoNetKeyshiftIsRefused) {
    const std::string refused = " is part of a closed path of couplers that would carry a key back to itself without end. [Loading an organ.]";
    struct Coupling {
        int owner, destination, keyshift;
        const char* subsequent;
    };
    const std::pair<std::vector<Coupling>, std::string> cases[] = {
        // Two unison couplers pointing at each other, each passing the other on.
        {{{1, 2, 0, "YNNNN"}, {2, 1, 0, "YNNNN"}}, "Coupler 1 on manual 1" + refused},
        // Up an octave on one manual and down again on another.
        {{{1, 2, 12, "NNYNN"}, {2, 1, -12, "NYNNN"}}, "Coupler 1 on manual 1" + refused},
        // An octave and a sub-octave of one manual feeding each other.
        {{{2, 2, 12, "NNNNY"}, {2, 2, -12, "NNNYN"}}, "Coupler 1 on manual 2" + refused},
        // Without the flags that close the path, and an octave coupler
        // feeding itself, which climbs off the keyboard.
        {{{1, 2, 0, "NNNNN"}, {2, 1, 0, "YNNNN"}, {2, 2, 12, "NNNYN"}}, "loaded"},
    };
    for (const auto& [couplings, result] : cases) {
        SCOPED_TRACE(result);
        test::ActionRig a;
        int n = 0;
        for (const Coupling& c : couplings)
            a.AddCoupler(c.owner, ++n, c.destination, c.keyshift, c.subsequent);
        EXPECT_EQ(LoadResult(a), result);
    }

    // A path counts only where its keys exist: two octaves up into a manual
    // of 12 keys and back cannot loop until that manual reaches that high.
    test::ActionRig a;
    a.organ.Set("Manual002", "NumberOfLogicalKeys", "12");
    a.organ.Set("Manual002", "NumberOfAccessibleKeys", "12");
    a.organ.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "0");
    a.organ.Set("Stop002", "NumberOfLogicalPipes", "12");
    a.organ.Set("Stop002", "NumberOfAccessiblePipes", "12");
    a.AddCoupler(1, 1, 2, -24, "NYNNN");
    a.AddCoupler(2, 2, 1, 24, "NNYNN");
    EXPECT_EQ(LoadResult(a), "loaded");
    a.organ.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "24");
    EXPECT_EQ(LoadResult(a), "Coupler 1 on manual 1" + refused);
}

}  // namespace
}  // namespace tessaline
