#include "organ/Organ.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "organ/Constants.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/FixedMetricsConsoleView.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

// The player presses Cancel as soon as the loading dialog opens (when armed).
class CancelAtOnce : public CountingLoadingProgress {
public:
    void Begin(uint32_t totalSteps) override {
        CountingLoadingProgress::Begin(totalSteps);
        if (!armed) return;
        cancelled = true;
        ReportError("Loading the organ has been cancelled by the user.", "Loading an organ.");
    }
    bool armed = true;
};

class OrganLoad : public ::testing::Test {
protected:
    bool Load(const OrganFileBuilder& organFile, const std::string& name = "test.organ") {
        return organ.Load(dir.Write(name, organFile.Text()));
    }
    // The window's place and size, and its title.
    void ExpectWindow(int x, int y, int width, int height, const std::string& title) {
        EXPECT_EQ(view.windowX, x);
        EXPECT_EQ(view.windowY, y);
        EXPECT_EQ(view.windowWidth, width);
        EXPECT_EQ(view.windowHeight, height);
        EXPECT_EQ(view.title, title);
    }
    std::string OnlyMessage() {
        std::vector<RecordedError> reports = errors.Errors();
        EXPECT_EQ(reports.size(), 1u);
        if (reports.empty()) return "";
        EXPECT_EQ(reports[0].attemptedAction, "Loading an organ.");
        return reports[0].message;
    }

    test::TempDir dir;
    RecordingErrorSink errors;
    FixedMetricsConsoleView view;
    CountingLoadingProgress progress;
    Organ organ{view, progress};
};

TEST_F(OrganLoad, MinimalOrganLoadsAndTitlesTheWindow) {
    ASSERT_TRUE(Load(OrganFileBuilder::MinimalOrgan()));
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_TRUE(organ.loaded);
    // "Small" is 792 x 560, centred on the 1920 x 1200 screen.
    ExpectWindow(564, 320, 792, 560, "Tessaline Console - Test Church");
    EXPECT_EQ(organ.churchAddress, "1 Test Street");
    EXPECT_EQ(organ.organBuilder, "Test Builder");
    EXPECT_EQ(organ.infoFilename, "info.html");
    EXPECT_EQ(organ.numberOfManuals, 1u);
    EXPECT_FALSE(organ.hasPedals);
    EXPECT_EQ(organ.numberOfWindchestGroups, 2u);  // the file's one and the implicit group
    EXPECT_DOUBLE_EQ(organ.amplitudeLevel, 1.0);
    EXPECT_TRUE(organ.divisionalsStoreTremulants);
    EXPECT_FALSE(organ.combinationsStoreNonDisplayedDrawstops);
    EXPECT_EQ(organ.Layout().displayedManualCount, 1u);
    // The layout works on the client area of the placed window.
    EXPECT_EQ(organ.Layout().clientWidth, 792u - FixedMetricsConsoleView::kFrameWidth);
    EXPECT_EQ(organ.Layout().clientHeight, 560u - FixedMetricsConsoleView::kFrameHeight -
                                               FixedMetricsConsoleView::kStatusBarHeight);
}

// One key changed (or removed, with a null value) in the minimal organ, and
// the one report the load gives.
struct KeyFailure {
    const char* section;
    const char* key;
    const char* value;
    const char* message;
};

