#include "organ/Organ.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "audio/PipeVoice.h"
#include "organ/Constants.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

using test::OrganFileBuilder;

const char* const kOrgan = "Loading an organ.";
const char* const kManual = "Loading an organ manual.";
const char* const kStop = "Loading an organ stop.";

// Two manuals: manual 1 plays stops 1 and 2, manual 2 plays stop 3; each stop
// has three pipes of its own.
class OrganLoad : public ::testing::Test {
protected:
    OrganLoad() {
        organ.Set("Organ", "NumberOfManuals", "2");
        test::SetManual(organ, 1, 61, {1, 2});
        test::SetManual(organ, 2, 61, {3});
        for (int n = 1; n <= 3; ++n)
            test::SetStop(organ, n, test::WritePipeWavs(rig.dir, "stop" + std::to_string(n), 3));
    }
    // "loaded", or the reports; a failed load gives back what it took.
    std::string LoadResult() { return LoadResult(organ); }
    std::string LoadResult(const OrganFileBuilder& b) {
        rig.errors.Clear();
        if (rig.Load(b)) return "loaded";
        EXPECT_EQ(rig.organ.pipesLoaded, 0u);
        EXPECT_EQ(rig.organ.Samples().BytesUsed(), 0u);
        return rig.Reports();
    }
    Stop& StopAt(int manual, int slot) {
        Stop* stop = rig.organ.manuals[static_cast<size_t>(manual)].GetStop(slot);
        EXPECT_NE(stop, nullptr);
        return *stop;
    }
    void ExpectWindow(int x, int y, int width, int height, const std::string& title) {
        const FixedMetricsConsoleView& view = rig.view;
        EXPECT_EQ((std::vector<int>{view.windowX, view.windowY, view.windowWidth, view.windowHeight}),
                  (std::vector<int>{x, y, width, height}));
        EXPECT_EQ(view.title, title);
    }

    test::OrganRig rig;
    OrganFileBuilder organ = OrganFileBuilder::MinimalOrgan();
};

struct Edit {
    const char* section;
    const char* key;
    const char* value;  // null: the key is removed
};

