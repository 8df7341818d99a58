#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "combinations/CombinationBridge.h"
#include "organ/Organ.h"
#include "organ/Stop.h"
#include "support/CombinationSections.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"
#include "support/ToolRun.h"

namespace tessaline {
namespace {

using namespace test;

// A small organ with combinations for the combination tests: no pedal,
// manual 1 (Great) with 12 stops and manual 2 (Swell) with 3, two
// divisionals on each manual drawing the manual's first stop, three generals
// each drawing Great stop g, and one reversible piston on the Great's second
// stop. Every stop has one pipe; stop 5 of the Great is not displayed.
class CombinationRig {
public:
    CombinationRig() : organ(OrganFileBuilder::MinimalOrgan()) {
        std::string pipe = WritePipeWav(rig.dir, "p.wav");
        organ.Set("Organ", "NumberOfManuals", "2");
        organ.Set("Organ", "NumberOfGenerals", "3");
        organ.Set("Organ", "NumberOfReversiblePistons", "1");
        organ.Set("Organ", "NumberOfFrameGenerals", "512");
        for (int n = 1; n <= 15; ++n) SetStop(organ, n, {pipe});
        organ.Set("Stop005", "Displayed", "N");
        SetManual(organ, 1, 61, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        SetManual(organ, 2, 61, {13, 14, 15});
        for (int m = 1; m <= 2; ++m) {
            std::string manual = "Manual00" + std::to_string(m);
            organ.Set(manual, "NumberOfDivisionals", "2");
            organ.Set(manual, "Divisional001", std::to_string(2 * m - 1));
            organ.Set(manual, "Divisional002", std::to_string(2 * m));
        }
        for (int d = 1; d <= 4; ++d) SetDivisional(organ, d, 1, d, {1});
        for (int g = 1; g <= 3; ++g) SetGeneral(organ, g, 2, g, {{1, g}});
        SetButtonKeys(organ, "ReversiblePiston001", "R", 3, 1);
        organ.Set("ReversiblePiston001", "ObjectType", "Stop");
        organ.Set("ReversiblePiston001", "ManualNumber", "1");
        organ.Set("ReversiblePiston001", "ObjectNumber", "2");
    }

    bool Load() {
        rig.errors.Clear();
        return rig.Load(organ);
    }
    std::string Reports() const { return rig.Reports(); }

    Stop& StopOf(int m, int s) { return *rig.organ.manuals[static_cast<size_t>(m)].GetStop(s); }
    // Every drawstop of both manuals as a string of 1 and 0, "Great/Swell".
    std::string Registration() {
        std::string states;
        for (int m = 1; m <= 2; ++m) {
            for (int s = 0; s < model().manuals[static_cast<size_t>(m)].numberOfStops; ++s)
                states += StopOf(m, s).Engaged() ? '1' : '0';
            states += m == 1 ? "/" : "";
        }
        return states;
    }
    // Sets the drawstops from a string of the same form.
    void SetRegistration(const std::string& states) {
        size_t i = 0;
        for (int m = 1; m <= 2; ++m, ++i) {
            for (int s = 0; s < model().manuals[static_cast<size_t>(m)].numberOfStops; ++s, ++i) {
                if (states[i] == '1')
                    StopOf(m, s).Engage();
                else
                    StopOf(m, s).Disengage();
            }
        }
    }
    Organ& model() { return rig.organ; }

    OrganFileBuilder organ;
    OrganRig rig;
};

// General 1 puts Great stop 3 in and draws Swell stop 2; divisional 1
// (Great) draws stop 1 and puts stop 12 in.
class Combination : public ::testing::Test {
protected:
    void SetUp() override {
        SetGeneral(c.organ, 1, 2, 1, {{1, -3}, {2, 2}});
        SetDivisional(c.organ, 1, 1, 1, {1, -12});
        ASSERT_TRUE(c.Load()) << c.Reports();
    }