TEST_F(OrganLoad, EachBadKeyReportsItsOwnMessage) {
    const char* earlier =
        "The organ definition file was created for an earlier version of Tessaline.\n"
        "Please run the Tessaline file migration utility to convert to the file format for this version.";
    const char* amplitude =
        "The AmplitudeLevel setting for the organ is invalid in the organ definition file (range 0-1000%).";
    const KeyFailure cases[] = {
        {"Organ", "TessalineOrganFileFormatVersion", nullptr, "The TessalineOrganFileFormatVersion setting for the organ could not be found in the organ definition file."},
        {"Organ", "TessalineOrganFileFormatVersion", "1.22", "The organ definition file requires a higher version of Tessaline.\nPlease upgrade Tessaline to the latest version in order to use the organ."},
        {"Organ", "TessalineOrganFileFormatVersion", "0.9", earlier},
        {"Organ", "TessalineOrganFileFormatVersion", "abc", earlier},
        {"Organ", "ChurchName", nullptr, "The name of the church could not be found in the organ definition file. The file is either inaccessible or invalid. Check that the file exists."},
        {"Organ", "ChurchAddress", nullptr, "The address of the church could not be found in the organ definition file."},
        {"Organ", "CombinationsStoreNonDisplayedDrawstops", nullptr, "The CombinationsStoreNonDisplayedDrawstops setting for the organ could not be found in the organ definition file."},
        {"Organ", "DispExtraPedalButtonRow", nullptr, "The DispExtraPedalButtonRow setting for the organ could not be found in the organ definition file."},
        {"Organ", "AmplitudeLevel", nullptr, "The AmplitudeLevel setting for the organ is not specified in the organ definition file."},
        {"Organ", "AmplitudeLevel", "1000.1", amplitude},
        {"Organ", "AmplitudeLevel", "-1", amplitude},
        {"Organ", "DispControlLabelFont", nullptr, "The display font setting for the drawstops could not be found ."},
        {"Organ", "DispScreenSizeVert", nullptr, "The DispScreenSizeVert setting for the organ could not be found in the organ definition file."},
        // An empty value counts as missing.
        {"Organ", "HasPedals", "", "The pedal setting for the organ could not be found in the organ definition file."},
        {"Organ", "HasPedals", "X", "The pedal setting for the organ is invalid in the organ definition file (Y/N)."},
        {"Organ", "NumberOfManuals", "6", "An invalid number of manuals for the organ is specified in the organ definition file."},
        {"Organ", "NumberOfManuals", "-1", "An invalid number of manuals for the organ is specified in the organ definition file."},
        {"Organ", "NumberOfWindchestGroups", "0", "An invalid NumberOfWindchestGroups setting for the organ is specified in the organ definition file."},
        {"Organ", "NumberOfWindchestGroups", "13", "An invalid NumberOfWindchestGroups setting for the organ is specified in the organ definition file."},
        {"Organ", "HighestSampleFormat", "Quad", "The HighestSampleFormat setting for the organ is invalid in the organ definition file (Mono/Stereo)."},
        {"Organ", "NumberOfGenerals", "100", "An invalid number of general combinations for the organ is specified in the organ definition file."},
        {"Organ", "DivisionalsStoreTremulants", "true", "The DivisionalsStoreTremulants setting for the organ is invalid in the organ definition file (Y/N)."},
        {"Organ", "DispTrimAboveManuals", "maybe", "The DispTrimAboveManuals setting for the organ is invalid in the organ definition file (Y/N)."},
        {"Organ", "DispButtonCols", "33", "An invalid DispButtonCols setting for the organ is specified in the organ definition file ."},
        {"Organ", "DispShortcutKeyLabelColour", "PURPLE", "An invalid shortcut key label colour is specified for the organ in the organ definition file."},
        {"Organ", "DispKeyVertBackgroundImageNum", "31", "An invalid image number for the vertical keyboard background for the organ is specified in the organ definition file (1-30)."},
        {"Organ", "DispScreenSizeHoriz", "Smal", "The DispScreenSizeHoriz setting for the organ is invalid in the organ definition file."},
        {"Manual001", "NumberOfLogicalKeys", nullptr, "The NumberOfLogicalKeys setting for manual 1 could not be found in the organ definition file or the manual section is missing."},
        {"Manual001", "NumberOfLogicalKeys", "193", "An invalid NumberOfLogicalKeys setting for manual 1 is specified in the organ definition file."},
        {"Manual001", "NumberOfStops", "65", "An invalid number of stops for manual 1 is specified in the organ definition file."},
        {"Manual001", "Displayed", nullptr, "The Displayed setting for manual 1 is not specified in the organ definition file."},
        {"Manual001", "Displayed", "O", "The Displayed setting for manual 1 is invalid (Y/N)."},
    };
    for (const KeyFailure& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + (c.value ? c.value : "(absent)"));
        errors.Clear();
        OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
        if (c.value) b.Set(c.section, c.key, c.value);
        else b.Remove(c.section, c.key);
        EXPECT_FALSE(Load(b));
        EXPECT_EQ(OnlyMessage(), c.message);
    }
}

