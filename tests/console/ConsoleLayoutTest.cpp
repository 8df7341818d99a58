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

using test::OrganFileBuilder;

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

TEST(ConsoleLayout, JambsFlankTheCentralPanel) {
    ConsoleLayout layout = Layout(8, 4);
    EXPECT_EQ(layout.LeftJamb(), (Rect{0, 0, 474, 700}));
    EXPECT_EQ(layout.RightJamb(), (Rect{926, 0, 1400, 700}));
    EXPECT_EQ(layout.CentralPanel(), (Rect{474, 0, 926, 700}));
    // An odd remainder: both jambs round down, the central panel takes the pixel.
    layout.ComputeFixedPositions(1401, 700);
    EXPECT_EQ(layout.LeftJamb(), (Rect{0, 0, 474, 700}));
    EXPECT_EQ(layout.RightJamb(), (Rect{927, 0, 1401, 700}));
    EXPECT_TRUE(layout.IsLeftJamb(3));
    EXPECT_FALSE(layout.IsLeftJamb(4));
}

TEST(ConsoleLayout, UnpairedDrawstopGridIsCentredInEachJamb) {
    ConsoleLayout layout = Layout(8, 4);
    // Block 4 x 78 - 4 = 308 wide, (474 - 308) / 2 = 83 into the jamb.
    EXPECT_EQ(layout.DrawstopX(0, 0), 83u);
    EXPECT_EQ(layout.DrawstopX(0, 1), 161u);
    EXPECT_EQ(layout.DrawstopX(3, 3), 317u);
    EXPECT_EQ(layout.DrawstopX(0, 4), 83u + 474 + 452);
    EXPECT_EQ(layout.DrawstopX(0, 7), 1009u + 3 * 78);
    // Grid 4 x 69 = 276 high, (700 - 276) / 2 = 212 down.
    EXPECT_EQ(layout.DrawstopGridTop(), 212u);
    EXPECT_EQ(layout.DrawstopGridBottom(), 488u);
    EXPECT_EQ(layout.DrawstopY(2, 0), 350u);
    // Rows outside the grid and the (absent) extra rows have no position.
    EXPECT_EQ(layout.DrawstopX(4, 0), 0u);
    EXPECT_EQ(layout.DrawstopY(4, 0), 0u);
    EXPECT_EQ(layout.DrawstopY(100, 0), 0u);
}

TEST(ConsoleLayout, PairedColumnsSitOnInsetPanels) {
    ConsoleLayout layout = Layout(8, 4, true);
    // Block 4 x 80 + 2 x 12 - 8 = 336 wide, (474 - 336) / 2 = 69 into the jamb.
    std::vector<uint32_t> left;
    for (uint32_t c = 0; c < 4; ++c) left.push_back(layout.DrawstopX(0, c));
    EXPECT_EQ(left, (std::vector<uint32_t>{75, 153, 247, 325}));  // 78, 94, 78 apart
    EXPECT_EQ(layout.DrawstopX(0, 4), 69u + 474 + 452 + 6);
    EXPECT_EQ(layout.DrawstopX(0, 7), 1001u + 250);
    EXPECT_EQ(layout.InsetPanel(0), (Rect{69, 212 - 34, 75 + 158, 488 + 34}));
    EXPECT_EQ(layout.InsetPanel(1).left, 241u);
    EXPECT_EQ(layout.InsetPanel(2).left, 995u);
    EXPECT_EQ(layout.InsetPanel(3).right, 1173u + 158);
}

TEST(ConsoleLayout, OffsetColumnsCountFromTheOuterEdge) {
    ConsoleLayout layout = Layout(6, 3);
    layout.dispDrawstopColsOffset = true;
    // Grid 3 x 69 + 32 = 239 high: top (700 - 239) / 2 = 230.
    EXPECT_EQ(layout.DrawstopGridTop(), 230u);
    EXPECT_EQ(layout.DrawstopGridBottom(), 469u);
    auto rowZero = [&] {
        std::vector<uint32_t> y;
        for (uint32_t c = 0; c < 6; ++c) y.push_back(layout.DrawstopY(0, c));
        return y;
    };
    // Outer columns (0 and 5) low, then alternating inwards.
    EXPECT_EQ(rowZero(), (std::vector<uint32_t>{262, 230, 262, 262, 230, 262}));
    layout.dispDrawstopOuterColOffsetUp = true;
    EXPECT_EQ(rowZero(), (std::vector<uint32_t>{230, 262, 230, 230, 262, 230}));
    EXPECT_EQ(layout.DrawstopY(2, 1), 230u + 138 + 32);
}

