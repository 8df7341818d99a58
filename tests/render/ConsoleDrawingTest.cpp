// Pixels of the drawn console where the drawing is exact: tiling, keys,
// drawstop and button pictures, label plates and enclosure bars.

#include <QApplication>

#include "console/render/ConsoleWidget.h"
#include "render/RenderRig.h"

namespace tessaline::test {
namespace {

TEST(ConsoleDrawing, ARegionIsTiledFromItsOwnCornerInBlocksOf256) {
    RenderRig rig;
    rig.renderer.SetClientSize(400, 300);
    const QImage& tile = rig.artwork.Tile(3);
    // 300 wide: a full block and a 44-pixel block, both from the tile's left
    // edge; 260 high: a full block and a 4-pixel one from its top.
    rig.renderer.TileRegion(3, 20, 30, 320, 290);
    EXPECT_EQ(rig.Pixel(20 + 255, 30 + 100), tile.pixel(255, 100));
    EXPECT_EQ(rig.Pixel(276 + 43, 30 + 7), tile.pixel(43, 7));
    EXPECT_EQ(rig.Pixel(20 + 9, 286 + 3), tile.pixel(9, 3));
    // Nothing past the region's right and bottom edges.
    EXPECT_EQ(rig.Pixel(320, 40), ToRgb(kConsoleGrey));
    EXPECT_EQ(rig.Pixel(40, 290), ToRgb(kConsoleGrey));
    // A region reaching far off the canvas keeps its anchor.
    rig.renderer.TileRegion(3, -256 * 1000 - 5, 0, 100, 10);
    EXPECT_EQ(rig.Pixel(0, 0), tile.pixel(5, 0));
}

TEST(ConsoleDrawing, KeysShowWhoHoldsThemAndTheirManualsColours) {
    RenderRig rig;
    rig.LoadAndSize();
    rig.renderer.DrawConsole();
    Manual& great = rig.organ.manuals[1];
    ManualKey& c = great.keys[0];       // a natural: NotchRight, lower part 0..11 x 20..32
    ManualKey& cSharp = great.keys[1];  // an accidental: 0..4 x 0..19
    auto lower = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 5, key.position.y + 25); };
    auto upper = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 2, key.position.y + 5); };
    EXPECT_EQ(lower(c), ToRgb(kManualKeyLight));
    EXPECT_EQ(upper(cSharp), ToRgb(kManualKeyDark));
    // The gap between two naturals is key bed; the pedal has none, its gaps
    // show the key strip's tile.
    EXPECT_EQ(rig.Pixel(c.position.x + 11, c.position.y + 25), ToRgb(kConsoleGrey));
    const ManualKey& pedalC = rig.organ.manuals[0].keys[0];
    const Rect strip = rig.organ.Layout().KeyStrip(0);
    int gapX = static_cast<int>(pedalC.position.x) + 11, gapY = static_cast<int>(pedalC.position.y) + 25;
    EXPECT_EQ(rig.Pixel(gapX, gapY), rig.artwork.Tile(4).pixel(gapX - static_cast<int>(strip.left),
                                                                gapY - static_cast<int>(strip.top)));

    c.holds = 2;
    c.directHolds = 1;
    cSharp.holds = 1;
    rig.renderer.DrawKey(great, 0);
    rig.renderer.DrawKey(great, 1);
    EXPECT_EQ(lower(c), ToRgb(kKeyHeldDirectly));
    EXPECT_EQ(upper(c), ToRgb(kKeyHeldDirectly));
    EXPECT_EQ(upper(cSharp), ToRgb(kKeyHeldByCoupler));
    // Inverted pedal colours swap light and dark keys.
    EXPECT_EQ(KeyNormalColour(true, true, KeyShape::NotchBoth), kPedalKeyDark);
    EXPECT_EQ(KeyNormalColour(true, true, KeyShape::BlackKey), kPedalKeyLight);
}

// The first pixel where the mask shows the picture and, when `differing`,
// the two drawstop pictures differ (below the name drawn over the middle).
QPoint PicturePixel(const QImage& mask, const QImage& a, const QImage& b, bool differing) {
    for (int y = differing ? 51 : 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixel(x, y) == qRgb(255, 255, 255) && (!differing || a.pixel(x, y) != b.pixel(x, y)))
                return {x, y};
    return {-1, -1};
}

TEST(ConsoleDrawing, DrawstopsShowTheirStateAndButtonsTheirPictureOverTheJamb) {
    RenderRig rig;
    rig.LoadAndSize();
    rig.renderer.DrawConsole();
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
}

TEST(ConsoleDrawing, ALabelPlateIsComposedOverTheJamb) {
    RenderRig rig;
    rig.LoadAndSize();
    rig.renderer.DrawConsole();
    const QImage& mask = rig.artwork.plateMask;
    const QImage& jambTile = rig.artwork.Tile(1);  // the left jamb starts at (0, 0)
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 12; ++x) {  // the plate's left end, clear of the centred name
            QRgb expected = mask.pixel(x, y) == qRgb(0, 0, 0) ? jambTile.pixel(10 + x, 10 + y)
                                                              : rig.artwork.plate.pixel(x, y);
            ASSERT_EQ(rig.Pixel(10 + x, 10 + y), expected) << x << "," << y;
        }
    EXPECT_NE(mask.pixel(0, 0), mask.pixel(11, 11));
}

TEST(ConsoleDrawing, AnEnclosureBarRedrawsOnlyWhenItsLitHeightChanges) {
    EXPECT_EQ(EnclosureLitHeight(2), 0u);
    EXPECT_EQ(EnclosureLitHeight(3), 1u);
    EXPECT_EQ(EnclosureLitHeight(126), 44u);
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
    EXPECT_EQ(pixel(1, 50), ToRgb(kEnclosurePanel));
    // A loaded enclosure starts fully open: 45 lit pixels.
    EXPECT_EQ(pixel(5 + 17, 16), ToRgb(kEnclosureOpen));

    ASSERT_TRUE(enclosure.SetValue(64));  // 45 x 64 / 127 = 22 lit
    widget.QueueEnclosureBarRedraw(0);
    EXPECT_TRUE(widget.Flush());
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 23), ToRgb(kEnclosureClosed));
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 22), ToRgb(kEnclosureOpen));
    // Out of range requests are ignored.
    widget.QueueEnclosureBarRedraw(-1);
    widget.QueueEnclosureBarRedraw(kMaxEnclosures);
    EXPECT_FALSE(widget.Flush());
    // A value that lights as many pixels draws nothing.
    const_cast<QImage&>(widget.Renderer().Canvas()).setPixel(x + 5, y + 16 + 30, qRgb(1, 2, 3));
    EXPECT_FALSE(widget.Renderer().DrawEnclosureBar(0, x, y, 63));
    EXPECT_EQ(pixel(5, 16 + 30), qRgb(1, 2, 3));
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
