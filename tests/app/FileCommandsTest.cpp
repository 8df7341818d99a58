#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <fstream>
#include <sstream>

#include "ShellRig.h"
#include "app/Choosers.h"
#include "organ/Constants.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using test::ShellRig;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override { rig.StartSetUp(); }
    MainWindow& Window() { return *rig.window; }

    // "text=identifier" of every item of a submenu.
    static std::vector<std::string> Items(QMenu* menu) {
        std::vector<std::string> items;
        for (QAction* action : menu->actions())
            items.push_back(action->text().toStdString() + "=" +
                            std::to_string(action->data().toInt()));
        return items;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The general of registration frame `frame` (from 0).
    const General& Frame(int frame) { return Window().GetOrgan().generals[kMaxGenerals + frame]; }

    ShellRig rig;
};

TEST_F(FileCommands, TheRecentSubmenusAreTheFileMenusEighthAndNinthItems) {
    QMenu* file = Window().menuBar()->actions().at(0)->menu();
    EXPECT_EQ(file->actions().at(7)->menu(), Window().RecentOrgansMenu());
    EXPECT_EQ(file->actions().at(8)->menu(), Window().RecentCombinationsMenu());
    // Rebuilt at start-up from an empty list: the placeholders are gone.
    EXPECT_TRUE(Window().RecentOrgansMenu()->actions().isEmpty());
    EXPECT_TRUE(Window().RecentCombinationsMenu()->actions().isEmpty());
}

TEST_F(FileCommands, LoadedOrgansFillTheRecentMenuWithGapsKept) {
    std::string a = rig.WriteOrgan("A.organ");
    std::string b = rig.WriteOrgan("B.organ");
    ASSERT_TRUE(Window().LoadOrganFromPath(a));
    ASSERT_TRUE(Window().LoadOrganFromPath(b.substr(0, b.size() - 6)));
    // The path as it was given, not the file name opened.
    EXPECT_EQ(Items(Window().RecentOrgansMenu()),
              (std::vector<std::string>{"&1 " + b.substr(0, b.size() - 6) + "\tCtrl+N=102",
                                        "&2 " + a + "=103"}));
    EXPECT_EQ(rig.store.values["OrganLastPath"], rig.dir.Path().string());

    rig.store.values["OrganMRUFile01"] = "";
    rig.store.values["OrganMRUFile03"] = "/o/D.organ";
    Window().RebuildRecentOrganMenu();
    EXPECT_EQ(Items(Window().RecentOrgansMenu()),
              (std::vector<std::string>{"&1 " + b.substr(0, b.size() - 6) + "\tCtrl+N=102",
                                        "&4 /o/D.organ=105"}));
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(FileCommands, RecentEntriesReopenByMenuAndAccelerator) {
    std::string a = rig.WriteOrgan("A.organ", "St Alban");
    std::string b = rig.WriteOrgan("B.organ", "St Bride");
    ASSERT_TRUE(Window().LoadOrganFromPath(a));
    ASSERT_TRUE(Window().LoadOrganFromPath(b));
    Window().RecentOrgansMenu()->actions().at(1)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    EXPECT_EQ(Window().RecentOrgansMenu()->actions().at(0)->text().toStdString(),
              "&1 " + a + "\tCtrl+N");
    ASSERT_TRUE(Window().CloseOrgan());
    Window().Run(Command::ReopenRecentOrgan);
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    EXPECT_TRUE(Window().IsActive());

    // An entry whose file went away is reported and leaves no organ.
    rig.store.values["OrganMRUFile00"] = rig.dir.File("Gone.organ");
    Window().RebuildRecentOrganMenu();
    Window().RunRecentCommand(MainWindow::kRecentOrganCommand);
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.Reports(), (std::vector<std::string>{
                                 "Could not find the specified organ file " +
                                     rig.dir.File("Gone.organ") + ". | Loading Tessaline organ.",
                                 "Could not load and activate organ. | Loading Tessaline organ."}));
}

