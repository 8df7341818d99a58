#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyaction/ActionRig.h"
#include "midi/CouplerPaths.h"

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

std::string CouplerFailure(const std::string& message) {
    return message +
           " [Loading an organ coupler.] / Coupler 1 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]";
}

TEST(CouplerLoad, KeysAreReadInOrderWithTheirMessages) {
    struct Case {
        const char* key;
        const char* value;  // nullptr: removed
        const char* message;
    };
    const std::vector<Case> cases = {
        {"UnisonOff", nullptr, "The UnisonOff setting for coupler 1 is not specified in the organ definition file."},
        {"UnisonOff", "X", "The unison off setting for coupler 1 is invalid."},
        {"DestinationManual", nullptr, "The DestinationManual setting for coupler 1 is not specified in the organ definition file."},
        {"DestinationManual", "0", "An invalid destination manual number for the coupler 1 is specified in the organ definition file."},
        {"DestinationManual", "3", "An invalid destination manual number for the coupler 1 is specified in the organ definition file."},
        {"DestinationKeyshift", nullptr, "The DestinationKeyshift setting for coupler 1 is not specified in the organ definition file."},
        {"DestinationKeyshift", "25", "An invalid DestinationKeyshift setting for coupler 1 is specified in the organ definition file (max +/-24)."},
        {"DestinationKeyshift", "-25", "An invalid DestinationKeyshift setting for coupler 1 is specified in the organ definition file (max +/-24)."},
        {"CoupleToSubsequentUnisonIntermanualCouplers", nullptr, "The CoupleToSubsequentUnisonIntermanualCouplers setting for coupler 1 is not specified in the organ definition file."},
        {"CoupleToSubsequentUnisonIntermanualCouplers", "1", "The CoupleToSubsequentUnisonIntermanualCouplers setting for coupler 1 is invalid."},
        {"CoupleToSubsequentUpwardIntermanualCouplers", nullptr, "The CoupleToSubsequentUpwardIntermanualCouplers setting for coupler 1 is not specified in the organ definition file."},
        {"CoupleToSubsequentDownwardIntermanualCouplers", "T", "The CoupleToSubsequentDownwardIntermanualCouplers setting for coupler 1 is invalid."},
        {"CoupleToSubsequentUpwardIntramanualCouplers", nullptr, "The CoupleToSubsequentUpwardIntramanualCouplers setting for coupler 1 is not specified in the organ definition file."},
        {"CoupleToSubsequentDownwardIntramanualCouplers", "?", "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler 1 is invalid."},
    };
    for (const Case& c : cases) {
        test::ActionRig a;
        a.AddCoupler(1, 1, 2, 0, "NNNNN");
        if (c.value == nullptr)
            a.organ.Remove("Coupler001", c.key);
        else
            a.organ.Set("Coupler001", c.key, c.value);
        EXPECT_EQ(LoadResult(a), CouplerFailure(c.message)) << c.key;
    }

    // The drawstop keys come first and report for themselves.
    test::ActionRig a;
    a.AddCoupler(1, 1, 2, 0, "NNNNN");
    a.organ.Remove("Coupler001", "DefaultToEngaged");
    a.organ.Remove("Coupler001", "UnisonOff");
    EXPECT_EQ(LoadResult(a), "The DefaultToEngaged setting for the drawstop Coupler001 could not be found in the organ definition file. [Loading a drawstop.] / Coupler 1 on manual 1 failed to load. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
}

TEST(CouplerLoad, FieldsAndKindsFollowDestinationAndKeyshift) {
    test::ActionRig a(2);
    a.organ.Set("Organ", "HasPedals", "Y");
    test::SetManual(a.organ, 0, test::kRigKeys, {3});
    test::SetStop(a.organ, 3, std::vector<std::string>(test::kRigKeys, "p.wav"));
    a.AddCoupler(1, 1, 2, 0, "YNNNN");
    a.AddCoupler(1, 2, 0, 12, "NYNNN");
    a.AddCoupler(1, 3, 2, -24, "NNYNN");
    a.AddCoupler(1, 4, 1, 7, "NNNYN");
    a.AddCoupler(1, 5, 1, -12, "NNNNY");
    a.AddCoupler(1, 6, 1, 0, "YYYYY");
    a.AddUnisonOff(2, 7);
    a.organ.Set("Coupler007", "DestinationManual", "9");  // never read
    ASSERT_EQ(LoadResult(a), "loaded");

    const Manual& great = a.M(1);
    const int kinds[] = {kUnisonIntermanual, kUpwardIntermanual, kDownwardIntermanual,
                         kUpwardIntramanual, kDownwardIntramanual, -1};
    for (int c = 0; c < 6; ++c) {
        SCOPED_TRACE(c);
        const Coupler& coupler = great.couplers[static_cast<size_t>(c)];
        EXPECT_TRUE(coupler.couplerLoaded && coupler.ownerManual == 1);
        EXPECT_EQ(coupler.Kind(), kinds[c]);
        EXPECT_EQ(coupler.Subsequent(), c < 5 ? 1u << c : kAllCouplerPermissions);
        EXPECT_EQ(coupler.Passes(kAllCouplerPermissions), c < 5);
        if (c < 5) {
            EXPECT_FALSE(coupler.Passes(static_cast<CouplerPermissions>(~(1u << c) & 31)));
        }
    }
    EXPECT_EQ(great.couplers[1].destinationManual, 0);
    EXPECT_EQ(great.couplers[2].destinationKeyshift, -24);
    EXPECT_TRUE(great.couplers[2].intermanual && great.couplers[2].downward);
    EXPECT_TRUE(great.couplers[5].unison && !great.couplers[5].intermanual);
    const Coupler& unisonOff = a.M(2).couplers[0];
    EXPECT_TRUE(unisonOff.unisonOff);
    EXPECT_EQ(unisonOff.destinationManual, 0);
    EXPECT_EQ(unisonOff.Kind(), -1);
    EXPECT_EQ(unisonOff.name, "Unison Off");

    ASSERT_TRUE(a.rig.organ.Unload(true));
    EXPECT_FALSE(great.couplers[0].couplerLoaded || great.couplers[0].loaded);
    EXPECT_EQ(great.couplers[2].destinationKeyshift, 0);
}

TEST(CouplerLoad, AManualTakesOneUnisonOffCouplerAtMost) {
    test::ActionRig a;
    a.AddUnisonOff(1, 1);
    a.AddCoupler(1, 2, 2, 0, "NNNNN");
    a.AddUnisonOff(1, 3);
    EXPECT_EQ(LoadResult(a), "There are two or more unison off couplers specified for manual 1. [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
    for (const Coupler& coupler : a.M(1).couplers) EXPECT_FALSE(coupler.couplerLoaded);
}

void SetDivisionalCoupler(test::ActionRig& a, int n, const std::vector<int>& manuals, bool twoWay) {
    std::string section = "DivisionalCoupler00" + std::to_string(n);
    test::SetDrawstopKeys(a.organ, section, "Divisional coupler", 3, n);
    a.organ.Set(section, "NumberOfManuals", std::to_string(manuals.size()));
    for (size_t i = 0; i < manuals.size(); ++i)
        a.organ.Set(section, "Manual00" + std::to_string(i + 1), std::to_string(manuals[i]));
    a.organ.Set(section, "BiDirectionalCoupling", twoWay ? "Y" : "N");
}

TEST(DivisionalCouplerLoad, KeysMessagesAndRollBack) {
    struct Case {
        const char* key;
        const char* value;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"NumberOfManuals", nullptr, "The number of manuals is not specified in the organ definition file for DivisionalCoupler002, or the section is missing."},
        {"NumberOfManuals", "0", "An invalid number of manuals is specified in the organ definition file for DivisionalCoupler002."},
        {"NumberOfManuals", "7", "An invalid number of manuals is specified in the organ definition file for DivisionalCoupler002."},
        {"Manual002", nullptr, "The manual 2 number is not specified in the organ definition file for DivisionalCoupler002."},
        {"Manual002", "0", "Manual specifier 2 is invalid in the organ definition file for DivisionalCoupler002."},
        {"Manual001", "4", "Manual specifier 1 is invalid in the organ definition file for DivisionalCoupler002."},
        {"BiDirectionalCoupling", nullptr, "The BiDirectionalCoupling setting is not specified in the organ definition file for DivisionalCoupler002."},
        {"BiDirectionalCoupling", "maybe", "An invalid BiDirectionalCoupling setting is specified in the organ definition file for DivisionalCoupler002 (Y/N)."},
    };
    for (const Case& c : cases) {
        test::ActionRig a(3);
        a.organ.Set("Organ", "NumberOfDivisionalCouplers", "2");
        SetDivisionalCoupler(a, 1, {1, 2}, false);
        SetDivisionalCoupler(a, 2, {3, 2, 1}, true);
        if (c.value == nullptr)
            a.organ.Remove("DivisionalCoupler002", c.key);
        else
            a.organ.Set("DivisionalCoupler002", c.key, c.value);
        EXPECT_EQ(LoadResult(a), std::string(c.message) +
                                     " [Loading an organ divisional coupler.] / Divisional coupler 2 failed to load. [Loading an organ.]")
            << c.key;
        for (const DivisionalCoupler& coupler : a.rig.organ.divisionalCouplers)
            EXPECT_FALSE(coupler.divisionalCouplerLoaded);
    }

    // A drawstop that fails reports only for itself before the organ's message.
    test::ActionRig a;
    a.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    EXPECT_EQ(LoadResult(a), "The drawstop display row number for the drawstop DivisionalCoupler001 could not be found in the organ definition file. [Loading a drawstop.] / Divisional coupler 1 failed to load. [Loading an organ.]");
}

TEST(DivisionalCouplerLoad, OneWayCarriesToLaterManualsTwoWayToAllOthers) {
    test::ActionRig a(3);
    a.organ.Set("Organ", "NumberOfDivisionalCouplers", "2");
    SetDivisionalCoupler(a, 1, {3, 2, 1}, false);
    SetDivisionalCoupler(a, 2, {3, 2, 1, 2}, true);
    a.Load();
    Organ& organ = a.rig.organ;
    const DivisionalCoupler& oneWay = organ.divisionalCouplers[0];
    const DivisionalCoupler& twoWay = organ.divisionalCouplers[1];
    ASSERT_TRUE(oneWay.divisionalCouplerLoaded && twoWay.divisionalCouplerLoaded);
    EXPECT_EQ(oneWay.numberOfManuals, 3);
    EXPECT_FALSE(oneWay.biDirectional);

    auto coupled = [](const DivisionalCoupler& coupler, int m) {
        std::array<int, kMaxDivisionalCouplerManuals> out{};
        int n = coupler.CoupledManuals(m, out);
        return std::vector<int>(out.begin(), out.begin() + n);
    };
    EXPECT_EQ(coupled(oneWay, 3), std::vector<int>{});  // disengaged
    organ.DivisionalCouplerOn(0);
    organ.DivisionalCouplerToggle(1);
    EXPECT_EQ(coupled(oneWay, 3), (std::vector<int>{2, 1}));
    EXPECT_EQ(coupled(oneWay, 2), (std::vector<int>{1}));
    EXPECT_EQ(coupled(oneWay, 1), std::vector<int>{});
    EXPECT_EQ(coupled(oneWay, 0), std::vector<int>{});  // not listed
    EXPECT_EQ(coupled(twoWay, 1), (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(coupled(twoWay, 2), (std::vector<int>{3, 1}));
    organ.DivisionalCouplerOff(0);
    organ.DivisionalCouplerOn(7);  // out of range: nothing
    EXPECT_EQ(coupled(oneWay, 3), std::vector<int>{});
}

TEST(CouplerPaths, AClosedPathWithNoNetKeyshiftIsRefused) {
    const std::string refused =
        " is part of a closed path of couplers that would carry a key back to itself without end. [Loading an organ.]";
    // Two unison couplers pointing at each other, each passing the other on.
    test::ActionRig a;
    a.AddCoupler(1, 1, 2, 0, "YNNNN");
    a.AddCoupler(2, 2, 1, 0, "YNNNN");
    EXPECT_EQ(LoadResult(a), "Coupler 1 on manual 1" + refused);

    // Up an octave on one manual and down again on another.
    test::ActionRig b;
    b.AddCoupler(1, 1, 2, 12, "NNYNN");
    b.AddCoupler(2, 2, 1, -12, "NYNNN");
    EXPECT_EQ(LoadResult(b), "Coupler 1 on manual 1" + refused);

    // An octave and a sub-octave of one manual feeding each other.
    test::ActionRig c;
    c.AddCoupler(2, 1, 2, 12, "NNNNY");
    c.AddCoupler(2, 2, 2, -12, "NNNYN");
    EXPECT_EQ(LoadResult(c), "Coupler 1 on manual 2" + refused);

    // The same couplers without the flags that close the path load, and so
    // does an octave coupler feeding itself: it climbs off the keyboard.
    test::ActionRig d;
    d.AddCoupler(1, 1, 2, 0, "NNNNN");
    d.AddCoupler(2, 2, 1, 0, "YNNNN");
    d.AddCoupler(2, 3, 2, 12, "NNNYN");
    EXPECT_EQ(LoadResult(d), "loaded");
    CouplerPathStart path;
    EXPECT_FALSE(FindClosedCouplerPath(d.rig.organ.manuals, path));
    EXPECT_EQ(path.manual, -1);
}

TEST(CouplerPaths, APathOnlyCountsWhereItsKeysExist) {
    // Up two octaves into a manual of 12 keys and back: no key of the first
    // manual has a key two octaves up there, so nothing can loop.
    test::ActionRig a;
    a.organ.Set("Manual002", "NumberOfLogicalKeys", "12");
    a.organ.Set("Manual002", "NumberOfAccessibleKeys", "12");
    a.organ.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "0");
    a.organ.Set("Stop002", "NumberOfLogicalPipes", "12");
    a.organ.Set("Stop002", "NumberOfAccessiblePipes", "12");
    a.AddCoupler(1, 1, 2, -24, "NYNNN");
    a.AddCoupler(2, 2, 1, 24, "NNYNN");
    EXPECT_EQ(LoadResult(a), "loaded");
    a.organ.Set("Coupler002", "DestinationKeyshift", "24");
    a.organ.Set("Coupler001", "DestinationKeyshift", "-24");
    a.organ.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "24");
    EXPECT_NE(LoadResult(a), "loaded");
}

}  // namespace
}  // namespace tessaline
