#pragma once
// The console's display settings (the Disp* keys of [Organ]) and the geometry
// derived from them: jambs, drawstop grid, inset panels, keyboard slots,
// button rows, extra rows, trims, keys, enclosure panels and labels.
//
// Positions are in pixels of the window's client area, W wide and H high (H
// without the status bar). They are computed once, while the organ loads,
// after the window has its final size. All arithmetic is unsigned 32-bit with
// whole-number division: a layout that does not fit its area (a jamb narrower
// than its drawstop block, more extra rows than fit above the keyboards) gives
// positions that wrap to very large values and so lie off the window; such
// organs are not refused.
//
// Threads: UI only (loading fills it; drawing and input read it afterwards).

#include <cstdint>
#include <optional>
#include <string>

#include "organ/DefinitionReader.h"
#include "platform/ConsoleView.h"

namespace tessaline {

class KeyReader;

// Sizes and pitches of the console's elements.
inline constexpr uint32_t kDrawstopWidth = 74;
inline constexpr uint32_t kDrawstopHeight = 65;
inline constexpr uint32_t kDrawstopPitchX = 78;
inline constexpr uint32_t kDrawstopPitchY = 69;
inline constexpr uint32_t kDrawstopColumnOffset = 32;  // offset columns sit this much lower
inline constexpr uint32_t kButtonWidth = 44;
inline constexpr uint32_t kButtonHeight = 35;
inline constexpr uint32_t kButtonPitchX = 44;
inline constexpr uint32_t kExtraButtonRowPitch = 40;
inline constexpr uint32_t kLabelWidth = 78;
inline constexpr uint32_t kLabelHeight = 22;
inline constexpr uint32_t kSlotHeight = 72;
inline constexpr uint32_t kKeyStripHeight = 32;
inline constexpr uint32_t kButtonStripHeight = 40;
inline constexpr uint32_t kEnclosureGap = 87;  // between the pedal slot and slot 1
inline constexpr uint32_t kTrimHeight = 6;
inline constexpr uint32_t kMinCentralWidth = 452;
inline constexpr uint32_t kEnclosurePanelWidth = 46;
inline constexpr uint32_t kEnclosurePanelHeight = 52;
inline constexpr uint32_t kEnclosurePanelPitch = 52;
inline constexpr uint32_t kEnclosureNameHeight = 16;
inline constexpr uint32_t kOctaveWidth = 84;

// Button row above the pedal's strip, and the first extra row above the
// keyboards (extra drawstop rows and extra button rows both count from it).
inline constexpr uint32_t kExtraPedalButtonRow = 99;
inline constexpr uint32_t kFirstExtraRow = 100;

// A rectangle; right and bottom are exclusive.
struct Rect {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
    uint32_t Width() const { return right - left; }
    uint32_t Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    uint32_t x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

enum class ScreenSize : uint8_t { Small, Medium, MediumLarge, Large };

// Outer window size for a screen-size word.
uint32_t ScreenSizeWidth(ScreenSize size);
uint32_t ScreenSizeHeight(ScreenSize size);
// "Small", "Medium", "Medium Large" or "Large", the whole value, any case.
bool ParseScreenSize(const std::string& text, ScreenSize& size);

// Keys. Notes are MIDI note numbers; an octave is seven naturals 12 apart.
enum class KeyShape : uint8_t { BlackKey, NotchRight, NotchBoth, NotchLeft, Plain };

struct KeyRects {
    Rect upper;                  // relative to the key's x and y
    std::optional<Rect> lower;   // the wide lower part of a natural key
};

// Offset of pitch class 0..11 within its octave.
uint32_t KeyPitchOffset(uint32_t pitchClass);
// Horizontal distance from note a to note b (b not below a).
uint32_t KeySpan(uint32_t a, uint32_t b);
// Shape of a key; isFirst and isLast mark the lowest and highest accessible key.
KeyShape ShapeOfKey(uint32_t note, bool isFirst, bool isLast);
KeyRects RectsOfKeyShape(KeyShape shape);

// Where a keyboard's keys go: left edge, width, and the top of its key strip.
struct KeyboardPlacement {
    uint32_t left = 0;
    uint32_t width = 0;
    uint32_t keyTop = 0;
};

// Hands out keyboard slots to the manuals in turn: slot 0 is the pedal's,
// and each manual after it takes the slot after the last displayed manual (a
// hidden manual takes no slot of its own; the next one takes the same slot).
class KeyboardSlots {
public:
    explicit KeyboardSlots(bool hasPedals) : next(hasPedals ? 0 : 1) {}
    // The slot the next manual takes.
    uint32_t Next() const { return next; }
    uint32_t Place(uint32_t manual, bool displayed) {
        uint32_t slot = next;
        if (manual == 0 || displayed) ++next;
        return slot;
    }

private:
    uint32_t next;
};

// Label placement keys of a Label section.
struct LabelPlacement {
    bool freeXPlacement = false;
    uint32_t dispXpos = 0;
    uint32_t dispDrawstopCol = 0;
    bool dispSpanDrawstopColToRight = false;
    bool freeYPlacement = false;
    uint32_t dispYpos = 0;
    bool dispAtTopOfDrawstopCol = false;
};

enum class LabelFontSize : uint8_t { Small, Normal, Large };

class ConsoleLayout {
public:
    // Reading the display settings (UI, during the organ load). Each returns
    // false after reporting the first bad key. The first group comes before
    // AmplitudeLevel, the second after it, the screen sizes after the manual
    // pre-pass.
    bool ReadFirstGroup(const KeyReader& organ);
    bool ReadSecondGroup(const KeyReader& organ, ConsoleView& view);
    bool ReadScreenSize(const KeyReader& organ);

