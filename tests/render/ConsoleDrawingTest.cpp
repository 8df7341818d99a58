// Pixels of the drawn console where the drawing is exact: the empty face,
// tiling, key colours, drawstop pictures, label plates and enclosure bars.

#include <gtest/gtest.h>

#include "organ/Stop.h"
#include "render/RenderRig.h"

namespace tessaline::test {
namespace {

// A 4-column organ with pedals: two stops on manual 1, the first shown
// inverted, and a label at (10, 10) on the left jamb.
OrganFileBuilder ConsoleOrgan(const TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "HasPedals", "Y");
    SetManual(b, 0, 32, {});
    SetManual(b, 1, 61, {1, 2});
    SetStop(b, 1, WritePipeWavs(dir, "p1", 61));
    SetStop(b, 2, WritePipeWavs(dir, "p2", 61));
    b.Set("Stop001", "DisplayInInvertedState", "Y");
    b.Set("Organ", "NumberOfLabels", "1");
    b.Set("Label001", "Name", "Hi");
    b.Set("Label001", "DispImageNum", "1");
    b.Set("Label001", "FreeXPlacement", "Y");
    b.Set("Label001", "FreeYPlacement", "Y");
    b.Set("Label001", "DispXpos", "10");
    b.Set("Label001", "DispYpos", "10");
    b.Set("Label001", "DispLabelColour", "Black");
    b.Set("Label001", "DispLabelFontSize", "Normal");
    return b;
}

TEST(ConsoleDrawing, WithoutAnOrganTheWholeFaceIsPlainGrey) {
    RenderRig rig;
    rig.renderer.SetClientSize(120, 90);
    rig.renderer.TileRegion(7, 0, 0, 120, 90);
    ASSERT_NE(rig.Pixel(5, 5), ToRgb(kConsoleGrey));
    rig.renderer.DrawConsole();
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x) ASSERT_EQ(rig.Pixel(x, y), ToRgb(kConsoleGrey)) << x << "," << y;
}

TEST(ConsoleDrawing, ARegionIsTiledFromItsOwnCornerInBlocksOf256) {
    RenderRig rig;
    rig.renderer.SetClientSize(400, 300);
    const QImage& tile = rig.artwork.Tile(3);
    // 300 wide: a full block and a 44-pixel block, both from the tile's left
    // edge; 260 high: a full block and a 4-pixel one from its top.
    rig.renderer.TileRegion(3, 20, 30, 320, 290);
    for (int y : {0, 100, 255})
        for (int x : {0, 1, 128, 255}) EXPECT_EQ(rig.Pixel(20 + x, 30 + y), tile.pixel(x, y)) << x << "," << y;
    for (int x : {0, 10, 43}) EXPECT_EQ(rig.Pixel(276 + x, 30 + 7), tile.pixel(x, 7)) << x;
    for (int y : {0, 3}) EXPECT_EQ(rig.Pixel(20 + 9, 286 + y), tile.pixel(9, y)) << y;
    // Nothing past the region's right and bottom edges.
    EXPECT_EQ(rig.Pixel(320, 40), ToRgb(kConsoleGrey));
    EXPECT_EQ(rig.Pixel(40, 290), ToRgb(kConsoleGrey));
    EXPECT_EQ(rig.Pixel(19, 40), ToRgb(kConsoleGrey));
    // A region reaching far off the canvas keeps its anchor.
    rig.renderer.TileRegion(3, -256 * 1000 - 5, 0, 100, 10);
    EXPECT_EQ(rig.Pixel(0, 0), tile.pixel(5, 0));
}

TEST(ConsoleDrawing, AKeyIsRedWhileHeldDirectlyBlueWhileHeldByCouplersOnly) {
    RenderRig rig;
    ASSERT_TRUE(rig.LoadAndSize(ConsoleOrgan(rig.dir)));
    rig.renderer.DrawConsole();
    Manual& great = rig.organ.manuals[1];
    ManualKey& c = great.keys[0];     // a natural: NotchRight, lower part 0..11 x 20..32
    ManualKey& cSharp = great.keys[1];  // an accidental: 0..4 x 0..19
    auto lower = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 5, key.position.y + 25); };
    auto upper = [&](const ManualKey& key) { return rig.Pixel(key.position.x + 2, key.position.y + 5); };
    EXPECT_EQ(lower(c), ToRgb(kManualKeyLight));
    EXPECT_EQ(upper(cSharp), ToRgb(kManualKeyDark));

    c.holds = 2;
    c.directHolds = 1;
    cSharp.holds = 1;
    rig.renderer.DrawKey(great, 0);
    rig.renderer.DrawKey(great, 1);
    EXPECT_EQ(lower(c), ToRgb(kKeyHeldDirectly));
    EXPECT_EQ(upper(c), ToRgb(kKeyHeldDirectly));
    EXPECT_EQ(upper(cSharp), ToRgb(kKeyHeldByCoupler));
    // The gap between two naturals stays key bed.
    EXPECT_EQ(rig.Pixel(c.position.x + 11, c.position.y + 25), ToRgb(kConsoleGrey));

    c.holds = c.directHolds = cSharp.holds = 0;
    rig.renderer.DrawKey(great, 0);
    rig.renderer.DrawKey(great, 1);
    EXPECT_EQ(lower(c), ToRgb(kManualKeyLight));
    EXPECT_EQ(upper(cSharp), ToRgb(kManualKeyDark));
}

