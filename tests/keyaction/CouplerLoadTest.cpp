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

struct KeyCase {
    const char* key;
    const char* value;  // nullptr: removed
    std::string message;
};

void Apply(test::ActionRig& a, const std::string& section, const KeyCase& c) {
    if (c.value == nullptr)
        a.organ.Remove(section, c.key);
    else
        a.organ.Set(section, c.key, c.value);
}

TEST(CouplerLoad, EachKeyIsCheckedWithItsOwnMessage) {
    const std::string tail =
        " [Loading an organ coupler.] / Coupler 1 on manual 1 failed to load. [Loading an organ "
        "manual.] / Manual 1 failed to load. [Loading an organ.]";
    const std::string destination =
        "An invalid destination manual number for the coupler 1 is specified in the organ "
        "definition file.";
    const std::string keyshift =
        "An invalid DestinationKeyshift setting for coupler 1 is specified in the organ definition "
        "file (max +/-24).";
    const KeyCase cases[] = {
        {"UnisonOff", nullptr,
         "The UnisonOff setting for coupler 1 is not specified in the organ definition file."},
        {"UnisonOff", "X", "The unison off setting for coupler 1 is invalid."},
        {"DestinationManual", "0", destination},
        {"DestinationManual", "3", destination},
        {"DestinationKeyshift", "25", keyshift},
        {"DestinationKeyshift", "-25", keyshift},
        {"CoupleToSubsequentUnisonIntermanualCouplers", "1",
         "The CoupleToSubsequentUnisonIntermanualCouplers setting for coupler 1 is invalid."},
        {"CoupleToSubsequentDownwardIntramanualCouplers", nullptr,
         "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler 1 is not "
         "specified in the organ definition file."},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.key);
        test::ActionRig a;
        a.AddCoupler(1, 1, 2, 0, "NNNNN");
        Apply(a, "Coupler001", c);
        EXPECT_EQ(LoadResult(a), c.message + tail);
    }

    test::ActionRig twice;
    twice.AddCoupler(1, 1, 0, 0, nullptr);
    twice.AddCoupler(1, 2, 2, 0, "NNNNN");
    twice.AddCoupler(1, 3, 0, 0, nullptr);
    EXPECT_EQ(LoadResult(twice),
              "There are two or more unison off couplers specified for manual 1. [Loading an organ "
              "manual.] / Manual 1 failed to load. [Loading an organ.]");
}

void SetDivisionalCoupler(test::ActionRig& a, int n, const std::vector<int>& manuals, bool twoWay) {
    std::string section = "DivisionalCoupler00" + std::to_string(n);
    test::SetDrawstopKeys(a.organ, section, "Divisional coupler", 3, n);
    a.organ.Set(section, "NumberOfManuals", std::to_string(manuals.size()));
    for (size_t i = 0; i < manuals.size(); ++i)
        a.organ.Set(section, "Manual00" + std::to_string(i + 1), std::to_string(manuals[i]));
    a.organ.Set(section, "BiDirectionalCoupling", twoWay ? "Y" : "N");
}

TEST(DivisionalCouplerLoad, EachKeyIsCheckedAndAFailureLeavesNoneLoaded) {
    const std::string tail =
        " [Loading an organ divisional coupler.] / Divisional coupler 2 failed to load. [Loading "
        "an organ.]";
    const KeyCase cases[] = {
        {"NumberOfManuals", nullptr,
         "The number of manuals is not specified in the organ definition file for "
         "DivisionalCoupler002, or the section is missing."},
        {"NumberOfManuals", "7",
         "An invalid number of manuals is specified in the organ definition file for "
         "DivisionalCoupler002."},
        {"Manual001", "4",
         "Manual specifier 1 is invalid in the organ definition file for DivisionalCoupler002."},
        {"BiDirectionalCoupling", "maybe",
         "An invalid BiDirectionalCoupling setting is specified in the organ definition file for "
         "DivisionalCoupler002 (Y/N)."},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.key);
        test::ActionRig a(3);
        a.organ.Set("Organ", "NumberOfDivisionalCouplers", "2");
        SetDivisionalCoupler(a, 1, {1, 2}, false);
        SetDivisionalCoupler(a, 2, {3, 2, 1}, true);
        Apply(a, "DivisionalCoupler002", c);
        EXPECT_EQ(LoadResult(a), c.message + tail);
        EXPECT_FALSE(a.rig.organ.divisionalCouplers[0].divisionalCouplerLoaded);
    }
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
    auto coupled = [](const DivisionalCoupler& coupler, int m) {
        std::array<int, kMaxDivisionalCouplerManuals> out{};
        int n = coupler.CoupledManuals(m, out);
        return std::vector<int>(out.begin(), out.begin() + n);
    };
    organ.DivisionalCouplerOn(0);
    organ.DivisionalCouplerToggle(1);
    EXPECT_EQ(coupled(oneWay, 3), (std::vector<int>{2, 1}));
    EXPECT_EQ(coupled(oneWay, 1), std::vector<int>{});
    EXPECT_EQ(coupled(oneWay, 0), std::vector<int>{});  // not listed
    EXPECT_EQ(coupled(twoWay, 1), (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(coupled(twoWay, 2), (std::vector<int>{3, 1}));
}

TEST(CouplerPaths, AClosedPathWithNoNetKeyshiftIsRefused) {
    const std::string refused =
        " is part of a closed path of couplers that would carry a key back to itself without end. "
        "[Loading an organ.]";
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
    CouplerPathStart path;
    EXPECT_FALSE(FindClosedCouplerPath(a.rig.organ.manuals, path));
    a.organ.Set("Manual002", "FirstAccessibleKeyMIDINoteNumber", "24");
    EXPECT_EQ(LoadResult(a), "Coupler 1 on manual 1" + refused);
}

}  // namespace
}  // namespace tessaline
