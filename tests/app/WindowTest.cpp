// The main window's commands on virtual devices: the organ's lifecycle, the
// menus, keys, panes and recent lists, the information dialogs, the first run.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <filesystem>

#include "ShellRig.h"
#include "app/InfoDialogs.h"
#include "app/RecentFiles.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Texts = std::vector<std::string>;
using Entries = RecentFiles::Entries;
using test::OrganFileBuilder;
using test::ShellRig;

class Shell : public ::testing::Test {
protected:
    // Every dialog shown: its title, its texts (the labels, or for a form
    // each label with its field) and its buttons; then `press` is clicked.
    void SetUp() override {
        rig.StartSetUp();
        rig.onDialog = [this](QDialog& dialog) {
            shown = {dialog.windowTitle().toStdString()};
            if (auto* form = dialog.findChild<QFormLayout*>()) {
                for (int row = 0; row < form->rowCount(); ++row) {
                    auto* field = qobject_cast<QLineEdit*>(
                        form->itemAt(row, QFormLayout::FieldRole)->widget());
                    auto* label =
                        qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
                    shown.push_back(label->text().toStdString() + " " +
                                    field->text().toStdString() +
                                    (field->isReadOnly() ? "" : " (editable)"));
                }
            } else {
                for (QLabel* label : dialog.findChildren<QLabel*>())
                    if (!label->text().isEmpty()) shown.push_back(label->text().toStdString());
            }
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
                shown.push_back("[" + button->text().toStdString() + "]");
                if (button->text().toStdString() == press) button->click();
            }
        };
    }
    MainWindow& Window() { return *rig.window; }
    bool Playing() { return Window().Stream().IsPlaying(); }
    bool MidiOpen() { return rig.ports.IsOpen(0); }
    // "text|prompt|keys|enabled" of every item of a menu.
    static Texts Items(QMenu* menu) {
        Texts items;
        for (QAction* action : menu->actions())
            items.push_back(action->isSeparator()
                                ? "-"
                                : action->text().toStdString() + "|" +
                                      action->statusTip().toStdString() + "|" +
                                      action->shortcut().toString().toStdString() + "|" +
                                      (action->isEnabled() ? "on" : "off"));
        return items;
    }
    Texts Items(int menuIndex) {
        return Items(Window().menuBar()->actions().at(menuIndex)->menu());
    }
    // The enabled commands among those whose enabling depends on the state.
    std::string Enabled() {
        std::string on;
        for (Command c : {Command::CloseOrgan, Command::Activate, Command::Deactivate,
                          Command::ResetAll, Command::ResetNotes, Command::StartRecording,
                          Command::StopRecording, Command::PlayTestNote, Command::CaptureMode,
                          Command::ShowOrganDetails, Command::LoadCombinations})
            on += Window().Action(c)->isEnabled() ? "1" : "0";
        return on;
    }
    Texts Panes() {
        Texts all;
        for (int p = 0; p < MainWindow::kPanes; ++p)
            all.push_back(
                Window().PaneLabel(static_cast<MainWindow::Pane>(p))->text().toStdString());
        return all;
    }
    ShellRig rig;
    std::string press;
    Texts shown;
};
using Lifecycle = Shell;
using Menus = Shell;

TEST_F(Lifecycle, LoadingActivatesAndAFailedSecondLoadLeavesNoOrgan) {
    std::string file = rig.WriteOrgan("Cathedral.organ", "St Mary");
    std::string path = file.substr(0, file.size() - 6);  // without ".organ"
    ASSERT_TRUE(Window().LoadOrganFromPath(path));
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(MidiOpen());
    EXPECT_EQ(OrganFileName("/o/Great.ORGAN"), "/o/Great.ORGAN");

    // The loaded organ is closed before the new file is looked for.
    std::string missing = rig.dir.File("Missing");
    EXPECT_FALSE(Window().LoadOrganFromPath(missing));
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(MidiOpen());
    EXPECT_EQ(Window().windowTitle().toStdString(), "Tessaline Console");
    EXPECT_FALSE(Window().CloseOrgan());
    EXPECT_EQ(rig.Reports(), (Texts{"Could not find the specified organ file " + missing +
                                        ".organ. | Loading Tessaline organ.",
                                    "Could not close organ because no organ is currently loaded. | "
                                    "Closing Tessaline organ."}));
}