TEST_F(FileCommands, CombinationFilesNeedALoadedOrgan) {
    Window().Run(Command::LoadCombinations);  // greyed: nothing at all
    Window().Run(Command::ReopenRecentCombinations);
    EXPECT_EQ(rig.errors.Count(), 0u);
    EXPECT_FALSE(Window().LoadCombinationFile("/c/A.cmb", false));
    EXPECT_FALSE(Window().SaveCombinationFile("/c/A.cmb"));
    rig.store.values["CombinationMRUFile00"] = "/c/A.cmb";
    EXPECT_FALSE(Window().OpenRecentCombination(0));
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Cannot load combination file when no organ is loaded. | Loading a combination "
                  "file.",
                  "Cannot save combination file when no organ is loaded. | Saving a combination "
                  "file.",
                  "Cannot load combination file when no organ is loaded. | Loading a combination "
                  "file.",
                  "Could not load combination file. | Loading Tessaline combination file."}));
    EXPECT_EQ(rig.store.values["CombinationMRUFile00"], "/c/A.cmb");
    EXPECT_EQ(rig.store.values.count("CombinationMRUFile01"), 0u);
}

TEST_F(FileCommands, SavedCombinationsComeBackThroughTheWindow) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ", "St Test")));
    Organ& organ = Window().GetOrgan();
    // Registration frame 1 captures the first stop drawn.
    organ.StopToggle(1, 0);
    organ.SetCaptureMode(true);
    organ.PressGeneral(kMaxGenerals);
    organ.SetCaptureMode(false);
    ASSERT_FALSE(Frame(0).Empty());
    const General captured = Frame(0);

    rig.store.values["CombinationLastPath"] = "/last";
    rig.chosenCombinations = rig.dir.File("sets/Mine.cmb");
    std::filesystem::create_directories(rig.dir.Path() / "sets");
    Window().Run(Command::SaveCombinations);
    EXPECT_EQ(rig.chooserFolder, "/last");
    EXPECT_EQ(rig.proposedName, "St Test-01");
    EXPECT_EQ(ReadFile(rig.chosenCombinations).rfind("[Organ]", 0), 0u);
    EXPECT_EQ(rig.store.values["CombinationMRUFile00"], rig.chosenCombinations);
    EXPECT_EQ(rig.store.values["CombinationLastPath"], rig.dir.File("sets"));

    {
        auto lock = organ.LockAction();
        ASSERT_TRUE(organ.ClearFrameGenerals());
    }
    ASSERT_TRUE(Frame(0).Empty());
    Window().Run(Command::LoadCombinations);
    EXPECT_EQ(rig.chooserFolder, rig.dir.File("sets"));
    EXPECT_EQ(Frame(0).stops.count, captured.stops.count);
    EXPECT_EQ(Frame(0).stops.entries[0], captured.stops.entries[0]);

    {
        auto lock = organ.LockAction();
        ASSERT_TRUE(organ.ClearFrameGenerals());
    }
    Window().Run(Command::ReopenRecentCombinations);
    EXPECT_FALSE(Frame(0).Empty());
    EXPECT_EQ(Items(Window().RecentCombinationsMenu()),
              (std::vector<std::string>{"&1 " + rig.chosenCombinations + "\tCtrl+M=32792"}));

    // A cancelled chooser does nothing.
    rig.chosenCombinations.clear();
    Window().Run(Command::SaveCombinations);
    Window().Run(Command::LoadCombinations);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(FileCommands, AFailedLoadOrSaveGivesTheOuterMessages) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.chosenCombinations = rig.dir.File("Missing.cmb");
    Window().Run(Command::LoadCombinations);
    rig.chosenCombinations = rig.dir.File("no folder/A.cmb");
    Window().Run(Command::SaveCombinations);
    std::vector<std::string> reports = rig.Reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports[reports.size() - 2],
              "Failed to save combination file. | Saving a combination file.");
    EXPECT_EQ(reports.back(),
              "Could not save combination file. | Saving Tessaline organ combination file.");
    auto loadFailure = std::find(reports.begin(), reports.end(),
                                 "Failed to load combination file. | Loading a combination file.");
    ASSERT_NE(loadFailure, reports.end());
    EXPECT_EQ(*(loadFailure + 1),
              "Could not load combination file. | Loading Tessaline organ combination file.");
    EXPECT_EQ(rig.store.values.count("CombinationMRUFile00"), 0u);
}