TEST_F(OrganLoad, BoundaryValuesThatLoad) {
    struct Accepted {
        const char* key;
        const char* value;
        double amplitude;
    } cases[] = {
        {"TessalineOrganFileFormatVersion", "1.21", 1.0}, {"TessalineOrganFileFormatVersion", "1", 1.0},
        {"TessalineOrganFileFormatVersion", "1.0", 1.0},  {"TessalineOrganFileFormatVersion", "1.2", 1.0},
        {"AmplitudeLevel", "1000", 10.0},                 {"AmplitudeLevel", "-0", 0.0},
        {"AmplitudeLevel", "37.5", 0.375},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
        b.Set("Organ", c.key, c.value);
        EXPECT_TRUE(Load(b));
        EXPECT_DOUBLE_EQ(organ.amplitudeLevel, c.amplitude);
    }
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(OrganLoad, TheFirstBadKeyInFileOrderIsTheOneReported) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "DispDrawstopRows", "0");    // read late
    b.Set("Organ", "NumberOfTremulants", "17");  // read early
    b.Set("Organ", "HasPedals", "X");            // read in between
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "An invalid number of tremulants for the organ is specified in the organ definition file.");
    // The Disp keys of the first group come before AmplitudeLevel, the rest after.
    b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "AmplitudeLevel", "2000");
    b.Set("Organ", "DispButtonsAboveManuals", "Q");
    b.Set("Organ", "DispDrawstopCols", "0");
    errors.Clear();
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "The DispButtonsAboveManuals setting for the organ is invalid in the organ definition file (Y/N).");
    b.Set("Organ", "DispButtonsAboveManuals", "Y");
    errors.Clear();
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "The AmplitudeLevel setting for the organ is invalid in the organ definition file (range 0-1000%).");
    // The screen sizes come after the manual pre-pass.
    b = OrganFileBuilder::MinimalOrgan();
    b.Remove("Organ", "DispScreenSizeHoriz");
    b.Remove("Manual001", "NumberOfStops");
    errors.Clear();
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "The number of stops for manual 1 could not be found in the organ definition file.");
}

TEST_F(OrganLoad, AFileThatCannotBeOpenedLacksItsVersion) {
    EXPECT_FALSE(organ.Load(dir.File("absent.organ")));
    EXPECT_EQ(OnlyMessage(),
              "The TessalineOrganFileFormatVersion setting for the organ could not be found in the organ definition file.");
    errors.Clear();
    EXPECT_FALSE(organ.Load(dir.Write("bare.organ", "[Organ]\nTessalineOrganFileFormatVersion=1.21\n")));
    EXPECT_EQ(OnlyMessage(),
              "The name of the church could not be found in the organ definition file. The file is either inaccessible or invalid. Check that the file exists.");
}

TEST_F(OrganLoad, PedalsDecideWhetherManual000IsRead) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "NumberOfManuals", "5");
    // Manuals whose stops all sound one looped sample, stops numbered on
    // from `nextStop`.
    test::WritePipeWav(dir, "p.wav");
    int nextStop = 1;
    auto manual = [&](int m, int keys, int stops) {
        std::vector<int> numbers;
        for (int s = 0; s < stops; ++s) {
            numbers.push_back(nextStop);
            test::SetStop(b, nextStop++, {"p.wav"});
        }
        test::SetManual(b, m, keys, numbers);
    };
    manual(1, 61, 10);
    for (int m = 2; m <= 5; ++m) {
        manual(m, 56, m);
        b.Set("Manual00" + std::to_string(m), "Displayed", m == 3 ? "N" : "y");
    }
    // No Manual000 section: loads without pedals.
    ASSERT_TRUE(Load(b)) << ::testing::PrintToString(errors.Messages());
    EXPECT_EQ(progress.total, 10u * 61 + (2 + 3 + 4 + 5) * 56u);
    EXPECT_EQ(organ.Layout().displayedManualCount, 4u);
    EXPECT_FALSE(organ.manuals[0].loaded);

    // With pedals, manual 0 is read first and named by its own number.
    b.Set("Organ", "HasPedals", "Y");
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "The NumberOfLogicalKeys setting for manual 0 could not be found in the organ definition file or the manual section is missing.");
    manual(0, 32, 3);
    errors.Clear();
    ASSERT_TRUE(Load(b)) << ::testing::PrintToString(errors.Messages());
    EXPECT_TRUE(organ.manuals[0].loaded);
    EXPECT_EQ(progress.total, 3u * 32 + 10u * 61 + (2 + 3 + 4 + 5) * 56u);
    // The pedal is never counted as a displayed manual.
    EXPECT_EQ(organ.Layout().displayedManualCount, 4u);

    // Every manual up to NumberOfManuals is read.
    b.Remove("Manual005", "Displayed");
    errors.Clear();
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(),
              "The Displayed setting for manual 5 is not specified in the organ definition file.");
}