    CombinationRig c;
    Organ& organ = c.model();
};

TEST_F(Combination, APressSetsOnlyTheListedDrawstopsAndPressesOutOfRangeDoNothing) {
    c.SetRegistration("001100000001/000");
    organ.PressGeneral(0);
    EXPECT_EQ(c.Registration(), "000100000001/010");
    c.SetRegistration("011000000001/101");
    organ.PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "111000000000/101");
    organ.PressGeneral(3);  // three generals: entries 0 to 2
    organ.PressGeneral(-1);
    organ.PressGeneral(kGeneralEntries);
    organ.PressDivisional(1, 2);
    organ.PressDivisional(0, 0);  // no pedal
    organ.PressDivisional(3, 0);
    organ.PressReversiblePiston(1);
    EXPECT_EQ(c.Registration(), "111000000000/101");
    EXPECT_EQ(c.rig.errors.Count(), 0u);
}

TEST(CombinationCapture, StoresTheDisplayedDrawstopsOrAllWhenTheOrganSaysSo) {
    for (bool hiddenToo : {false, true}) {
        SCOPED_TRACE(hiddenToo);
        CombinationRig c;
        c.organ.Set("Organ", "CombinationsStoreNonDisplayedDrawstops", hiddenToo ? "Y" : "N");
        ASSERT_TRUE(c.Load());
        Organ& organ = c.model();
        c.SetRegistration("101011000001/011");
        organ.captureMode = true;
        organ.PressGeneral(1);
        organ.PressDivisional(2, 1);
        organ.captureMode = false;
        EXPECT_EQ(c.Registration(), "101011000001/011");  // capturing changes nothing
        c.SetRegistration("010100111110/100");
        organ.PressGeneral(1);
        // The hidden stop 5 comes back only when it was stored.
        EXPECT_EQ(c.Registration(), hiddenToo ? "101011000001/011" : "101001000001/011");
        c.SetRegistration("000000000000/100");
        organ.PressDivisional(2, 1);
        EXPECT_EQ(c.Registration(), "000000000000/011");
    }
}

TEST_F(Combination, FramesStepAndStoreInCaptureModeAndStopAtBothEnds) {
    organ.PreviousFrame();
    EXPECT_EQ(c.rig.view.shownFrame, 0u);  // never told: nothing happened
    organ.captureMode = true;
    for (const char* registration : {"100000000000/000", "010000000000/000", "001000000000/000"}) {
        c.SetRegistration(registration);
        organ.NextFrame();
    }
    organ.captureMode = false;
    EXPECT_EQ(organ.frameNumber, 3u);
    EXPECT_EQ(c.rig.view.shownFrame, 4u);
    c.SetRegistration("111111111111/111");
    organ.PreviousFrame();
    EXPECT_EQ(c.Registration(), "010010000000/000");  // the hidden stop 5 is not stored

    for (int i = 0; i < 600; ++i) organ.NextFrame();
    EXPECT_EQ(organ.frameNumber, 511u);
    EXPECT_EQ(c.rig.view.shownFrame, 512u);
}

TEST(CombinationBridge, ProgramsCountFromZeroAndPressesRecall) {
    CombinationRig c;
    c.organ.Set("General002", "MIDIProgramChangeNumber", "6");
    c.organ.Set("ReversiblePiston001", "MIDIProgramChangeNumber", "128");
    ASSERT_TRUE(c.Load());
    CombinationBridge& bridge = c.model().combinationBridge;
    EXPECT_EQ(bridge.GeneralProgram(1), 5);
    EXPECT_EQ(bridge.ReversiblePistonProgram(0), 127);
    auto lock = c.model().LockAction();  // the routing presses under the action lock
    bridge.PressGeneral(1);
    EXPECT_EQ(c.Registration(), "010000000000/000");
}

// Coupler 1 of the Great goes to the Swell, coupler 2 an octave up on the
// Great itself; a one-way divisional coupler takes the Swell to the Great.
TEST(CouplerCombination, GeneralsSetCouplersAndAOneWayDivisionalCouplerCarriesDivisionals) {
    CombinationRig c;
    SetCoupler(c.organ, 1, 2, 0);
    SetCoupler(c.organ, 2, 1, 12);
    c.organ.Set("Manual001", "NumberOfCouplers", "2");
    c.organ.Set("Manual001", "Coupler001", "1");
    c.organ.Set("Manual001", "Coupler002", "2");
    SetDrawstopKeys(c.organ, "DivisionalCoupler001", "DC", 3, 1);
    c.organ.Set("DivisionalCoupler001", "NumberOfManuals", "2");
    c.organ.Set("DivisionalCoupler001", "Manual001", "2");
    c.organ.Set("DivisionalCoupler001", "Manual002", "1");
    c.organ.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
    c.organ.Set("Organ", "NumberOfDivisionalCouplers", "1");
    ASSERT_TRUE(c.Load()) << c.Reports();
    Organ& organ = c.model();
    Manual& great = organ.manuals[1];
    great.CouplerOn(0);
    organ.DivisionalCouplerOn(0);
    organ.captureMode = true;
    organ.PressGeneral(2);
    organ.captureMode = false;
    great.CouplerOff(0);
    great.CouplerOn(1);
    organ.DivisionalCouplerOff(0);
    organ.PressGeneral(2);
    EXPECT_TRUE(great.couplers[0].Engaged() && !great.couplers[1].Engaged());
    EXPECT_TRUE(organ.divisionalCouplers[0].Engaged());

    // The Swell's divisional reaches the Great, not the other way.
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(2, 0);
    EXPECT_EQ(c.Registration(), "100000000000/100");
    c.SetRegistration("000000000000/000");
    organ.PressDivisional(1, 0);
    EXPECT_EQ(c.Registration(), "100000000000/000");
}

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
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.section) + " " + k.key);
        CombinationRig c;
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

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Divisional 1 also puts Great stop 12 in; general 2 puts Swell stop 3 in.
class CombinationFile : public ::testing::Test {
protected:
    void SetUp() override {
        SetDivisional(c.organ, 1, 1, 1, {1, -12});
        SetGeneral(c.organ, 2, 2, 2, {{2, -3}});
        ASSERT_TRUE(c.Load());
        path = c.rig.dir.File("saved.cmb");
    }
    bool Save(const std::string& to) {
        c.rig.errors.Clear();
        return organ.SaveCombinationFile(to);
    }
    bool LoadText(const std::string& text) {
        c.rig.errors.Clear();
        return organ.LoadCombinationFile(c.rig.dir.Write("edited.cmb", text));
    }

