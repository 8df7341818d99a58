#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audio/AudioEngine.h"
#include "support/EngineRig.h"
#include "audio/Enclosure.h"
#include "audio/Tremulant.h"
#include "audio/WindchestGroup.h"
#include "organ/DefinitionReader.h"
#include "platform/virtual/RecordingErrorSink.h"

namespace tessaline {
namespace {

struct Outcome {
    bool loaded;
    std::vector<std::string> messages;
};

Outcome LoadGroup(const std::string& text, uint32_t organEnclosures = 2,
                  uint32_t organTremulants = 3) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText(text);
    WindchestGroup group;
    bool loaded = group.Load(file, 1, organEnclosures, organTremulants);
    for (const auto& e : errors.Errors())
        EXPECT_EQ(e.attemptedAction, "Loading an organ windchest group.");
    if (!loaded) {
        EXPECT_FALSE(group.loaded);
        EXPECT_EQ(group.enclosureCount, 0u);
    }
    return {loaded, errors.Messages()};
}

// Each row's text loads to the one message (or loads, for "").
template <typename Load>
void CheckMessages(Load load, const std::vector<std::pair<std::string, std::string>>& rows) {
    for (const auto& [text, message] : rows) {
        SCOPED_TRACE(text);
        Outcome outcome = load(text);
        EXPECT_EQ(outcome.loaded, message.empty());
        EXPECT_EQ(outcome.messages, message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
    }
}

TEST(WindchestGroupSection, CountsAndSpecifiersAreChecked) {
    const std::string counts = "NumberOfEnclosures=2\nNumberOfTremulants=1\n";
    const std::string enclosures = "An invalid NumberOfEnclosures setting for windchest group 2 is specified in the organ definition file.";
    const std::string enclosure = "Enclosure specifier 2 for windchest group 2 references an invalid enclosure in the organ definition file.";
    CheckMessages([](const std::string& text) { return LoadGroup("[WindchestGroup002]\n" + text); }, {
        {"NumberOfTremulants=0\n", "The NumberOfEnclosures setting for windchest group 2 is not specified in the organ definition file."},
        {"NumberOfEnclosures=7\nNumberOfTremulants=0\n", enclosures},
        {"NumberOfEnclosures=-1\nNumberOfTremulants=0\n", enclosures},
        {"NumberOfEnclosures=0\n", "The NumberOfTremulants setting for windchest group 2 is not specified in the organ definition file."},
        {"NumberOfEnclosures=0\nNumberOfTremulants=7\n", "An invalid NumberOfTremulants setting for windchest group 2 is specified in the organ definition file."},
        {counts + "Enclosure001=1\nTremulant001=1\n", "Enclosure specifier 2 for windchest group 2 could not be found in the organ definition file."},
        {counts + "Enclosure001=1\nEnclosure002=0\n", enclosure},
        {counts + "Enclosure001=1\nEnclosure002=3\n", enclosure},
        {counts + "Enclosure001=1\nEnclosure002=-2\n", enclosure},
        {counts + "Enclosure001=1\nEnclosure002=2\n", "Tremulant specifier 1 for windchest group 2 could not be found in the organ definition file."},
        {counts + "Enclosure001=1\nEnclosure002=2\nTremulant001=4\n", "Tremulant specifier 1 for windchest group 2 references an invalid tremulant in the organ definition file."},
        {counts + "Enclosure001=1\nEnclosure002=2\nTremulant001=3\n", ""},
    });
    // An organ without enclosures has no valid enclosure specifier.
    EXPECT_FALSE(LoadGroup("[WindchestGroup002]\n" + counts + "Enclosure001=1\n", 0).loaded);
}

TEST(WindchestGroupSection, LoadsItsListsFromZero) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText(
        "[WindchestGroup001]\nNumberOfEnclosures=2\nNumberOfTremulants=1\n"
        "Comments=Great organ\nEnclosure001=2\nEnclosure002=1\nTremulant001=3\n");
    WindchestGroup group;
    ASSERT_TRUE(group.Load(file, 0, 2, 3));
    EXPECT_TRUE(group.loaded);
    EXPECT_EQ(group.comments, "Great organ");
    EXPECT_EQ(group.enclosureCount, 2u);
    EXPECT_EQ(group.enclosures[0], 1);
    EXPECT_EQ(group.enclosures[1], 0);
    EXPECT_EQ(group.tremulantCount, 1u);
    EXPECT_EQ(group.tremulants[0], 2);
    EXPECT_EQ(errors.Count(), 0u);
}

Outcome LoadEnclosure(const std::string& keys) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[Enclosure003]\n" + keys);
    auto enclosure = std::make_unique<Enclosure>();
    std::array<WindchestGroup, 1> groups;
    bool loaded = enclosure->Load(file, 2, 0, 0, groups);
    for (const auto& e : errors.Errors())
        EXPECT_EQ(e.attemptedAction, "Loading an organ enclosure.");
    if (!loaded) {
        EXPECT_TRUE(enclosure->name.empty());
    }
    return {loaded, errors.Messages()};
}