TEST_F(FileCommands, ReloadingTheDefaultsLeavesTheRecentListAlone) {
    // The minimal organ lacks NumberOfFrameGenerals, so it cannot be read as
    // a combination file.
    std::string plain = rig.WriteOrgan("Plain.organ");
    ASSERT_TRUE(Window().LoadOrganFromPath(plain.substr(0, plain.size() - 6)));
    Window().Run(Command::ReloadDefaultCombinations);
    std::vector<std::string> reports = rig.Reports();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.back(), "Could not reload combinations from organ file " + plain +
                                  ". | Loading Tessaline organ combination file.");

    std::string text = ReadFile(rig.WriteOrgan("Full.organ"));
    size_t organSection = text.find("[Organ]");
    ASSERT_NE(organSection, std::string::npos);
    text.insert(text.find('\n', organSection) + 1, "NumberOfFrameGenerals=0\r\n");
    std::string full = rig.dir.Write("Full.organ", text);
    ASSERT_TRUE(Window().LoadOrganFromPath(full));
    rig.errors.Clear();
    Window().GetOrgan().SetCaptureMode(true);
    Window().GetOrgan().PressGeneral(kMaxGenerals);
    Window().GetOrgan().SetCaptureMode(false);
    ASSERT_FALSE(Frame(0).Empty());
    rig.store.values["CombinationMRUFile00"] = "/c/Kept.cmb";
    Window().Run(Command::ReloadDefaultCombinations);
    EXPECT_TRUE(Frame(0).Empty());
    EXPECT_EQ(rig.errors.Count(), 0u);
    EXPECT_EQ(rig.store.values["CombinationMRUFile00"], "/c/Kept.cmb");
    EXPECT_EQ(rig.store.values.count("CombinationMRUFile01"), 0u);
    EXPECT_EQ(rig.store.values.count("CombinationLastPath"), 0u);
}

TEST_F(FileCommands, TheRecordingDirectoryIsStoredAsChosen) {
    rig.chosenRecordingFolder = "/home/player/Recordings";
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.chooserFolder, "");
    EXPECT_EQ(rig.store.values["OutputRecDir"], "/home/player/Recordings");
    rig.chosenRecordingFolder = "/srv/rec";
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.chooserFolder, "/home/player/Recordings");
    EXPECT_EQ(rig.store.values["OutputRecDir"], "/srv/rec");
    rig.chosenRecordingFolder.clear();
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.store.values["OutputRecDir"], "/srv/rec");

    rig.chosenRecordingFolder = "/x";
    rig.store.failClose = true;
    Window().Run(Command::RecordingDirectory);
    rig.store.failClose = false;
    rig.store.failWriteOf = "OutputRecDir";
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Could not close settings store. | Reading settings store string.",
                  "Could not close settings store. | Saving output recording directory.",
                  "Could not write a value to the settings store. | Saving output recording "
                  "directory."}));

    EXPECT_EQ(WithoutTrailingSeparator("/home/player/rec/").toStdString(), "/home/player/rec");
    EXPECT_EQ(WithoutTrailingSeparator("/home/player/rec//").toStdString(), "/home/player/rec");
    EXPECT_EQ(WithoutTrailingSeparator("/").toStdString(), "/");
}

}  // namespace
}  // namespace tessaline
