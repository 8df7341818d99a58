#pragma once
// Qt key events to the virtual-key codes that organ files store for shortcut
// keys (A-Z 65-90, 0-9 48-57, F1-F24 112-135, arrows 37-40, shift 16, ...).
// Punctuation follows the US layout's key positions, so a shifted key gives
// the code of its unshifted key.

#include <cstdint>

#include <Qt>

namespace tessaline {

inline constexpr uint32_t kShiftKeyCode = 16;

// The code of the key, or 0 for a key without one.
uint32_t VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

}  // namespace tessaline