    CombinationRig c;
    Organ& organ = c.model();
    std::string path;
};

TEST_F(CombinationFile, ASavedFileHoldsTheSectionsInOrderWithTheCountsTheOrganStores) {
    ASSERT_TRUE(Save(path)) << c.Reports();
    std::string divisional =
        "NumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\nStop001=+001\r\n";
    std::string general = "NumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\n"
                          "NumberOfDivisionalCouplers=0\r\n";
    EXPECT_EQ(FileBytes(path),
              "[Organ]\r\nChurchName=Test Church\r\nChurchAddress=1 Test Street\r\n"
              "TessalineOrganFileFormatVersion=1.21\r\nNumberOfFrameGenerals=512\r\n"
              "[Divisional001]\r\nNumberOfStops=2\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\n"
              "Stop001=+001\r\nStop002=-012\r\n"
              "[Divisional002]\r\n" + divisional + "[Divisional003]\r\n" + divisional +
              "[Divisional004]\r\n" + divisional +
              "[General001]\r\n" + general + "StopManual001=001\r\nStopNumber001=+001\r\n"
              "[General002]\r\n" + general + "StopManual001=002\r\nStopNumber001=-003\r\n"
              "[General003]\r\n" + general + "StopManual001=001\r\nStopNumber001=+003\r\n");

    // Counts the organ does not store are neither read nor written.
    CombinationRig other;
    other.organ.Set("Organ", "DivisionalsStoreTremulants", "N");
    other.organ.Set("Organ", "GeneralsStoreDivisionalCouplers", "N");
    other.organ.Remove("Divisional001", "NumberOfTremulants");
    other.organ.Remove("General001", "NumberOfDivisionalCouplers");
    ASSERT_TRUE(other.Load()) << other.Reports();
    std::string saved = other.rig.dir.File("other.cmb");
    ASSERT_TRUE(other.model().SaveCombinationFile(saved));
    std::string text = FileBytes(saved);
    EXPECT_NE(text.find("[Divisional001]\r\nNumberOfStops=1\r\nNumberOfCouplers=0\r\nStop001="),
              std::string::npos);
    EXPECT_NE(text.find("[General001]\r\nNumberOfStops=1\r\nNumberOfCouplers=0\r\n"
                        "NumberOfTremulants=0\r\nStopManual001="),
              std::string::npos);
}

