#pragma once
// A windchest group: the stops that sound on it share one mix buffer, and the
// group names the enclosures and tremulants that act on that buffer.

#include <array>
#include <cstdint>
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

}  // namespace tessaline
