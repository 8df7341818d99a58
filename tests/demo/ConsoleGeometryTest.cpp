// The console positions the generator uses to keep every control of the demo
// organ on its window.

#include <gtest/gtest.h>

#include "ConsoleGeometry.h"
#include "DemoGenerator.h"

namespace tessaline::demo {
namespace {

TEST(DemoConsoleGeometry, CentralWidthFollowsTheWidestRow) {
    DisplaySettings d;
    d.buttonCols = 10;
    EXPECT_EQ(ConsoleGeometry(d, 1000, 700, 2).CentralWidth(), 452u);
    d.buttonCols = 11;
    EXPECT_EQ(ConsoleGeometry(d, 1000, 700, 2).CentralWidth(), 494u);
    d.buttonCols = 10;
    d.extraDrawstopCols = 6;
    EXPECT_EQ(ConsoleGeometry(d, 1000, 700, 2).CentralWidth(), 478u);
}

TEST(DemoConsoleGeometry, DrawstopGridIsCentredInEachJamb) {
    DisplaySettings d;  // 6 columns, 5 rows, unpaired
    ConsoleGeometry g(d, 1000, 668, 2);
    // Jamb (1000 - 452) / 2 = 274; block 3 * 78 - 4 = 230, left edge 22.
    EXPECT_EQ(g.DrawstopX(0, 0), 22u);
    EXPECT_EQ(g.DrawstopX(0, 2), 22u + 156u);
    EXPECT_EQ(g.DrawstopX(0, 3), 22u + 274u + 452u);
    EXPECT_EQ(g.GridTop(), (668u - 345u) / 2);
    EXPECT_EQ(g.DrawstopY(4, 5), g.GridTop() + 276u);
    EXPECT_EQ(g.LabelY(true), g.GridTop() - 28u);
    EXPECT_EQ(g.LabelX(0, false), 22u + 9u - 7u);
    EXPECT_EQ(g.LabelX(3, true), 22u + 274u + 452u + 32u);

    d.drawstopCols = 8;
    d.pairDrawstopCols = true;
    ConsoleGeometry paired(d, 1400, 668, 2);
    EXPECT_EQ(paired.DrawstopX(0, 1) - paired.DrawstopX(0, 0), 78u);
    EXPECT_EQ(paired.DrawstopX(0, 2) - paired.DrawstopX(0, 1), 94u);
    EXPECT_EQ(paired.DrawstopX(0, 3) - paired.DrawstopX(0, 2), 78u);
}

TEST(DemoConsoleGeometry, KeyboardSlotsButtonsAndEnclosures) {
    DisplaySettings d;
    ConsoleGeometry g(d, 1000, 668, 2);
    EXPECT_EQ(g.SlotTop(0), 668u - 10u - 72u);
    EXPECT_EQ(g.SlotTop(1), 668u - 10u - 144u - 87u);
    EXPECT_EQ(g.SlotTop(2), 668u - 10u - 216u - 87u);
    EXPECT_EQ(g.ButtonY(0), g.SlotTop(0) + 4u);
    EXPECT_EQ(g.ButtonY(1), g.SlotTop(1) + 36u);
    EXPECT_EQ(g.ButtonY(6), 0u);
    EXPECT_EQ(g.ButtonX(0, 0), 500u - 220u - 6u);
    EXPECT_EQ(g.KeyboardWidth(36, 61), 430u);
    EXPECT_EQ(g.KeyboardWidth(36, 32), 168u + 58u);
    EXPECT_EQ(g.KeyboardLeft(36, 61), 500u - 215u);
    EXPECT_EQ(g.EnclosureX(0, 1), 500u - 26u);
    EXPECT_EQ(g.EnclosureX(1, 3), 500u - 78u + 52u);
    EXPECT_EQ(g.EnclosureY(), g.SlotTop(1) + 86u);
    d.extraPedalButtonRow = true;
    ConsoleGeometry withRow99(d, 1000, 668, 2);
    EXPECT_EQ(withRow99.SlotTop(1), 668u - 10u - 144u - 87u - 40u);
    EXPECT_EQ(withRow99.ButtonY(99), withRow99.SlotTop(0) - 36u);
}

TEST(DemoConsoleGeometry, DemoConsoleFitsItsMediumWindowAndALargerGridDoesNot) {
    const DemoOrgan& organ = TheDemoOrgan();
    std::string error;
    EXPECT_TRUE(DemoConsoleFits(organ, error)) << error;
    // No two controls share a place.
    ConsoleGeometry g(organ.display, 1000, 668, 2);
    auto pieces = PlaceDemoConsole(organ, g);
    for (size_t i = 0; i < pieces.size(); ++i)
        for (size_t j = i + 1; j < pieces.size(); ++j) {
            const Rect& a = pieces[i].frame;
            const Rect& b = pieces[j].frame;
            bool overlap = a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
            EXPECT_FALSE(overlap) << pieces[i].name << " overlaps " << pieces[j].name;
        }

    DemoOrgan wide = organ;
    wide.display.drawstopCols = 8;  // four columns per jamb do not fit 1016 pixels
    EXPECT_FALSE(DemoConsoleFits(wide, error));
    EXPECT_EQ(error, "The drawstop Principal 8' lies outside the console window.");
}

}  // namespace
}  // namespace tessaline::demo
