#include "combinations/CombinationEntry.h"

#include <cstdio>

#include "organ/DefinitionReader.h"

namespace tessaline {

bool ParseEntrySpecifier(const std::string& text, uint32_t max, uint8_t& index, bool& engage) {
    int64_t value = ParseWholeNumber(text.c_str());
    int64_t magnitude = value < 0 ? -value : value;
    if (magnitude < 1 || magnitude > max) return false;
    index = static_cast<uint8_t>(magnitude - 1);
    engage = value > 0;
    return true;
}

std::string FormatEntrySpecifier(uint8_t index, bool engage) {
    char text[8];
    std::snprintf(text, sizeof text, "%c%03d", engage ? '+' : '-', index + 1);
    return text;
}

}  // namespace tessaline