TEST(ConsoleDrawing, InvertedKeyColoursOnAManualAndOnThePedal) {
    RenderRig rig;
    OrganFileBuilder b = ConsoleOrgan(rig.dir);
    b.Set("Manual000", "DispKeyColourInverted", "Y");
    b.Set("Manual001", "DispKeyColourInverted", "Y");
    ASSERT_TRUE(rig.LoadAndSize(b));
    rig.renderer.DrawConsole();
    const ManualKey& pedalC = rig.organ.manuals[0].keys[0];
    const ManualKey& pedalCSharp = rig.organ.manuals[0].keys[1];
    const ManualKey& greatC = rig.organ.manuals[1].keys[0];
    const ManualKey& greatCSharp = rig.organ.manuals[1].keys[1];
    EXPECT_EQ(rig.Pixel(pedalC.position.x + 5, pedalC.position.y + 25), qRgb(96, 57, 36));
    EXPECT_EQ(rig.Pixel(pedalCSharp.position.x + 2, pedalCSharp.position.y + 5), qRgb(235, 203, 24));
    EXPECT_EQ(rig.Pixel(greatC.position.x + 5, greatC.position.y + 25), qRgb(0, 0, 0));
    EXPECT_EQ(rig.Pixel(greatCSharp.position.x + 2, greatCSharp.position.y + 5), qRgb(255, 255, 255));
    // The pedal has no key bed: its gaps show the key strip's tile.
    const Rect strip = rig.organ.Layout().KeyStrip(0);
    int gapX = static_cast<int>(pedalC.position.x) + 11, gapY = static_cast<int>(pedalC.position.y) + 25;
    EXPECT_EQ(rig.Pixel(gapX, gapY),
              rig.artwork.Tile(4).pixel(gapX - static_cast<int>(strip.left), gapY - static_cast<int>(strip.top)));
}

// A pixel of the drawstop picture where the mask shows the picture and the
// two pictures differ.
QPoint DifferingPicturePixel(const ConsoleArtwork& art) {
    for (int y = 0; y < 65; ++y)
        for (int x = 0; x < 65; ++x)
            if (art.drawstopMask[0].pixel(x, y) == qRgb(255, 255, 255) &&
                art.drawstopOn[0].pixel(x, y) != art.drawstopOff[0].pixel(x, y) && y > 50)
                return {x, y};
    return {-1, -1};
}

TEST(ConsoleDrawing, AnInvertedDrawstopShowsTheOtherPictureAndRedrawsOnlyItsBlock) {
    RenderRig rig;
    ASSERT_TRUE(rig.LoadAndSize(ConsoleOrgan(rig.dir)));
    rig.renderer.DrawConsole();
    QPoint at = DifferingPicturePixel(rig.artwork);
    ASSERT_GE(at.x(), 0);
    Stop& inverted = *rig.organ.manuals[1].GetStop(0);
    Stop& plain = *rig.organ.manuals[1].GetStop(1);
    auto shown = [&](const Stop& s) {
        return rig.Pixel(s.pictureRect.left + at.x(), s.pictureRect.top + at.y());
    };
    EXPECT_EQ(shown(inverted), rig.artwork.drawstopOn[0].pixel(at));
    EXPECT_EQ(shown(plain), rig.artwork.drawstopOff[0].pixel(at));

    // Mark a pixel outside the drawstop: a single redraw must leave it.
    QImage& canvas = const_cast<QImage&>(rig.renderer.Canvas());
    canvas.setPixel(2, 2, qRgb(255, 0, 255));
    inverted.Engage();
    plain.Engage();
    rig.renderer.DrawDrawstop(inverted);
    rig.renderer.DrawDrawstop(plain);
    EXPECT_EQ(shown(inverted), rig.artwork.drawstopOff[0].pixel(at));
    EXPECT_EQ(shown(plain), rig.artwork.drawstopOn[0].pixel(at));
    EXPECT_EQ(rig.Pixel(2, 2), qRgb(255, 0, 255));
    // Where the mask is black the jamb shows through.
    const Rect jamb = rig.organ.Layout().LeftJamb();
    int x = plain.pictureRect.left, y = plain.pictureRect.top;
    ASSERT_EQ(rig.artwork.drawstopMask[0].pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(rig.Pixel(x, y), rig.artwork.Tile(1).pixel((x - static_cast<int>(jamb.left)) % 256, y % 256));
}

TEST(ConsoleDrawing, ALabelPlateIsComposedOverTheJamb) {
    RenderRig rig;
    ASSERT_TRUE(rig.LoadAndSize(ConsoleOrgan(rig.dir)));
    rig.renderer.DrawConsole();
    const QImage& mask = rig.artwork.plateMask;
    const QImage& jambTile = rig.artwork.Tile(1);  // the left jamb starts at (0, 0)
    int checkedBackground = 0, checkedPlate = 0;
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 12; ++x) {  // the plate's left end, clear of the centred name
            if (mask.pixel(x, y) == qRgb(0, 0, 0)) {
                EXPECT_EQ(rig.Pixel(10 + x, 10 + y), jambTile.pixel(10 + x, 10 + y)) << x << "," << y;
                ++checkedBackground;
            } else {
                EXPECT_EQ(rig.Pixel(10 + x, 10 + y), rig.artwork.plate.pixel(x, y)) << x << "," << y;
                ++checkedPlate;
            }
        }
    EXPECT_GT(checkedBackground, 0);
    EXPECT_GT(checkedPlate, 0);
}