TEST_F(OrganLoad, WindchestGroupCountAgreesWithTheTable) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "NumberOfWindchestGroups", std::to_string(kMaxWindchestGroupsInFile));
    for (int g = 2; g <= kMaxWindchestGroupsInFile; ++g) {
        b.Set(NumberedName("WindchestGroup", g), "NumberOfEnclosures", "0");
        b.Set(NumberedName("WindchestGroup", g), "NumberOfTremulants", "0");
    }
    ASSERT_TRUE(Load(b));
    EXPECT_EQ(organ.numberOfWindchestGroups, static_cast<uint32_t>(kMaxWindchestGroups));
    ASSERT_EQ(organ.WindchestGroups().size(), static_cast<size_t>(kMaxWindchestGroups));
    for (const WindchestGroup& group : organ.WindchestGroups()) EXPECT_TRUE(group.loaded);
}

TEST_F(OrganLoad, TextsAreCutToTheirBuffers) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "ChurchName", std::string(200, 'c'));
    b.Set("Organ", "OrganComments", std::string(300, 'o'));
    b.Remove("Organ", "OrganBuilder");
    ASSERT_TRUE(Load(b));
    EXPECT_EQ(organ.churchName, std::string(127, 'c'));
    EXPECT_EQ(organ.organComments, std::string(255, 'o'));
    EXPECT_EQ(organ.organBuilder, "");
    EXPECT_EQ(view.title, "Tessaline Console - " + std::string(127, 'c'));
}

TEST_F(OrganLoad, ScreenMustBeStrictlyLargerThanTheConsole) {
    const char* tooSmall =
        "The current screen display mode is not large enough to display this organ.\n"
        "If your graphics card and monitor support it, please try to increase the screen "
        "area (in the display settings of your desktop).";
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    view.screen = {792, 1200, 32};
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(), tooSmall);
    EXPECT_EQ(view.placements, 0);
    view.screen = {1920, 560, 32};
    errors.Clear();
    EXPECT_FALSE(Load(b));
    EXPECT_EQ(OnlyMessage(), tooSmall);

    view.screen = {793, 561, 32};
    errors.Clear();
    EXPECT_TRUE(Load(b));
    EXPECT_EQ(view.windowX, 0);
    EXPECT_EQ(view.windowY, 0);

    // Width and height words are independent.
    b.Set("Organ", "DispScreenSizeHoriz", "Large");
    b.Set("Organ", "DispScreenSizeVert", "small");
    view.screen = {1600, 600, 32};
    EXPECT_TRUE(Load(b));
    ExpectWindow(4, 20, 1592, 560, "Tessaline Console - Test Church");
    b.Set("Organ", "DispScreenSizeVert", "Medium Large");
    view.screen = {1920, 1080, 32};
    EXPECT_TRUE(Load(b));
    ExpectWindow(164, 80, 1592, 920, "Tessaline Console - Test Church");
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(OrganLoad, UnloadResetsEverythingAndTheWindow) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HighestSampleFormat", "Stereo");
    b.Set("Organ", "DispScreenSizeHoriz", "Medium");
    ASSERT_TRUE(Load(b));
    ASSERT_EQ(organ.outputMode, OutputMode::Stereo);
    EXPECT_TRUE(organ.Unload(false));
    EXPECT_FALSE(organ.loaded);
    EXPECT_EQ(organ.churchName, "");
    EXPECT_EQ(organ.infoFilename, "");
    EXPECT_EQ(organ.numberOfManuals, 0u);
    EXPECT_FALSE(organ.divisionalsStoreTremulants);
    EXPECT_DOUBLE_EQ(organ.amplitudeLevel, 0.0);
    EXPECT_EQ(organ.highestSampleFormat, SampleFormat::Mono);
    EXPECT_EQ(organ.memorySampleFormat, SampleFormat::Mono);
    EXPECT_FALSE(organ.simulateStereo);
    EXPECT_EQ(organ.outputMode, OutputMode::Mono);
    EXPECT_EQ(organ.organDirectory, "");
    EXPECT_EQ(organ.Layout().dispDrawstopCols, 0u);
    EXPECT_EQ(organ.Layout().centralWidth, 0u);
    ExpectWindow(564, 320, 792, 560, "Tessaline Console");

    // A quiet unload leaves the window as it is.
    ASSERT_TRUE(Load(b));
    EXPECT_TRUE(organ.Unload(true));
    EXPECT_FALSE(organ.loaded);
    ExpectWindow(452, 320, 1016, 560, "Tessaline Console - Test Church");
}

