#include "ConsoleGeometry.h"

#include <algorithm>
#include <strings.h>

namespace tessaline::demo {

namespace {

struct SizeWord {
    const char* word;
    uint32_t width, height;
};
constexpr SizeWord kSizes[] = {
    {"Small", 792, 560}, {"Medium", 1016, 728}, {"Medium Large", 1272, 920}, {"Large", 1592, 1160}};

constexpr uint32_t kDrawstopWidth = 74, kDrawstopHeight = 65;
constexpr uint32_t kButtonWidth = 44, kButtonHeight = 35;
constexpr uint32_t kLabelWidth = 78, kLabelHeight = 22;
constexpr uint32_t kEnclosureWidth = 46, kEnclosureHeight = 52;
constexpr uint32_t kKeyHeight = 32;

constexpr uint32_t kPitchOffset[12] = {0, 10, 12, 22, 24, 36, 46, 48, 58, 60, 70, 72};

uint32_t Span(uint32_t a, uint32_t b) {
    return ((b - a + a % 12) / 12) * 84 + kPitchOffset[b % 12] - kPitchOffset[a % 12];
}

Rect Frame(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    return {x, y, int64_t{x} + w, int64_t{y} + h};
}

}  // namespace

uint32_t ScreenWidthOf(const char* word) {
    for (const auto& s : kSizes)
        if (strcasecmp(word, s.word) == 0) return s.width;
    return 0;
}

uint32_t ScreenHeightOf(const char* word) {
    for (const auto& s : kSizes)
        if (strcasecmp(word, s.word) == 0) return s.height;
    return 0;
}

ConsoleGeometry::ConsoleGeometry(const DisplaySettings& d, uint32_t w, uint32_t h, uint32_t shown)
    : display(d), width(w), height(h), displayed(shown) {
    centralWidth = std::max({452u, d.extraDrawstopCols * 78 + 10, d.buttonCols * 44 + 10});
}

uint32_t ConsoleGeometry::GridTop() const {
    uint32_t grid = display.drawstopRows * 69 + (display.drawstopColsOffset ? 32 : 0);
    return (height - grid) / 2;
}

uint32_t ConsoleGeometry::GridBottom() const {
    return GridTop() + display.drawstopRows * 69 + (display.drawstopColsOffset ? 32 : 0);
}

uint32_t ConsoleGeometry::DrawstopX(uint32_t row, uint32_t col) const {
    const uint32_t half = display.drawstopCols / 2, quarter = half / 2;
    if (row >= 100) return (width - display.extraDrawstopCols * 78) / 2 + col * 78;
    uint32_t block = display.pairDrawstopCols ? half * 80 + quarter * 12 - 8 : half * 78 - 4;
    uint32_t jamb = (width - centralWidth) / 2;
    uint32_t left = (jamb - block) / 2;
    bool leftJamb = col < half;
    if (!leftJamb) left += jamb + centralWidth;
    uint32_t lc = leftJamb ? col : col - half;
    if (!display.pairDrawstopCols) return left + lc * 78;
    return left + lc * 74 + ((lc + 1) / 2) * 4 + (2 * (lc / 2) + 1) * 6 + (lc / 2) * 8;
}

uint32_t ConsoleGeometry::DrawstopY(uint32_t row, uint32_t col) const {
    if (row >= 100) {
        uint32_t e = row - 100;
        uint32_t base = SlotTop(displayed) - (display.trimAboveManuals ? 6 : 0);
        if (display.extraDrawstopRowsAboveExtraButtonRows)
            return base - display.extraButtonRows * 40 - (display.extraDrawstopRows - e) * 69;
        return base - (display.extraDrawstopRows - e) * 69;
    }
    uint32_t y = GridTop() + row * 69;
    if (display.drawstopColsOffset) {
        uint32_t c = col < display.drawstopCols / 2 ? col : display.drawstopCols - 1 - col;
        bool down = display.drawstopOuterColOffsetUp ? c % 2 == 1 : c % 2 == 0;
        if (down) y += 32;
    }
    return y;
}

uint32_t ConsoleGeometry::SlotTop(uint32_t slot) const {
    uint32_t a = slot >= 1 ? 87 : 0;
    uint32_t b = slot >= 1 && display.extraPedalButtonRow ? 40 : 0;
    return height - 10 - (slot + 1) * 72 - a - b;
}

uint32_t ConsoleGeometry::ButtonX(uint32_t row, uint32_t col) const {
    uint32_t x = width / 2 - (display.buttonCols * 44) / 2 + col * 44 - 6;
    if (row == 99 && display.extraPedalButtonRowOffset)
        x = display.extraPedalButtonRowOffsetRight ? x + 22 : x - 22;
    return x;
}

uint32_t ConsoleGeometry::ButtonY(uint32_t row) const {
    if (row <= 5) return SlotTop(row) + 4 + (row >= 1 && !display.buttonsAboveManuals ? 32 : 0);
    if (row == 99 && display.extraPedalButtonRow) return SlotTop(0) - 36;
    if (row >= 100 && row < 100 + display.extraButtonRows) {
        uint32_t e = row - 100;
        uint32_t base = SlotTop(displayed) - (display.trimAboveManuals ? 6 : 0);
        if (display.extraDrawstopRowsAboveExtraButtonRows)
            return base - (display.extraButtonRows - e) * 40 + 4;
        return base - display.extraDrawstopRows * 69 - (display.extraButtonRows - e) * 40 + 4;
    }
    return 0;
}

uint32_t ConsoleGeometry::LabelX(uint32_t col, bool spanRight) const {
    uint32_t x = DrawstopX(0, col) + (col < display.drawstopCols / 2 ? 9 : 0);
    return spanRight ? x + 32 : x - 7;
}

uint32_t ConsoleGeometry::LabelY(bool atTop) const { return atTop ? GridTop() - 28 : GridBottom() + 6; }

uint32_t ConsoleGeometry::EnclosureX(uint32_t index, uint32_t count) const {
    return width / 2 - (count * 52) / 2 + index * 52;
}

uint32_t ConsoleGeometry::EnclosureY() const { return SlotTop(1) + 86; }

uint32_t ConsoleGeometry::KeyboardWidth(uint32_t first, uint32_t keys) const { return Span(first, first + keys); }

uint32_t ConsoleGeometry::KeyboardLeft(uint32_t first, uint32_t keys) const {
    return width / 2 - KeyboardWidth(first, keys) / 2;
}

Rect ConsoleGeometry::Drawstop(int fileRow, int fileCol) const {
    uint32_t row = fileRow >= 100 ? static_cast<uint32_t>(fileRow) : static_cast<uint32_t>(fileRow - 1);
    uint32_t col = static_cast<uint32_t>(fileCol - 1);
    return Frame(DrawstopX(row, col), DrawstopY(row, col), kDrawstopWidth, kDrawstopHeight);
}

Rect ConsoleGeometry::Button(int fileRow, int fileCol) const {
    uint32_t row = static_cast<uint32_t>(fileRow);
    return Frame(ButtonX(row, static_cast<uint32_t>(fileCol - 1)), ButtonY(row), kButtonWidth, kButtonHeight);
}

Rect ConsoleGeometry::Label(int fileCol, bool spanRight) const {
    return Frame(LabelX(static_cast<uint32_t>(fileCol - 1), spanRight), LabelY(true), kLabelWidth, kLabelHeight);
}

Rect ConsoleGeometry::Keyboard(uint32_t slot, uint32_t first, uint32_t keys) const {
    // The pedal's keys lie below its button strip; a manual's above it
    // unless the buttons are placed above the manuals.
    uint32_t top = SlotTop(slot) + (slot == 0 || display.buttonsAboveManuals ? 40 : 0);
    return Frame(KeyboardLeft(first, keys), top, KeyboardWidth(first, keys), kKeyHeight);
}

Rect ConsoleGeometry::Enclosure(uint32_t index, uint32_t count) const {
    return Frame(EnclosureX(index, count), EnclosureY(), kEnclosureWidth, kEnclosureHeight);
}

std::vector<PlacedPiece> PlaceDemoConsole(const DemoOrgan& organ, const ConsoleGeometry& g) {
    std::vector<PlacedPiece> pieces;
    for (const auto& s : organ.stops) pieces.push_back({"drawstop", s.name, g.Drawstop(s.place.row, s.place.col)});
    for (const auto& c : organ.couplers) pieces.push_back({"drawstop", c.name, g.Drawstop(c.place.row, c.place.col)});
    pieces.push_back({"drawstop", "Tremulant", g.Drawstop(organ.tremulantPlace.row, organ.tremulantPlace.col)});
    pieces.push_back({"drawstop", "Divisional coupler",
                      g.Drawstop(organ.divisionalCouplerPlace.row, organ.divisionalCouplerPlace.col)});
    for (const auto& d : organ.divisionals)
        pieces.push_back({"button", "Divisional " + d.name, g.Button(d.place.row, d.place.col)});
    for (const auto& gen : organ.generals) pieces.push_back({"button", gen.name, g.Button(gen.place.row, gen.place.col)});
    pieces.push_back({"button", "Reversible", g.Button(organ.reversiblePlace.row, organ.reversiblePlace.col)});
    for (const auto& l : organ.labels) pieces.push_back({"label", l.name, g.Label(l.col, l.spanRight)});
    uint32_t slot = 0;
    for (const auto& m : organ.manuals) {
        pieces.push_back({"keyboard", m.name,
                          g.Keyboard(slot, kLowestKeyNote, static_cast<uint32_t>(m.keys))});
        ++slot;
    }
    pieces.push_back({"enclosure", "Swell", g.Enclosure(0, 1)});
    return pieces;
}

}  // namespace tessaline::demo
