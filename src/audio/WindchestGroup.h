#pragma once
// A windchest group: the stops that sound on it share one mix buffer, and the
// group names the enclosures and tremulants that act on that buffer.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "organ/Constants.h"

namespace tessaline {

class AudioEngine;
class DefinitionFile;

class WindchestGroup {
public:
    // Reads section WindchestGroup%03d (index + 1). organEnclosures and
    // organTremulants are the organ's NumberOfEnclosures and
    // NumberOfTremulants, the range of the specifiers. Reports and clears the
    // group on failure. OFF: only while the organ is not active.
    bool Load(const DefinitionFile& file, int index, uint32_t organEnclosures,
              uint32_t organTremulants);
    // OFF.
    void Clear();

    uint32_t enclosureCount = 0;
    uint32_t tremulantCount = 0;
    std::string comments;
    std::array<int, kMaxGroupEnclosures> enclosures{};  // enclosure indexes from 0
    std::array<int, kMaxGroupTremulants> tremulants{};  // tremulant indexes from 0
    bool loaded = false;
    AudioEngine* engine = nullptr;
};

enum class GroupList { Enclosures, Tremulants };

// The group numbers of every entry equal to target in the groups' enclosure or
// tremulant lists, in order of group number and then of list position (a
// group naming it twice appears twice). groups is the organ's table, indexed
// by group number. Entries past the table of links are left out rather than
// written beyond it. Returns how many were found.
int FindAttachments(std::span<const WindchestGroup> groups, GroupList list, int target,
                    std::array<int, kMaxGroupLinks>& found);

}  // namespace tessaline