// One representative of each message shape of the organ, its display keys,
// the manuals and the stops; every failed load gives back what it took.
TEST_F(OrganLoad, EachBadKeyIsReportedWithItsOwnMessage) {
    rig.view.missingFaces = {"Nonesuch"};
    struct Row {
        std::vector<Edit> edits;
        const char* action;
        const char* message;
    } rows[] = {
        {{{"Organ", "TessalineOrganFileFormatVersion", "1.22"}}, kOrgan,
         "The organ definition file requires a higher version of Tessaline.\nPlease upgrade Tessaline to the latest version in order to use the organ."},
        {{{"Organ", "TessalineOrganFileFormatVersion", "0.9"}}, kOrgan,
         "The organ definition file was created for an earlier version of Tessaline.\nPlease run the Tessaline file migration utility to convert to the file format for this version."},
        {{{"Organ", "ChurchName", nullptr}}, kOrgan,
         "The name of the church could not be found in the organ definition file. The file is either inaccessible or invalid. Check that the file exists."},
        {{{"Organ", "AmplitudeLevel", "1000.1"}}, kOrgan,
         "The AmplitudeLevel setting for the organ is invalid in the organ definition file (range 0-1000%)."},
        // An empty value counts as missing.
        {{{"Organ", "HasPedals", ""}}, kOrgan,
         "The pedal setting for the organ could not be found in the organ definition file."},
        {{{"Organ", "NumberOfManuals", "6"}}, kOrgan,
         "An invalid number of manuals for the organ is specified in the organ definition file."},
        {{{"Organ", "NumberOfWindchestGroups", "13"}}, kOrgan,
         "An invalid NumberOfWindchestGroups setting for the organ is specified in the organ definition file."},
        {{{"Organ", "HighestSampleFormat", "Quad"}}, kOrgan,
         "The HighestSampleFormat setting for the organ is invalid in the organ definition file (Mono/Stereo)."},
        {{{"Organ", "DispDrawstopCols", "7"}}, kOrgan,
         "An invalid number of displayed drawstop columns for the organ is specified in the organ definition file (must be divisible by two)."},
        {{{"Organ", "DispPairDrawstopCols", "Y"}, {"Organ", "DispDrawstopCols", "6"}}, kOrgan,
         "The drawstop columns cannot be paired when the number of drawstop columns is not divisble by four."},
        // The offset keys of the pedal button row are read only when it is there.
        {{{"Organ", "DispExtraPedalButtonRow", "Y"}}, kOrgan,
         "The DispExtraPedalButtonRowOffset setting for the organ could not be found in the organ definition file."},
        {{{"Organ", "DispButtonCols", "33"}}, kOrgan,
         "An invalid DispButtonCols setting for the organ is specified in the organ definition file ."},
        {{{"Organ", "DispGroupLabelFont", "Nonesuch"}}, kOrgan,
         "The display font setting for group labels is invalid or not installed."},
        {{{"Organ", "DispKeyVertBackgroundImageNum", "31"}}, kOrgan,
         "An invalid image number for the vertical keyboard background for the organ is specified in the organ definition file (1-30)."},
        // The whole value must be the word.
        {{{"Organ", "DispScreenSizeVert", "Medium Largest"}}, kOrgan,
         "The DispScreenSizeVert setting for the organ is invalid in the organ definition file."},
        {{{"Manual001", "NumberOfLogicalKeys", "193"}}, kOrgan,
         "An invalid NumberOfLogicalKeys setting for manual 1 is specified in the organ definition file."},
        {{{"Manual001", "Name", nullptr}}, kManual,
         "The name of manual 1 could not be found in the organ definition file or the manual section is missing."},
        {{{"Manual001", "NumberOfLogicalKeys", "100"}, {"Manual001", "NumberOfAccessibleKeys", "86"}},
         kManual,
         "An invalid NumberOfAccessibleKeys setting for manual 1 is specified in the organ definition file."},
        // 56 keys from the sixth of 61 fit; 57 do not.
        {{{"Manual001", "FirstAccessibleKeyLogicalKeyNumber", "6"},
          {"Manual001", "NumberOfAccessibleKeys", "57"}},
         kManual, "An invalid FirstAccessibleKeyLogicalKeyNumber setting for manual 1 is specified in the organ definition file."},
        {{{"Manual001", "FirstAccessibleKeyMIDINoteNumber", "128"}}, kManual,
         "An invalid FirstAccessibleKeyMIDINoteNumber setting for manual 1 is specified in the organ definition file (0-127)."},
        {{{"Manual001", "DispKeyColourInverted", nullptr}}, kManual,
         "The DispKeyColourInverted setting for manual 1 is not specified in the organ definition file."},
        {{{"Manual001", "NumberOfCouplers", "1"}}, kManual,
         "Coupler specifier 1 for manual 1 could not be found in the organ definition file."},
        {{{"Stop001", "NumberOfLogicalPipes", "193"}}, kStop,
         "An invalid NumberOfLogicalPipes setting for the stop is specified in the organ definition file (global stop number 1)."},
        // 57 pipes from the fifth of 61 fit; 58 do not.
        {{{"Stop001", "NumberOfLogicalPipes", "61"},
          {"Stop001", "FirstAccessiblePipeLogicalPipeNumber", "5"},
          {"Stop001", "NumberOfAccessiblePipes", "58"}}, kStop,
         "An invalid FirstAccessiblePipeLogicalPipeNumber setting for the stop is specified in the organ definition file (global stop number 1)."},
        {{{"Stop001", "Percussive", nullptr}}, kStop,
         "The Percussive setting for the stop is not specified in the organ definition file (global stop number 1)."},
        {{{"Stop001", "Pipe002", nullptr}}, kStop,
         "The pipe specifier for a pipe could not be found in the organ definition file (global stop number 1, pipe 2)."},
        {{{"Stop001", "Pipe003", "missing.wav"}}, kStop,
         "A pipe failed to load (global stop number 1, pipe 3)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        OrganFileBuilder b = organ;
        for (const Edit& e : row.edits) {
            if (e.value) b.Set(e.section, e.key, e.value);
            else b.Remove(e.section, e.key);
        }
        const std::string reports = " / " + LoadResult(b) + " / ";
        const std::string expected = std::string(row.message) + " [" + row.action + "]";
        EXPECT_NE(reports.find(" / " + expected + " / "), std::string::npos) << reports;
    }
}

TEST_F(OrganLoad, AFailureDeepDownIsReportedAtEveryLevelAboveAndABadFolderAtOnce) {
    organ.Set("Stop001", "Percussive", "maybe");
    EXPECT_EQ(LoadResult(),
              "An invalid Percussive setting for the stop is specified in the organ definition file "
              "(global stop number 1). [Loading an organ stop.] / Stop 1 on manual 1 failed to load. "
              "[Loading an organ manual.] / Manual 1 failed to load. [Loading an organ.]");
    rig.errors.Clear();
    // A plain file where the folder should be; a backslash separates folders.
    std::string notFolder = rig.dir.Write("plain", "x");
    EXPECT_FALSE(rig.organ.Load(notFolder + "\\church.organ"));
    EXPECT_EQ(rig.Reports(), "Could not change to the required working directory " + notFolder +
                             ". [Loading an organ.]");
}

TEST_F(OrganLoad, BoundaryValuesThatLoad) {
    for (auto [key, value, amplitude] : {std::tuple{"TessalineOrganFileFormatVersion", "1.21", 1.0},
                                         std::tuple{"AmplitudeLevel", "1000", 10.0}}) {
        SCOPED_TRACE(std::string(key) + "=" + value);
        OrganFileBuilder b = organ;
        b.Set("Organ", key, value);
        EXPECT_EQ(LoadResult(b), "loaded");
        EXPECT_DOUBLE_EQ(rig.organ.amplitudeLevel, amplitude);
    }
    // Twelve windchest groups in the file, and the implicit one.
    OrganFileBuilder b = organ;
    b.Set("Organ", "NumberOfWindchestGroups", std::to_string(kMaxWindchestGroupsInFile));
    for (int g = 2; g <= kMaxWindchestGroupsInFile; ++g) {
        b.Set(NumberedName("WindchestGroup", g), "NumberOfEnclosures", "0");
        b.Set(NumberedName("WindchestGroup", g), "NumberOfTremulants", "0");
    }
    // Texts are cut to their buffers.
    b.Set("Organ", "ChurchName", std::string(200, 'c'));
    ASSERT_EQ(LoadResult(b), "loaded");
    EXPECT_EQ(rig.organ.WindchestGroups().size(), static_cast<size_t>(kMaxWindchestGroups));
    EXPECT_EQ(rig.view.title, "Tessaline Console - " + std::string(127, 'c'));
}

TEST_F(OrganLoad, TheWindowIsCentredOnAScreenStrictlyLargerThanTheConsole) {
    const std::string tooSmall =
        "The current screen display mode is not large enough to display this organ.\n"
        "If your graphics card and monitor support it, please try to increase the screen "
        "area (in the display settings of your desktop).";
    for (ScreenMetrics screen : {ScreenMetrics{792, 1200, 32}, ScreenMetrics{1920, 560, 32}}) {
        rig.view.screen = screen;
        EXPECT_EQ(LoadResult(), tooSmall + " [Loading an organ.]");
    }
    rig.view.screen = {793, 561, 32};
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.view.windowX, 0);

    // Width and height words are independent.
    organ.Set("Organ", "DispScreenSizeHoriz", "Large");
    organ.Set("Organ", "DispScreenSizeVert", "Medium Large");
    rig.view.screen = {1920, 1080, 32};
    ASSERT_EQ(LoadResult(), "loaded");
    ExpectWindow(164, 80, 1592, 920, "Tessaline Console - Test Church");
    // A load that fails after another organ puts the default window back.
    organ.Set("Organ", "NumberOfManuals", "0");
    EXPECT_NE(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.numberOfWindchestGroups, 0u);
    ExpectWindow(564, 260, 792, 560, "Tessaline Console");
}

