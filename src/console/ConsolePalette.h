#pragma once
// The fixed colours of the console and the two small rules that choose among
// them: a key's colour from its holds, and the lit height of an enclosure bar.
// Kept free of any drawing library so that the rules can be checked alone.

#include <cstdint>

#include "console/ConsoleLayout.h"
#include "organ/DefinitionReader.h"

namespace tessaline {

inline constexpr Colour kConsoleGrey{128, 128, 128};  // empty console, key beds
inline constexpr Colour kManualKeyLight{255, 255, 255};
inline constexpr Colour kManualKeyDark{0, 0, 0};
inline constexpr Colour kPedalKeyLight{235, 203, 24};
inline constexpr Colour kPedalKeyDark{96, 57, 36};
inline constexpr Colour kKeyHeldDirectly{255, 0, 0};
inline constexpr Colour kKeyHeldByCoupler{0, 0, 255};
inline constexpr Colour kEnclosurePanel{0, 0, 0};
inline constexpr Colour kEnclosureClosed{102, 82, 28};
inline constexpr Colour kEnclosureOpen{151, 129, 60};
inline constexpr Colour kEnclosureName{255, 255, 255};

// Enclosure bar: 35 x 45, 5 right of and 16 below the panel's corner.
inline constexpr uint32_t kEnclosureBarLeft = 5;
inline constexpr uint32_t kEnclosureBarWidth = 35;
inline constexpr uint32_t kEnclosureBarHeight = 45;
// The lit height remembered when no bar has been drawn yet.
inline constexpr uint32_t kEnclosureBarNotDrawn = 255;

// A key's colour when nothing holds it: accidentals dark and naturals light,
// the other way round on an inverted manual; the pedal (manual 0) has its own
// pair.
Colour KeyNormalColour(bool pedal, bool inverted, KeyShape shape);

// Red while a direct press holds the key, blue while only couplers do, else
// its normal colour.
Colour KeyColour(uint32_t holds, uint32_t directHolds, Colour normal);

// Lit (open) pixels of the bar for an enclosure position 0..127; positions
// above 127 count as 127.
uint32_t EnclosureLitHeight(uint32_t position);

}  // namespace tessaline