    // The window must be strictly smaller than the screen both ways.
    bool FitsScreen(const ScreenMetrics& screen) const;
    // Fixes W and H and the jamb rectangles; called once the window has its size.
    void ComputeFixedPositions(uint32_t clientWidth, uint32_t clientHeight);
    // Forgets everything read and computed (the organ is unloaded).
    void Clear() { *this = ConsoleLayout{}; }

    // Fonts as the renderer creates them.
    FontSpec LabelFont(LabelFontSize size) const;
    FontSpec ShortcutKeyFont() const { return {dispShortcutKeyLabelFont, 12, 400}; }
    FontSpec GroupLabelFont() const { return {dispGroupLabelFont, 16, 700}; }

    // Jambs and the central panel between them.
    Rect LeftJamb() const { return leftJamb; }
    Rect RightJamb() const { return rightJamb; }
    Rect CentralPanel() const { return {leftJamb.right, 0, rightJamb.left, clientHeight}; }

    // Drawstops: standard rows 0 .. dispDrawstopRows-1 and extra rows
    // 100 .. 100 + dispExtraDrawstopRows - 1; 0 for any other row.
    bool IsLeftJamb(uint32_t column) const { return column < dispDrawstopCols / 2; }
    uint32_t DrawstopX(uint32_t row, uint32_t column) const;
    uint32_t DrawstopY(uint32_t row, uint32_t column) const;
    uint32_t DrawstopGridTop() const;
    uint32_t DrawstopGridBottom() const;
    // Inset panel of drawstop column pair 0 .. dispDrawstopCols/2 - 1 (paired layouts).
    Rect InsetPanel(uint32_t pair) const;

    // Buttons: rows 0..5 (keyboard slots), 99 (above the pedal), 100.. (extra
    // button rows); ButtonY is 0 for any other row.
    uint32_t ButtonX(uint32_t row, uint32_t column) const;
    uint32_t ButtonY(uint32_t row) const;

    // Keyboard slots: 0 is the pedal's; displayed manuals take 1, 2, ...
    uint32_t SlotTop(uint32_t slot) const;
    uint32_t TopSlotTop() const { return SlotTop(displayedManualCount); }
    // The key strip of a slot across the central panel (32 high).
    Rect KeyStrip(uint32_t slot) const;
    KeyboardPlacement Keyboard(uint32_t slot, uint32_t firstNote, uint32_t keyCount) const;
    Point KeyPosition(const KeyboardPlacement& keyboard, uint32_t firstNote, uint32_t note) const {
        return {keyboard.left + KeySpan(firstNote, note), keyboard.keyTop};
    }

    // Trims and the extra rows panel; nullopt where the organ has none.
    std::optional<Rect> TrimAboveManuals() const;
    std::optional<Rect> TrimBelowManuals() const;
    std::optional<Rect> ExtraRowsPanel() const;
    std::optional<Rect> TrimAboveExtraRows() const;

    // Panel of enclosure index of count (46 x 52).
    Point EnclosurePanel(uint32_t index, uint32_t count) const;
    Point LabelPosition(const LabelPlacement& label) const;

    // Display settings, as read.
    bool dispExtraDrawstopRowsAboveExtraButtonRows = false;
    bool dispTrimAboveExtraRows = false;
    bool dispTrimAboveManuals = false;
    bool dispTrimBelowManuals = false;
    bool dispButtonsAboveManuals = false;
    bool dispExtraPedalButtonRow = false;
    bool dispExtraPedalButtonRowOffset = false;
    bool dispExtraPedalButtonRowOffsetRight = false;
    uint32_t dispDrawstopCols = 0;
    uint32_t dispButtonCols = 0;
    uint32_t dispDrawstopRows = 0;
    bool dispDrawstopColsOffset = false;
    bool dispDrawstopOuterColOffsetUp = false;
    bool dispPairDrawstopCols = false;
    uint32_t dispExtraButtonRows = 0;
    uint32_t dispExtraDrawstopRows = 0;
    uint32_t dispExtraDrawstopCols = 0;
    std::string dispControlLabelFont;
    std::string dispShortcutKeyLabelFont;
    std::string dispGroupLabelFont;
    Colour dispShortcutKeyLabelColour;
    uint32_t dispDrawstopBackgroundImageNum = 0;
    uint32_t dispDrawstopInsetBackgroundImageNum = 0;
    uint32_t dispKeyHorizBackgroundImageNum = 0;
    uint32_t dispKeyVertBackgroundImageNum = 0;
    uint32_t dispConsoleBackgroundImageNum = 0;
    ScreenSize dispScreenSizeHoriz = ScreenSize::Small;
    ScreenSize dispScreenSizeVert = ScreenSize::Small;

    // Derived.
    uint32_t windowWidth = 0;   // outer size from the screen-size words
    uint32_t windowHeight = 0;
    uint32_t centralWidth = 0;
    uint32_t displayedManualCount = 0;  // manuals 1.. whose Displayed is Y
    uint32_t clientWidth = 0;   // W
    uint32_t clientHeight = 0;  // H

private:
    uint32_t JambWidth() const { return (clientWidth - centralWidth) / 2; }
    uint32_t DrawstopBlockLeft(bool leftJamb) const;
    uint32_t ExtraRowsBase() const;
    uint32_t ExtraDrawstopRowY(uint32_t e) const;
    uint32_t ExtraButtonRowY(uint32_t e) const;

    Rect leftJamb;
    Rect rightJamb;
};

}  // namespace tessaline