TEST_F(OrganLoad, RelativeNamesResolveAgainstTheOrgansFolder) {
    std::string base = dir.Path().string();
    std::string file = dir.Write("Organs/Church/church.organ", OrganFileBuilder::MinimalOrgan().Text());
    // A backslash in the path is a folder separator.
    std::string withBackslashes = base + "/Organs\\Church\\church.organ";
    ASSERT_TRUE(organ.Load(withBackslashes));
    EXPECT_EQ(organ.organDirectory, base + "/Organs/Church");
    EXPECT_EQ(organ.ResolvePath("pipes\\Great\\001.wav"), base + "/Organs/Church/pipes/Great/001.wav");
    EXPECT_EQ(organ.ResolvePath("/abs/x.wav"), "/abs/x.wav");
    ASSERT_TRUE(organ.Load(file));
    EXPECT_EQ(organ.organDirectory, base + "/Organs/Church");
}

TEST_F(OrganLoad, AFolderThatCannotBeUsedIsReported) {
    std::string missing = dir.Path().string() + "/Nowhere";
    EXPECT_FALSE(organ.Load(missing + "\\church.organ"));
    EXPECT_EQ(OnlyMessage(), "Could not change to the required working directory " + missing + ".");
    EXPECT_EQ(organ.organDirectory, "");
    // A plain file where the folder should be.
    std::string notFolder = dir.Write("plain", "x");
    errors.Clear();
    EXPECT_FALSE(organ.Load(notFolder + "/church.organ"));
    EXPECT_EQ(OnlyMessage(), "Could not change to the required working directory " + notFolder + ".");
}

TEST_F(OrganLoad, SampleFormatFollowsTheFileAndTheSetup) {
    struct Case {
        const char* highest;  // null: the key absent
        uint32_t preferredMemory;
        bool mixUpwards;
        SampleFormat memory;
        bool simulateStereo;
        OutputMode output;
    } cases[] = {
        {"stereo", 1, true, SampleFormat::Stereo, false, OutputMode::Stereo},
        {"stereo", 0, true, SampleFormat::Mono, true, OutputMode::MixUpwards},
        {"stereo", 0, false, SampleFormat::Mono, false, OutputMode::Mono},
        // Mono samples never give stereo, whatever the setup prefers.
        {nullptr, 1, true, SampleFormat::Mono, false, OutputMode::Mono},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.highest ? c.highest : "absent") << " "
                                          << c.preferredMemory << " " << c.mixUpwards);
        SetupInfo setup;
        setup.PreferredMemorySampleFormat = c.preferredMemory;
        setup.MixUpwardsOnOutput = c.mixUpwards;
        organ.SetSetupInfo(setup);
        OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
        if (c.highest) b.Set("Organ", "HighestSampleFormat", c.highest);
        ASSERT_TRUE(Load(b));
        EXPECT_EQ(organ.highestSampleFormat, c.highest ? SampleFormat::Stereo : SampleFormat::Mono);
        EXPECT_EQ(organ.memorySampleFormat, c.memory);
        EXPECT_EQ(organ.simulateStereo, c.simulateStereo);
        EXPECT_EQ(organ.outputMode, c.output);
    }
    EXPECT_EQ(errors.Count(), 0u);
}

