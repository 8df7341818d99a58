#include "console/ConsoleLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "organ/KeyReader.h"
#include "platform/virtual/FixedMetricsConsoleView.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/OrganFileBuilder.h"

namespace tessaline {
namespace {

// A window whose client area is 1400 x 700: jambs of (1400 - 452) / 2 = 474.
ConsoleLayout Layout(uint32_t cols, uint32_t rows, bool paired = false) {
    ConsoleLayout layout;
    layout.dispDrawstopCols = cols;
    layout.dispDrawstopRows = rows;
    layout.dispPairDrawstopCols = paired;
    layout.dispButtonCols = 10;
    layout.centralWidth = 452;
    layout.ComputeFixedPositions(1400, 700);
    return layout;
}

TEST(ConsoleLayout, DrawstopGridsAreCentredPairedOrOffsetInJambsFlankingTheCentralPanel) {
    ConsoleLayout layout = Layout(8, 4);
    // Block 4 x 78 - 4 = 308 wide, (474 - 308) / 2 = 83 into the jamb; grid
    // 4 x 69 = 276 high, (700 - 276) / 2 = 212 down.
    EXPECT_EQ(layout.DrawstopX(0, 1), 161u);
    EXPECT_EQ(layout.DrawstopX(0, 7), 1009u + 3 * 78);
    EXPECT_EQ(layout.DrawstopY(3, 0), 212u + 3 * 69);
    // Rows outside the grid and the (absent) extra rows have no position.
    EXPECT_EQ(layout.DrawstopY(4, 0), 0u);
    EXPECT_EQ(layout.DrawstopY(100, 0), 0u);
    // An odd remainder: both jambs round down, the central panel takes the pixel.
    layout.ComputeFixedPositions(1401, 700);
    EXPECT_EQ(layout.CentralPanel(), (Rect{474, 0, 927, 700}));
    // A block wider than its jamb lies off the window.
    layout = Layout(12, 4);
    layout.ComputeFixedPositions(1000, 700);  // jambs of 274 for a 464-wide block
    EXPECT_GT(layout.DrawstopX(0, 0), 1000u);

    // Paired columns on inset panels.
    layout = Layout(8, 4, true);
    // Block 4 x 80 + 2 x 12 - 8 = 336 wide, (474 - 336) / 2 = 69 into the jamb.
    std::vector<uint32_t> x;
    for (uint32_t c = 0; c < 4; ++c) x.push_back(layout.DrawstopX(0, c));
    EXPECT_EQ(x, (std::vector<uint32_t>{75, 153, 247, 325}));  // 78, 94, 78 apart
    EXPECT_EQ(layout.InsetPanel(0), (Rect{69, 212 - 34, 75 + 158, 488 + 34}));

    // Offset: grid 3 x 69 + 32 = 239 high, top (700 - 239) / 2 = 230; the
    // outer columns (0 and 5) low, then alternating inwards.
    layout = Layout(6, 3);
    layout.dispDrawstopColsOffset = true;
    auto rowZero = [&] {
        std::vector<uint32_t> y;
        for (uint32_t c = 0; c < 6; ++c) y.push_back(layout.DrawstopY(0, c));
        return y;
    };
    EXPECT_EQ(rowZero(), (std::vector<uint32_t>{262, 230, 262, 262, 230, 262}));
}

TEST(ConsoleLayout, SlotsButtonRowsEnclosuresAndLabels) {
    ConsoleLayout layout = Layout(8, 4);
    EXPECT_EQ(layout.SlotTop(2), 387u);
    // 10 button columns centred: 700 - 220 - 6 = 474, 44 apart.
    EXPECT_EQ(layout.ButtonX(3, 9), 474u + 396);
    EXPECT_EQ(layout.ButtonY(0), 622u);
    // The pedal's keys lie under its buttons; a manual's keys lie above its
    // buttons unless the buttons are above the manuals.
    EXPECT_EQ(layout.KeyStrip(0), (Rect{700 - 226, 658, 700 + 226, 690}));
    EXPECT_EQ(layout.ButtonY(1), 459u + 4 + 32);
    layout.dispButtonsAboveManuals = true;
    EXPECT_EQ(layout.KeyStrip(1).top, 499u);
    EXPECT_EQ(layout.ButtonY(1), 463u);
    EXPECT_EQ(layout.ButtonY(99), 0u);  // no pedal button row

    // A second pedal button row pushes every manual slot up by 40; row 99
    // sits directly above the pedal's strip, shifted half a pitch.
    layout.dispExtraPedalButtonRow = true;
    layout.dispExtraPedalButtonRowOffset = true;
    EXPECT_EQ(layout.SlotTop(1), 700u - 10 - 144 - 87 - 40);
    EXPECT_EQ(layout.ButtonY(99), 618u - 36);
    EXPECT_EQ(layout.ButtonX(99, 0), 452u);

    // A hidden manual takes no slot; the pedal always has slot 0.
    KeyboardSlots slots(true);
    EXPECT_EQ(slots.Place(0, false), 0u);
    EXPECT_EQ(slots.Place(1, false), 1u);
    EXPECT_EQ(slots.Place(2, true), 1u);

    // Enclosure panels and labels.
    layout = Layout(8, 4);
    EXPECT_EQ(layout.EnclosurePanel(2, 3), (Point{726, 545}));
    LabelPlacement label;
    label.dispDrawstopCol = 1;  // left jamb, x 161
    EXPECT_EQ(layout.LabelPosition(label), (Point{161 + 9 - 7, 488 + 6}));
    label.dispSpanDrawstopColToRight = true;
    label.dispAtTopOfDrawstopCol = true;
    EXPECT_EQ(layout.LabelPosition(label), (Point{161 + 9 + 32, 212 - 28}));
    label.freeXPlacement = true;
    label.dispXpos = 15;
    EXPECT_EQ(layout.LabelPosition(label), (Point{15, 212 - 28}));
}

TEST(ConsoleLayout, ExtraRowsAboveTheTrimOfTheManualsInEitherOrder) {
    // Two displayed manuals (top slot at 387), a trim above them (base 381),
    // two extra drawstop rows of 6 columns and one extra button row.
    ConsoleLayout layout = Layout(8, 4);
    layout.displayedManualCount = 2;
    layout.dispTrimAboveManuals = true;
    layout.dispTrimAboveExtraRows = true;
    layout.dispExtraDrawstopRows = 2;
    layout.dispExtraDrawstopCols = 6;
    layout.dispExtraButtonRows = 1;
    EXPECT_EQ(layout.ButtonY(100), 381u - 138 - 40 + 4);
    // Extra drawstops centred with a 78 pitch: (1400 - 468) / 2 = 466.
    EXPECT_EQ(layout.DrawstopX(101, 1), 544u);
    EXPECT_EQ(layout.TrimAboveExtraRows(), (Rect{474, 187, 926, 193}));

    layout.dispExtraDrawstopRowsAboveExtraButtonRows = true;
    EXPECT_EQ(layout.DrawstopY(100, 0), 381u - 40 - 138);
    EXPECT_EQ(layout.ExtraRowsPanel(), (Rect{474, 203 - 14, 926, 381}));
}

TEST(KeyGeometry, SpansShapesAndKeyboardPlacement) {
    EXPECT_EQ(KeySpan(36, 97), 5u * 84 + 10);  // 61 keys, C to C, up to the next C#
    EXPECT_EQ(KeySpan(40, 44), 34u);           // E to G#
    EXPECT_EQ(KeySpan(47, 48), 12u);           // B to C across the octave line
    // C C# D D# E: first C, last E.
    std::vector<KeyShape> shapes;
    for (uint32_t n = 36; n <= 40; ++n) shapes.push_back(ShapeOfKey(n, n == 36, n == 40));
    EXPECT_EQ(shapes, (std::vector<KeyShape>{KeyShape::NotchRight, KeyShape::BlackKey,
                                             KeyShape::NotchBoth, KeyShape::BlackKey,
                                             KeyShape::NotchLeft}));
    EXPECT_EQ(RectsOfKeyShape(KeyShape::NotchBoth).upper, (Rect{3, 0, 9, 20}));

    ConsoleLayout layout = Layout(8, 4);
    KeyboardPlacement keyboard = layout.Keyboard(1, 36, 5);
    EXPECT_EQ(layout.KeyPosition(keyboard, 36, 40), (Point{706, 459}));
    EXPECT_EQ(layout.Keyboard(0, 36, 32).left, 700u - 113);
}

// The display keys of an [Organ] section read as the organ loader reads them.
TEST(DisplayKeys, TheCentralWidthIsDerivedAndKeysAreReadOnlyWhenTheirSwitchIsOn) {
    FixedMetricsConsoleView view;
    RecordingErrorSink errors;
    ConsoleLayout layout;
    auto read = [&](const test::OrganFileBuilder& b) {
        DefinitionFile file;
        file.ParseText(b.Text());
        KeyReader organ(file, "Organ", "Loading an organ.");
        layout = ConsoleLayout{};
        return layout.ReadFirstGroup(organ) && layout.ReadSecondGroup(organ, view) &&
               layout.ReadScreenSize(organ);
    };
    test::OrganFileBuilder b = test::OrganFileBuilder::MinimalOrgan();
    // The central width is the widest of its three candidates.
    for (auto [buttons, extraColumns, width] :
         {std::array<uint32_t, 3>{10, 0, 452}, {11, 0, 494}, {10, 6, 478}}) {
        b.Set("Organ", "DispButtonCols", std::to_string(buttons));
        b.Set("Organ", "DispExtraDrawstopCols", std::to_string(extraColumns));
        ASSERT_TRUE(read(b));
        EXPECT_EQ(layout.centralWidth, width) << buttons << " " << extraColumns;
    }
    // Switched off, the dependent keys are not read at all.
    b.Set("Organ", "DispExtraPedalButtonRowOffset", "bad");
    b.Set("Organ", "DispDrawstopOuterColOffsetUp", "bad");
    EXPECT_TRUE(read(b));
}

}  // namespace
}  // namespace tessaline
