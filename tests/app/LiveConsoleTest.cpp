// The console as the live window shows it: redraws from another thread
// painted once on the UI thread, and the window's keys passed to the console
// unless they belong to the window's commands.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <thread>

#include "ShellRig.h"
#include "organ/Stop.h"
#include "support/CombinationSections.h"

namespace tessaline {
namespace {

constexpr int kGeneralStops = 60;

class LiveConsole : public ::testing::Test {
protected:
    void SetUp() override {
        rig.StartSetUp();
        Window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    }
    MainWindow& Window() { return *rig.window; }
    ConsoleWidget& Console() { return Window().Console(); }
    Organ& TheOrgan() { return Window().GetOrgan(); }
    QImage Canvas() { return Console().Renderer().Canvas().convertToFormat(QImage::Format_RGB32); }
    // Manual 1 with 60 stops (stop 1 on shortcut key P, the last key of
    // Ctrl+P) and a general that draws them all.
    void Load() {
        auto b = test::OrganFileBuilder::MinimalOrgan();
        std::vector<int> stops;
        std::vector<std::pair<int, int>> drawn;
        for (int s = 1; s <= kGeneralStops; ++s) {
            stops.push_back(s);
            drawn.push_back({1, s});
        }
        test::SetManual(b, 1, 61, stops);
        std::vector<std::string> pipes(61, test::WritePipeWav(rig.dir, "pipe.wav"));
        for (int s = 1; s <= kGeneralStops; ++s) test::SetStop(b, s, pipes);
        b.Set("Stop001", "ShortcutKey", "80");
        b.Set("Organ", "NumberOfGenerals", "1");
        test::SetGeneral(b, 1, 1, 2, drawn);
        ASSERT_TRUE(Window().LoadOrganFromPath(rig.dir.Write("Live.organ", b.Text())));
        QTest::qWait(60);  // the first paint after the load activates the window
        ASSERT_EQ(rig.errors.Count(), 0u) << rig.Reports()[0];
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    }
    test::ShellRig rig;
};

TEST_F(LiveConsole, AGeneralSettingSixtyDrawstopsFromAnotherThreadRepaintsOnce) {
    Load();
    int before = Console().Repaints();
    std::thread midi([&] { TheOrgan().PressGeneral(0); });
    midi.join();
    EXPECT_EQ(Console().Repaints(), before) << "painted off the UI thread";
    QTest::qWait(200);
    EXPECT_EQ(Console().Repaints(), before + 1);
    for (int s = 0; s < kGeneralStops; ++s)
        ASSERT_TRUE(TheOrgan().manuals[1].GetStop(s)->Engaged()) << s;
    EXPECT_EQ(Console().grab().toImage().convertToFormat(QImage::Format_RGB32), Canvas());
}

TEST_F(LiveConsole, TheWindowsKeysReachTheConsoleUnlessACommandOwnsThem) {
    Load();
    Stop& shortcut = *TheOrgan().manuals[1].GetStop(0);
    // Plain P toggles its stop; Ctrl+P is the greyed Stop Recording command,
    // which does nothing at all.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_P);
    EXPECT_TRUE(shortcut.Engaged());
    ASSERT_FALSE(Window().Action(MainWindow::Command::StopRecording)->isEnabled());
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(shortcut.Engaged());

    // The arrows step the registration frames; the pane follows at once.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Right);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().PaneLabel(MainWindow::Pane::Frame)->text().toStdString(),
              "Registration Frame: 2");

    // Escape is Reset Notes Only, which is enabled: the command runs.
    ASSERT_TRUE(rig.ports.Send(0, 0x91u | (60u << 8) | (100u << 16)));
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Escape);
    EXPECT_EQ(TheOrgan().manuals[1].keys[24].holds, 0u);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

// Regression: the greying follows a load only on the idle timer, and Escape
// pressed before that (as on a busy machine) was dropped as the key of a
// greyed command, leaving the notes sounding.
TEST_F(LiveConsole, EscapeRightAfterALoadSilencesTheNotes) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("A.organ")));
    ASSERT_FALSE(Window().Action(MainWindow::Command::ResetNotes)->isEnabled());
    ASSERT_TRUE(rig.ports.Send(0, 0x91u | (60u << 8) | (100u << 16)));
    QTest::keyClick(&Console(), Qt::Key_Escape);
    EXPECT_EQ(TheOrgan().manuals[1].keys[24].holds, 0u);
}

}  // namespace
}  // namespace tessaline
