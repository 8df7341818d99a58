// Pixels of the drawn console where the drawing is exact (keys, drawstop and
// button pictures, label plates, enclosure bars); clicks,
// shortcut keys and shift through the organ and the widget's Qt events.

#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "console/ConsolePalette.h"
#include "console/render/ConsoleArtwork.h"
#include "console/render/ConsoleRenderer.h"
#include "console/render/ConsoleWidget.h"
#include "console/render/KeyCodes.h"
#include "organ/Stop.h"
#include "platform/DataDirectory.h"
#include "support/CombinationSections.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline::test {
namespace {

// A 4-column organ with pedals and an enclosure. Manual 1 has three stops:
// 1 (shown inverted) and 2 share shortcut key A (65), 3 is hidden with
// shortcut key left arrow (37). A general button on row 1, and a label at
// (10, 10) on the left jamb.
OrganFileBuilder ConsoleOrgan(const TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    SetManual(b, 0, 32, {});
    SetManual(b, 1, 61, {1, 2, 3});
    for (int n = 1; n <= 3; ++n) SetStop(b, n, WritePipeWavs(dir, "p" + std::to_string(n), 61));
    for (auto [stop, key, value] : {std::tuple{"Stop001", "DisplayInInvertedState", "Y"},
                                    {"Stop001", "ShortcutKey", "65"}, {"Stop002", "ShortcutKey", "65"},
                                    {"Stop003", "ShortcutKey", "37"}, {"Stop003", "Displayed", "N"}})
        b.Set(stop, key, value);
    b.Set("Organ", "NumberOfGenerals", "1");
    SetGeneral(b, 1, 1, 2, {{1, 1}});
    b.Set("Organ", "NumberOfEnclosures", "1");
    for (auto [key, value] :
         {std::pair{"Name", "Sw"}, {"MIDIInputNumber", "1"}, {"AmpMinimumLevel", "0"}})
        b.Set("Enclosure001", key, value);
    b.Set("Organ", "NumberOfLabels", "1");
    for (auto [key, value] : {std::pair{"Name", "Hi"}, {"DispImageNum", "1"}, {"FreeXPlacement", "Y"},
                              {"FreeYPlacement", "Y"}, {"DispXpos", "10"}, {"DispYpos", "10"},
                              {"DispLabelColour", "Black"}, {"DispLabelFontSize", "Normal"}})
        b.Set("Label001", key, value);
    return b;
}

struct RenderRig : OrganRig {
    RenderRig() {
        organ.SetDataDirectory(DefaultDataDirectory());
        EXPECT_TRUE(artwork.Load(DefaultDataDirectory())) << artwork.Missing();
    }
    // Loads the console organ and sizes the canvas to the client area the load chose.
    void LoadAndSize() {
        EXPECT_TRUE(Load(ConsoleOrgan(dir))) << ::testing::PrintToString(errors.Messages());
        SizeToClient(renderer);
    }
    // Sizes a renderer's canvas (the rig's own or a widget's) to the client area.
    void SizeToClient(ConsoleRenderer& r) const {
        r.SetClientSize(static_cast<int>(view.ClientWidth()), static_cast<int>(view.ClientHeight()));
    }
    QRgb Pixel(int x, int y) const { return renderer.Canvas().pixel(x, y); }
    Stop& StopAt(int s) { return *organ.manuals[1].GetStop(s); }

