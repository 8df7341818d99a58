#include "console/ConsolePalette.h"

#include <algorithm>

namespace tessaline {

Colour KeyNormalColour(bool pedal, bool inverted, KeyShape shape) {
    bool dark = (shape == KeyShape::BlackKey) != inverted;
    if (pedal) return dark ? kPedalKeyDark : kPedalKeyLight;
    return dark ? kManualKeyDark : kManualKeyLight;
}

Colour KeyColour(uint32_t holds, uint32_t directHolds, Colour normal) {
    if (directHolds > 0) return kKeyHeldDirectly;
    if (holds > 0) return kKeyHeldByCoupler;
    return normal;
}

uint32_t EnclosureLitHeight(uint32_t position) {
    return kEnclosureBarHeight * std::min<uint32_t>(position, 127) / 127;
}

}  // namespace tessaline
