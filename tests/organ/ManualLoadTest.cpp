#include "organ/Manual.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "organ/DefinitionReader.h"
#include "organ/LoaderSteps.h"
#include "organ/Stop.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

class ManualLoad : public ::testing::Test {
protected:
    ManualLoad() { test::SetManual(organ, 1, 61, {}); }

    // Loads the whole organ; on failure returns the reports joined with " / ".
    std::string LoadResult() {
        rig.errors.Clear();
        if (rig.Load(organ)) return "loaded";
        EXPECT_FALSE(rig.organ.manuals[1].loaded);
        return test::JoinedReports(rig.errors);
    }
    // The first-pass report of manual 1 alone, with the organ loaded around it.
    std::string ManualFailure(const OrganFileBuilder& manualFile) {
        DefinitionFile file;
        file.ParseText(manualFile.Text());
        rig.errors.Clear();
        bool displayed = false;
        if (rig.organ.manuals[1].Load(file, 1, 1, displayed)) return "loaded";
        auto errors = rig.errors.Errors();
        if (errors.size() != 1) return "reports: " + std::to_string(errors.size());
        EXPECT_EQ(errors[0].attemptedAction, "Loading an organ manual.");
        return errors[0].message;
    }
    std::string Failure(const std::string& message) {
        return message + " [Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]";
    }

    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
    test::OrganRig rig;
};

TEST_F(ManualLoad, KeyNumbersFollowTheFirstAccessibleKey) {
    organ.Set("Manual001", "NumberOfAccessibleKeys", "56");
    ASSERT_EQ(LoadResult(), "loaded");
    const Manual& manual = rig.organ.manuals[1];
    EXPECT_EQ(manual.midiNoteOfKey0, 36);
    EXPECT_EQ(manual.midiInput, 0);
    EXPECT_TRUE(manual.keys[0].playable);
    EXPECT_EQ(manual.keys[55].midiNote, 91);
    EXPECT_TRUE(manual.keys[55].playable);
    EXPECT_FALSE(manual.keys[56].playable);
    EXPECT_EQ(manual.keyboardSlot, 1u);
    EXPECT_EQ(manual.keyboardRect.top, rig.organ.Layout().KeyStrip(1).top);

    // From logical key 6, MIDI note 36 is still the first reachable key.
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "6");
    organ.Set("Manual001", "MIDIInputNumber", "6");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(manual.firstAccessibleKey, 5);
    EXPECT_EQ(manual.midiNoteOfKey0, 31);
    EXPECT_EQ(manual.midiInput, 5);
    EXPECT_FALSE(manual.keys[4].playable);
    EXPECT_TRUE(manual.keys[5].playable);
    EXPECT_EQ(manual.keys[5].midiNote, 36);
    EXPECT_TRUE(manual.keys[60].playable);

    organ.Set("Manual001", "NumberOfAccessibleKeys", "57");
    EXPECT_EQ(LoadResult(), Failure("An invalid FirstAccessibleKeyLogicalKeyNumber setting for manual 1 is specified in the organ definition file."));
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "0");
    EXPECT_EQ(LoadResult(), Failure("An invalid FirstAccessibleKeyLogicalKeyNumber setting for manual 1 is specified in the organ definition file."));

    // No reachable key at all: a manual that only hears couplers.
    organ.Set("Manual001", "NumberOfAccessibleKeys", "0");
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "61");
    ASSERT_EQ(LoadResult(), "loaded");
    for (const ManualKey& key : manual.keys) EXPECT_FALSE(key.playable);
}

TEST_F(ManualLoad, HiddenManualsHaveNoPlayableKeysAndTakeNoSlot) {
    organ.Set("Organ", "NumberOfManuals", "2");
    organ.Set("Manual001", "Displayed", "N");
    test::SetManual(organ, 2, 30, {});
    ASSERT_EQ(LoadResult(), "loaded");
    for (const ManualKey& key : rig.organ.manuals[1].keys) EXPECT_FALSE(key.playable);
    EXPECT_EQ(rig.organ.manuals[2].keyboardSlot, 1u);
    EXPECT_TRUE(rig.organ.manuals[2].keys[29].playable);
}