TEST(ConsoleLayout, SlotsStackUpFromThePedal) {
    ConsoleLayout layout = Layout(8, 4);
    EXPECT_EQ(layout.SlotTop(0), 700u - 10 - 72);
    EXPECT_EQ(layout.SlotTop(1), 700u - 10 - 144 - 87);
    EXPECT_EQ(layout.SlotTop(2), 387u);
    layout.displayedManualCount = 2;
    EXPECT_EQ(layout.TopSlotTop(), 387u);
    // A second pedal button row pushes every manual slot up by 40.
    layout.dispExtraPedalButtonRow = true;
    EXPECT_EQ(layout.SlotTop(0), 618u);
    EXPECT_EQ(layout.SlotTop(1), 419u);

    // Key strips: the pedal's keys lie under its buttons; a manual's keys lie
    // above its buttons unless the buttons are above the manuals.
    layout.dispExtraPedalButtonRow = false;
    EXPECT_EQ(layout.KeyStrip(0), (Rect{700 - 226, 658, 700 + 226, 690}));
    EXPECT_EQ(layout.KeyStrip(1).top, 459u);
    layout.dispButtonsAboveManuals = true;
    EXPECT_EQ(layout.KeyStrip(1).top, 499u);
    EXPECT_EQ(layout.KeyStrip(0).top, 658u);
}

TEST(ConsoleLayout, HiddenManualTakesNoSlot) {
    KeyboardSlots slots(false);
    EXPECT_EQ(slots.Place(1, false), 1u);
    EXPECT_EQ(slots.Place(2, true), 1u);  // manual 2 moves into slot 1
    EXPECT_EQ(slots.Place(3, true), 2u);
    KeyboardSlots withPedal(true);
    EXPECT_EQ(withPedal.Place(0, false), 0u);  // the pedal always has slot 0
    EXPECT_EQ(withPedal.Place(1, true), 1u);
    EXPECT_EQ(withPedal.Place(2, false), 2u);
    EXPECT_EQ(withPedal.Place(3, true), 2u);
}

TEST(ConsoleLayout, ButtonRows) {
    ConsoleLayout layout = Layout(8, 4);
    // 10 columns centred: 700 - 220 - 6 = 474, 44 apart.
    EXPECT_EQ(layout.ButtonX(0, 0), 474u);
    EXPECT_EQ(layout.ButtonX(3, 9), 474u + 396);
    EXPECT_EQ(layout.ButtonY(0), 622u);
    EXPECT_EQ(layout.ButtonY(1), 459u + 4 + 32);
    EXPECT_EQ(layout.ButtonY(5), layout.SlotTop(5) + 36);
    layout.dispButtonsAboveManuals = true;
    EXPECT_EQ(layout.ButtonY(1), 463u);
    EXPECT_EQ(layout.ButtonY(0), 622u);
    // Rows that do not exist.
    EXPECT_EQ(layout.ButtonY(6), 0u);
    EXPECT_EQ(layout.ButtonY(99), 0u);
    EXPECT_EQ(layout.ButtonY(100), 0u);
    EXPECT_EQ(layout.ButtonX(99, 0), 474u);

    // Row 99 sits directly above the pedal's strip, shifted half a pitch.
    layout.dispExtraPedalButtonRow = true;
    EXPECT_EQ(layout.ButtonY(99), 618u - 36);
    EXPECT_EQ(layout.ButtonX(99, 0), 474u);
    layout.dispExtraPedalButtonRowOffset = true;
    EXPECT_EQ(layout.ButtonX(99, 0), 452u);
    EXPECT_EQ(layout.ButtonX(0, 0), 474u);
    layout.dispExtraPedalButtonRowOffsetRight = true;
    EXPECT_EQ(layout.ButtonX(99, 1), 540u);
}

