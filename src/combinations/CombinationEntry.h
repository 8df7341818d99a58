#pragma once
// The stored contents of a combination: lists of (object, wanted state)
// entries, each of fixed capacity, and the signed form in which files write
// an entry (+n engages object n, -n disengages it, n counts from 1).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaline {

struct CombinationEntry {
    uint8_t manual = 0;  // the manual number, for the stop and coupler entries of a general
    uint8_t index = 0;   // 0-based position of the object
    bool engage = false;
    friend bool operator==(const CombinationEntry&, const CombinationEntry&) = default;
};

template <size_t Capacity>
struct EntryList {
    std::array<CombinationEntry, Capacity> entries{};
    uint32_t count = 0;

    void Clear() { count = 0; }
    // False (and nothing stored) once the list is full.
    bool Add(CombinationEntry entry) {
        if (count >= Capacity) return false;
        entries[count++] = entry;
        return true;
    }
    const CombinationEntry* begin() const { return entries.data(); }
    const CombinationEntry* end() const { return entries.data() + count; }
};

// The signed specifier of an entry: +n or n engages object n (from 1), -n
// disengages it. False for 0, a magnitude above max, or no number at all.
bool ParseEntrySpecifier(const std::string& text, uint32_t max, uint8_t& index, bool& engage);
// "+%03d" or "-%03d" of the 1-based position.
std::string FormatEntrySpecifier(uint8_t index, bool engage);

}  // namespace tessaline
