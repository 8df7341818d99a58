#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <fstream>
#include <sstream>

#include "ShellRig.h"
#include "organ/Constants.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Reports = std::vector<std::string>;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override { rig.StartSetUp(); }
    MainWindow& Window() { return *rig.window; }
    // "text=identifier" of every item of a submenu.
    static std::vector<std::string> Items(QMenu* menu) {
        std::vector<std::string> items;
        for (QAction* action : menu->actions())
            items.push_back(action->text().toStdString() + "=" +
                            action->data().toString().toStdString());
        return items;
    }
    // The general of registration frame 1.
    const General& FirstFrame() { return Window().GetOrgan().generals[kMaxGenerals]; }
    void CaptureFirstFrame() {
        Window().GetOrgan().SetCaptureMode(true);
        Window().GetOrgan().PressGeneral(kMaxGenerals);
        Window().GetOrgan().SetCaptureMode(false);
    }

    test::ShellRig rig;
};

TEST_F(FileCommands, TheRecentOrganMenuListsLoadsWithGapsKept) {
    QMenu* file = Window().menuBar()->actions().at(0)->menu();
    EXPECT_EQ(file->actions().at(7)->menu(), Window().RecentOrgansMenu());
    EXPECT_EQ(file->actions().at(8)->menu(), Window().RecentCombinationsMenu());
    EXPECT_TRUE(Window().RecentOrgansMenu()->actions().isEmpty());  // no placeholder after start-up

    std::string a = rig.WriteOrgan("A.organ");
    std::string bFile = rig.WriteOrgan("B.organ");
    std::string b = bFile.substr(0, bFile.size() - 6);  // listed as given, without extension
    ASSERT_TRUE(Window().LoadOrganFromPath(a));
    ASSERT_TRUE(Window().LoadOrganFromPath(b));
    rig.store.values["OrganMRUFile03"] = "/o/D.organ";
    Window().RebuildRecentOrganMenu();
    EXPECT_EQ(Items(Window().RecentOrgansMenu()),
              (std::vector<std::string>{"&1 " + b + "\tCtrl+N=102", "&2 " + a + "=103",
                                        "&4 /o/D.organ=105"}));
    EXPECT_EQ(rig.store.values["OrganLastPath"], rig.dir.Path().string());

    // Reopening by the menu and by Ctrl+N.
    Window().RecentOrgansMenu()->actions().at(1)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    ASSERT_TRUE(Window().CloseOrgan());
    Window().Run(Command::ReopenRecentOrgan);
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    Window().RunRecentCommand(MainWindow::kRecentOrganCommand + 3);
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.Reports(),
              (Reports{"Could not find the specified organ file /o/D.organ. | "
                       "Loading Tessaline organ.",
                       "Could not load and activate organ. | Loading Tessaline organ."}));
}

TEST_F(FileCommands, CombinationFilesNeedALoadedOrgan) {
    Window().Run(Command::ReopenRecentCombinations);
    EXPECT_FALSE(Window().LoadCombinationFile("/c/A.cmb", false));
    EXPECT_FALSE(Window().SaveCombinationFile("/c/A.cmb"));
    rig.store.values["CombinationMRUFile00"] = "/c/A.cmb";
    EXPECT_FALSE(Window().OpenRecentCombination(0));
    EXPECT_EQ(rig.Reports(),
              (Reports{"Cannot load combination file when no organ is loaded. | Loading a "
                       "combination file.",
                       "Cannot save combination file when no organ is loaded. | Saving a "
                       "combination file.",
                       "Cannot load combination file when no organ is loaded. | Loading a "
                       "combination file.",
                       "Could not load combination file. | Loading Tessaline combination file."}));
}

TEST_F(FileCommands, SavedCombinationsComeBackThroughTheWindow) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ", "St Test")));
    Window().GetOrgan().StopToggle(1, 0);
    CaptureFirstFrame();
    const General captured = FirstFrame();
    ASSERT_FALSE(captured.Empty());

    rig.store.values["CombinationLastPath"] = "/last";
    rig.chosenCombinations = rig.dir.File("Mine.cmb");
    Window().Run(Command::SaveCombinations);
    EXPECT_EQ(rig.chooserFolder, "/last");
    EXPECT_EQ(rig.proposedName, "St Test-01");
    EXPECT_EQ(rig.store.values["CombinationLastPath"], rig.dir.Path().string());
    Window().GetOrgan().StopToggle(1, 1);
    CaptureFirstFrame();

    Window().Run(Command::LoadCombinations);
    EXPECT_EQ(rig.chooserFolder, rig.dir.Path().string());
    EXPECT_EQ(FirstFrame().stops.count, captured.stops.count);
    EXPECT_EQ(FirstFrame().stops.entries[1], captured.stops.entries[1]);
    EXPECT_EQ(Items(Window().RecentCombinationsMenu()),
              (std::vector<std::string>{"&1 " + rig.chosenCombinations + "\tCtrl+M=32792"}));

    rig.chosenCombinations = rig.dir.File("no folder/A.cmb");
    Window().Run(Command::SaveCombinations);
    Reports reports = rig.Reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(Reports(reports.end() - 2, reports.end()),
              (Reports{"Failed to save combination file. | Saving a combination file.",
                       "Could not save combination file. | Saving Tessaline organ combination "
                       "file."}));
}

TEST_F(FileCommands, ReloadingTheDefaultsLeavesTheRecentListAlone) {
    // The minimal organ lacks NumberOfFrameGenerals: it cannot be read as a
    // combination file.
    std::string plain = rig.WriteOrgan("Plain.organ");
    ASSERT_TRUE(Window().LoadOrganFromPath(plain));
    Window().Run(Command::ReloadDefaultCombinations);
    ASSERT_FALSE(rig.Reports().empty());
    EXPECT_EQ(rig.Reports().back(), "Could not reload combinations from organ file " + plain +
                                        ". | Loading Tessaline organ combination file.");

    std::ifstream in(plain, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    text.insert(text.find('\n', text.find("[Organ]")) + 1, "NumberOfFrameGenerals=0\r\n");
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.dir.Write("Full.organ", text)));
    rig.errors.Clear();
    CaptureFirstFrame();
    rig.store.values["CombinationMRUFile00"] = "/c/Kept.cmb";
    Window().Run(Command::ReloadDefaultCombinations);
    EXPECT_TRUE(FirstFrame().Empty());
    EXPECT_EQ(rig.errors.Count(), 0u);
    EXPECT_EQ(rig.store.values.count("CombinationMRUFile01"), 0u);
}

TEST_F(FileCommands, TheRecordingDirectoryIsStoredAsChosen) {
    rig.chosenRecordingFolder = "/home/player/Recordings";
    Window().Run(Command::RecordingDirectory);
    rig.chosenRecordingFolder = "";  // cancelled
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.chooserFolder, "/home/player/Recordings");
    EXPECT_EQ(rig.store.values["OutputRecDir"], "/home/player/Recordings");
    rig.chosenRecordingFolder = "/x";
    rig.store.failWriteOf = "OutputRecDir";
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.Reports(), (Reports{"Could not write a value to the settings store. | Saving "
                                      "output recording directory."}));
}

}  // namespace
}  // namespace tessaline
