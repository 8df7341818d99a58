#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "audio/Enclosure.h"
#include "audio/EventRing.h"
#include "audio/Tremulant.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

struct Row {
    std::string keys;
    std::string report;  // "message [action]", or "" when the section loads
};

// Loads each row's keys with `load` and compares what was reported.
template <typename Load>
void CheckRows(const char* section, const std::vector<Row>& rows, Load load) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        RecordingErrorSink errors;
        DefinitionFile file;
        file.ParseText(std::string(section) + "\n" + row.keys);
        EXPECT_EQ(load(file), row.report.empty());
        std::string reports;
        for (const auto& e : errors.Errors()) reports += e.message + " [" + e.attemptedAction + "]";
        EXPECT_EQ(reports, row.report);
    }
}

TEST(WindchestGroupSection, CountsAndSpecifiersAreCheckedAndCountedFromZero) {
    const std::string counts = "NumberOfEnclosures=2\nNumberOfTremulants=1\n";
    const std::string tail = " [Loading an organ windchest group.]";
    const std::string invalid = "Enclosure specifier 2 for windchest group 2 references an invalid "
                                "enclosure in the organ definition file." + tail;
    CheckRows("[WindchestGroup002]", {
        {"NumberOfTremulants=0\n", "The NumberOfEnclosures setting for windchest group 2 is not "
                                   "specified in the organ definition file." + tail},
        {"NumberOfEnclosures=7\nNumberOfTremulants=0\n", "An invalid NumberOfEnclosures setting "
         "for windchest group 2 is specified in the organ definition file." + tail},
        {counts + "Enclosure001=1\n", "Enclosure specifier 2 for windchest group 2 could not be "
                                      "found in the organ definition file." + tail},
        {counts + "Enclosure001=1\nEnclosure002=0\n", invalid},
        {counts + "Enclosure001=1\nEnclosure002=3\n", invalid},
        {counts + "Enclosure001=1\nEnclosure002=2\nTremulant001=4\n", "Tremulant specifier 1 for "
         "windchest group 2 references an invalid tremulant in the organ definition file." + tail},
        {counts + "Enclosure001=1\nEnclosure002=2\nTremulant001=3\n", ""},
    }, [](const DefinitionFile& file) {
        WindchestGroup group;
        const bool loaded = group.Load(file, 1, 2, 3);
        EXPECT_EQ(group.loaded, loaded);
        if (loaded) {
            EXPECT_EQ((std::array{group.enclosures[0], group.enclosures[1], group.tremulants[0]}),
                      (std::array{0, 1, 2}));
        }
        return loaded;
    });
}

TEST(EnclosureSection, KeysAreCheckedInOrder) {
    const std::string tail = " [Loading an organ enclosure.]";
    const std::string input = "An invalid MIDI input number for enclosure 3 is specified in the "
                              "organ definition file." + tail;
    CheckRows("[Enclosure003]", {
        {"MIDIInputNumber=1\nAmpMinimumLevel=0\n", "No enclosure name is specified in the organ "
         "definition file or the enclosure 3 section is missing." + tail},
        {"Name=Swell\nMIDIInputNumber=0\n", input},
        {"Name=Swell\nMIDIInputNumber=7\n", input},
        {"Name=Swell\nMIDIInputNumber=6\nAmpMinimumLevel=101\n", "An invalid minimum level value "
         "for enclosure 3 is specified in the organ definition file (range 0-100)." + tail},
        {"Name=Swell\nMIDIInputNumber=6\nAmpMinimumLevel=100\n", ""},
    }, [](const DefinitionFile& file) {
        std::array<WindchestGroup, 1> groups;
        return std::make_unique<Enclosure>()->Load(file, 2, 0, 0, groups);
    });
}