    ConsoleArtwork artwork;
    ConsoleRenderer renderer{organ, artwork};
};

QRgb ToRgb(Colour c) { return qRgb(c.red, c.green, c.blue); }

// The first pixel where the mask shows the picture and, when `differing`,
// the two drawstop pictures differ (below the name drawn over the middle).
QPoint PicturePixel(const QImage& mask, const QImage& a, const QImage& b, bool differing) {
    for (int y = differing ? 51 : 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixel(x, y) == qRgb(255, 255, 255) &&
                (!differing || a.pixel(x, y) != b.pixel(x, y)))
                return {x, y};
    return {-1, -1};
}

TEST(ConsoleDrawing, KeysDrawstopsButtonsAndLabelPlatesShowTheirState) {
    RenderRig rig;
    rig.LoadAndSize();
    rig.renderer.DrawConsole();
    Manual& great = rig.organ.manuals[1];
    ManualKey& c = great.keys[0];       // a natural: NotchRight, lower part 0..11 x 20..32
    ManualKey& cSharp = great.keys[1];  // an accidental: 0..4 x 0..19
    auto lower = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 5, key.position.y + 25); };
    auto upper = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 2, key.position.y + 5); };
    EXPECT_EQ(upper(cSharp), ToRgb(kManualKeyDark));
    // The gap between two naturals is key bed.
    EXPECT_EQ(rig.Pixel(c.position.x + 11, c.position.y + 25), ToRgb(kConsoleGrey));

    c.holds = 2;
    c.directHolds = 1;
    cSharp.holds = 1;
    rig.renderer.DrawKey(great, 0);
    rig.renderer.DrawKey(great, 1);
    EXPECT_EQ(lower(c), ToRgb(kKeyHeldDirectly));
    EXPECT_EQ(upper(cSharp), ToRgb(kKeyHeldByCoupler));

    // Drawstops, buttons and label plates over the jamb.
    const ConsoleArtwork& art = rig.artwork;
    QPoint at = PicturePixel(art.drawstopMask[0], art.drawstopOn[0], art.drawstopOff[0], true);
    QPoint button = PicturePixel(art.buttonMask[0], art.button[0], art.button[0], false);
    ASSERT_GE(at.x(), 0);
    ASSERT_GE(button.x(), 0);
    const Control& general = rig.organ.generals[0];
    EXPECT_EQ(rig.Pixel(general.pictureRect.left + button.x(), general.pictureRect.top + button.y()),
              art.button[0].pixel(button));
    Stop& inverted = rig.StopAt(0);
    Stop& plain = rig.StopAt(1);
    auto shown = [&](const Stop& s) {
        return rig.Pixel(s.pictureRect.left + at.x(), s.pictureRect.top + at.y());
    };
    EXPECT_EQ(shown(inverted), art.drawstopOn[0].pixel(at));
    EXPECT_EQ(shown(plain), art.drawstopOff[0].pixel(at));

    // Mark a pixel outside the drawstops: redrawing them must leave it.
    const_cast<QImage&>(rig.renderer.Canvas()).setPixel(2, 2, qRgb(255, 0, 255));
    inverted.Engage();
    plain.Engage();
    rig.renderer.DrawDrawstop(inverted);
    rig.renderer.DrawDrawstop(plain);
    EXPECT_EQ(shown(inverted), art.drawstopOff[0].pixel(at));
    EXPECT_EQ(shown(plain), art.drawstopOn[0].pixel(at));
    EXPECT_EQ(rig.Pixel(2, 2), qRgb(255, 0, 255));
    // Where the mask is black the jamb shows through.
    const Rect jamb = rig.organ.Layout().LeftJamb();
    int x = plain.pictureRect.left, y = plain.pictureRect.top;
    ASSERT_EQ(art.drawstopMask[0].pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(rig.Pixel(x, y), art.Tile(1).pixel((x - static_cast<int>(jamb.left)) % 256, y % 256));

    // The label plate at (10, 10) over the left jamb, which starts at (0, 0):
    // its left end, clear of the centred name.
    for (int py = 0; py < 22; ++py)
        for (int px = 0; px < 12; ++px) {
            QRgb expected = art.plateMask.pixel(px, py) == qRgb(0, 0, 0)
                                ? art.Tile(1).pixel(10 + px, 10 + py)
                                : art.plate.pixel(px, py);
            ASSERT_EQ(rig.Pixel(10 + px, 10 + py), expected) << px << "," << py;
        }
}