// Two displayed manuals (top slot at 387), a trim above them (base 381),
// two extra drawstop rows of 6 columns and one extra button row.
ConsoleLayout ExtraRowsLayout(bool drawstopsOnTop) {
    ConsoleLayout layout = Layout(8, 4);
    layout.displayedManualCount = 2;
    layout.dispTrimAboveManuals = true;
    layout.dispTrimAboveExtraRows = true;
    layout.dispExtraDrawstopRows = 2;
    layout.dispExtraDrawstopCols = 6;
    layout.dispExtraButtonRows = 1;
    layout.dispExtraDrawstopRowsAboveExtraButtonRows = drawstopsOnTop;
    return layout;
}

TEST(ConsoleLayout, ExtraButtonRowsAboveExtraDrawstopRows) {
    ConsoleLayout layout = ExtraRowsLayout(false);
    EXPECT_EQ(layout.DrawstopY(100, 0), 381u - 138);
    EXPECT_EQ(layout.DrawstopY(101, 5), 381u - 69);
    EXPECT_EQ(layout.DrawstopY(102, 0), 0u);
    EXPECT_EQ(layout.ButtonY(100), 381u - 138 - 40 + 4);
    EXPECT_EQ(layout.ButtonY(101), 0u);
    // Extra drawstops centred with a 78 pitch: (1400 - 468) / 2 = 466.
    EXPECT_EQ(layout.DrawstopX(100, 0), 466u);
    EXPECT_EQ(layout.DrawstopX(101, 1), 544u);
    EXPECT_EQ(layout.ExtraRowsPanel(), (Rect{474, 207 - 14, 926, 381}));
    EXPECT_EQ(layout.TrimAboveExtraRows(), (Rect{474, 187, 926, 193}));
    EXPECT_EQ(layout.TrimAboveManuals(), (Rect{474, 381, 926, 387}));
}

TEST(ConsoleLayout, ExtraDrawstopRowsAboveExtraButtonRows) {
    ConsoleLayout layout = ExtraRowsLayout(true);
    EXPECT_EQ(layout.ButtonY(100), 381u - 40 + 4);
    EXPECT_EQ(layout.DrawstopY(100, 0), 381u - 40 - 138);
    EXPECT_EQ(layout.DrawstopY(101, 0), 381u - 40 - 69);
    EXPECT_EQ(layout.ExtraRowsPanel(), (Rect{474, 203 - 14, 926, 381}));
    // Without extra drawstop rows, the buttons are the top row either way.
    layout.dispExtraDrawstopRows = 0;
    EXPECT_EQ(layout.ExtraRowsPanel()->top, 345u - 14);
    layout.dispExtraButtonRows = 0;
    EXPECT_FALSE(layout.ExtraRowsPanel() || layout.TrimAboveExtraRows());
}

TEST(ConsoleLayout, TrimsAppearOnlyWhenAskedFor) {
    ConsoleLayout layout = Layout(8, 4);
    layout.displayedManualCount = 1;
    EXPECT_FALSE(layout.TrimAboveManuals() || layout.TrimBelowManuals());
    layout.dispTrimBelowManuals = true;
    EXPECT_EQ(layout.TrimBelowManuals(), (Rect{474, 531, 926, 537}));
}