TEST(EnclosureSection, AttachesToEveryNamingGroupEntryUpToTwelve) {
    DefinitionFile file;
    file.ParseText("[Enclosure001]\nName=" + std::string(80, 'S') +
                   "\nMIDIInputNumber=2\nAmpMinimumLevel=25\n");
    std::array<WindchestGroup, kMaxWindchestGroups> groups;
    // Group 2 names the enclosure twice, group 3 names another, and groups 5
    // to 12 name it six times each: 2 + 48 entries, of which 12 attach.
    groups[2].enclosureCount = 2;
    groups[3].enclosureCount = 1;
    groups[3].enclosures[0] = 1;
    for (int g = 5; g <= 12; ++g) groups[g].enclosureCount = 6;
    auto enclosure = std::make_unique<Enclosure>();
    ASSERT_TRUE(enclosure->Load(file, 0, 30, 40, groups));
    EXPECT_EQ(enclosure->name, std::string(63, 'S'));
    EXPECT_EQ(enclosure->midiInput, 1u);
    std::vector<int> attached;
    for (int i = 0; i < enclosure->LinkCount(); ++i) attached.push_back(enclosure->Link(i).group);
    EXPECT_EQ(attached, (std::vector<int>{2, 2, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6}));
}

TEST(TremulantSection, KeysAreCheckedInOrderAndSetTheRates) {
    const std::string tail = " in the organ definition file. [Loading an organ tremulant.]";
    const std::string period = "An invalid period for Tremulant012 is specified" + tail;
    const std::string p = "Period=441000\nStartRate=1\n";
    CheckRows("[Tremulant012]", {
        {"StartRate=1\n", "The period for Tremulant012 is not specified" + tail},
        {"Period=31\n", period},
        {"Period=441001\n", period},
        {"Period=32\nStartRate=101\n", "An invalid start rate for Tremulant012 is specified in "
         "the organ definition file (range 1-100). [Loading an organ tremulant.]"},
        {p + "StopRate=100\n", "The depth for Tremulant012 is not specified" + tail},
        {p + "StopRate=100\nAmpModDepth=0\n", "An invalid depth for Tremulant012 is specified in "
         "the organ definition file (range 1-100). [Loading an organ tremulant.]"},
        {p + "StopRate=100\nAmpModDepth=100\n", ""},
    }, [](const DefinitionFile& file) {
        std::array<WindchestGroup, 1> groups;
        return std::make_unique<Tremulant>()->Load(file, 12, groups);
    });

    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[Tremulant012]\nPeriod=200\nStartRate=10\nStopRate=3\nAmpModDepth=40\n");
    std::array<WindchestGroup, 1> groups;
    auto tremulant = std::make_unique<Tremulant>();
    ASSERT_TRUE(tremulant->Load(file, 12, groups));
    EXPECT_FLOAT_EQ(tremulant->startStep, 2e-8f);
    EXPECT_FLOAT_EQ(tremulant->stopStep, 6e-9f);
    EXPECT_FLOAT_EQ(tremulant->depth, 0.4f);
    EXPECT_FLOAT_EQ(tremulant->fullSpeed, 62.831856f / 88200.0f);
    EXPECT_FLOAT_EQ(tremulant->depthPerSpeed, 0.4f / (62.831856f / 88200.0f));
}

TEST(EventRing, HoldsOneLessThanItsSizeAndClearsOnlyWhatCameBefore) {
    auto ring = std::make_unique<EventRing<int64_t, 4>>();
    for (int64_t v : {1, 2, 3}) EXPECT_TRUE(ring->Push(v));
    EXPECT_FALSE(ring->Push(4));
    EXPECT_EQ(ring->Dropped(), 1u);
    EXPECT_FALSE(ring->BeginBlock());
    ring->Pop();
    ring->RequestClear();
    EXPECT_TRUE(ring->Push(5));  // wraps round
    // The block sees the clear: 2 and 3 go, 5 stays.
    EXPECT_TRUE(ring->BeginBlock());
    ASSERT_NE(ring->Peek(), nullptr);
    EXPECT_EQ(*ring->Peek(), 5);
    ring->Pop();
    EXPECT_EQ(ring->Peek(), nullptr);
}

}  // namespace
}  // namespace tessaline
