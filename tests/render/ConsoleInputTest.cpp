// Clicks, shortcut keys and shift on the console, through the organ's entry
// points and through the widget's Qt events; the widget's redraw queue.

#include <gtest/gtest.h>

#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include "console/render/ConsoleWidget.h"
#include "console/render/KeyCodes.h"
#include "organ/Stop.h"
#include "render/RenderRig.h"

namespace tessaline::test {
namespace {

struct InputRig : RenderRig {
    InputRig() { LoadAndSize(); }
};

TEST(ConsoleInput, AClickHitsAFrameUpToItsRightAndBottomEdges) {
    InputRig rig;
    Stop& stop = rig.StopAt(0);
    const ControlRect f = stop.frame;
    ASSERT_EQ(f.right - f.left, 74);
    ASSERT_EQ(f.bottom - f.top, 65);
    rig.organ.OnLeftButtonDown(f.right, f.bottom);
    EXPECT_TRUE(stop.Engaged());
    rig.organ.OnLeftButtonDown(f.left, f.top);
    EXPECT_FALSE(stop.Engaged());
    rig.organ.OnLeftButtonDown(f.right + 1, f.top);
    rig.organ.OnLeftButtonDown(f.left, f.bottom + 1);
    EXPECT_FALSE(stop.Engaged());
    // The keys of a keyboard do not answer clicks.
    const ManualKey& key = rig.organ.manuals[1].keys[10];
    rig.organ.OnLeftButtonDown(static_cast<int32_t>(key.position.x) + 2,
                               static_cast<int32_t>(key.position.y) + 25);
    for (int s = 0; s < 3; ++s) EXPECT_FALSE(rig.StopAt(s).Engaged()) << s;
}

TEST(ConsoleInput, AHiddenDrawstopIgnoresClicksButAnswersItsShortcutKey) {
    InputRig rig;
    Stop& hidden = rig.StopAt(2);
    rig.organ.OnLeftButtonDown(hidden.frame.left + 10, hidden.frame.top + 10);
    EXPECT_FALSE(hidden.Engaged());
    // Key 37 is also the left arrow; the control acts on it all the same.
    rig.organ.OnKeyDown(37);
    EXPECT_TRUE(hidden.Engaged());
    rig.organ.OnKeyDown(37);
    EXPECT_FALSE(hidden.Engaged());
}

TEST(ConsoleInput, EveryControlWithTheKeyActsAndKeyZeroMatchesNone) {
    InputRig rig;
    rig.organ.OnKeyDown(65);
    EXPECT_TRUE(rig.StopAt(0).Engaged());
    EXPECT_TRUE(rig.StopAt(1).Engaged());
    EXPECT_FALSE(rig.StopAt(2).Engaged());
    rig.organ.OnKeyDown(66);
    rig.organ.OnKeyDown(0);
    EXPECT_TRUE(rig.StopAt(0).Engaged());
    EXPECT_FALSE(rig.StopAt(2).Engaged());
    EXPECT_FALSE(rig.StopAt(0).MatchesKey(0));
}

TEST(ConsoleInput, WithoutAnOrganNothingActsAndCaptureModeStaysOff) {
    InputRig rig;
    Stop& stop = rig.StopAt(0);
    ControlRect f = stop.frame;
    ASSERT_TRUE(rig.organ.Unload(false));
    rig.organ.OnLeftButtonDown(f.left + 5, f.top + 5);
    rig.organ.OnKeyDown(65);
    rig.organ.SetCaptureMode(true);
    EXPECT_FALSE(rig.organ.captureMode.load());
}

void SendKey(ConsoleWidget& widget, QEvent::Type type, int key, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(&widget, &event);
}

TEST(ConsoleInput, ShiftHoldsCaptureModeAndNeverReachesTheShortcuts) {
    InputRig rig;
    ConsoleWidget widget(rig.organ, rig.artwork);
    SendKey(widget, QEvent::KeyPress, Qt::Key_Shift, false, Qt::ShiftModifier);
    EXPECT_TRUE(rig.organ.captureMode.load());
    // While shift is held, auto-repeat sends releases that are not real.
    SendKey(widget, QEvent::KeyRelease, Qt::Key_Shift, true);
    EXPECT_TRUE(rig.organ.captureMode.load());
    // Shifted A still acts on its controls.
    SendKey(widget, QEvent::KeyPress, Qt::Key_A, false, Qt::ShiftModifier);
    EXPECT_TRUE(rig.StopAt(0).Engaged());
    SendKey(widget, QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_FALSE(rig.organ.captureMode.load());

    // Switched on from the menu: shift keeps it on, releasing shift ends it.
    rig.organ.SetCaptureMode(true);
    SendKey(widget, QEvent::KeyPress, Qt::Key_Shift, false, Qt::ShiftModifier);
    EXPECT_TRUE(rig.organ.captureMode.load());
    SendKey(widget, QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_FALSE(rig.organ.captureMode.load());
}

TEST(ConsoleInput, QtKeysBecomeVirtualKeyCodes) {
    // Shifted keys give the code of their unshifted key.
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Z, Qt::ShiftModifier), 90u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Exclam, Qt::ShiftModifier), 49u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Colon, Qt::ShiftModifier), 186u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_F8, Qt::NoModifier), 119u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Left, Qt::NoModifier), 37u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Shift, Qt::ShiftModifier), 16u);
    // The keypad has codes of its own.
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Plus, Qt::KeypadModifier), 107u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Plus, Qt::NoModifier), 187u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_VolumeUp, Qt::NoModifier), 0u);
}

TEST(ConsoleRedrawQueue, ARedrawQueuedBeforeAnUnloadIsDropped) {
    InputRig rig;
    ConsoleWidget widget(rig.organ, rig.artwork);
    rig.SizeToClient(widget.Renderer());
    ControlRect where = rig.StopAt(0).pictureRect;
    widget.QueueControlRedraw(rig.StopAt(0));
    ASSERT_TRUE(rig.organ.Unload(true));
    // The stop is gone; the flush must not draw it.
    EXPECT_TRUE(widget.Flush());
    EXPECT_EQ(widget.Renderer().Canvas().pixel(where.left + 32, where.top + 32), qRgb(128, 128, 128));
}

TEST(ConsoleRedrawQueue, RequestsFromAnotherThreadArePaintedByTheEventLoop) {
    InputRig rig;
    ConsoleWidget widget(rig.organ, rig.artwork);
    widget.Renderer().SetClientSize(200, 200);
    int before = widget.Repaints();
    std::thread midi([&] {
        for (int i = 0; i < 20; ++i) widget.QueueKeyRedraw(1, i);
    });
    midi.join();
    QElapsedTimer clock;
    clock.start();
    while (widget.Repaints() == before && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(widget.Repaints(), before + 1);
}

}  // namespace
}  // namespace tessaline::test
