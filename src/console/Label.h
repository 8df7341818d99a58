#pragma once
// A free-standing label plate of the console (section Label%03d): a text on a
// 78 x 22 plate, placed freely or above or below a drawstop column.
//
// Threads: UI only, while the organ is not active.

#include <cstdint>
#include <string>

#include "console/ConsoleLayout.h"
#include "organ/DefinitionReader.h"

namespace tessaline {

class KeyReader;
class Organ;

class Label {
public:
    // UI: the organ the label belongs to, set before loading.
    void Attach(Organ& owner) { organ = &owner; }
    // UI, OFF. Reads section Label%03d (index + 1). False after reporting,
    // with the label cleared.
    bool Load(const DefinitionFile& file, int index);
    // UI, OFF. Empties every field but the organ.
    void Clear();

    std::string name;  // at most 63 characters
    int32_t x = 0;
    int32_t y = 0;
    Colour colour;
    LabelFontSize fontSize = LabelFontSize::Small;
    uint32_t imageIndex = 0;  // one plate image only
    bool plateBuilt = false;
    bool loaded = false;
    Organ* organ = nullptr;

private:
    bool ReadPlacement(const KeyReader& section, LabelPlacement& placement) const;
};

}  // namespace tessaline
