#include "SettingsFile.h"

#include <cstdint>

#include "organ/DefinitionReader.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

// The settings file keeps the values in its [General] section.
constexpr const char* kSection = "General";

// Unsigned values compare as unsigned, so a stored negative number fails
// its upper bound.
void ReadUnsigned(const DefinitionFile& file, const std::string& key, uint32_t low, uint32_t high,
                  uint32_t& field) {
    const std::string* text = file.Find(kSection, key);
    if (text == nullptr) return;
    uint32_t value = static_cast<uint32_t>(ParseWholeNumber(text->c_str()));
    if (value >= low && value <= high) field = value;
}

void ReadSigned(const DefinitionFile& file, const std::string& key, int32_t low, int32_t high,
                int32_t& field) {
    const std::string* text = file.Find(kSection, key);
    if (text == nullptr) return;
    int32_t value = ParseWholeNumber(text->c_str());
    if (value >= low && value <= high) field = value;
}

}  // namespace

bool ReadRenderSettings(const std::string& fileName, SetupInfo& setup) {
    DefinitionFile file;
    if (!file.Parse(fileName)) {
        ReportError("The settings file \"%s\" could not be opened.", "Reading Tessaline setup information.",
                    fileName.c_str());
        return false;
    }
    ReadUnsigned(file, "AudioBufferBlocks", 1, 2048, setup.AudioBufferBlocks);
    if (const std::string* format = file.Find(kSection, "PreferredMemorySampleFormat")) {
        if (!format->empty() && (format->front() == '0' || format->front() == '1'))
            setup.PreferredMemorySampleFormat = static_cast<uint32_t>(format->front() - '0');
    }
    if (const std::string* mix = file.Find(kSection, "MixUpwardsOnOutput")) {
        bool value = false;
        if (ParseFlag(mix->c_str(), value)) setup.MixUpwardsOnOutput = value;
    }
    ReadUnsigned(file, "AmplitudeLevel", 2, 100, setup.AmplitudeLevel);
    for (int path = 0; path < SetupInfo::kManualPaths; ++path) {
        std::string prefix = "Manual" + std::to_string(path);
        ReadUnsigned(file, prefix + "Chan", 1, 16, setup.ManualChan[static_cast<size_t>(path)]);
        ReadSigned(file, prefix + "KeyShift", -24, 24, setup.ManualKeyShift[static_cast<size_t>(path)]);
    }
    return true;
}

}  // namespace tessaline