TEST_F(ManualLoad, KeysAreCheckedInTableOrder) {
    const test::KeyStep steps[] = {
        {"Name", nullptr, "The name of manual 1 could not be found in the organ definition file or the manual section is missing.", "Great"},
        {"NumberOfLogicalKeys", "193", "An NumberOfLogicalKeys setting for manual 1 is specified in the organ definition file.", nullptr},
        {"NumberOfLogicalKeys", nullptr, "The NumberOfLogicalKeys setting for manual 1 could not be found in the organ definition file.", "100"},
        {"NumberOfAccessibleKeys", "86", "An invalid NumberOfAccessibleKeys setting for manual 1 is specified in the organ definition file.", "85"},
        {"FirstAccessibleKeyMIDINoteNumber", "128", "An invalid FirstAccessibleKeyMIDINoteNumber setting for manual 1 is specified in the organ definition file (0-127).", "0"},
        {"MIDIInputNumber", "7", "An invalid MIDI input number for manual 1 is specified in the organ definition file.", "1"},
        {"Displayed", "x", "The Displayed setting for manual 1 is invalid (Y/N).", "Y"},
        {"DispKeyColourInverted", nullptr, "The DispKeyColourInverted setting for manual 1 is not specified in the organ definition file.", "Y"},
        {"NumberOfStops", "65", "An invalid number of stops for manual 1 is specified in the organ definition file.", "0"},
        {"NumberOfCouplers", "17", "An invalid number of couplers for manual 1 is specified in the organ definition file.", "0"},
        {"NumberOfDivisionals", "33", "An invalid number of divisional combinations for manual 1 is specified in the organ definition file.", nullptr},
        {"NumberOfTremulants", "11", "An invalid number of tremulants for manual 1 is specified in the organ definition file.", "1"},
        {"Tremulant001", nullptr, "Tremulant specifier 1 for manual 1 could not be found in the organ definition file.", "1"},
        // The organ has no tremulants, so none can be referenced.
        {"Tremulant001", "1", "Tremulant specifier 1 for manual 1 references an invalid tremulant in the organ definition file.", nullptr},
        {"NumberOfTremulants", nullptr, "loaded", nullptr},
    };
    OrganFileBuilder m = organ;
    m.Set("Manual001", "NumberOfLogicalKeys", "193");  // read after the name
    test::WalkKeys(m, "Manual001", steps, [&] { return ManualFailure(m); },
                   [](const std::string& message) { return message; });
    const Manual& manual = rig.organ.manuals[1];
    EXPECT_TRUE(manual.keyColourInverted);
    EXPECT_EQ(manual.numberOfCouplers, 0);
    EXPECT_EQ(manual.numberOfDivisionals, 0);
    EXPECT_EQ(manual.midiNoteOfKey0, 0);
}

TEST_F(ManualLoad, TremulantSpecifiersNameOrganTremulantsFromZero) {
    organ.Set("Organ", "NumberOfTremulants", "3");
    organ.Set("Manual001", "NumberOfTremulants", "2");
    organ.Set("Manual001", "Tremulant001", "3");
    organ.Set("Manual001", "Tremulant002", "1");
    OrganFileBuilder m = organ;
    ASSERT_TRUE(rig.Load(OrganFileBuilder::MinimalOrgan()));
    rig.organ.numberOfTremulants = 3;
    EXPECT_EQ(ManualFailure(m), "loaded");
    EXPECT_EQ(rig.organ.manuals[1].tremulants[0], 2);
    EXPECT_EQ(rig.organ.manuals[1].tremulants[1], 0);
    m.Set("Manual001", "Tremulant002", "4");
    EXPECT_EQ(ManualFailure(m), "Tremulant specifier 2 for manual 1 references an invalid tremulant in the organ definition file.");
}

TEST_F(ManualLoad, CouplerSpecifiersNameSections) {
    organ.Set("Manual001", "NumberOfCouplers", "1");
    EXPECT_EQ(LoadResult(), Failure("Coupler specifier 1 for manual 1 could not be found in the organ definition file."));
    organ.Set("Manual001", "Coupler001", "4");
    EXPECT_EQ(LoadResult(),
              "The drawstop display row number for the drawstop Coupler004 could not be found in "
              "the organ definition file. [Loading a drawstop.] / " +
                  Failure("Coupler 1 on manual 1 failed to load."));
}

TEST_F(ManualLoad, AMissingDivisionalSpecifierFailsTheManual) {
    organ.Set("Manual001", "NumberOfDivisionals", "1");
    EXPECT_EQ(LoadResult(), Failure("Divisional combination specifier 1 for manual 1 could not be found in the organ definition file."));
}

TEST_F(ManualLoad, StopSpecifiersAreReadInBothPasses) {
    organ.Set("Manual001", "NumberOfStops", "2");
    test::WritePipeWav(rig.dir, "p.wav");
    test::SetStop(organ, 7, {"p.wav"});
    organ.Set("Manual001", "Stop001", "7");
    EXPECT_EQ(LoadResult(), Failure("Stop specifier 2 for manual 1 could not be found in the organ definition file."));
    organ.Set("Manual001", "Stop002", "7");
    ASSERT_EQ(LoadResult(), "loaded");
    const Manual& manual = rig.organ.manuals[1];
    ASSERT_NE(manual.GetStop(1), nullptr);
    EXPECT_EQ(manual.GetStop(1)->name, "Stop 7");
    EXPECT_EQ(manual.GetStop(2), nullptr);
    EXPECT_EQ(manual.GetStop(-1), nullptr);

    // The second pass reads the specifiers again.
    DefinitionFile file;
    organ.Remove("Manual001", "Stop002");
    file.ParseText(organ.Text());
    rig.errors.Clear();
    EXPECT_FALSE(rig.organ.manuals[1].LoadSecondPass(file));
    auto errors = rig.errors.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].message, "Stop specifier 2 for manual 1 could not be found in the organ definition file.");
    EXPECT_EQ(errors[0].attemptedAction, "Loading an organ manual (second parse).");

    EXPECT_TRUE(rig.organ.Unload(false));
    EXPECT_EQ(manual.GetStop(0), nullptr);
    EXPECT_EQ(rig.organ.pipesLoaded, 0u);
}

}  // namespace
}  // namespace tessaline