TEST(ConsoleLayout, EnclosurePanelsAndLabels) {
    ConsoleLayout layout = Layout(8, 4);
    EXPECT_EQ(layout.EnclosurePanel(0, 3), (Point{622, 545}));
    EXPECT_EQ(layout.EnclosurePanel(2, 3), (Point{726, 545}));
    EXPECT_EQ(layout.EnclosurePanel(0, 1), (Point{674, 545}));

    LabelPlacement label;
    label.dispDrawstopCol = 1;  // left jamb, x 161
    EXPECT_EQ(layout.LabelPosition(label), (Point{161 + 9 - 7, 488 + 6}));
    label.dispSpanDrawstopColToRight = true;
    label.dispAtTopOfDrawstopCol = true;
    EXPECT_EQ(layout.LabelPosition(label), (Point{161 + 9 + 32, 212 - 28}));
    label.dispDrawstopCol = 4;  // right jamb, x 1009
    label.dispSpanDrawstopColToRight = false;
    EXPECT_EQ(layout.LabelPosition(label).x, 1002u);
    label.freeXPlacement = true;
    label.dispXpos = 15;
    label.freeYPlacement = true;
    label.dispYpos = 640;
    EXPECT_EQ(layout.LabelPosition(label), (Point{15, 640}));
}

TEST(ConsoleLayout, ABlockWiderThanItsJambLiesOffTheWindow) {
    ConsoleLayout layout = Layout(12, 4);
    layout.ComputeFixedPositions(1000, 700);  // jambs of 274 for a 464-wide block
    EXPECT_GT(layout.DrawstopX(0, 0), 1000u);
}

TEST(KeyGeometry, SpansCountOctavesAndPitchClasses) {
    EXPECT_EQ(KeySpan(36, 36), 0u);
    EXPECT_EQ(KeySpan(36, 41), 36u);
    EXPECT_EQ(KeySpan(36, 48), 84u);
    EXPECT_EQ(KeySpan(36, 97), 5u * 84 + 10);  // 61 keys, C to C, up to the next C#
    EXPECT_EQ(KeySpan(40, 44), 34u);           // E to G#
    EXPECT_EQ(KeySpan(40, 53), 84u + 12);      // E to F an octave up
    EXPECT_EQ(KeySpan(47, 48), 12u);           // B to C across the octave line
}

TEST(KeyGeometry, ShortCompassShapes) {
    // C C# D D# E: first C, last E.
    std::vector<KeyShape> shapes;
    for (uint32_t n = 36; n <= 40; ++n) shapes.push_back(ShapeOfKey(n, n == 36, n == 40));
    EXPECT_EQ(shapes, (std::vector<KeyShape>{KeyShape::NotchRight, KeyShape::BlackKey,
                                             KeyShape::NotchBoth, KeyShape::BlackKey,
                                             KeyShape::NotchLeft}));
    // E F F# G: first E, last G.
    shapes.clear();
    for (uint32_t n = 40; n <= 43; ++n) shapes.push_back(ShapeOfKey(n, n == 40, n == 43));
    EXPECT_EQ(shapes, (std::vector<KeyShape>{KeyShape::Plain, KeyShape::NotchRight,
                                             KeyShape::BlackKey, KeyShape::NotchLeft}));
    EXPECT_EQ(ShapeOfKey(38, true, true), KeyShape::Plain);   // a lone D
    EXPECT_EQ(ShapeOfKey(38, true, false), KeyShape::NotchRight);
    EXPECT_EQ(ShapeOfKey(36, true, true), KeyShape::Plain);   // a lone C
    EXPECT_EQ(ShapeOfKey(41, false, true), KeyShape::Plain);  // F at the top
    EXPECT_EQ(ShapeOfKey(47, false, false), KeyShape::NotchLeft);

    EXPECT_EQ(RectsOfKeyShape(KeyShape::BlackKey).upper, (Rect{0, 0, 4, 19}));
    EXPECT_FALSE(RectsOfKeyShape(KeyShape::BlackKey).lower.has_value());
    EXPECT_EQ(RectsOfKeyShape(KeyShape::NotchBoth).upper, (Rect{3, 0, 9, 20}));
    EXPECT_EQ(RectsOfKeyShape(KeyShape::NotchLeft).upper, (Rect{3, 0, 11, 20}));
    EXPECT_EQ(RectsOfKeyShape(KeyShape::NotchRight).lower, (Rect{0, 20, 11, 32}));
    EXPECT_EQ(RectsOfKeyShape(KeyShape::Plain).upper, (Rect{0, 0, 11, 32}));
    EXPECT_FALSE(RectsOfKeyShape(KeyShape::Plain).lower.has_value());
}

