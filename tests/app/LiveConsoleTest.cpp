// The console as the live window shows it: the renderer's picture of the
// loaded organ (grey without one), element redraws from the MIDI thread and
// the UI thread painted together on the UI thread, and the window's keys
// passed to the console unless they belong to the window's commands.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <thread>

#include "ShellRig.h"
#include "audio/Enclosure.h"
#include "organ/Stop.h"

namespace tessaline {
namespace {

using Pane = MainWindow::Pane;
using test::OrganFileBuilder;

constexpr QRgb kGrey = qRgb(128, 128, 128);
constexpr int kGeneralStops = 60;

// Manual 1 with 60 stops of two keys (stop 1 on shortcut key P, which is
// also the last key of Ctrl+P), manual 2 with one, one enclosure on the first
// MIDI path and a general that draws all 60 stops of manual 1.
std::string WriteConsoleOrgan(test::ShellRig& rig) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "ChurchName", "Live");
    b.Set("Organ", "NumberOfManuals", "2");
    std::vector<int> stops;
    for (int s = 1; s <= kGeneralStops; ++s) stops.push_back(s);
    test::SetManual(b, 1, 61, stops);
    test::SetManual(b, 2, 61, {kGeneralStops + 1});
    std::string pipe = test::WritePipeWav(rig.dir, "pipe.wav");
    for (int s = 1; s <= kGeneralStops + 1; ++s) test::SetStop(b, s, std::vector<std::string>(61, pipe));
    b.Set("Stop001", "ShortcutKey", "80");
    b.Set("Organ", "NumberOfEnclosures", "1");
    b.Set("Enclosure001", "Name", "Sw");
    b.Set("Enclosure001", "MIDIInputNumber", "1");
    b.Set("Enclosure001", "AmpMinimumLevel", "0");
    b.Set("Organ", "NumberOfGenerals", "1");
    test::SetButtonKeys(b, "General001", "G", 1, 2);
    b.Set("General001", "NumberOfStops", std::to_string(kGeneralStops));
    for (int s = 1; s <= kGeneralStops; ++s) {
        char manual[32], number[32];
        std::snprintf(manual, sizeof manual, "StopManual%03d", s);
        std::snprintf(number, sizeof number, "StopNumber%03d", s);
        b.Set("General001", manual, "1");
        b.Set("General001", number, std::to_string(s));
    }
    b.Set("General001", "NumberOfCouplers", "0");
    b.Set("General001", "NumberOfTremulants", "0");
    b.Set("General001", "NumberOfDivisionalCouplers", "0");
    return rig.dir.Write("Live.organ", b.Text());
}

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

    // What the console widget shows on the screen.
    QImage Shown() { return Console().grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Lets the event loop run until the console has painted `count` more
    // times (at most a second); false when it did not.
    bool PaintedAfter(int before, int count = 1) {
        QElapsedTimer clock;
        clock.start();
        while (Console().Repaints() < before + count && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return Console().Repaints() == before + count;
    }
    // Runs the event loop for a while: whatever was queued is painted.
    void Settle() { QTest::qWait(60); }
    // Loads the console organ; the first paint after it activates the window.
    void Load() {
        ASSERT_TRUE(Window().LoadOrganFromPath(WriteConsoleOrgan(rig)));
        Settle();
        ASSERT_EQ(rig.errors.Count(), 0u) << rig.Reports()[0];
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    }
    // Sends a message on the keyboard port from a thread of its own, as the
    // MIDI driver does.
    void SendFromMidiThread(uint32_t message) {
        std::thread midi([&] { EXPECT_TRUE(rig.ports.Send(0, message)); });
        midi.join();
    }
    QPoint KeyPoint(int manual, int key) {
        const ManualKey& k = TheOrgan().manuals[static_cast<size_t>(manual)].keys[static_cast<size_t>(key)];
        return {static_cast<int>(k.position.x) + 2, static_cast<int>(k.position.y) + 5};
    }
    // A key event to the widget that has the keyboard, as the window system
    // delivers it.
    void Key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             bool autoRepeat = false) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(target, &event);
    }

    test::ShellRig rig;
};

int CountOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
    return count;
}

TEST_F(LiveConsole, ShowsGreyWithoutAnOrganAndTheRenderersPictureOfALoadedOne) {
    QImage empty = Shown();
    ASSERT_FALSE(empty.isNull());
    EXPECT_EQ(CountOf(empty, kGrey), empty.width() * empty.height());

    Load();
    QtConsoleView& view = Window().View();
    QImage shown = Shown();
    // The layout was computed for the client area the widget really has.
    EXPECT_EQ(shown.size(), QSize(static_cast<int>(view.ClientWidth()),
                                  static_cast<int>(view.ClientHeight())));
    EXPECT_EQ(shown, Console().Renderer().Canvas().convertToFormat(QImage::Format_RGB32));
    EXPECT_LT(CountOf(shown, kGrey), shown.width() * shown.height() / 2);
    // The first paint after the load brought the window forward (Load waits
    // for it to become active) with the keyboard on the console.
    EXPECT_FALSE(TheOrgan().firstPaintAfterLoad);
    EXPECT_EQ(QApplication::focusWidget(), &Console());

    ASSERT_TRUE(Window().CloseOrgan());
    Settle();
    QImage closed = Shown();
    EXPECT_EQ(CountOf(closed, kGrey), closed.width() * closed.height());
}

