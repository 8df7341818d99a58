#pragma once
// The load shared by divisionals and generals, which differ only in their
// section prefix, their number and what their contents hold.

#include <cstdint>

#include "organ/DefinitionReader.h"

namespace tessaline {

// OFF, UI. From the definition file (fromDefinition): clears the
// combination, gives it `definitionNumber`, loads its button from
// <prefix>%03d and then its contents through `loadContents`; a failure
// clears it. From a combination file: the contents of the section of its own
// number; a section without NumberOfStops changes nothing, and a failure
// leaves what was read.
template <typename Combination, typename LoadContents>
bool LoadCombination(Combination& combination, const DefinitionFile& file, const char* prefix,
                     uint32_t definitionNumber, bool fromDefinition, LoadContents loadContents) {
    if (fromDefinition) {
        combination.Clear();
        combination.number = definitionNumber;
        if (!combination.Button::Load(file, prefix, static_cast<int>(definitionNumber))) return false;
    } else if (file.Find(NumberedName(prefix, static_cast<int>(combination.number)), "NumberOfStops") ==
               nullptr) {
        return true;
    }
    if (!loadContents()) {
        if (fromDefinition) combination.Clear();
        return false;
    }
    combination.combinationLoaded = true;
    return true;
}

}  // namespace tessaline