TEST(KeyGeometry, KeyboardsAreCentredOnTheWindow) {
    ConsoleLayout layout = Layout(8, 4);
    KeyboardPlacement keyboard = layout.Keyboard(1, 36, 5);
    EXPECT_EQ(keyboard.width, 36u);
    EXPECT_EQ(keyboard.left, 682u);
    EXPECT_EQ(keyboard.keyTop, 459u);
    EXPECT_EQ(layout.KeyPosition(keyboard, 36, 38), (Point{694, 459}));
    EXPECT_EQ(layout.KeyPosition(keyboard, 36, 40), (Point{706, 459}));
    KeyboardPlacement pedal = layout.Keyboard(0, 36, 32);
    EXPECT_EQ(pedal.width, 2u * 84 + 58);
    EXPECT_EQ(pedal.left, 700u - 113);
    EXPECT_EQ(pedal.keyTop, 658u);
}

// Reads the display keys of an [Organ] section as the organ loader does.
class DisplayKeys : public ::testing::Test {
protected:
    bool Read(const OrganFileBuilder& b) {
        file.ParseText(b.Text());
        KeyReader organ(file, "Organ", "Loading an organ.");
        layout = ConsoleLayout{};
        return layout.ReadFirstGroup(organ) && layout.ReadSecondGroup(organ, view) &&
               layout.ReadScreenSize(organ);
    }
    // The reports of reading b joined with " / "; "" when it reads.
    std::string Errors(const OrganFileBuilder& b) {
        errors.Clear();
        bool read = Read(b);
        std::string joined;
        for (const std::string& m : errors.Messages()) joined += (joined.empty() ? "" : " / ") + m;
        EXPECT_EQ(read, joined.empty()) << joined;
        return joined;
    }
    std::string FailureOf(const std::string& key, const std::string& value) {
        OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
        b.Set("Organ", key, value);
        SCOPED_TRACE(key + "=" + value);
        std::string reported = Errors(b);
        EXPECT_FALSE(reported.empty());
        return reported;
    }

    DefinitionFile file;
    RecordingErrorSink errors;
    FixedMetricsConsoleView view;
    ConsoleLayout layout;
};

TEST_F(DisplayKeys, ValuesThatCannotBeUsedAreRefusedWithTheirMessage) {
    const char* columns = "An invalid number of displayed drawstop columns for the organ is specified in the organ definition file (must be divisible by two).";
    view.missingFaces = {"Nonesuch"};
    struct Case {
        const char* key;
        const char* value;
        const char* message;
    } cases[] = {
        {"DispDrawstopCols", "13", columns},
        {"DispDrawstopCols", "0", columns},
        {"DispDrawstopCols", "7", columns},
        {"DispDrawstopCols", "-2", columns},
        {"DispExtraPedalButtonRow", "Y", "The DispExtraPedalButtonRowOffset setting for the organ could not be found in the organ definition file."},
        {"DispControlLabelFont", "Nonesuch", "The display font setting for the drawstops is invalid or not installed."},
        {"DispShortcutKeyLabelFont", "Nonesuch", "The display font setting for shortcut key labels is invalid or not installed."},
        {"DispGroupLabelFont", "Nonesuch", "The display font setting for group labels is invalid or not installed."},
        {"DispGroupLabelFont", "", "The display font setting for group labels could not be found ."},
        // The whole value must be the word.
        {"DispScreenSizeVert", "Medium Largest", "The DispScreenSizeVert setting for the organ is invalid in the organ definition file."},
        {"DispScreenSizeHoriz", " Small", "The DispScreenSizeHoriz setting for the organ is invalid in the organ definition file."},
    };
    for (const Case& c : cases) EXPECT_EQ(FailureOf(c.key, c.value), c.message);
}

