// The window's menus, accelerators and status panes, and the dialogs and
// documents its Help and Organ commands show.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <filesystem>

#include "ShellRig.h"
#include "app/InfoDialogs.h"
#include "console/ConsoleLayout.h"
#include "platform/DataDirectory.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Texts = std::vector<std::string>;

class Menus : public ::testing::Test {
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
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                shown.push_back("[" + button->text().toStdString() + "]");
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                if (button->text().toStdString() == press) button->click();
        };
    }
    MainWindow& Window() { return *rig.window; }

    // "text|prompt|keys|enabled" of every item of a top-level menu.
    Texts Items(int menuIndex) {
        QMenu* menu = Window().menuBar()->actions().at(menuIndex)->menu();
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

    test::ShellRig rig;
    std::string press;
    Texts shown;
};

// The File menu whole, with its submenus and separators; of the others the
// items of each kind: with keys, with Escape, with Shift shown only, checkable.
TEST_F(Menus, TheMenuBarHoldsEveryCommandWithItsPromptAndKeys) {
    QList<QAction*> top = Window().menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text().toStdString(), "&File");
    EXPECT_EQ(top[1]->text().toStdString(), "&Organ");
    EXPECT_EQ(top[2]->text().toStdString(), "S&etup");
    EXPECT_EQ(top[3]->text().toStdString(), "&Help");
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
                               "-", "Recent Or&gans|||on", "&Recent Organ Combinations|||off",
                               "-", "E&xit\tCtrl+X|Exit Tessaline|Ctrl+X|on"}));
    const Texts organ = Items(1);
    ASSERT_EQ(organ.size(), 10u);
    EXPECT_EQ(organ[0], "Ac&tivate|Activate the currently loaded organ||off");
    EXPECT_EQ(organ[3], "Rese&t Notes Only\tEscape|Turn off all active notes|Esc|off");
    EXPECT_EQ(organ[5], "Sto&p Recording Audio Output\tCtrl+P|Stop recording the audio output "
                        "from Tessaline to a file|Ctrl+P|off");
    EXPECT_EQ(organ[7], "Combination &Capture Mode\tShift|Enter/exit combination capture mode||off");
    EXPECT_EQ(organ[8], "-");
    EXPECT_EQ(Items(2), Texts{"S&ystem Setup\tCtrl+Y|Set up the audio and MIDI systems|Ctrl+Y|on"});
    EXPECT_EQ(Items(3), (Texts{"&Help Contents|Open the help system||on", "-",
                               "&About|Show details about Tessaline||on"}));
    EXPECT_EQ(Window().Action(Command::ReopenRecentOrgan)->shortcut().toString().toStdString(),
              "Ctrl+N");
}

TEST_F(Menus, CommandsAndPanesFollowTheLifecycleState) {
    const Texts noOrgan{"Redirectable Input A:", "Redirectable Input B:", "Registration Frame:",
                        "", "", ""};
    EXPECT_EQ(Enabled(), "00000000000");
    EXPECT_EQ(Panes(), noOrgan);
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
    EXPECT_EQ(rig.errors.Count(), 0u);
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
    // System Setup is always there: Ctrl+Y runs the setup.
    QTest::keyClick(&Window(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(rig.setupRuns, 1);
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
    EXPECT_EQ(WithHtmlExtension("/o/v1.2/Mary"), "/o/v1.2/Mary.html");
}

TEST_F(Menus, HelpOpensTheInstalledIndexPage) {
    Window().Run(Command::HelpContents);
    const std::string index = DefaultDataDirectory() + "/help/index.html";
    EXPECT_EQ(rig.opened, Texts{index});
    EXPECT_TRUE(std::filesystem::is_regular_file(index));
}

TEST(DisplayCheck, TheScreenMustExceedTheWindowBothWays) {
    RecordingErrorSink errors;
    EXPECT_TRUE(CheckDisplay({800, 600, 16}, nullptr));
    EXPECT_FALSE(CheckDisplay({1920, 1200, 15}, nullptr));
    EXPECT_FALSE(CheckDisplay({792, 600, 24}, nullptr));
    ConsoleLayout layout;
    layout.windowWidth = 1024;
    layout.windowHeight = 700;
    EXPECT_TRUE(CheckDisplay({1025, 701, 32}, &layout));
    EXPECT_FALSE(CheckDisplay({1024, 768, 32}, &layout));
    ASSERT_EQ(errors.Count(), 3u);
    EXPECT_EQ(errors.Messages()[0],
              "The number of colours available in the current screen display mode is too "
              "small.\nTessaline requires at least 16-bit colour for accurate display.\nIf your "
              "graphics card and monitor support it, please try to increase the number of "
              "colours (in the display settings of your desktop).");
    EXPECT_EQ(errors.Errors()[2].attemptedAction, "Checking display properties.");
}

}  // namespace
}  // namespace tessaline