// A load that fails or is cancelled leaves no organ and puts the window back
// to the default, whatever was loaded before.
TEST_F(OrganLoad, AFailedOrCancelledLoadLeavesTheDefaultWindow) {
    auto expectDefaultWindow = [&](const Organ& o) {
        EXPECT_FALSE(o.loaded);
        EXPECT_EQ(o.churchName, "");
        ExpectWindow(564, 320, 792, 560, "Tessaline Console");
    };
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "NumberOfLabels", "99");
    EXPECT_FALSE(Load(b));
    // A header that fails leaves the window as it was: never placed.
    EXPECT_FALSE(organ.loaded);
    EXPECT_EQ(organ.churchName, "");
    EXPECT_EQ(organ.numberOfManuals, 0u);
    EXPECT_EQ(organ.numberOfWindchestGroups, 0u);
    EXPECT_EQ(view.placements, 0);
    EXPECT_EQ(view.title, "Tessaline Console");

    b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "DispScreenSizeHoriz", "Large");
    ASSERT_TRUE(Load(b));
    b.Set("Organ", "NumberOfManuals", "0");
    EXPECT_FALSE(Load(b));
    expectDefaultWindow(organ);

    CancelAtOnce cancelling;
    cancelling.armed = false;
    Organ second(view, cancelling);
    b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "DispScreenSizeVert", "Medium");
    std::string file = dir.Write("test.organ", b.Text());
    ASSERT_TRUE(second.Load(file));
    ASSERT_EQ(view.windowHeight, 728);
    ASSERT_EQ(view.title, "Tessaline Console - Test Church");
    errors.Clear();
    cancelling.armed = true;
    EXPECT_FALSE(second.Load(file));
    EXPECT_EQ(OnlyMessage(), "Loading the organ has been cancelled by the user.");
    expectDefaultWindow(second);
}

TEST(OrganRollBack, UnloadsOnlyTheStagesReachedInItsOwnOrder) {
    std::array<LoadStage, kLoadStages> order{};
    auto stages = [&](LoadStage failed) {
        int n = RollBackOrder(failed, order);
        return std::vector<LoadStage>(order.begin(), order.begin() + n);
    };
    using S = LoadStage;
    EXPECT_EQ(stages(S::ClearMidiAssignments), std::vector<S>{});
    EXPECT_EQ(stages(S::WindchestGroups), std::vector<S>{S::WindchestGroups});
    EXPECT_EQ(stages(S::Enclosures), (std::vector<S>{S::Enclosures, S::WindchestGroups}));
    EXPECT_EQ(stages(S::Tremulants),
              (std::vector<S>{S::Enclosures, S::Labels, S::Tremulants, S::WindchestGroups}));
    // A failing second parse of the manuals unloads the manuals built by the first.
    EXPECT_EQ(stages(S::ManualsSecondPass),
              (std::vector<S>{S::Enclosures, S::Labels, S::Tremulants, S::WindchestGroups,
                              S::Manuals}));
    std::vector<S> all{S::Enclosures, S::Labels,    S::Tremulants, S::WindchestGroups,
                       S::Manuals,    S::DivisionalCouplers, S::Generals, S::ReversiblePistons};
    EXPECT_EQ(stages(S::ReversiblePistons), all);
    // A cancel after the last stage takes the frame generals down as well.
    all.push_back(S::FrameGenerals);
    EXPECT_EQ(stages(S::FrameGenerals), all);
}

}  // namespace
}  // namespace tessaline