TEST_F(DisplayKeys, PairedColumnsNeedFourAndDependentKeysAreReadOnlyWhenTheirSwitchIsOn) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "DispPairDrawstopCols", "Y");
    b.Set("Organ", "DispDrawstopCols", "6");
    EXPECT_EQ(Errors(b), "The drawstop columns cannot be paired when the number of drawstop columns is not divisble by four.");
    b.Set("Organ", "DispDrawstopCols", "12");
    EXPECT_EQ(Errors(b), "");
    EXPECT_TRUE(layout.dispPairDrawstopCols);

    b = OrganFileBuilder::MinimalOrgan();
    b.Set("Organ", "DispExtraPedalButtonRowOffset", "bad");
    b.Set("Organ", "DispDrawstopOuterColOffsetUp", "bad");
    EXPECT_EQ(Errors(b), "");
    EXPECT_FALSE(layout.dispExtraPedalButtonRowOffset || layout.dispDrawstopOuterColOffsetUp);
    b.Set("Organ", "DispExtraPedalButtonRow", "Y");
    b.Set("Organ", "DispExtraPedalButtonRowOffset", "y");
    EXPECT_EQ(Errors(b), "The DispExtraPedalButtonRowOffsetRight setting for the organ could not be found in the organ definition file.");
    b.Set("Organ", "DispExtraPedalButtonRowOffsetRight", "N");
    b.Set("Organ", "DispDrawstopColsOffset", "Y");
    EXPECT_EQ(Errors(b), "The displayed drawstop outer offset direction setting for the organ is invalid in the organ definition file (Y/N).");
    b.Set("Organ", "DispDrawstopOuterColOffsetUp", "Yes");
    EXPECT_EQ(Errors(b), "");
    EXPECT_TRUE(layout.dispExtraPedalButtonRowOffset);
    EXPECT_FALSE(layout.dispExtraPedalButtonRowOffsetRight);
    EXPECT_TRUE(layout.dispDrawstopOuterColOffsetUp);
}

TEST_F(DisplayKeys, DerivedWidthsFontsAndScreenSizes) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    // The central width is the widest of its three candidates.
    for (auto [buttons, extraColumns, width] : {std::array<uint32_t, 3>{10, 0, 452}, {11, 0, 494}, {10, 6, 478}}) {
        b.Set("Organ", "DispButtonCols", std::to_string(buttons));
        b.Set("Organ", "DispExtraDrawstopCols", std::to_string(extraColumns));
        ASSERT_TRUE(Read(b));
        EXPECT_EQ(layout.centralWidth, width) << buttons << " " << extraColumns;
    }
    EXPECT_EQ(layout.LabelFont(LabelFontSize::Small).face, "Times New Roman");
    EXPECT_EQ(layout.LabelFont(LabelFontSize::Small).height, 10);
    EXPECT_EQ(layout.LabelFont(LabelFontSize::Small).weight, 400);
    EXPECT_EQ(layout.LabelFont(LabelFontSize::Large).height, 18);
    EXPECT_EQ(layout.LabelFont(LabelFontSize::Normal).height, 12);
    EXPECT_EQ(layout.GroupLabelFont().weight, 700);
    EXPECT_EQ(layout.GroupLabelFont().height, 16);
    EXPECT_EQ(layout.ShortcutKeyFont().face, "Arial");
    EXPECT_EQ(layout.dispShortcutKeyLabelColour, (Colour{255, 255, 0}));

    b.Set("Organ", "DispScreenSizeHoriz", "small");
    b.Set("Organ", "DispScreenSizeVert", "MEDIUM LARGE");
    ASSERT_TRUE(Read(b));
    EXPECT_EQ(layout.windowWidth, 792u);
    EXPECT_EQ(layout.windowHeight, 920u);
    b.Set("Organ", "DispScreenSizeHoriz", "Medium");
    b.Set("Organ", "DispScreenSizeVert", "Large");
    ASSERT_TRUE(Read(b));
    EXPECT_EQ(layout.windowWidth, 1016u);
    EXPECT_EQ(layout.windowHeight, 1160u);
    EXPECT_FALSE(layout.FitsScreen({1016, 1200, 32}));
    EXPECT_FALSE(layout.FitsScreen({1017, 1160, 32}));
    EXPECT_TRUE(layout.FitsScreen({1017, 1161, 32}));
}

}  // namespace
}  // namespace tessaline