TEST_F(CombinationFile, EverythingCapturedComesBackAfterSavingAndLoading) {
    // Captured: divisional 1 and general 1, frame 1 by stepping, then
    // divisional 4, frames 2 to 7 by stepping and frame 7 again.
    organ.captureMode = true;
    c.SetRegistration("101000000011/101");
    organ.PressDivisional(1, 0);
    organ.PressGeneral(0);
    organ.NextFrame();
    c.SetRegistration("010100000110/010");
    organ.PressDivisional(2, 1);
    for (int i = 0; i < 6; ++i) organ.NextFrame();
    c.SetRegistration("111011000000/110");
    organ.PressGeneral(kMaxGenerals + 7);
    organ.captureMode = false;
    ASSERT_TRUE(Save(path)) << c.Reports();

    const std::string before = "000000000000/000";
    c.SetRegistration(before);
    ASSERT_TRUE(organ.LoadCombinationFile(path)) << c.Reports();
    EXPECT_EQ(c.Registration(), before);  // loading recalls nothing
    EXPECT_EQ(organ.frameNumber, 7u);     // nor moves the frame

    struct Press {
        int manual, index;  // manual 0: general `index`
        std::string expected;  // the hidden Great stop 5 is never stored
    } presses[] = {
        {1, 0, "101000000011/000"}, {0, 0, "101000000011/101"},
        {2, 1, "000000000000/010"}, {0, kMaxGenerals + 1, "101000000011/101"},
        {0, kMaxGenerals + 3, "010100000110/010"}, {0, kMaxGenerals + 7, "111001000000/110"},
    };
    for (const Press& p : presses) {
        SCOPED_TRACE(std::to_string(p.manual) + " " + std::to_string(p.index));
        c.SetRegistration(before);
        if (p.manual == 0)
            organ.PressGeneral(p.index);
        else
            organ.PressDivisional(p.manual, p.index);
        EXPECT_EQ(c.Registration(), p.expected);
    }
}