TEST(ConsoleRedrawQueue, EnclosureBarsRedrawOnlyWhenTheirLitHeightChangesAndUnloadDropsRedraws) {
    EXPECT_EQ(EnclosureLitHeight(3), 1u);
    // Beyond the controller range the bar stays within its 45 pixels.
    EXPECT_EQ(EnclosureLitHeight(255), 45u);

    RenderRig rig;
    rig.LoadAndSize();
    ConsoleWidget widget(rig.organ, rig.artwork);
    rig.SizeToClient(widget.Renderer());
    widget.QueueRedraw();
    ASSERT_TRUE(widget.Flush());
    Enclosure& enclosure = rig.organ.Enclosures()[0];
    const int x = enclosure.indicatorX, y = enclosure.indicatorY;
    auto pixel = [&](int dx, int dy) { return widget.Renderer().Canvas().pixel(x + dx, y + dy); };
    // A loaded enclosure starts fully open: 45 lit pixels.
    EXPECT_EQ(pixel(5 + 17, 16), ToRgb(kEnclosureOpen));

    ASSERT_TRUE(enclosure.SetValue(64));  // 45 x 64 / 127 = 22 lit
    widget.QueueEnclosureBarRedraw(0);
    EXPECT_TRUE(widget.Flush());
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 23), ToRgb(kEnclosureClosed));
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 22), ToRgb(kEnclosureOpen));
    // Out of range requests are ignored; a value that lights as many pixels
    // draws nothing.
    widget.QueueEnclosureBarRedraw(-1);
    widget.QueueEnclosureBarRedraw(kMaxEnclosures);
    EXPECT_FALSE(widget.Flush());
    EXPECT_FALSE(widget.Renderer().DrawEnclosureBar(0, x, y, 63));

    // A redraw queued before an unload is dropped: the flush must not draw
    // the stop that is gone on the cleared canvas.
    ControlRect where = rig.StopAt(0).pictureRect;
    widget.QueueControlRedraw(rig.StopAt(0));
    ASSERT_TRUE(rig.organ.Unload(true));
    rig.SizeToClient(widget.Renderer());
    widget.Flush();
    EXPECT_EQ(widget.Renderer().Canvas().pixel(where.left + 32, where.top + 32), ToRgb(kConsoleGrey));
}

void SendKey(ConsoleWidget& widget, QEvent::Type type, int key, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(&widget, &event);
}

TEST(ConsoleInput, ClicksHitFramesToTheirEdgesAndShortcutsActOnEveryMatchingControl) {
    RenderRig rig;
    rig.LoadAndSize();
    Stop& stop = rig.StopAt(0);
    const ControlRect f = stop.frame;
    rig.organ.OnLeftButtonDown(f.right, f.bottom);
    EXPECT_TRUE(stop.Engaged());
    rig.organ.OnLeftButtonDown(f.left, f.top);
    EXPECT_FALSE(stop.Engaged());
    rig.organ.OnLeftButtonDown(f.right + 1, f.top);
    rig.organ.OnLeftButtonDown(f.left, f.bottom + 1);
    // The keys of a keyboard do not answer clicks, nor does a hidden drawstop.
    const ManualKey& key = rig.organ.manuals[1].keys[10];
    rig.organ.OnLeftButtonDown(static_cast<int32_t>(key.position.x) + 2,
                               static_cast<int32_t>(key.position.y) + 25);
    Stop& hidden = rig.StopAt(2);
    rig.organ.OnLeftButtonDown(hidden.frame.left + 10, hidden.frame.top + 10);
    for (int s = 0; s < 3; ++s) EXPECT_FALSE(rig.StopAt(s).Engaged()) << s;

    // Every control with the key acts; key 0 matches none. Key 37 is also the
    // left arrow; the hidden control acts on it all the same.
    rig.organ.OnKeyDown(65);
    rig.organ.OnKeyDown(0);
    rig.organ.OnKeyDown(37);
    EXPECT_TRUE(stop.Engaged() && rig.StopAt(1).Engaged() && hidden.Engaged());
    rig.organ.OnKeyDown(37);
    EXPECT_FALSE(hidden.Engaged());

    // Without an organ nothing acts and capture mode stays off.
    ASSERT_TRUE(rig.organ.Unload(false));
    rig.organ.OnLeftButtonDown(f.left + 5, f.top + 5);
    rig.organ.OnKeyDown(65);
    rig.organ.SetCaptureMode(true);
    EXPECT_FALSE(rig.organ.captureMode.load());
}

TEST(ConsoleInput, ShiftHoldsCaptureModeAndQtKeysBecomeVirtualKeyCodes) {
    RenderRig rig;
    rig.LoadAndSize();
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

    // Qt keys become virtual key codes; shifted keys give the code of their unshifted key.
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Exclam, Qt::ShiftModifier), 49u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_F8, Qt::NoModifier), 119u);
    // The keypad has codes of its own.
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Plus, Qt::KeypadModifier), 107u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_Plus, Qt::NoModifier), 187u);
    EXPECT_EQ(VirtualKeyCode(Qt::Key_VolumeUp, Qt::NoModifier), 0u);
}

}  // namespace
}  // namespace tessaline::test

// Drawing needs a GUI application object; the tests run on the offscreen platform.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
