#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/MidiInputSystem.h"
#include "organ/SetupInfo.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualMidiPorts.h"
#include "support/EngineRig.h"

namespace tessaline {
namespace {

class SilentTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned, uint32_t) override {}
};

// MIDI ports named by the test and the two virtual audio devices
// ("Virtual: Hand-driven output", "Virtual: Real-time output").
struct Machine {
    explicit Machine(const std::vector<std::string>& portNames) {
        for (const auto& name : portNames) ports.AddPort(name);
        midi = std::make_unique<MidiInputSystem>(ports, target);  // lists the ports
    }
    AudioStream& Audio() { return engine.engine.Stream(); }
    VirtualMidiPorts ports;
    SilentTarget target;
    std::unique_ptr<MidiInputSystem> midi;
    test::EngineRig engine{128};
};

class SetupInfoStoreTest : public ::testing::Test {
protected:
    SetupInfoStoreTest() : machine({"Port 0", "Port 1", "Port 2", "Port 3"}) {}

    bool Read(SetupInfo& info) { return info.Read(store, *machine.midi, machine.Audio()); }
    bool Write(const SetupInfo& info) { return info.Write(store, *machine.midi, machine.Audio()); }
    Machine machine;
    MemorySettingsStore store;
    RecordingErrorSink errors;
};

// A record written and read back whole; then one value of the complete store
// replaced (null: removed): the value read back, and whether the record still
// counts as set up (a value out of range, missing or unconfirmed clears it).
TEST_F(SetupInfoStoreTest, ARecordReadsBackWholeAndValuesOutOfRangeTakeTheirDefault) {
    SetupInfo written;
    written.AudioBufferBlocks = 2048;
    written.MixUpwardsOnOutput = false;
    written.DSDevNumber = 1;
    written.ManualKeyShift = {-24, 24, -1, 0, 3, -3};
    written.ManualMIDIInDevNumber = {3, 2, 1, 0, 3, 2};
    written.CombFramePrevPC = {128, 1, 64};
    ASSERT_TRUE(Write(written));
    EXPECT_EQ(store.values.at("Manual5KeyShift"), "-3");
    EXPECT_EQ(store.values.at("Manual0MIDIInDevDesc"), "Port 3");
    EXPECT_EQ(store.values.size(), 88u);
    SetupInfo read;
    ASSERT_TRUE(Read(read));
    EXPECT_TRUE(read.setUp);
    read.setUp = false;
    EXPECT_EQ(read, written);

    struct Case {
        const char* name;
        const char* text;
        const char* read;
        bool setUp;
    } cases[] = {
        {"Manual2Chan", "0", "3", false},
        {"Manual2Chan", "16", "16", true},
        // Key shifts compare as signed numbers.
        {"Manual1KeyShift", "-25", "0", false},
        {"ManualBKeyShift", "25", "0", false},
        {"ManualBKeyShift", "  -7 semitones", "-7", true},
        {"Enclosure3Controller", "32", "1", false},
        // The format and the flag are judged by their first character.
        {"PreferredMemorySampleFormat", "0x", "0", true},
        {"MixUpwardsOnOutput", "yes please", "Y", true},
        {"MixUpwardsOnOutput", "x", "Y", false},
        {"ControlChan", nullptr, "5", false},
        // A device name no port has (the match is exact and case-sensitive)
        // keeps the stored number.
        {"Manual1MIDIInDevDesc", "port 1", "Port 2", false},
        // The audio device is found by its description as well.
        {"DSDevNumber", "0", "1", false},
        // A number past the ports gives device 0, whatever the name.
        {"Manual1MIDIInDevNumber", "4", "0", false},
    };
    const auto complete = store.values;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + (c.text ? c.text : "(removed)"));
        store.values = complete;
        if (c.text) store.values[c.name] = c.text;
        else store.values.erase(c.name);
        SetupInfo info;
        ASSERT_TRUE(Read(info));
        EXPECT_EQ(info.setUp, c.setUp);
        MemorySettingsStore again;
        ASSERT_TRUE(info.Write(again, *machine.midi, machine.Audio()));
        EXPECT_EQ(again.values.at(c.name), c.read);
    }
}

TEST_F(SetupInfoStoreTest, APortThatMovedIsFoundAgainByItsName) {
    SetupInfo read;
    read.ManualMIDIInDevNumber[1] = 3;
    ASSERT_TRUE(Write(read));
    // Ports were plugged in again in another order: "Port 3" is now device 1.
    Machine replugged({"Port 0", "Port 3", "Port 2", "Other"});
    ASSERT_TRUE(read.Read(store, *replugged.midi, replugged.Audio()));
    EXPECT_EQ(read.ManualMIDIInDevNumber[1], 1u);
    EXPECT_FALSE(read.setUp);
}

TEST_F(SetupInfoStoreTest, AStoreThatFailsIsReportedAndWritingStopsAtTheFirstValueRefused) {
    store.failOpen = true;
    SetupInfo info;
    info.setUp = true;
    EXPECT_FALSE(Read(info));
    EXPECT_FALSE(info.setUp);
    store.failOpen = false;
    store.failWriteOf = "ManualAChan";
    store.failClose = true;
    EXPECT_FALSE(Write(SetupInfo{}));
    EXPECT_EQ(store.values.count("Manual5MIDIInDevDesc"), 1u);
    EXPECT_EQ(store.values.count("ManualBChan"), 0u);
    EXPECT_FALSE(store.isOpen);
    EXPECT_EQ(errors.Messages(),
              (std::vector<std::string>{"Could not access settings store.",
                                        "Could not write a value to the settings store.",
                                        "Could not close settings store."}));
    EXPECT_EQ(errors.Errors().at(0).attemptedAction, "Reading Tessaline setup information.");
    EXPECT_EQ(errors.Errors().at(2).attemptedAction, "Saving Tessaline setup information.");
}

TEST_F(SetupInfoStoreTest, OneTextValueIsReadUpTo1023CharactersEvenWhenTheStoreWillNotClose) {
    store.values["OrganLastPath"] = std::string(2000, 'a');
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OrganLastPath"), std::string(1023, 'a'));
    store.failClose = true;
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OrganLastPath"), std::string(1023, 'a'));
    store.failOpen = true;
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OrganLastPath"), "");
    EXPECT_EQ(errors.Messages(), (std::vector<std::string>{"Could not close settings store.",
                                                           "Could not open settings store."}));
    EXPECT_EQ(errors.Errors().at(1).attemptedAction, "Reading settings store string.");
}

}  // namespace
}  // namespace tessaline