TEST_F(OrganLoad, SampleFormatFollowsTheFileAndTheSetup) {
    // HighestSampleFormat (null: absent), preferred format, mixing upwards: output.
    const std::tuple<const char*, uint32_t, bool, OutputMode> cases[] = {
        {"stereo", 1, true, OutputMode::Stereo},
        {"stereo", 0, true, OutputMode::MixUpwards},
        // Mono samples never give stereo, whatever the setup prefers.
        {nullptr, 1, true, OutputMode::Mono},
    };
    for (const auto& [highest, preferred, mixUpwards, output] : cases) {
        SCOPED_TRACE(::testing::Message() << (highest ? highest : "-") << preferred << mixUpwards);
        SetupInfo setup;
        setup.PreferredMemorySampleFormat = preferred;
        setup.MixUpwardsOnOutput = mixUpwards;
        rig.organ.SetSetupInfo(setup);
        OrganFileBuilder b = organ;
        if (highest) b.Set("Organ", "HighestSampleFormat", highest);
        ASSERT_EQ(LoadResult(b), "loaded");
        EXPECT_EQ(rig.organ.outputMode, output);
        EXPECT_EQ(rig.organ.simulateStereo, output == OutputMode::MixUpwards);
        EXPECT_EQ(rig.organ.memorySampleFormat,
                  output == OutputMode::Stereo ? SampleFormat::Stereo : SampleFormat::Mono);
    }
}

