#pragma once
// Where the console puts every control of an organ, from its display
// settings and the client size of the window. The arithmetic is unsigned
// 32-bit, as the console's, so a layout that spills off the window shows as
// huge coordinates rather than negative ones.

#include <cstdint>

#include "DemoInstrument.h"

namespace tessaline::demo {

struct Rect {
    int64_t left, top, right, bottom;  // right and bottom exclusive
};

// Window outer size for a size word ("Small" .. "Large"); 0 when unknown.
uint32_t ScreenWidthOf(const char* word);
uint32_t ScreenHeightOf(const char* word);

class ConsoleGeometry {
public:
    // width and height are the client area (height without the status bar).
    ConsoleGeometry(const DisplaySettings& display, uint32_t width, uint32_t height,
                    uint32_t displayedManuals);

    uint32_t CentralWidth() const { return centralWidth; }
    uint32_t GridTop() const;
    uint32_t GridBottom() const;
    uint32_t DrawstopX(uint32_t row, uint32_t col) const;  // both from 0
    uint32_t DrawstopY(uint32_t row, uint32_t col) const;
    uint32_t SlotTop(uint32_t slot) const;
    uint32_t ButtonX(uint32_t row, uint32_t col) const;  // column from 0
    uint32_t ButtonY(uint32_t row) const;
    uint32_t LabelX(uint32_t col, bool spanRight) const;  // column from 0
    uint32_t LabelY(bool atTop) const;
    uint32_t EnclosureX(uint32_t index, uint32_t count) const;
    uint32_t EnclosureY() const;
    // Left edge and width of a keyboard of `keys` keys from MIDI note `first`.
    uint32_t KeyboardLeft(uint32_t first, uint32_t keys) const;
    uint32_t KeyboardWidth(uint32_t first, uint32_t keys) const;

    // Frames of the console's pieces.
    Rect Drawstop(int fileRow, int fileCol) const;
    Rect Button(int fileRow, int fileCol) const;
    Rect Label(int fileCol, bool spanRight) const;
    Rect Keyboard(uint32_t slot, uint32_t first, uint32_t keys) const;
    Rect Enclosure(uint32_t index, uint32_t count) const;

private:
    DisplaySettings display;
    uint32_t width, height, displayed, centralWidth;
};

// Every drawstop, button, label, keyboard and enclosure panel of the demo
// organ, for checking that the console fits its window.
struct PlacedPiece {
    const char* kind;
    std::string name;
    Rect frame;
};
std::vector<PlacedPiece> PlaceDemoConsole(const DemoOrgan& organ, const ConsoleGeometry& geometry);

}  // namespace tessaline::demo
