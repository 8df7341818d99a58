#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "audio/Enclosure.h"
#include "audio/Tremulant.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

// Loads windchest group 2 of an organ with two enclosures and three
// tremulants, enclosure 3 or Tremulant012; returns the reports as
// "message [action]", or "loaded".
std::string Load(const std::string& section, const std::string& keys) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[" + section + "]\n" + keys);
    std::array<WindchestGroup, 1> groups;
    bool loaded = false;
    if (section == "WindchestGroup002")
        loaded = WindchestGroup().Load(file, 1, 2, 3);
    else if (section == "Enclosure003")
        loaded = std::make_unique<Enclosure>()->Load(file, 2, 0, 0, groups);
    else
        loaded = std::make_unique<Tremulant>()->Load(file, 12, groups);
    std::string reports;
    for (const auto& e : errors.Errors()) reports += e.message + " [" + e.attemptedAction + "]";
    EXPECT_EQ(loaded, reports.empty());
    return loaded ? "loaded" : reports;
}

// One row per message shape, with the first and last valid values and one past.
TEST(SectionLoad, KeysAreCheckedInOrderWithTheirMessages) {
    const std::string file = " in the organ definition file.";
    const std::string group = file + " [Loading an organ windchest group.]";
    const std::string counts = "NumberOfEnclosures=2\nNumberOfTremulants=1\nEnclosure001=1\n";
    const std::string enclosure = " [Loading an organ enclosure.]";
    const std::string input = "An invalid MIDI input number for enclosure 3 is specified" + file;
    const std::string period = "An invalid period for Tremulant012 is specified" + file;
    const std::string rates = "Period=441000\nStartRate=1\nStopRate=100\n";
    const struct {
        const char* section;
        std::string keys, result;
    } rows[] = {
        {"WindchestGroup002", "NumberOfTremulants=0\n",
         "The NumberOfEnclosures setting for windchest group 2 is not specified" + group},
        {"WindchestGroup002", "NumberOfEnclosures=7\nNumberOfTremulants=0\n",
         "An invalid NumberOfEnclosures setting for windchest group 2 is specified" + group},
        {"WindchestGroup002", counts,
         "Enclosure specifier 2 for windchest group 2 could not be found" + group},
        {"WindchestGroup002", counts + "Enclosure002=3\n", "Enclosure specifier 2 for windchest "
         "group 2 references an invalid enclosure" + group},
        {"WindchestGroup002", counts + "Enclosure002=2\nTremulant001=3\n", "loaded"},
        {"Enclosure003", "MIDIInputNumber=1\nAmpMinimumLevel=0\n", "No enclosure name is "
         "specified in the organ definition file or the enclosure 3 section is missing." +
         enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=7\n", input + enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=6\nAmpMinimumLevel=101\n", "An invalid minimum "
         "level value for enclosure 3 is specified in the organ definition file (range 0-100)." +
         enclosure},
        {"Enclosure003", "Name=S\nMIDIInputNumber=6\nAmpMinimumLevel=100\n", "loaded"},
        {"Tremulant012", "StartRate=1\n", "The period for Tremulant012 is not specified" + file +
         " [Loading an organ tremulant.]"},
        {"Tremulant012", "Period=441001\n", period + " [Loading an organ tremulant.]"},
        {"Tremulant012", rates + "AmpModDepth=0\n", "An invalid depth for Tremulant012 is "
         "specified in the organ definition file (range 1-100). [Loading an organ tremulant.]"},
        {"Tremulant012", rates + "AmpModDepth=100\n", "loaded"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.section + (": " + row.keys));
        EXPECT_EQ(Load(row.section, row.keys), row.result);
    }
}

}  // namespace
}  // namespace tessaline
