#include "audio/WindchestGroup.h"

#include <algorithm>

#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"

namespace tessaline {

namespace {
constexpr size_t kNumberBuffer = 16;
constexpr size_t kCommentsBuffer = 256;
}  // namespace

void WindchestGroup::Clear() {
    enclosureCount = 0;
    tremulantCount = 0;
    comments.clear();
    enclosures.fill(0);
    tremulants.fill(0);
    loaded = false;
}

bool WindchestGroup::Load(const DefinitionFile& file, int index, uint32_t organEnclosures,
                          uint32_t organTremulants) {
    Clear();
    const int number = index + 1;
    KeyReader keys(file, NumberedName("WindchestGroup", number),
                   "Loading an organ windchest group.");
    bool ok =
        keys.Whole("NumberOfEnclosures", kNumberBuffer, 0, kMaxGroupEnclosures, enclosureCount,
                   "The NumberOfEnclosures setting for windchest group %d is not specified in the "
                   "organ definition file.",
                   "An invalid NumberOfEnclosures setting for windchest group %d is specified in "
                   "the organ definition file.",
                   number) &&
        keys.Whole("NumberOfTremulants", kNumberBuffer, 0, kMaxGroupTremulants, tremulantCount,
                   "The NumberOfTremulants setting for windchest group %d is not specified in the "
                   "organ definition file.",
                   "An invalid NumberOfTremulants setting for windchest group %d is specified in "
                   "the organ definition file.",
                   number);
    if (!ok) {
        Clear();
        return false;
    }
    comments = keys.Text("Comments", kCommentsBuffer);
    for (uint32_t i = 0; i < enclosureCount; ++i) {
        const int specifier = static_cast<int>(i) + 1;
        uint32_t value = 0;
        if (!keys.Whole(NumberedName("Enclosure", specifier).c_str(), kNumberBuffer, 1,
                        organEnclosures, value,
                        "Enclosure specifier %d for windchest group %d could not be found in the "
                        "organ definition file.",
                        "Enclosure specifier %d for windchest group %d references an invalid "
                        "enclosure in the organ definition file.",
                        specifier, number)) {
            Clear();
            return false;
        }
        enclosures[i] = static_cast<int>(value) - 1;
    }
    for (uint32_t i = 0; i < tremulantCount; ++i) {
        const int specifier = static_cast<int>(i) + 1;
        uint32_t value = 0;
        if (!keys.Whole(NumberedName("Tremulant", specifier).c_str(), kNumberBuffer, 1,
                        organTremulants, value,
                        "Tremulant specifier %d for windchest group %d could not be found in the "
                        "organ definition file.",
                        "Tremulant specifier %d for windchest group %d references an invalid "
                        "tremulant in the organ definition file.",
                        specifier, number)) {
            Clear();
            return false;
        }
        tremulants[i] = static_cast<int>(value) - 1;
    }
    loaded = true;
    return true;
}

int FindAttachments(std::span<const WindchestGroup> groups, GroupList list, int target,
                    std::array<int, kMaxGroupLinks>& found) {
    int count = 0;
    for (size_t g = 0; g < groups.size(); ++g) {
        const WindchestGroup& group = groups[g];
        const bool enclosures = list == GroupList::Enclosures;
        const uint32_t entries = std::min<uint32_t>(
            enclosures ? group.enclosureCount : group.tremulantCount, kMaxGroupEnclosures);
        for (uint32_t e = 0; e < entries; ++e) {
            const int entry = enclosures ? group.enclosures[e] : group.tremulants[e];
            if (entry == target && count < kMaxGroupLinks)
                found[static_cast<size_t>(count++)] = static_cast<int>(g);
        }
    }
    return count;
}

}  // namespace tessaline