TEST(EnclosureSection, KeysAreCheckedInOrder) {
    const std::string input = "An invalid MIDI input number for enclosure 3 is specified in the organ definition file.";
    CheckMessages(LoadEnclosure, {
        {"MIDIInputNumber=1\nAmpMinimumLevel=0\n", "No enclosure name is specified in the organ definition file or the enclosure 3 section is missing."},
        {"Name=Swell\nAmpMinimumLevel=0\n", "The MIDI input number for enclosure 3 could not be found in the organ definition file."},
        {"Name=Swell\nMIDIInputNumber=0\n", input},
        {"Name=Swell\nMIDIInputNumber=7\n", input},
        {"Name=Swell\nMIDIInputNumber=6\n", "The minimum level for enclosure 3 is not specified in the organ definition file."},
        {"Name=Swell\nMIDIInputNumber=6\nAmpMinimumLevel=101\n", "An invalid minimum level value for enclosure 3 is specified in the organ definition file (range 0-100)."},
        {"Name=Swell\nMIDIInputNumber=6\nAmpMinimumLevel=100\n", ""},
    });
}

TEST(EnclosureSection, AttachesToEveryNamingGroupEntryUpToTwelve) {
    RecordingErrorSink errors;
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
    EXPECT_EQ(enclosure->indicatorX, 30);
    EXPECT_EQ(enclosure->indicatorY, 40);
    ASSERT_EQ(enclosure->LinkCount(), kMaxGroupLinks);
    std::vector<int> attached;
    for (int i = 0; i < enclosure->LinkCount(); ++i) attached.push_back(enclosure->Link(i).group);
    EXPECT_EQ(attached, (std::vector<int>{2, 2, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6}));

    test::EngineRig output(5376);
    enclosure->AttachEngine(output.engine);
    EXPECT_EQ(enclosure->Link(11).engine, &output.engine);
    EXPECT_EQ(enclosure->Link(11).bufferFrames, 5376);

    enclosure->SetMidiParameters(3, 4, 7);
    EXPECT_TRUE(enclosure->midiParametersSet);
    EXPECT_TRUE(enclosure->Matches(3, 4, 7));
    EXPECT_FALSE(enclosure->Matches(3, 4, 8));
    EXPECT_FALSE(enclosure->Matches(2, 4, 7));
    EXPECT_EQ(errors.Count(), 0u);
}

Outcome LoadTremulant(const std::string& keys, Tremulant* into = nullptr) {
    RecordingErrorSink errors;
    DefinitionFile file;
    file.ParseText("[Tremulant012]\n" + keys);
    auto own = std::make_unique<Tremulant>();
    Tremulant& tremulant = into != nullptr ? *into : *own;
    std::array<WindchestGroup, 1> groups;
    bool loaded = tremulant.Load(file, 12, groups);
    for (const auto& e : errors.Errors())
        EXPECT_EQ(e.attemptedAction, "Loading an organ tremulant.");
    if (!loaded) {
        EXPECT_EQ(tremulant.periodMs, 0u);
    }
    return {loaded, errors.Messages()};
}