TEST_F(OrganLoad, KeysAndPipesCountFromTheFirstAccessibleOneUpToTheirBounds) {
    // From logical key 6, MIDI note 36 is still the first reachable key.
    organ.Set("Manual001", "NumberOfAccessibleKeys", "56");
    organ.Set("Manual001", "FirstAccessibleKeyLogicalKeyNumber", "6");
    organ.Set("Manual001", "MIDIInputNumber", "6");
    ASSERT_EQ(LoadResult(), "loaded");
    const Manual& manual = rig.organ.manuals[1];
    EXPECT_EQ(manual.midiNoteOfKey0, 31);
    EXPECT_EQ(manual.midiInput, 5);
    EXPECT_FALSE(manual.keys[4].playable);
    EXPECT_EQ(manual.keys[5].midiNote, 36);

    // 192 logical pipes; 57 pipes from the fifth of 61.
    organ.Set("Stop001", "NumberOfLogicalPipes", "192");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "192");
    test::WritePipeWav(rig.dir, "one.wav");
    for (int p = 1; p <= 192; ++p) organ.Set("Stop001", NumberedName("Pipe", p), "one.wav");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(rig.organ.pipesLoaded, 192u + 6u);
    organ.Set("Stop001", "NumberOfLogicalPipes", "61");
    organ.Set("Stop001", "FirstAccessiblePipeLogicalPipeNumber", "5");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "57");
    ASSERT_EQ(LoadResult(), "loaded");
    EXPECT_EQ(StopAt(1, 0).firstAccessiblePipe, 4);
}

TEST_F(OrganLoad, KeysMapToPipesFromTheFirstAccessibleKeyAndOnlyADrawnStopSounds) {
    test::EngineRig output(512);
    organ.Set("Stop001", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop001", "NumberOfAccessiblePipes", "1");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalKeyNumber", "13");
    organ.Set("Stop002", "FirstAccessiblePipeLogicalPipeNumber", "3");
    organ.Set("Stop002", "NumberOfAccessiblePipes", "1");
    ASSERT_EQ(LoadResult(), "loaded");
    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    Stop& stop = StopAt(1, 0);
    // Keys past the accessible pipes still reach the further logical pipes.
    EXPECT_EQ((std::vector<int>{stop.PipeForKey(11), stop.PipeForKey(12), stop.PipeForKey(14),
                                stop.PipeForKey(15)}),
              (std::vector<int>{-1, 0, 2, -1}));
    EXPECT_EQ((std::vector<int>{StopAt(1, 1).PipeForKey(10), StopAt(1, 1).PipeForKey(12),
                                StopAt(1, 1).PipeForKey(13)}),
              (std::vector<int>{0, 2, -1}));

    stop.PipeOn(12);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0) << "a retired stop sounded";
    stop.Engage();
    stop.PipeOn(13);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 1);
}

TEST_F(OrganLoad, MalformedReferencesAreRefusedInTheSecondPass) {
    struct Case {
        const char* specifier;
        std::string message;
    } cases[] = {
        {"REF:1:002:003", "The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP)"},
        {"REF:03:001:001", "An invalid referenced manual number for a shared pipe is specified"},
        {"REF:01:000:001", "An invalid referenced stop number for a shared pipe is specified"},
        {"REF:01:003:001", "An invalid referenced stop for a shared pipe is specified"},
        {"REF:01:001:000", "An invalid referenced pipe number for a shared pipe is specified"},
        {"REF:01:001:004", "An invalid referenced pipe for a shared pipe is specified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.specifier);
        organ.Set("Stop003", "Pipe002", c.specifier);
        EXPECT_EQ(LoadResult(),
                  c.message +
                      " in the organ definition file (global stop number 3, pipe 2). [Loading an "
                      "organ stop.] / Reference stop 1 for manual 2 could not be loaded. [Loading an "
                      "organ manual (second parse).] / Manual 2 failed to load. [Loading an organ "
                      "(second parse).]");
    }
}

TEST_F(OrganLoad, ASharedPipeIsNeverHandedOnNorFreedByItsBorrower) {
    test::EngineRig output(512);
    organ.Set("Stop003", "Pipe001", "REF:01:002:001");
    organ.Set("Stop001", "Pipe003", "ref:02:001:002");  // a manual read later, in lower case
    ASSERT_EQ(LoadResult(), "loaded");
    Pipe* borrowed = StopAt(2, 0).pipes[0];
    EXPECT_EQ(borrowed, StopAt(1, 1).GetPipe(0));
    ASSERT_NE(StopAt(2, 0).GetPipe(1), nullptr);
    EXPECT_EQ(StopAt(1, 0).pipes[2], StopAt(2, 0).GetPipe(1));
    // A shared entry is never handed out again, so references cannot chain.
    EXPECT_EQ(StopAt(2, 0).GetPipe(0), nullptr);

    ASSERT_TRUE(rig.organ.AttachEngine(output.engine));
    EXPECT_TRUE(StopAt(2, 0).Unload());
    EXPECT_EQ(rig.organ.pipesLoaded, 5u);  // only stop 3's two own pipes went
    StopAt(1, 1).Engage();
    StopAt(1, 1).PipeOn(0);
    EXPECT_TRUE(borrowed->sounding);
}

}  // namespace
}  // namespace tessaline
