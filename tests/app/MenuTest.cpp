#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "ShellRig.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Pane = MainWindow::Pane;
using test::ShellRig;

class Menus : public ::testing::Test {
protected:
    void SetUp() override { rig.StartSetUp(); }
    MainWindow& Window() { return *rig.window; }

    // "text|prompt|keys|enabled" of every item of a top-level menu.
    std::vector<std::string> Items(int menuIndex) {
        QMenu* menu = Window().menuBar()->actions().at(menuIndex)->menu();
        std::vector<std::string> items;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) {
                items.push_back("-");
                continue;
            }
            items.push_back(action->text().toStdString() + "|" + action->statusTip().toStdString() +
                            "|" + action->shortcut().toString().toStdString() + "|" +
                            (action->isEnabled() ? "on" : "off"));
        }
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

    ShellRig rig;
};

TEST_F(Menus, TheMenuBarHoldsEveryCommandWithItsPromptAndKeys) {
    QList<QAction*> top = Window().menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text().toStdString(), "&File");
    EXPECT_EQ(top[1]->text().toStdString(), "&Organ");
    EXPECT_EQ(top[2]->text().toStdString(), "S&etup");
    EXPECT_EQ(top[3]->text().toStdString(), "&Help");
    EXPECT_EQ(Items(0), (std::vector<std::string>{
                            "L&oad Organ\tCtrl+O|Load a new organ definition file|Ctrl+O|on",
                            "&Close Organ\tCtrl+C|Close the current organ|Ctrl+C|off",
                            "&Load Combination File\tCtrl+L|Load a set of saved combinations for "
                            "the currently-loaded organ|Ctrl+L|off",
                            "&Save Combinations to a File\tCtrl+S|Save the current combinations "
                            "for the currently-loaded organ to a file|Ctrl+S|off",
                            "Reloa&d Default Organ Combinations\tCtrl+D|Reload the default "
                            "combinations for the currently-loaded organ|Ctrl+D|off",
                            "Set D&irectory for Recording Audio Output\tCtrl+I|Set the directory "
                            "in which recordings of the output audio will be saved|Ctrl+I|on",
                            "-", "Recent Or&gans|||on", "&Recent Organ Combinations|||off", "-",
                            "E&xit\tCtrl+X|Exit Tessaline|Ctrl+X|on"}));
    EXPECT_EQ(Items(1),
              (std::vector<std::string>{
                  "Ac&tivate|Activate the currently loaded organ||off",
                  "&Deactivate|Deactivate the currently loaded organ||off",
                  "Reset &All\tCtrl+A|Reset all manuals, pipes and notes (not the audio / MIDI "
                  "system)|Ctrl+A|off",
                  "Rese&t Notes Only\tEscape|Turn off all active notes|Esc|off",
                  "Start &Recording Audio Output\tCtrl+R|Start recording the audio output from "
                  "Tessaline to a file|Ctrl+R|off",
                  "Sto&p Recording Audio Output\tCtrl+P|Stop recording the audio output from "
                  "Tessaline to a file|Ctrl+P|off",
                  "Play Test &Note|Play C3 on Great (for testing audio system)||off",
                  "Combination &Capture Mode\tShift|Enter/exit combination capture mode||off", "-",
                  "&Show Organ Details|Show details about the currently loaded organ||off"}));
    EXPECT_EQ(Items(2), (std::vector<std::string>{
                            "S&ystem Setup\tCtrl+Y|Set up the audio and MIDI systems|Ctrl+Y|on"}));
    EXPECT_EQ(Items(3), (std::vector<std::string>{"&Help Contents|Open the help system||on", "-",
                                                  "&About|Show details about Tessaline||on"}));
    EXPECT_EQ(Window().Action(Command::ReopenRecentOrgan)->shortcut().toString().toStdString(),
              "Ctrl+N");
    EXPECT_EQ(
        Window().Action(Command::ReopenRecentCombinations)->shortcut().toString().toStdString(),
        "Ctrl+M");
}

TEST_F(Menus, CommandsFollowTheLifecycleState) {
    EXPECT_EQ(Enabled(), "00000000000");
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Window().UpdateCommandStates();
    // close, activate, deactivate, reset all, reset notes, start rec, stop
    // rec, test note, capture, details, load combinations
    EXPECT_EQ(Enabled(), "10111101111");
    Window().Run(Command::Deactivate);
    EXPECT_EQ(Enabled(), "11011001011");
    Window().Run(Command::CloseOrgan);
    EXPECT_EQ(Enabled(), "00000000000");
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST_F(Menus, AGreyedCommandDoesNotRunFromItsKeys) {
    Window().show();
    QApplication::setActiveWindow(&Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    // Close Organ is greyed without an organ: Ctrl+C reports nothing.
    QTest::keyClick(&Window(), Qt::Key_C, Qt::ControlModifier);
    Window().Run(Command::CloseOrgan);
    EXPECT_EQ(rig.errors.Count(), 0u);

    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    Window().UpdateCommandStates();
    // The loading dialog was the active window meanwhile.
    QApplication::setActiveWindow(&Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QTest::keyClick(&Window(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(Window().IsLoaded());
    EXPECT_EQ(rig.errors.Count(), 0u);

    // System Setup is always there: Ctrl+Y runs the setup.
    int runs = rig.setupRuns;
    QTest::keyClick(&Window(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(rig.setupRuns, runs + 1);
}

TEST_F(Menus, StatusPanesShowTheOrgansState) {
    auto texts = [this] {
        std::vector<std::string> all;
        for (int p = 0; p < MainWindow::kPanes; ++p)
            all.push_back(Window().PaneLabel(static_cast<Pane>(p))->text().toStdString());
        return all;
    };
    const std::vector<std::string> none{"Redirectable Input A:", "Redirectable Input B:",
                                        "Registration Frame:", "", "", ""};
    EXPECT_EQ(texts(), none);
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    // The reset after the load puts both redirectable inputs on their first
    // send, manual 1 by default.
    Window().Run(Command::CaptureMode);
    Window().GetOrgan().NextFrame();
    Window().GetOrgan().NextFrame();
    Window().UpdatePanes();
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "Redirectable Input A: Manual 1", "Redirectable Input B: Manual 1",
                           "Registration Frame: 3", "Active", "Capture", ""}));
    EXPECT_TRUE(Window().Action(Command::CaptureMode)->isChecked());
    Window().Run(Command::CloseOrgan);
    EXPECT_EQ(texts(), none);
}

}  // namespace
}  // namespace tessaline