TEST(TremulantSection, KeysAreCheckedInOrderWithTheSectionName) {
    const std::string period = "An invalid period for Tremulant012 is specified in the organ definition file.";
    const std::string p = "Period=441000\n";
    CheckMessages([](const std::string& text) { return LoadTremulant(text); }, {
        {"StartRate=1\n", "The period for Tremulant012 is not specified in the organ definition file."},
        {"Period=31\n", period},
        {"Period=441001\n", period},
        {"Period=-40\n", period},
        {p, "The start rate for Tremulant012 is not specified in the organ definition file."},
        {p + "StartRate=101\n", "An invalid start rate for Tremulant012 is specified in the organ definition file (range 1-100)."},
        {p + "StartRate=1\n", "The stop rate for Tremulant012 is not specified in the organ definition file."},
        {p + "StartRate=1\nStopRate=0\n", "An invalid stop rate for Tremulant012 is specified in the organ definition file (range 1-100)."},
        {p + "StartRate=1\nStopRate=100\n", "The depth for Tremulant012 is not specified in the organ definition file."},
        {p + "StartRate=1\nStopRate=100\nAmpModDepth=0\n", "An invalid depth for Tremulant012 is specified in the organ definition file (range 1-100)."},
        {"Period=32\nStartRate=100\nStopRate=1\nAmpModDepth=100\n", ""},
    });
}

TEST(TremulantSection, DerivedRatesFollowTheKeys) {
    auto tremulant = std::make_unique<Tremulant>();
    ASSERT_TRUE(
        LoadTremulant("Period=200\nStartRate=10\nStopRate=3\nAmpModDepth=40\n", tremulant.get())
            .loaded);
    EXPECT_EQ(tremulant->number, 12);
    EXPECT_EQ(tremulant->periodMs, 200u);
    EXPECT_FLOAT_EQ(tremulant->startStep, 2e-8f);
    EXPECT_FLOAT_EQ(tremulant->stopStep, 6e-9f);
    EXPECT_FLOAT_EQ(tremulant->depth, 0.4f);
    EXPECT_FLOAT_EQ(tremulant->fullSpeed, 62.831856f / 88200.0f);
    EXPECT_FLOAT_EQ(tremulant->depthPerSpeed, 0.4f / (62.831856f / 88200.0f));
}

TEST(EventRing, HoldsOneLessThanItsSizeAndClearsOnlyWhatCameBefore) {
    auto ring = std::make_unique<EventRing<int64_t, 4>>();
    EXPECT_TRUE(ring->Push(1));
    EXPECT_TRUE(ring->Push(2));
    EXPECT_TRUE(ring->Push(3));
    EXPECT_TRUE(ring->Full());
    EXPECT_FALSE(ring->Push(4));
    EXPECT_EQ(ring->Dropped(), 1u);

    EXPECT_FALSE(ring->BeginBlock());
    ASSERT_NE(ring->Peek(), nullptr);
    EXPECT_EQ(*ring->Peek(), 1);
    ring->Pop();

    ring->RequestClear();
    EXPECT_TRUE(ring->Push(5));  // wraps round
    // The block sees the clear: 2 and 3 go, 5 stays.
    EXPECT_TRUE(ring->BeginBlock());
    ASSERT_NE(ring->Peek(), nullptr);
    EXPECT_EQ(*ring->Peek(), 5);
    ring->Pop();
    EXPECT_EQ(ring->Peek(), nullptr);
    EXPECT_FALSE(ring->BeginBlock());
}

}  // namespace
}  // namespace tessaline
