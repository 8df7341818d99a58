// The File menu's commands: the recent lists in the settings store and their
// submenus, combination files through the window, the recording folder.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>
#include <fstream>

#include "ShellRig.h"
#include "app/RecentFiles.h"
#include "organ/Constants.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Reports = std::vector<std::string>;
using Entries = RecentFiles::Entries;

TEST(RecentList, KeepsNineDistinctPathsNewestFirstWithGapsInPlace) {
    MemorySettingsStore store;
    store.values["AudioBufferBlocks"] = "42";  // set up, as after the first run
    RecentFiles organs{store, RecentKind::Organs};
    for (char c = 'A'; c <= 'I'; ++c) ASSERT_TRUE(organs.Add(std::string("/o/") + c + ".organ"));
    // The same file in other letters moves to the top in its new spelling;
    // a tenth distinct path then pushes the oldest out.
    ASSERT_TRUE(organs.Add("/O/e.ORGAN"));
    ASSERT_TRUE(organs.Add("/p/J.organ"));
    EXPECT_EQ(organs.Read(),
              (Entries{"/p/J.organ", "/O/e.ORGAN", "/o/I.organ", "/o/H.organ", "/o/G.organ",
                       "/o/F.organ", "/o/D.organ", "/o/C.organ", "/o/B.organ"}));
    EXPECT_EQ(store.values["OrganLastPath"], "/p");
    EXPECT_EQ(store.values.count("CombinationLastPath"), 0u);
    ASSERT_TRUE(organs.Add("Organs/A.organ"));  // stored in full
    EXPECT_EQ(store.values["OrganMRUFile00"],
              (std::filesystem::current_path() / "Organs/A.organ").string());

    // Removing the older copy closes up everything after it, gaps included.
    RecentFiles combinations{store, RecentKind::Combinations};
    store.values["CombinationMRUFile00"] = "/c/A.cmb";
    store.values["CombinationMRUFile02"] = "/c/C.cmb";
    ASSERT_TRUE(combinations.Add("/d/N.cmb"));
    ASSERT_TRUE(combinations.Add("/c/a.cmb"));
    EXPECT_EQ(combinations.Read(), (Entries{"/c/a.cmb", "/d/N.cmb", "", "/c/C.cmb"}));
    EXPECT_EQ(store.values["CombinationLastPath"], "/c");
}

TEST(RecentList, NothingIsWrittenWithoutTessalineValuesAndAnEmptyEntryIsNotReopened) {
    MemorySettingsStore store;
    RecordingErrorSink errors;
    RecentFiles organs{store, RecentKind::Organs};
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    EXPECT_TRUE(store.values.empty());
    store.values["OrganMRUFile01"] = "";
    std::string path;
    EXPECT_FALSE(organs.Entry(1, path));
    store.failClose = true;
    EXPECT_FALSE(organs.Add("/o/A.organ"));
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.Errors()[0].message + " | " + errors.Errors()[0].attemptedAction,
              "Invalid entry in recent file list. | Loading Tessaline organ.");
    EXPECT_EQ(errors.Errors()[1].message + " | " + errors.Errors()[1].attemptedAction,
              "Could not close settings store. | Saving recent file list.");
}

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

TEST_F(FileCommands, TheRecentOrganMenuListsLoadsWithGapsKeptAndReopensThem) {
    QMenu* file = Window().menuBar()->actions().at(0)->menu();
    EXPECT_EQ(file->actions().at(7)->menu(), Window().RecentOrgansMenu());
    EXPECT_EQ(file->actions().at(8)->menu(), Window().RecentCombinationsMenu());
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
    // Without an organ a recent combination file cannot be opened.
    rig.errors.Clear();
    rig.store.values["CombinationMRUFile00"] = "/c/A.cmb";
    EXPECT_FALSE(Window().OpenRecentCombination(0));
    EXPECT_EQ(rig.Reports().back(),
              "Could not load combination file. | Loading Tessaline combination file.");
}

TEST_F(FileCommands, CombinationFilesAreChosenFromTheLastFolderAndListed) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ", "St Test")));
    CaptureFirstFrame();
    rig.store.values["CombinationLastPath"] = "/last";
    rig.chosen = rig.dir.File("Mine.cmb");
    Window().Run(Command::SaveCombinations);
    EXPECT_EQ(rig.chooserFolder, "/last");
    EXPECT_EQ(rig.proposedName, "St Test-01");
    Window().Run(Command::LoadCombinations);
    EXPECT_EQ(rig.chooserFolder, rig.dir.Path().string());
    EXPECT_EQ(Items(Window().RecentCombinationsMenu()),
              (std::vector<std::string>{"&1 " + rig.chosen + "\tCtrl+M=32792"}));
    EXPECT_EQ(rig.errors.Count(), 0u);
    rig.chosen = rig.dir.File("no folder/A.cmb");
    Window().Run(Command::SaveCombinations);
    EXPECT_EQ(rig.Reports().back(), "Could not save combination file. | Saving Tessaline organ "
                                    "combination file.");
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
    Window().Run(Command::ReloadDefaultCombinations);
    EXPECT_TRUE(FirstFrame().Empty());
    EXPECT_EQ(rig.errors.Count(), 0u);
    EXPECT_EQ(rig.store.values.count("CombinationMRUFile00"), 0u);
}

TEST_F(FileCommands, TheRecordingDirectoryIsStoredAsChosen) {
    rig.chosen = "/home/player/Recordings";
    Window().Run(Command::RecordingDirectory);
    rig.chosen = "";  // cancelled
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.chooserFolder, "/home/player/Recordings");
    EXPECT_EQ(rig.store.values["OutputRecDir"], "/home/player/Recordings");
    rig.chosen = "/x";
    rig.store.failWriteOf = "OutputRecDir";
    Window().Run(Command::RecordingDirectory);
    EXPECT_EQ(rig.Reports(), (Reports{"Could not write a value to the settings store. | Saving "
                                      "output recording directory."}));
}

}  // namespace
}  // namespace tessaline