TEST_F(CombinationFile, AFileForAnotherOrganOrVersionIsRefusedBeforeAnyChange) {
    ASSERT_TRUE(Save(path));
    const std::string text = Replace(FileBytes(path), "NumberOfStops=2", "NumberOfStops=1");
    const std::string action = " [Loading an organ combination file.]";
    const std::string version = "TessalineOrganFileFormatVersion=1.21";
    const std::string frames = "NumberOfFrameGenerals=512";
    const std::string another = " A combination file can only be used with the organ for which it was saved.";
    const std::pair<std::string, std::string> cases[] = {
        {Replace(text, "ChurchName=Test Church", "ChurchName=test church"), "The name of the church in the combination file does not match that of the currently loaded organ." + another},
        {Replace(text, "ChurchAddress=1 Test Street", "ChurchAddress=2 Test Street"), "The address of the church in the combination file does not match that of the currently loaded organ." + another},
        {Replace(text, "ChurchAddress=1 Test Street\r\n", ""), "The address of the church could not be found in the combination file. The file is invalid."},
        {Replace(text, version, "TessalineOrganFileFormatVersion=1.22"), "The organ combination file requires a higher version of Tessaline.\nPlease upgrade Tessaline to the latest version in order to use this combination file."},
        {Replace(text, version, "TessalineOrganFileFormatVersion=0.9"), "The organ combination file was created for an earlier version of Tessaline.\nPlease run the Tessaline file migration utility to convert to the file format for this version."},
        {Replace(text, version + "\r\n", ""), "The TessalineOrganFileFormatVersion setting for the organ could not be found in the combination file."},
        {Replace(text, frames, "NumberOfFrameGenerals=513"), "The NumberOfFrameGenerals setting is invalid in the combination file."},
        {Replace(text, frames + "\r\n", ""), "The NumberOfFrameGenerals setting for the organ could not be found in the combination file."},
        {"", "The name of the church could not be found in the combination file. The file is either inaccessible or invalid. Check that the file exists."},
    };
    for (const auto& [edited, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_FALSE(LoadText(edited));
        EXPECT_EQ(c.Reports(), message + action);
    }
    EXPECT_EQ(organ.manuals[1].divisionals[0].stops.count, 2u);
    // An older version of this format is read.
    EXPECT_TRUE(LoadText(Replace(text, version, "TessalineOrganFileFormatVersion=1.2")));
    EXPECT_EQ(organ.manuals[1].divisionals[0].stops.count, 1u);
}

TEST_F(CombinationFile, AFaultyCombinationStopsTheLoadWithItsNumberKeepingWhatWasRead) {
    ASSERT_TRUE(Save(path));
    std::string text = FileBytes(path);
    // General 2 declares 500 stops but holds two.
    text = Replace(text, "[General002]\r\nNumberOfStops=1\r\n",
                   "[General002]\r\nNumberOfStops=500\r\n");
    text = Replace(text, "StopNumber001=-003\r\n",
                   "StopNumber001=-003\r\nStopManual002=001\r\nStopNumber002=+004\r\n");
    EXPECT_FALSE(LoadText(text));
    EXPECT_EQ(c.Reports(), "Stop manual specifier 3 for the general combination 2 could not be found in the organ definition file. [Loading an organ general combination.] / General combination 2 failed to reload. [Loading an organ combination file.]");
    const General& g = organ.generals[1];
    ASSERT_EQ(g.stops.count, 2u);
    EXPECT_EQ(g.stops.entries[1], (CombinationEntry{1, 3, true}));
}

TEST_F(CombinationFile, ASaveThatFailsHalfWayLeavesThePreviousFile) {
    // A temporary left by a save that never finished is replaced.
    c.rig.dir.Write("saved.cmb.saving", "[Organ]\r\nChurchName=half a fi");
    ASSERT_TRUE(Save(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
    const std::string previous = FileBytes(path);
    c.SetRegistration("101100110011/101");
    organ.captureMode = true;
    for (int f = 0; f < 10; ++f) organ.NextFrame();
    organ.captureMode = false;
    std::string full = c.rig.dir.File("full.cmb");
    ASSERT_TRUE(Save(full));
    const std::pair<size_t, std::string> cases[] = {
        // The [Organ] section is 127 bytes.
        {150, "Failed to write a value to the combination file. [Saving a divisional combination.] / Failed to save divisional combination 1 for manual 1. [Saving combinations for a manual.] / The divisional combinations for manual 1 could not be written. [Saving an organ combination file.]"},
        // The middle of the sixth frame's header.
        {FileBytes(full).find("[General105]") + 5, "Failed to write a value to the combination file. [Saving a general combination.] / General combination 105 failed to save. [Saving an organ combination file.]"},
    };
    for (const auto& [limit, reports] : cases) {
        SCOPED_TRACE(limit);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit limited = old;
        limited.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        bool saved = Save(path);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(saved);
        EXPECT_EQ(c.Reports(), reports);
        EXPECT_EQ(FileBytes(path), previous);
        EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
    }
}

TEST_F(CombinationFile, ASaveNeedsAnOrganAndAPlaceAndLeavesNoTemporaryFile) {
    // A folder in the file's place cannot be replaced: the rename fails.
    std::string folder = c.rig.dir.File("folder.cmb");
    std::filesystem::create_directories(std::filesystem::path(folder) / "inside");
    EXPECT_FALSE(Save(folder));
    EXPECT_EQ(c.Reports(), "Could not write a value to the combination file. [Saving an organ combination file.]");
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(folder) / "inside"));
    EXPECT_FALSE(std::filesystem::exists(folder + ".saving"));

    ASSERT_TRUE(organ.Unload(false));
    c.rig.errors.Clear();
    EXPECT_FALSE(organ.SaveCombinationFile(path));
    EXPECT_FALSE(organ.LoadCombinationFile(path));
    EXPECT_EQ(c.Reports(), "Cannot save a combination file when no organ is loaded. [Saving an organ combination file.] / Cannot load a combination file when no organ is loaded. [Loading an organ combination file.]");
}

}  // namespace
}  // namespace tessaline