TEST(ConsoleDrawing, AnEnclosureBarRedrawsOnlyWhenItsLitHeightChanges) {
    RenderRig rig;
    rig.renderer.SetClientSize(200, 100);
    const int x = 20, y = 10;
    const QRgb closed = ToRgb(kEnclosureClosed), open = ToRgb(kEnclosureOpen);
    auto bar = [&](int row) { return rig.Pixel(x + 5 + 17, y + 16 + row); };

    rig.renderer.DrawEnclosure(0, x, y, "Sw", 0);
    EXPECT_EQ(bar(0), closed);
    EXPECT_EQ(bar(44), closed);
    EXPECT_EQ(rig.Pixel(x + 1, y + 50), ToRgb(kEnclosurePanel));
    EXPECT_EQ(rig.Pixel(x + 5 + 35, y + 30), ToRgb(kEnclosurePanel));  // right of the bar

    EXPECT_TRUE(rig.renderer.DrawEnclosureBar(0, x, y, 125));
    EXPECT_EQ(bar(0), closed);
    EXPECT_EQ(bar(1), open);
    EXPECT_EQ(bar(44), open);
    // 126 lights 44 pixels as 125 does: nothing is drawn.
    const_cast<QImage&>(rig.renderer.Canvas()).setPixel(x + 5, y + 16 + 30, qRgb(1, 2, 3));
    EXPECT_FALSE(rig.renderer.DrawEnclosureBar(0, x, y, 126));
    EXPECT_EQ(rig.Pixel(x + 5, y + 16 + 30), qRgb(1, 2, 3));
    EXPECT_TRUE(rig.renderer.DrawEnclosureBar(0, x, y, 127));
    EXPECT_EQ(bar(0), open);
    EXPECT_EQ(rig.Pixel(x + 5, y + 16 + 30), open);
    // A full panel draw always draws its bar again.
    rig.renderer.DrawEnclosure(0, x, y, "Sw", 127);
    EXPECT_EQ(bar(0), open);
}

TEST(ConsolePalette, KeyColoursAndLitHeights) {
    EXPECT_EQ(KeyNormalColour(false, false, KeyShape::Plain), kManualKeyLight);
    EXPECT_EQ(KeyNormalColour(false, false, KeyShape::BlackKey), kManualKeyDark);
    EXPECT_EQ(KeyNormalColour(true, false, KeyShape::NotchBoth), kPedalKeyLight);
    EXPECT_EQ(KeyNormalColour(true, true, KeyShape::NotchBoth), kPedalKeyDark);
    EXPECT_EQ(KeyNormalColour(true, true, KeyShape::BlackKey), kPedalKeyLight);
    EXPECT_EQ(KeyColour(3, 1, kManualKeyLight), kKeyHeldDirectly);
    EXPECT_EQ(KeyColour(3, 0, kManualKeyLight), kKeyHeldByCoupler);
    EXPECT_EQ(KeyColour(0, 0, kPedalKeyDark), kPedalKeyDark);
    EXPECT_EQ(EnclosureLitHeight(0), 0u);
    EXPECT_EQ(EnclosureLitHeight(2), 0u);
    EXPECT_EQ(EnclosureLitHeight(3), 1u);
    EXPECT_EQ(EnclosureLitHeight(125), 44u);
    EXPECT_EQ(EnclosureLitHeight(126), 44u);
    EXPECT_EQ(EnclosureLitHeight(127), 45u);
    // Beyond the controller range the bar stays within its 45 pixels.
    EXPECT_EQ(EnclosureLitHeight(255), 45u);
}

}  // namespace
}  // namespace tessaline::test