TEST_F(LiveConsole, MidiKeysAndSwellPedalsRepaintOnTheUiThread) {
    Load();
    const QPoint key = KeyPoint(1, 24);
    EXPECT_EQ(Shown().pixel(key), qRgb(255, 255, 255));
    int before = Console().Repaints();
    // Manual 1 listens to the first path, on channel 2.
    SendFromMidiThread(0x91u | (60u << 8) | (100u << 16));
    EXPECT_EQ(Console().Repaints(), before) << "painted off the UI thread";
    ASSERT_TRUE(PaintedAfter(before));
    EXPECT_EQ(Shown().pixel(key), qRgb(255, 0, 0));
    before = Console().Repaints();
    SendFromMidiThread(0x81u | (60u << 8));
    ASSERT_TRUE(PaintedAfter(before));
    EXPECT_EQ(Shown().pixel(key), qRgb(255, 255, 255));

    // The enclosure follows controller 1 on channel 1: closed, its bar dark.
    const Enclosure& swell = TheOrgan().Enclosures()[0];
    const QPoint barTop(swell.indicatorX + 22, swell.indicatorY + 16);
    EXPECT_EQ(Shown().pixel(barTop), qRgb(151, 129, 60));
    before = Console().Repaints();
    SendFromMidiThread(0xB0u | (1u << 8) | (0u << 16));
    ASSERT_TRUE(PaintedAfter(before));
    EXPECT_EQ(Shown().pixel(barTop), qRgb(102, 82, 28));
    EXPECT_EQ(Shown(), Console().Renderer().Canvas().convertToFormat(QImage::Format_RGB32));
}

TEST_F(LiveConsole, AGeneralSettingSixtyDrawstopsRepaintsOnce) {
    Load();
    const QImage off = Shown();
    int before = Console().Repaints();
    std::thread midi([&] { TheOrgan().PressGeneral(0); });
    midi.join();
    ASSERT_TRUE(PaintedAfter(before));
    Settle();
    EXPECT_EQ(Console().Repaints(), before + 1);
    for (int s = 0; s < kGeneralStops; ++s)
        ASSERT_TRUE(TheOrgan().manuals[1].GetStop(s)->Engaged()) << s;
    const Stop& first = *TheOrgan().manuals[1].GetStop(0);
    const QRect picture(first.pictureRect.left, first.pictureRect.top, 65, 65);
    EXPECT_NE(Shown().copy(picture), off.copy(picture));
    EXPECT_EQ(Shown(), Console().Renderer().Canvas().convertToFormat(QImage::Format_RGB32));
}

TEST_F(LiveConsole, TheWindowsKeysReachTheConsoleUnlessACommandOwnsThem) {
    Load();
    Stop& shortcut = *TheOrgan().manuals[1].GetStop(0);
    // Plain P toggles its stop, and again with every auto-repeat.
    Key(QEvent::KeyPress, Qt::Key_P);
    EXPECT_TRUE(shortcut.Engaged());
    Key(QEvent::KeyPress, Qt::Key_P, Qt::NoModifier, true);
    EXPECT_FALSE(shortcut.Engaged());
    Key(QEvent::KeyRelease, Qt::Key_P);
    // Ctrl+P is the greyed Stop Recording command: nothing happens at all.
    ASSERT_FALSE(Window().Action(MainWindow::Command::StopRecording)->isEnabled());
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(shortcut.Engaged());
    EXPECT_EQ(rig.errors.Count(), 0u);

    // F3 sends redirectable input A to manual 2, F6 input B too.
    Window().UpdatePanes();
    EXPECT_EQ(Window().PaneText(Pane::RedirectA).toStdString(), "Redirectable Input A: Manual 1");
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_F3);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_F6);
    EXPECT_EQ(Window().PaneText(Pane::RedirectA).toStdString(), "Redirectable Input A: Manual 2");
    EXPECT_EQ(Window().PaneText(Pane::RedirectB).toStdString(), "Redirectable Input B: Manual 2");

    // The arrows step the registration frames; the pane follows at once.
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Right);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Right);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Left);
    EXPECT_EQ(TheOrgan().frameNumber.load(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().PaneLabel(Pane::Frame)->text().toStdString(), "Registration Frame: 2");

    // Shift holds capture mode while it is down.
    Key(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(TheOrgan().captureMode.load());
    Key(QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_FALSE(TheOrgan().captureMode.load());

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
    ASSERT_TRUE(Window().LoadOrganFromPath(WriteConsoleOrgan(rig)));
    ASSERT_FALSE(Window().Action(MainWindow::Command::ResetNotes)->isEnabled());
    ASSERT_TRUE(rig.ports.Send(0, 0x91u | (60u << 8) | (100u << 16)));
    QTest::keyClick(&Console(), Qt::Key_Escape);
    EXPECT_EQ(TheOrgan().manuals[1].keys[24].holds, 0u);
}

}  // namespace
}  // namespace tessaline
