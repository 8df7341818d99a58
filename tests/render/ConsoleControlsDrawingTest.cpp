// The organ's own controls in the full repaint: general and piston buttons,
// divisional buttons, tremulant and divisional coupler drawstops, and the
// enclosure panels, whose bars the widget redraws on request.

#include <gtest/gtest.h>

#include "audio/Enclosure.h"
#include "console/render/ConsoleWidget.h"
#include "organ/Stop.h"
#include "render/RenderRig.h"
#include "support/CombinationSections.h"

namespace tessaline::test {
namespace {

// Manuals 1 and 2 with a stop each; a divisional on manual 1, a general, a
// reversible piston, a tremulant, a divisional coupler and an enclosure.
OrganFileBuilder ControlsOrgan(const TempDir& dir) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "NumberOfManuals", "2");
    SetManual(b, 1, 61, {1});
    SetManual(b, 2, 61, {2});
    SetStop(b, 1, WritePipeWavs(dir, "p1", 61));
    SetStop(b, 2, WritePipeWavs(dir, "p2", 61));
    b.Set("Manual001", "NumberOfDivisionals", "1");
    b.Set("Manual001", "Divisional001", "1");
    SetDivisional(b, 1, 1, 1, {1});
    b.Set("Organ", "NumberOfGenerals", "1");
    SetGeneral(b, 1, 1, 2, {{1, 1}});
    b.Set("Organ", "NumberOfReversiblePistons", "1");
    SetButtonKeys(b, "ReversiblePiston001", "R", 1, 4);
    b.Set("ReversiblePiston001", "ObjectType", "Stop");
    b.Set("ReversiblePiston001", "ManualNumber", "1");
    b.Set("ReversiblePiston001", "ObjectNumber", "1");
    b.Set("Organ", "NumberOfTremulants", "1");
    SetTremulant(b, 1);
    b.Set("Organ", "NumberOfDivisionalCouplers", "1");
    SetDrawstopKeys(b, "DivisionalCoupler001", "DC", 3, 2);
    b.Set("DivisionalCoupler001", "NumberOfManuals", "2");
    b.Set("DivisionalCoupler001", "Manual001", "1");
    b.Set("DivisionalCoupler001", "Manual002", "2");
    b.Set("DivisionalCoupler001", "BiDirectionalCoupling", "N");
    b.Set("Organ", "NumberOfEnclosures", "1");
    b.Set("Enclosure001", "Name", "Sw");
    b.Set("Enclosure001", "MIDIInputNumber", "1");
    b.Set("Enclosure001", "AmpMinimumLevel", "0");
    return b;
}

// The first pixel, row by row, where the mask shows the picture: the top
// edge of the picture, clear of the name drawn over its middle.
QPoint FirstPicturePixel(const QImage& mask) {
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.pixel(x, y) == qRgb(255, 255, 255)) return {x, y};
    return {-1, -1};
}

struct ControlsRig : RenderRig {
    ControlsRig() {
        EXPECT_TRUE(LoadAndSize(ControlsOrgan(dir))) << (errors.Count() ? errors.Errors()[0].message : "");
    }
    QRgb At(const Control& control, QPoint offset) const {
        return Pixel(control.pictureRect.left + offset.x(), control.pictureRect.top + offset.y());
    }
};

TEST(ConsoleControlsDrawing, TheFullRepaintDrawsEveryButtonAndDrawstopOfTheOrgan) {
    ControlsRig rig;
    rig.renderer.DrawConsole();
    QPoint button = FirstPicturePixel(rig.artwork.buttonMask[0]);
    QPoint drawstop = FirstPicturePixel(rig.artwork.drawstopMask[0]);
    ASSERT_GE(button.x(), 0);
    ASSERT_GE(drawstop.x(), 0);
    const QRgb buttonPixel = rig.artwork.button[0].pixel(button);
    EXPECT_EQ(rig.At(rig.organ.generals[0], button), buttonPixel);
    EXPECT_EQ(rig.At(rig.organ.reversiblePistons[0], button), buttonPixel);
    EXPECT_EQ(rig.At(rig.organ.manuals[1].divisionals[0], button), buttonPixel);
    const QRgb off = rig.artwork.drawstopOff[0].pixel(drawstop);
    EXPECT_EQ(rig.At(rig.organ.Tremulants()[0].drawstop, drawstop), off);
    EXPECT_EQ(rig.At(rig.organ.divisionalCouplers[0], drawstop), off);
    EXPECT_EQ(rig.At(*rig.organ.manuals[2].GetStop(0), drawstop), off);
}

TEST(ConsoleControlsDrawing, TheEnclosurePanelIsDrawnAndItsBarFollowsItsPosition) {
    ControlsRig rig;
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
    EXPECT_EQ(pixel(5 + 17, 16 + 44), ToRgb(kEnclosureOpen));

    ASSERT_TRUE(enclosure.SetValue(64));  // 45 x 64 / 127 = 22 lit
    widget.QueueEnclosureBarRedraw(0);
    EXPECT_TRUE(widget.Flush());
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 23), ToRgb(kEnclosureClosed));
    EXPECT_EQ(pixel(5 + 17, 16 + 45 - 22), ToRgb(kEnclosureOpen));
    // Out of range requests are ignored.
    widget.QueueEnclosureBarRedraw(-1);
    widget.QueueEnclosureBarRedraw(kMaxEnclosures);
    EXPECT_FALSE(widget.Flush());
}

}  // namespace
}  // namespace tessaline::test
