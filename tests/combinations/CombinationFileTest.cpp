#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "combinations/CombinationRig.h"

namespace tessaline {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class CombinationFile : public ::testing::Test {
protected:
    void SetUp() override {
        c.organ.Set("Divisional001", "NumberOfStops", "2");
        c.organ.Set("Divisional001", "Stop002", "-12");
        c.organ.Set("General002", "StopManual001", "2");
        c.organ.Set("General002", "StopNumber001", "-3");
        ASSERT_TRUE(c.Load());
        path = c.rig.dir.File("saved.cmb");
    }
    bool Save() {
        c.rig.errors.Clear();
        return c.model().SaveCombinationFile(path);
    }
    bool LoadText(const std::string& text) {
        c.rig.errors.Clear();
        return c.model().LoadCombinationFile(c.rig.dir.Write("edited.cmb", text));
    }

    test::CombinationRig c;
    std::string path;
};

TEST_F(CombinationFile, ASavedFileHoldsTheSectionsInOrder) {
    ASSERT_TRUE(Save()) << c.Reports();
    std::string divisional = "NumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\nStop001=+001\r\n";
    std::string general = "NumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\nNumberOfDivisionalCouplers=0\r\n";
    EXPECT_EQ(ReadFile(path),
              "[Organ]\r\nChurchName=Test Church\r\nChurchAddress=1 Test Street\r\n"
              "TessalineOrganFileFormatVersion=1.21\r\nNumberOfFrameGenerals=512\r\n"
              "[Divisional001]\r\nNumberOfStops=2\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\n"
              "Stop001=+001\r\nStop002=-012\r\n"
              "[Divisional002]\r\n" + divisional + "[Divisional003]\r\n" + divisional +
              "[Divisional004]\r\n" + divisional +
              "[General001]\r\n" + general + "StopManual001=001\r\nStopNumber001=+001\r\n"
              "[General002]\r\n" + general + "StopManual001=002\r\nStopNumber001=-003\r\n"
              "[General003]\r\n" + general + "StopManual001=001\r\nStopNumber001=+003\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
}

TEST_F(CombinationFile, OptionalCountsFollowTheStoreSettings) {
    test::CombinationRig other;
    other.organ.Set("Organ", "DivisionalsStoreTremulants", "N");
    other.organ.Set("Organ", "GeneralsStoreDivisionalCouplers", "N");
    ASSERT_TRUE(other.Load());
    std::string saved = other.rig.dir.File("other.cmb");
    ASSERT_TRUE(other.model().SaveCombinationFile(saved));
    std::string text = ReadFile(saved);
    EXPECT_EQ(text.find("NumberOfTremulants=0\r\nStop001"), std::string::npos);
    EXPECT_NE(text.find("[Divisional001]\r\nNumberOfStops=1\r\nNumberOfCouplers=0\r\nStop001=+001\r\n"), std::string::npos);
    EXPECT_NE(text.find("[General001]\r\nNumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\nStopManual001=001\r\n"),
              std::string::npos);
}

TEST_F(CombinationFile, EverythingCapturedComesBackAfterSavingAndLoading) {
    Organ& organ = c.model();
    // Registrations captured into every divisional, every general and frames 1 and 7.
    const std::string great[] = {"101000000011", "010100000110", "111011000000"};
    const std::string swell[] = {"101", "010", "110"};
    organ.captureMode = true;
    c.SetRegistration(great[0] + "/" + swell[0]);
    organ.PressDivisional(1, 0);
    organ.PressDivisional(2, 1);
    organ.PressGeneral(0);
    organ.NextFrame();
    c.SetRegistration(great[1] + "/" + swell[1]);
    organ.PressDivisional(1, 1);
    organ.PressDivisional(2, 0);
    organ.PressGeneral(1);
    for (int i = 0; i < 6; ++i) organ.NextFrame();
    c.SetRegistration(great[2] + "/" + swell[2]);
    organ.PressGeneral(2);
    organ.PressGeneral(kMaxGenerals + 7);
    organ.captureMode = false;
    ASSERT_TRUE(Save()) << c.Reports();

    // The definition file read as a combination file brings the defaults back.
    ASSERT_TRUE(organ.LoadCombinationFile(c.OrganPath())) << c.Reports();
    EXPECT_EQ(organ.generals[1].stops.count, 1u);
    EXPECT_EQ(organ.manuals[1].divisionals[0].stops.count, 2u);
    EXPECT_TRUE(organ.generals[kMaxGenerals + 1].Empty());
    EXPECT_TRUE(organ.generals[kMaxGenerals + 7].Empty());
    EXPECT_EQ(organ.frameNumber, 7u);  // loading does not move the frame

    std::string before = "000000000000/000";
    c.SetRegistration(before);
    ASSERT_TRUE(organ.LoadCombinationFile(path)) << c.Reports();
    EXPECT_EQ(c.Registration(), before);  // loading recalls nothing

    struct Press {
        bool general;
        int manual, index;
        std::string expected;  // the hidden Great stop 5 is never stored
    } presses[] = {
        {false, 1, 0, "101000000011/000"}, {false, 2, 1, "000000000000/101"},
        {true, 0, 0, "101000000011/101"},  {true, kMaxGenerals + 1, 0, "101000000011/101"},
        {false, 1, 1, "010100000110/000"}, {false, 2, 0, "000000000000/010"},
        {true, 1, 0, "010100000110/010"},  {true, 2, 0, "111001000000/110"},
        {true, kMaxGenerals + 7, 0, "111001000000/110"},
        // Stepping in capture mode stored frames 2 to 6 on the way.
        {true, kMaxGenerals + 3, 0, "010100000110/010"},
    };
    for (const Press& p : presses) {
        c.SetRegistration(before);
        if (p.general)
            organ.PressGeneral(p.manual);
        else
            organ.PressDivisional(p.manual, p.index);
        EXPECT_EQ(c.Registration(), p.expected) << p.general << " " << p.manual << " " << p.index;
    }
    EXPECT_TRUE(organ.generals[kMaxGenerals + 8].Empty());
}

TEST_F(CombinationFile, AFileForAnotherOrganOrVersionIsRefusedBeforeAnyChange) {
    ASSERT_TRUE(Save());
    const std::string text = Replace(ReadFile(path), "NumberOfStops=2", "NumberOfStops=1");
    const std::string action = " [Loading an organ combination file.]";
    const std::string version = "TessalineOrganFileFormatVersion=1.21";
    const std::string frames = "NumberOfFrameGenerals=512";
    const std::pair<std::string, std::string> cases[] = {
        {Replace(text, "ChurchName=Test Church", "ChurchName=test church"), "The name of the church in the combination file does not match that of the currently loaded organ. A combination file can only be used with the organ for which it was saved."},
        {Replace(text, "ChurchAddress=1 Test Street", "ChurchAddress=2 Test Street"), "The address of the church in the combination file does not match that of the currently loaded organ. A combination file can only be used with the organ for which it was saved."},
        {Replace(text, "ChurchAddress=1 Test Street\r\n", ""), "The address of the church could not be found in the combination file. The file is invalid."},
        {Replace(text, version, "TessalineOrganFileFormatVersion=1.22"), "The organ combination file requires a higher version of Tessaline.\nPlease upgrade Tessaline to the latest version in order to use this combination file."},
        {Replace(text, version, "TessalineOrganFileFormatVersion=0.9"), "The organ combination file was created for an earlier version of Tessaline.\nPlease run the Tessaline file migration utility to convert to the file format for this version."},
        {Replace(text, version + "\r\n", ""), "The TessalineOrganFileFormatVersion setting for the organ could not be found in the combination file."},
        {Replace(text, frames, "NumberOfFrameGenerals=513"), "The NumberOfFrameGenerals setting is invalid in the combination file."},
        {Replace(text, frames + "\r\n", ""), "The NumberOfFrameGenerals setting for the organ could not be found in the combination file."},
    };
    for (const auto& [edited, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_FALSE(LoadText(edited));
        EXPECT_EQ(c.Reports(), message + action);
    }
    EXPECT_EQ(c.model().manuals[1].divisionals[0].stops.count, 2u);
    c.rig.errors.Clear();
    EXPECT_FALSE(c.model().LoadCombinationFile(c.rig.dir.File("missing.cmb")));
    EXPECT_EQ(c.Reports(), "The name of the church could not be found in the combination file. The file is either inaccessible or invalid. Check that the file exists." + action);
    // An older version of this format is read.
    EXPECT_TRUE(LoadText(Replace(text, version, "TessalineOrganFileFormatVersion=1.2")));
    EXPECT_EQ(c.model().manuals[1].divisionals[0].stops.count, 1u);
}

TEST_F(CombinationFile, ZeroFrameGeneralsLoadsNoFrameAndEmptiesThemAll) {
    Organ& organ = c.model();
    organ.captureMode = true;
    organ.NextFrame();
    organ.NextFrame();
    organ.captureMode = false;
    ASSERT_TRUE(Save());
    std::string text = ReadFile(path);
    ASSERT_NE(text.find("[General101]"), std::string::npos);
    ASSERT_NE(text.find("[General102]"), std::string::npos);
    EXPECT_TRUE(LoadText(Replace(text, "NumberOfFrameGenerals=512", "NumberOfFrameGenerals=0")));
    EXPECT_TRUE(organ.generals[kMaxGenerals + 1].Empty());
    EXPECT_TRUE(organ.generals[kMaxGenerals + 2].Empty());
    EXPECT_TRUE(LoadText(Replace(text, "NumberOfFrameGenerals=512", "NumberOfFrameGenerals=2")));
    EXPECT_FALSE(organ.generals[kMaxGenerals + 1].Empty());
    EXPECT_TRUE(organ.generals[kMaxGenerals + 2].Empty());  // entry 101 is beyond the two read
}

TEST_F(CombinationFile, AFaultyCombinationStopsTheLoadWithItsNumber) {
    ASSERT_TRUE(Save());
    std::string text = ReadFile(path);
    EXPECT_FALSE(LoadText(Replace(text, "StopManual001=002\r\nStopNumber001=-003", "StopManual001=002\r\nStopNumber001=-004")));
    EXPECT_EQ(c.Reports(), "An invalid stop number specifier 1 for the general combination 2 is specified in the organ definition file. [Loading an organ general combination.] / General combination 2 failed to reload. [Loading an organ combination file.]");
    EXPECT_FALSE(LoadText(Replace(text, "Stop002=-012", "Stop002=+013")));
    EXPECT_EQ(c.Reports(), "An invalid stop specifier 2 for the divisional 1 is specified in the organ definition file. [Loading an organ divisional combination.] / Failed to reload divisional combination 1 for manual 1. [Reloading combinations for a manual.] / The divisional combinations for manual 1 failed to reload. [Loading an organ combination file.]");
}

TEST_F(CombinationFile, ACombinationThatFailsPartWayKeepsOnlyTheEntriesRead) {
    ASSERT_TRUE(Save());
    std::string text = Replace(ReadFile(path),
                               "[General002]\r\nNumberOfStops=1\r\n",
                               "[General002]\r\nNumberOfStops=500\r\n");
    text = Replace(text, "StopNumber001=-003\r\n",
                   "StopNumber001=-003\r\nStopManual002=001\r\nStopNumber002=+004\r\n");
    text = Replace(text, "[Divisional003]\r\nNumberOfStops=1\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\n",
                   "[Divisional003]\r\nNumberOfStops=3\r\nNumberOfCouplers=0\r\nNumberOfTremulants=0\r\n");
    EXPECT_FALSE(LoadText(text));
    EXPECT_EQ(c.rig.errors.Messages().at(0), "Stop specifier 2 for the divisional 3 could not be found in the organ definition file.");
    EXPECT_EQ(c.model().manuals[2].divisionals[0].stops.count, 1u);

    EXPECT_FALSE(LoadText(Replace(text, "NumberOfStops=3", "NumberOfStops=1")));
    EXPECT_EQ(c.rig.errors.Messages().at(0), "Stop manual specifier 3 for the general combination 2 could not be found in the organ definition file.");
    const General& g = c.model().generals[1];
    ASSERT_EQ(g.stops.count, 2u);
    EXPECT_EQ(g.stops.entries[1], (CombinationEntry{1, 3, true}));
}

TEST_F(CombinationFile, ASaveThatFailsHalfWayLeavesThePreviousFile) {
    ASSERT_TRUE(Save());
    std::string previous = ReadFile(path);
    c.model().captureMode = true;
    c.model().PressGeneral(0);
    c.model().captureMode = false;

    // The [Organ] section is 127 bytes; the file may not grow past 150.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 150;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool saved = Save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(c.Reports(), "Failed to write a value to the combination file. [Saving a divisional combination.] / Failed to save divisional combination 1 for manual 1. [Saving combinations for a manual.] / The divisional combinations for manual 1 could not be written. [Saving an organ combination file.]");
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
}

TEST_F(CombinationFile, SavingAndLoadingNeedAnOrganAndAWritableFolder) {
    c.rig.errors.Clear();
    EXPECT_FALSE(c.model().SaveCombinationFile(c.rig.dir.File("no-such-folder/x.cmb")));
    EXPECT_EQ(c.Reports(), "Could not create the combination file. Check that the directory exits and is not read-only. [Saving an organ combination file.]");
    ASSERT_TRUE(Save());
    ASSERT_TRUE(c.model().Unload(false));
    c.rig.errors.Clear();
    EXPECT_FALSE(c.model().SaveCombinationFile(path));
    EXPECT_FALSE(c.model().LoadCombinationFile(path));
    EXPECT_EQ(c.Reports(), "Cannot save a combination file when no organ is loaded. [Saving an organ combination file.] / Cannot load a combination file when no organ is loaded. [Loading an organ combination file.]");
}

}  // namespace
}  // namespace tessaline