TEST_F(Lifecycle, TheLoadCommandStartsInTheLastFolderAndSaysWhyALoadFailed) {
    Window().Run(Command::LoadOrgan);  // cancelled
    EXPECT_EQ(rig.chooserFolder, Window().ProgramDirectory() + "/Organs");
    rig.store.values["OrganLastPath"] = "/srv/organs";
    OrganFileBuilder broken = OrganFileBuilder::MinimalOrgan();
    broken.Set("Organ", "TessalineOrganFileFormatVersion", "1.22");
    rig.chosen = rig.dir.Write("Broken.organ", broken.Text());
    Window().Run(Command::LoadOrgan);
    EXPECT_EQ(rig.chooserFolder, "/srv/organs");
    Texts reports = rig.Reports();
    ASSERT_EQ(reports.size(), 3u);  // the loader's reason, then the window's
    EXPECT_EQ(reports.back(), "Could not load and activate organ. | Loading Tessaline organ.");
}

TEST_F(Lifecycle, ADeviceFailingAtActivationLeavesTheOrganLoadedWithBothDevicesStopped) {
    const std::pair<std::function<void()>, const char*> faults[] = {
        {[this] { rig.ports.InjectFailure(0, VirtualMidiPorts::Operation::Open, "busy"); },
         "Cannot activate organ because a required MIDI input device could not be opened."},
        {[this] { rig.audio.faults.play = true; },
         "Cannot activate organ because audio playback failed to start."},
    };
    for (const auto& [inject, report] : faults) {
        SCOPED_TRACE(report);
        rig.ports.ClearFailures();
        rig.audio.faults.play = false;
        inject();
        EXPECT_FALSE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
        Texts reports = rig.Reports();
        ASSERT_GE(reports.size(), 2u);
        EXPECT_EQ(reports[reports.size() - 2], std::string(report) + " | Activating Tessaline.");
        EXPECT_EQ(reports.back(), "Failed to activate the organ. | Loading Tessaline organ.");
        EXPECT_TRUE(Window().IsLoaded());
        EXPECT_FALSE(Window().IsActive());
        EXPECT_FALSE(Playing());
        EXPECT_FALSE(MidiOpen());
    }
}

TEST_F(Lifecycle, SetupReloadsTheOrganOnlyWhenTheSoundSettingsChanged) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    rig.setupChanges = [](SetupInfo& setup) {
        setup.AmplitudeLevel = 80;
        setup.reloadRequired = true;
    };
    size_t usedBefore = Window().GetOrgan().Samples().BytesUsed();
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_EQ(Window().GetOrgan().Setup().AmplitudeLevel, 80u);
    EXPECT_EQ(Window().GetOrgan().Samples().BytesUsed(), usedBefore);  // reloaded, not added

    rig.setupChanges = [](SetupInfo& setup) { setup.AudioBufferBlocks = 8; };
    ASSERT_TRUE(Window().ShowSystemSetup());
    EXPECT_TRUE(Window().IsActive());  // back active after either
    EXPECT_EQ(Window().Stream().BufferFrames(), 8 * 128);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Lifecycle, TheTestNoteAndTheResets) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Organ& organ = Window().GetOrgan();
    const ManualKey& middleC = organ.manuals[1].keys[60 - 36];
    Window().Run(Command::PlayTestNote);
    EXPECT_EQ(middleC.directMask, 1u << kTestNoteSource);

    // Reset All lets every key go, ends capture mode and goes back to the
    // first frame; the organ plays on.
    Window().Run(Command::CaptureMode);
    organ.NextFrame();
    ASSERT_TRUE(rig.ports.Send(0, 0x91u | (61u << 8) | (100u << 16)));
    Window().Run(Command::ResetAll);
    EXPECT_FALSE(organ.captureMode.load());
    EXPECT_EQ(organ.frameNumber.load(), 0u);
    EXPECT_EQ(middleC.holds, 0u);
    EXPECT_EQ(organ.manuals[1].keys[61 - 36].holds, 0u);
    EXPECT_TRUE(Window().IsActive());
    // Without activation the test note cannot sound.
    Window().Run(Command::Deactivate);
    Window().Run(Command::PlayTestNote);
    EXPECT_FALSE(Window().TestNoteOn());
}

