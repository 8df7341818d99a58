#pragma once
// Checks that a definition file's console fits its window: every drawstop,
// button, label, keyboard and enclosure panel is placed by the console's own
// layout from the file's keys and must lie wholly inside the client area.

#include <cstdint>
#include <string>
#include <vector>

#include "console/ConsoleLayout.h"
#include "organ/DefinitionReader.h"

namespace tessaline::demo {

// Room the window frame takes from the outer size: title, menu and status
// bar in height, borders in width.
inline constexpr uint32_t kWindowFrameWidth = 16;
inline constexpr uint32_t kWindowFrameHeight = 70;

struct PlacedPiece {
    std::string section;  // the section that placed it ("Manual001" for a keyboard)
    Rect frame;
};

// Places every piece of the console; false (with the reason) when a key
// needed for a position is missing or the display settings are refused.
bool PlaceConsole(const DefinitionFile& file, uint32_t frameWidth, uint32_t frameHeight,
                  std::vector<PlacedPiece>& pieces, uint32_t& clientWidth, uint32_t& clientHeight,
                  std::string& error);

// True when every piece lies inside the client area; otherwise error names
// the first piece outside.
bool ConsoleFitsWindow(const DefinitionFile& file, std::string& error);

}  // namespace tessaline::demo
