#include "console/ConsoleLayout.h"

#include <algorithm>

#include "organ/Constants.h"
#include "organ/KeyReader.h"

namespace tessaline {

namespace {

constexpr size_t kNumberBuffer = 8;
constexpr size_t kFontBuffer = 128;
constexpr size_t kColourBuffer = 16;
constexpr size_t kScreenSizeBuffer = 16;

struct ScreenSizeEntry {
    const char* word;
    ScreenSize size;
    uint32_t width;
    uint32_t height;
};

constexpr ScreenSizeEntry kScreenSizes[] = {
    {"Small", ScreenSize::Small, 792, 560},
    {"Medium", ScreenSize::Medium, 1016, 728},
    {"Medium Large", ScreenSize::MediumLarge, 1272, 920},
    {"Large", ScreenSize::Large, 1592, 1160},
};

const ScreenSizeEntry& EntryOf(ScreenSize size) {
    for (const auto& entry : kScreenSizes)
        if (entry.size == size) return entry;
    return kScreenSizes[0];
}

// A face name that must name a usable font.
bool ReadFace(const KeyReader& organ, ConsoleView& view, const char* key, std::string& face,
              const char* missing, const char* invalid) {
    if (!organ.RequiredText(key, kFontBuffer, face, missing)) return false;
    if (!view.FontUsable(face)) {
        organ.Report(invalid);
        return false;
    }
    return true;
}

bool ReadImageNumber(const KeyReader& organ, const char* key, uint32_t& value, const char* missing,
                     const char* invalid) {
    return organ.Whole(key, kNumberBuffer, 1, kBackgroundImages, value, missing, invalid,
                       kBackgroundImages);
}

}  // namespace

uint32_t ScreenSizeWidth(ScreenSize size) { return EntryOf(size).width; }
uint32_t ScreenSizeHeight(ScreenSize size) { return EntryOf(size).height; }

bool ParseScreenSize(const std::string& text, ScreenSize& size) {
    for (const auto& entry : kScreenSizes) {
        if (EqualsIgnoreCase(text, entry.word)) {
            size = entry.size;
            return true;
        }
    }
    return false;
}

uint32_t KeyPitchOffset(uint32_t pitchClass) {
    static constexpr uint32_t kOffsets[12] = {0, 10, 12, 22, 24, 36, 46, 48, 58, 60, 70, 72};
    return kOffsets[pitchClass % 12];
}

uint32_t KeySpan(uint32_t a, uint32_t b) {
    return ((b - a + a % 12) / 12) * kOctaveWidth + KeyPitchOffset(b % 12) -
           KeyPitchOffset(a % 12);
}

KeyShape ShapeOfKey(uint32_t note, bool isFirst, bool isLast) {
    switch (note % 12) {
        case 1: case 3: case 6: case 8: case 10:
            return KeyShape::BlackKey;
        case 0: case 5:
            return isLast ? KeyShape::Plain : KeyShape::NotchRight;
        case 2: case 7: case 9:
            if (isFirst && isLast) return KeyShape::Plain;
            if (isFirst) return KeyShape::NotchRight;
            if (isLast) return KeyShape::NotchLeft;
            return KeyShape::NotchBoth;
        default:  // E, B
            return isFirst ? KeyShape::Plain : KeyShape::NotchLeft;
    }
}

KeyRects RectsOfKeyShape(KeyShape shape) {
    const Rect naturalLower{0, 20, 11, 32};
    switch (shape) {
        case KeyShape::BlackKey: return {{0, 0, 4, 19}, std::nullopt};
        case KeyShape::NotchRight: return {{0, 0, 9, 20}, naturalLower};
        case KeyShape::NotchBoth: return {{3, 0, 9, 20}, naturalLower};
        case KeyShape::NotchLeft: return {{3, 0, 11, 20}, naturalLower};
        case KeyShape::Plain: break;
    }
    return {{0, 0, 11, 32}, std::nullopt};
}

bool ConsoleLayout::ReadFirstGroup(const KeyReader& organ) {
    if (!organ.Flag("DispExtraDrawstopRowsAboveExtraButtonRows",
                    dispExtraDrawstopRowsAboveExtraButtonRows,
                    "The DispExtraDrawstopRowsAboveExtraButtonRows setting for the organ could not be found in the organ definition file.",
                    "The DispExtraDrawstopRowsAboveExtraButtonRows setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispTrimAboveExtraRows", dispTrimAboveExtraRows,
                    "The DispTrimAboveExtraRows setting for the organ could not be found in the organ definition file.",
                    "The DispTrimAboveExtraRows setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispTrimAboveManuals", dispTrimAboveManuals,
                    "The DispTrimAboveManuals setting for the organ could not be found in the organ definition file.",
                    "The DispTrimAboveManuals setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispTrimBelowManuals", dispTrimBelowManuals,
                    "The DispTrimBelowManuals setting for the organ could not be found in the organ definition file.",
                    "The DispTrimBelowManuals setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispButtonsAboveManuals", dispButtonsAboveManuals,
                    "The DispButtonsAboveManuals setting for the organ could not be found in the organ definition file.",
                    "The DispButtonsAboveManuals setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispExtraPedalButtonRow", dispExtraPedalButtonRow,
                    "The DispExtraPedalButtonRow setting for the organ could not be found in the organ definition file.",
                    "The DispExtraPedalButtonRow setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    dispExtraPedalButtonRowOffset = false;
    dispExtraPedalButtonRowOffsetRight = false;
    if (!dispExtraPedalButtonRow) return true;
    if (!organ.Flag("DispExtraPedalButtonRowOffset", dispExtraPedalButtonRowOffset,
                    "The DispExtraPedalButtonRowOffset setting for the organ could not be found in the organ definition file.",
                    "The DispExtraPedalButtonRowOffset setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    return organ.Flag("DispExtraPedalButtonRowOffsetRight", dispExtraPedalButtonRowOffsetRight,
                      "The DispExtraPedalButtonRowOffsetRight setting for the organ could not be found in the organ definition file.",
                      "The DispExtraPedalButtonRowOffsetRight setting for the organ is invalid in the organ definition file (Y/N).");
}

bool ConsoleLayout::ReadSecondGroup(const KeyReader& organ, ConsoleView& view) {
    const char* invalidCols =
        "An invalid number of displayed drawstop columns for the organ is specified in the organ definition file (must be divisible by two).";
    if (!organ.Whole("DispDrawstopCols", kNumberBuffer, 2, kMaxDrawstopCols, dispDrawstopCols,
                     "The number of displayed drawstop columns for the organ could not be found in the organ definition file.",
                     invalidCols))
        return false;
    if (dispDrawstopCols % 2 != 0) {
        organ.Report(invalidCols);
        return false;
    }
    if (!organ.Whole("DispButtonCols", kNumberBuffer, 1, kMaxButtonCols, dispButtonCols,
                     "The DispButtonCols setting for the organ could not be found in the organ definition file.",
                     "An invalid DispButtonCols setting for the organ is specified in the organ definition file ."))
        return false;
    if (!organ.Whole("DispDrawstopRows", kNumberBuffer, 1, kMaxDrawstopRows, dispDrawstopRows,
                     "The number of displayed drawstop rows for the organ could not be found in the organ definition file.",
                     "An invalid number of displayed drawstop rows for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Flag("DispDrawstopColsOffset", dispDrawstopColsOffset,
                    "The displayed drawstop offset setting for the organ could not be found in the organ definition file.",
                    "The displayed drawstop offset setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    dispDrawstopOuterColOffsetUp = false;
    if (dispDrawstopColsOffset &&
        !organ.Flag("DispDrawstopOuterColOffsetUp", dispDrawstopOuterColOffsetUp,
                    "The displayed drawstop outer offset direction setting for the organ could not be found in the organ definition file.",
                    "The displayed drawstop outer offset direction setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!organ.Flag("DispPairDrawstopCols", dispPairDrawstopCols,
                    "The displayed drawstop column pairing setting for the organ could not be found in the organ definition file.",
                    "The displayed drawstop column pairing setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (dispPairDrawstopCols && dispDrawstopCols % 4 != 0) {
        organ.Report("The drawstop columns cannot be paired when the number of drawstop columns is not divisble by four.");
        return false;
    }
    if (!organ.Whole("DispExtraButtonRows", kNumberBuffer, 0, kMaxExtraButtonRows, dispExtraButtonRows,
                     "The number of displayed rows for extra combination buttons for the organ could not be found in the organ definition file.",
                     "An invalid number of displayed rows for extra combination buttons for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("DispExtraDrawstopRows", kNumberBuffer, 0, kMaxExtraDrawstopRows, dispExtraDrawstopRows,
                     "The number of displayed rows for extra drawstops for the organ could not be found in the organ definition file.",
                     "An invalid number of displayed rows for extra drawstops for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("DispExtraDrawstopCols", kNumberBuffer, 0, kMaxExtraDrawstopCols, dispExtraDrawstopCols,
                     "The number of displayed columns for extra drawstops for the organ could not be found in the organ definition file.",
                     "An invalid number of displayed columns for extra drawstops for the organ is specified in the organ definition file."))
        return false;
    centralWidth = std::max({kMinCentralWidth, dispExtraDrawstopCols * kDrawstopPitchX + 10,
                             dispButtonCols * kButtonPitchX + 10});

    if (!ReadFace(organ, view, "DispControlLabelFont", dispControlLabelFont,
                  "The display font setting for the drawstops could not be found .",
                  "The display font setting for the drawstops is invalid or not installed."))
        return false;
    if (!ReadFace(organ, view, "DispShortcutKeyLabelFont", dispShortcutKeyLabelFont,
                  "The display font setting for shortcut key labels could not be found .",
                  "The display font setting for shortcut key labels is invalid or not installed."))
        return false;
    if (!ReadFace(organ, view, "DispGroupLabelFont", dispGroupLabelFont,
                  "The display font setting for group labels could not be found .",
                  "The display font setting for group labels is invalid or not installed."))
        return false;
    if (!organ.ColourName("DispShortcutKeyLabelColour", kColourBuffer, dispShortcutKeyLabelColour,
                          "No shortcut key label colour is specified for the organ in the organ definition.",
                          "An invalid shortcut key label colour is specified for the organ in the organ definition file."))
        return false;

    return ReadImageNumber(organ, "DispDrawstopBackgroundImageNum", dispDrawstopBackgroundImageNum,
                           "The image number for the drawstop background for the organ could not be found in the organ definition file.",
                           "An invalid image number for the drawstop background for the organ is specified in the organ definition file (1-%d).") &&
           ReadImageNumber(organ, "DispDrawstopInsetBackgroundImageNum", dispDrawstopInsetBackgroundImageNum,
                           "The image number for the drawstop inset background for the organ could not be found in the organ definition file.",
                           "An invalid image number for the drawstop inset background for the organ is specified in the organ definition file (1-%d).") &&
           ReadImageNumber(organ, "DispKeyHorizBackgroundImageNum", dispKeyHorizBackgroundImageNum,
                           "The image number for the horizontal keyboard background for the organ could not be found in the organ definition file.",
                           "An invalid image number for the horizontal keyboard background for the organ is specified in the organ definition file (1-%d).") &&
           ReadImageNumber(organ, "DispKeyVertBackgroundImageNum", dispKeyVertBackgroundImageNum,
                           "The image number for the vertical keyboard background for the organ could not be found in the organ definition file.",
                           "An invalid image number for the vertical keyboard background for the organ is specified in the organ definition file (1-%d).") &&
           ReadImageNumber(organ, "DispConsoleBackgroundImageNum", dispConsoleBackgroundImageNum,
                           "The image number for the console background for the organ could not be found in the organ definition file.",
                           "An invalid image number for the console background for the organ is specified in the organ definition file (1-%d).");
}

bool ConsoleLayout::ReadScreenSize(const KeyReader& organ) {
    std::string horiz;
    if (!organ.RequiredText("DispScreenSizeHoriz", kScreenSizeBuffer, horiz,
                            "The DispScreenSizeHoriz setting for the organ could not be found in the organ definition file."))
        return false;
    if (!ParseScreenSize(horiz, dispScreenSizeHoriz)) {
        organ.Report("The DispScreenSizeHoriz setting for the organ is invalid in the organ definition file.");
        return false;
    }
    std::string vert;
    if (!organ.RequiredText("DispScreenSizeVert", kScreenSizeBuffer, vert,
                            "The DispScreenSizeVert setting for the organ could not be found in the organ definition file."))
        return false;
    if (!ParseScreenSize(vert, dispScreenSizeVert)) {
        organ.Report("The DispScreenSizeVert setting for the organ is invalid in the organ definition file.");
        return false;
    }
    windowWidth = ScreenSizeWidth(dispScreenSizeHoriz);
    windowHeight = ScreenSizeHeight(dispScreenSizeVert);
    return true;
}

bool ConsoleLayout::FitsScreen(const ScreenMetrics& screen) const {
    return windowWidth < screen.width && windowHeight < screen.height;
}

void ConsoleLayout::ComputeFixedPositions(uint32_t width, uint32_t height) {
    clientWidth = width;
    clientHeight = height;
    leftJamb = {0, 0, JambWidth(), clientHeight};
    rightJamb = {clientWidth - JambWidth(), 0, clientWidth, clientHeight};
}

FontSpec ConsoleLayout::LabelFont(LabelFontSize size) const {
    int height = size == LabelFontSize::Small ? 10 : size == LabelFontSize::Normal ? 12 : 18;
    return {dispControlLabelFont, height, 400};
}

uint32_t ConsoleLayout::DrawstopBlockLeft(bool left) const {
    uint32_t half = dispDrawstopCols / 2;
    uint32_t quarter = half / 2;
    uint32_t blockWidth = dispPairDrawstopCols ? half * 80 + quarter * 12 - 8
                                               : half * kDrawstopPitchX - 4;
    uint32_t blockLeft = (JambWidth() - blockWidth) / 2;
    return left ? blockLeft : blockLeft + JambWidth() + centralWidth;
}

uint32_t ConsoleLayout::DrawstopX(uint32_t row, uint32_t column) const {
    if (row >= kFirstExtraRow && row - kFirstExtraRow < dispExtraDrawstopRows)
        return (clientWidth - dispExtraDrawstopCols * kDrawstopPitchX) / 2 + column * kDrawstopPitchX;
    if (row >= dispDrawstopRows) return 0;
    bool left = IsLeftJamb(column);
    uint32_t lc = left ? column : column - dispDrawstopCols / 2;
    uint32_t x = DrawstopBlockLeft(left);
    if (!dispPairDrawstopCols) return x + lc * kDrawstopPitchX;
    // Pairs: 78 apart within a pair, 94 between pairs, 6 into the inset panel.
    return x + lc * kDrawstopWidth + ((lc + 1) / 2) * 4 + (2 * (lc / 2) + 1) * 6 + (lc / 2) * 8;
}

uint32_t ConsoleLayout::DrawstopY(uint32_t row, uint32_t column) const {
    if (row >= kFirstExtraRow && row - kFirstExtraRow < dispExtraDrawstopRows)
        return ExtraDrawstopRowY(row - kFirstExtraRow);
    if (row >= dispDrawstopRows) return 0;
    uint32_t y = DrawstopGridTop() + row * kDrawstopPitchY;
    if (dispDrawstopColsOffset) {
        // Counted from the outer edge of the column's jamb.
        uint32_t c = IsLeftJamb(column) ? column : dispDrawstopCols - 1 - column;
        bool down = dispDrawstopOuterColOffsetUp ? c % 2 == 1 : c % 2 == 0;
        if (down) y += kDrawstopColumnOffset;
    }
    return y;
}

uint32_t ConsoleLayout::DrawstopGridTop() const {
    uint32_t gridHeight = dispDrawstopRows * kDrawstopPitchY +
                          (dispDrawstopColsOffset ? kDrawstopColumnOffset : 0);
    return (clientHeight - gridHeight) / 2;
}

uint32_t ConsoleLayout::DrawstopGridBottom() const {
    return DrawstopGridTop() + dispDrawstopRows * kDrawstopPitchY +
           (dispDrawstopColsOffset ? kDrawstopColumnOffset : 0);
}

Rect ConsoleLayout::InsetPanel(uint32_t pair) const {
    uint32_t x = DrawstopX(0, 2 * pair);
    return {x - 6, DrawstopGridTop() - 34, x + 158, DrawstopGridBottom() + 34};
}

uint32_t ConsoleLayout::ButtonX(uint32_t row, uint32_t column) const {
    uint32_t x = clientWidth / 2 - (dispButtonCols * kButtonPitchX) / 2 + column * kButtonPitchX - 6;
    if (row == kExtraPedalButtonRow && dispExtraPedalButtonRowOffset)
        x = dispExtraPedalButtonRowOffsetRight ? x + kButtonPitchX / 2 : x - kButtonPitchX / 2;
    return x;
}

uint32_t ConsoleLayout::ButtonY(uint32_t row) const {
    if (row <= kMaxButtonSlotRow)
        return SlotTop(row) + 4 + (row >= 1 && !dispButtonsAboveManuals ? kKeyStripHeight : 0);
    if (row == kExtraPedalButtonRow)
        return dispExtraPedalButtonRow ? SlotTop(0) - 36 : 0;
    if (row >= kFirstExtraRow && row - kFirstExtraRow < dispExtraButtonRows)
        return ExtraButtonRowY(row - kFirstExtraRow);
    return 0;
}

uint32_t ConsoleLayout::SlotTop(uint32_t slot) const {
    uint32_t a = slot >= 1 ? kEnclosureGap : 0;
    uint32_t b = slot >= 1 && dispExtraPedalButtonRow ? kButtonStripHeight : 0;
    return clientHeight - 10 - (slot + 1) * kSlotHeight - a - b;
}

Rect ConsoleLayout::KeyStrip(uint32_t slot) const {
    // The pedal's buttons are always above its keys.
    bool buttonsOnTop = slot == 0 || dispButtonsAboveManuals;
    uint32_t top = SlotTop(slot) + (buttonsOnTop ? kButtonStripHeight : 0);
    return {clientWidth / 2 - centralWidth / 2, top, clientWidth / 2 + centralWidth / 2,
            top + kKeyStripHeight};
}

KeyboardPlacement ConsoleLayout::Keyboard(uint32_t slot, uint32_t firstNote,
                                          uint32_t keyCount) const {
    uint32_t width = KeySpan(firstNote, firstNote + keyCount);
    return {clientWidth / 2 - width / 2, width, KeyStrip(slot).top};
}

uint32_t ConsoleLayout::ExtraRowsBase() const {
    return TopSlotTop() - (dispTrimAboveManuals ? kTrimHeight : 0);
}

uint32_t ConsoleLayout::ExtraDrawstopRowY(uint32_t e) const {
    if (dispExtraDrawstopRowsAboveExtraButtonRows)
        return ExtraRowsBase() - dispExtraButtonRows * kExtraButtonRowPitch -
               (dispExtraDrawstopRows - e) * kDrawstopPitchY;
    return ExtraRowsBase() - (dispExtraDrawstopRows - e) * kDrawstopPitchY;
}

uint32_t ConsoleLayout::ExtraButtonRowY(uint32_t e) const {
    if (dispExtraDrawstopRowsAboveExtraButtonRows)
        return ExtraRowsBase() - (dispExtraButtonRows - e) * kExtraButtonRowPitch + 4;
    return ExtraRowsBase() - dispExtraDrawstopRows * kDrawstopPitchY -
           (dispExtraButtonRows - e) * kExtraButtonRowPitch + 4;
}

std::optional<Rect> ConsoleLayout::TrimAboveManuals() const {
    if (!dispTrimAboveManuals) return std::nullopt;
    Rect central = CentralPanel();
    return Rect{central.left, TopSlotTop() - kTrimHeight, central.right, TopSlotTop()};
}

std::optional<Rect> ConsoleLayout::TrimBelowManuals() const {
    if (!dispTrimBelowManuals) return std::nullopt;
    Rect central = CentralPanel();
    uint32_t top = SlotTop(1) + kSlotHeight;
    return Rect{central.left, top, central.right, top + kTrimHeight};
}

std::optional<Rect> ConsoleLayout::ExtraRowsPanel() const {
    if (dispExtraButtonRows == 0 && dispExtraDrawstopRows == 0) return std::nullopt;
    bool buttonsOnTop = dispExtraButtonRows > 0 &&
                        (!dispExtraDrawstopRowsAboveExtraButtonRows || dispExtraDrawstopRows == 0);
    uint32_t topRow = buttonsOnTop ? ExtraButtonRowY(0) : ExtraDrawstopRowY(0);
    Rect central = CentralPanel();
    return Rect{central.left, topRow - 14, central.right, ExtraRowsBase()};
}

std::optional<Rect> ConsoleLayout::TrimAboveExtraRows() const {
    std::optional<Rect> panel = ExtraRowsPanel();
    if (!panel || !dispTrimAboveExtraRows) return std::nullopt;
    return Rect{panel->left, panel->top - kTrimHeight, panel->right, panel->top};
}

Point ConsoleLayout::EnclosurePanel(uint32_t index, uint32_t count) const {
    return {clientWidth / 2 - (count * kEnclosurePanelPitch) / 2 + index * kEnclosurePanelPitch,
            SlotTop(1) + 86};
}

Point ConsoleLayout::LabelPosition(const LabelPlacement& label) const {
    uint32_t x = label.dispXpos;
    if (!label.freeXPlacement) {
        x = DrawstopX(0, label.dispDrawstopCol) + (IsLeftJamb(label.dispDrawstopCol) ? 9 : 0);
        x = label.dispSpanDrawstopColToRight ? x + 32 : x - 7;
    }
    uint32_t y = label.dispYpos;
    if (!label.freeYPlacement)
        y = label.dispAtTopOfDrawstopCol ? DrawstopGridTop() - 28 : DrawstopGridBottom() + 6;
    return {x, y};
}

}  // namespace tessaline