TEST(Startup, AFirstRunAsksForTheSetupUntilItIsConfirmed) {
    ShellRig rig;
    rig.setupAnswer = false;
    EXPECT_FALSE(rig.Start());
    EXPECT_EQ(rig.notices,
              (Texts{"Please set up the devices and settings for your audio and MIDI systems\n"
                     "on the following screen before using Tessaline.",
                     "The audio and MIDI systems were not set up. You will not be able to\n"
                     "run Tessaline until these settings have been set or confirmed."}));
    EXPECT_TRUE(rig.store.values.empty());
    rig.setupAnswer = true;
    rig.window.reset();
    ASSERT_TRUE(rig.Start());
    rig.window.reset();
    ASSERT_TRUE(rig.Start());  // confirmed: not asked again
    EXPECT_EQ(rig.setupRuns, 2);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

// The File menu whole, with its submenus and separators; of the others the
// items of each kind: with keys, with Escape, with Shift shown only, checkable.
TEST_F(Menus, TheMenuBarHoldsEveryCommandWithItsPromptAndKeys) {
    Texts titles;
    for (QAction* menu : Window().menuBar()->actions())
        titles.push_back(menu->text().toStdString());
    EXPECT_EQ(titles, (Texts{"&File", "&Organ", "S&etup", "&Help"}));
    EXPECT_EQ(Items(0), (Texts{"L&oad Organ\tCtrl+O|Load a new organ definition file|Ctrl+O|on",
                               "&Close Organ\tCtrl+C|Close the current organ|Ctrl+C|off",
                               "&Load Combination File\tCtrl+L|Load a set of saved combinations "
                               "for the currently-loaded organ|Ctrl+L|off",
                               "&Save Combinations to a File\tCtrl+S|Save the current "
                               "combinations for the currently-loaded organ to a file|Ctrl+S|off",
                               "Reloa&d Default Organ Combinations\tCtrl+D|Reload the default "
                               "combinations for the currently-loaded organ|Ctrl+D|off",
                               "Set D&irectory for Recording Audio Output\tCtrl+I|Set the "
                               "directory in which recordings of the output audio will be "
                               "saved|Ctrl+I|on",
                               "-", "Recent Or&gans|||on", "&Recent Organ Combinations|||off", "-",
                               "E&xit\tCtrl+X|Exit Tessaline|Ctrl+X|on"}));
    const Texts organ = Items(1);
    ASSERT_EQ(organ.size(), 10u);
    EXPECT_EQ(organ[0], "Ac&tivate|Activate the currently loaded organ||off");
    EXPECT_EQ(organ[3], "Rese&t Notes Only\tEscape|Turn off all active notes|Esc|off");
    EXPECT_EQ(organ[7],
              "Combination &Capture Mode\tShift|Enter/exit combination capture mode||off");
    EXPECT_EQ(Items(2), Texts{"S&ystem Setup\tCtrl+Y|Set up the audio and MIDI systems|Ctrl+Y|on"});
    EXPECT_EQ(Items(3), (Texts{"&Help Contents|Open the help system||on", "-",
                               "&About|Show details about Tessaline||on"}));
    EXPECT_EQ(Window().Action(Command::ReopenRecentOrgan)->shortcut().toString().toStdString(),
              "Ctrl+N");
}

TEST_F(Menus, CommandsAndPanesFollowTheLifecycleState) {
    const Texts noOrgan{
        "Redirectable Input A:", "Redirectable Input B:", "Registration Frame:", "", "", ""};
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Window().UpdateCommandStates();
    // close, activate, deactivate, reset all, reset notes, start rec, stop
    // rec, test note, capture, details, load combinations
    EXPECT_EQ(Enabled(), "10111101111");
    Window().Run(Command::CaptureMode);
    Window().GetOrgan().NextFrame();
    Window().GetOrgan().NextFrame();
    Window().UpdatePanes();
    // The reset after the load put both redirectable inputs on manual 1.
    EXPECT_EQ(Panes(), (Texts{"Redirectable Input A: Manual 1", "Redirectable Input B: Manual 1",
                              "Registration Frame: 3", "Active", "Capture", ""}));
    EXPECT_TRUE(Window().Action(Command::CaptureMode)->isChecked());
    Window().Run(Command::Deactivate);
    EXPECT_EQ(Enabled(), "11011001011");
    Window().Run(Command::CloseOrgan);
    EXPECT_EQ(Enabled(), "00000000000");
    EXPECT_EQ(Panes(), noOrgan);
}

TEST_F(Menus, AGreyedCommandDoesNotRunFromItsKeys) {
    Window().show();
    QApplication::setActiveWindow(&Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    // Close Organ is greyed without an organ: Ctrl+C reports nothing.
    QTest::keyClick(&Window(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(rig.errors.Count(), 0u);

    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Window().UpdateCommandStates();
    // The loading dialog was the active window meanwhile.
    QApplication::setActiveWindow(&Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QTest::keyClick(&Window(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Menus, AboutShowsBothVersionsAndOpensTheWebsite) {
    press = "&Website";
    Window().Run(Command::About);
    EXPECT_EQ(shown, (Texts{"About Tessaline", "Tessaline Version 1.21",
                            "Organ File Version Supported: 1.21", "A virtual pipe organ project",
                            "[&Website]", "[&OK]"}));
    EXPECT_EQ(rig.opened, Texts{kWebsiteAddress});
    rig.openSucceeds = false;
    Window().Run(Command::About);
    EXPECT_EQ(
        rig.Reports(),
        Texts{"Could not open Tessaline website. Please make sure that you are currently "
              "connected to the Internet.\nYou can find the website by going to " +
              std::string(kWebsiteAddress) + " in your web browser. | Opening Tessaline website."});
}

TEST_F(Menus, OrganDetailsShowsSixFieldsAndOpensTheInfoPage) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("St Mary.organ", "St Mary")));
    Window().GetOrgan().infoFilename.clear();
    press = "More &Info";
    Window().Run(Command::ShowOrganDetails);
    EXPECT_EQ(shown, (Texts{"Organ Details", "Church Name: St Mary",
                            "Church Address: 1 Test Street", "Organ Builder: Test Builder",
                            "Date Organ Built: 1900", "Details of Recording: None",
                            "Other Information: None", "[More &Info]", "[OK]"}));
    EXPECT_EQ(rig.opened, Texts{rig.dir.File("St Mary.html")});
    // A page the organ names is found beside it, "\" separating folders.
    Window().GetOrgan().infoFilename = "pages\\Mary.htm";
    EXPECT_EQ(Window().InfoPagePath(), rig.dir.File("pages/Mary.htm"));
}

TEST_F(Menus, TheRecentOrganMenuListsLoadsWithGapsKeptAndReopensThem) {
    std::string a = rig.WriteOrgan("A.organ");
    std::string bFile = rig.WriteOrgan("B.organ");
    std::string b = bFile.substr(0, bFile.size() - 6);  // listed as given, without extension
    ASSERT_TRUE(Window().LoadOrganFromPath(a));
    ASSERT_TRUE(Window().LoadOrganFromPath(b));
    rig.store.values["OrganMRUFile03"] = "/o/D.organ";
    Window().RebuildRecentOrganMenu();
    EXPECT_EQ(Items(Window().RecentOrgansMenu()),
              (Texts{"&1 " + b + "\tCtrl+N|||on", "&2 " + a + "|||on", "&4 /o/D.organ|||on"}));

    Window().RecentOrgansMenu()->actions().at(1)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    Window().Run(Command::ReopenRecentOrgan);  // Ctrl+N: the newest, now a again
    EXPECT_EQ(Window().CurrentOrganPath(), a);
    Window().RunRecentCommand(MainWindow::kRecentOrganCommand + 3);  // /o/D.organ is not there
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.errors.Count(), 2u);
}

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

}  // namespace
}  // namespace tessaline
