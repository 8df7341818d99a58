#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioStream.h"
#include "midi/MidiInputSystem.h"
#include "organ/SetupInfo.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/MemorySettingsStore.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {
namespace {

class SilentTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned, uint32_t) override {}
};

class SilentRenderer : public AudioRenderer {
public:
    MixBufferAllocation AllocateMixBuffers(int64_t) override { return {}; }
    void FreeMixBuffers() override {}
    bool RenderBlock(std::span<int16_t>, int64_t) override { return true; }
};

// A machine with MIDI ports named by the test and the two virtual audio
// devices ("Virtual: Hand-driven output", "Virtual: Real-time output").
class Machine {
public:
    explicit Machine(const std::vector<std::string>& portNames) {
        for (const auto& name : portNames) ports.AddPort(name);
        midi = std::make_unique<MidiInputSystem>(ports, target);
        audio = std::make_unique<AudioStream>(audioSystem, timers, renderer);
    }
    VirtualMidiPorts ports;
    SilentTarget target;
    VirtualAudioSystem audioSystem;
    ManualTimerService timers;
    SilentRenderer renderer;
    std::unique_ptr<MidiInputSystem> midi;
    std::unique_ptr<AudioStream> audio;
};

class SetupInfoStoreTest : public ::testing::Test {
protected:
    SetupInfoStoreTest() : machine({"Port 0", "Port 1", "Port 2", "Port 3"}) {}

    bool Read(SetupInfo& info) { return info.Read(store, *machine.midi, *machine.audio); }
    bool Write(const SetupInfo& info) { return info.Write(store, *machine.midi, *machine.audio); }
    // A complete, valid store; then the test spoils one value.
    void StoreComplete() {
        ASSERT_TRUE(Write(SetupInfo{}));
        SetupInfo check;
        ASSERT_TRUE(Read(check));
        ASSERT_TRUE(check.setUp);
    }
    // Reads the store after value name was set to text.
    SetupInfo ReadWith(const std::string& name, const std::string& text) {
        store.values[name] = text;
        SetupInfo info;
        EXPECT_TRUE(Read(info));
        return info;
    }

    Machine machine;
    MemorySettingsStore store;
    RecordingErrorSink errors;
};

TEST_F(SetupInfoStoreTest, AnEmptyStoreGivesEveryDefaultAndIsNotSetUp) {
    SetupInfo info;
    info.AudioBufferBlocks = 7;
    info.ManualKeyShift[3] = 5;
    info.MixUpwardsOnOutput = false;
    ASSERT_TRUE(Read(info));
    EXPECT_EQ(info, SetupInfo{});
    EXPECT_FALSE(info.setUp);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(SetupInfoStoreTest, WritingThenReadingGivesTheSameRecordSetUp) {
    SetupInfo written;
    written.AudioBufferBlocks = 2048;
    written.PreferredMemorySampleFormat = 0;
    written.MixUpwardsOnOutput = false;
    written.DSDevNumber = 1;
    written.AmplitudeLevel = 2;
    written.ManualChan = {16, 15, 14, 13, 12, 11};
    written.ManualKeyShift = {-24, 24, -1, 0, 3, -3};
    written.ManualMIDIInDevNumber = {3, 2, 1, 0, 3, 2};
    written.ManualAKeyShift = -12;
    written.ManualBMIDIInDevNumber = 2;
    written.ManualBSend = {5, 4, 0, 1};
    written.EnclosureController = {0, 31, 7, 11, 1, 2};
    written.ControlMIDIInDevNumber = 1;
    written.CombFramePrevPC = {128, 1, 64};
    ASSERT_TRUE(Write(written));

    EXPECT_EQ(store.values.at("MixUpwardsOnOutput"), "N");
    EXPECT_EQ(store.values.at("PreferredMemorySampleFormat"), "0");
    EXPECT_EQ(store.values.at("Manual5KeyShift"), "-3");
    EXPECT_EQ(store.values.at("Manual0MIDIInDevNumber"), "3");
    EXPECT_EQ(store.values.at("Manual0MIDIInDevDesc"), "Port 3");
    EXPECT_EQ(store.values.at("DSDevDesc"), "Virtual: Real-time output");
    EXPECT_EQ(store.values.at("CombFrame1PrevPC"), "128");
    EXPECT_EQ(store.values.size(), 88u);

    SetupInfo read;
    ASSERT_TRUE(Read(read));
    EXPECT_TRUE(read.setUp);
    read.setUp = false;
    EXPECT_EQ(read, written);
}

TEST_F(SetupInfoStoreTest, ARowWithoutADeviceIsWrittenWithAnEmptyNameAndNotConfirmed) {
    SetupInfo written;
    written.ManualMIDIInDevNumber[2] = static_cast<uint32_t>(-1);
    ASSERT_TRUE(Write(written));
    EXPECT_EQ(store.values.at("Manual2MIDIInDevNumber"), "4294967295");
    EXPECT_EQ(store.values.at("Manual2MIDIInDevDesc"), "");
    SetupInfo read;
    ASSERT_TRUE(Read(read));
    EXPECT_EQ(read.ManualMIDIInDevNumber[2], 0u);
    EXPECT_FALSE(read.setUp);
}

TEST_F(SetupInfoStoreTest, ChannelsOutsideOneToSixteenTakeTheirDefault) {
    StoreComplete();
    SetupInfo zero = ReadWith("Manual2Chan", "0");
    EXPECT_EQ(zero.ManualChan[2], 3u);
    EXPECT_FALSE(zero.setUp);
    SetupInfo seventeen = ReadWith("Manual2Chan", "17");
    EXPECT_EQ(seventeen.ManualChan[2], 3u);
    EXPECT_FALSE(seventeen.setUp);
    SetupInfo negative = ReadWith("Manual2Chan", "-5");
    EXPECT_EQ(negative.ManualChan[2], 3u);
    SetupInfo sixteen = ReadWith("Manual2Chan", "16");
    EXPECT_EQ(sixteen.ManualChan[2], 16u);
    EXPECT_TRUE(sixteen.setUp);
}

TEST_F(SetupInfoStoreTest, KeyShiftsCompareAsSignedNumbers) {
    StoreComplete();
    SetupInfo low = ReadWith("Manual1KeyShift", "-24");
    EXPECT_EQ(low.ManualKeyShift[1], -24);
    EXPECT_TRUE(low.setUp);
    SetupInfo below = ReadWith("Manual1KeyShift", "-25");
    EXPECT_EQ(below.ManualKeyShift[1], 0);
    EXPECT_FALSE(below.setUp);
    store.values["Manual1KeyShift"] = "0";
    SetupInfo above = ReadWith("ManualBKeyShift", "25");
    EXPECT_EQ(above.ManualBKeyShift, 0);
    SetupInfo padded = ReadWith("ManualBKeyShift", "  -7 semitones");
    EXPECT_EQ(padded.ManualBKeyShift, -7);
    EXPECT_TRUE(padded.setUp);
}

TEST_F(SetupInfoStoreTest, ControllersVolumeAndBufferKeepToTheirRanges) {
    StoreComplete();
    EXPECT_EQ(ReadWith("Enclosure3Controller", "31").EnclosureController[3], 31u);
    SetupInfo controller = ReadWith("Enclosure3Controller", "32");
    EXPECT_EQ(controller.EnclosureController[3], 1u);
    EXPECT_FALSE(controller.setUp);
    store.values["Enclosure3Controller"] = "1";

    SetupInfo volume = ReadWith("AmplitudeLevel", "1");
    EXPECT_EQ(volume.AmplitudeLevel, 50u);
    EXPECT_FALSE(volume.setUp);
    EXPECT_EQ(ReadWith("AmplitudeLevel", "100").AmplitudeLevel, 100u);
    EXPECT_EQ(ReadWith("AmplitudeLevel", "101").AmplitudeLevel, 50u);
    store.values["AmplitudeLevel"] = "50";

    EXPECT_EQ(ReadWith("AudioBufferBlocks", "-1").AudioBufferBlocks, 42u);
    EXPECT_EQ(ReadWith("AudioBufferBlocks", "2049").AudioBufferBlocks, 42u);
    EXPECT_EQ(ReadWith("AudioBufferBlocks", "abc").AudioBufferBlocks, 42u);
    SetupInfo longest = ReadWith("AudioBufferBlocks", "2048");
    EXPECT_EQ(longest.AudioBufferBlocks, 2048u);
    EXPECT_TRUE(longest.setUp);

    EXPECT_EQ(ReadWith("CombFrame2NextPC", "129").CombFrameNextPC[1], 2u);
    EXPECT_EQ(ReadWith("ManualASend4", "6").ManualASend[3], 3u);
}

TEST_F(SetupInfoStoreTest, FormatAndFlagAreJudgedByTheirFirstCharacter) {
    StoreComplete();
    SetupInfo mono = ReadWith("PreferredMemorySampleFormat", "0");
    EXPECT_EQ(mono.PreferredMemorySampleFormat, 0u);
    EXPECT_TRUE(mono.setUp);
    SetupInfo two = ReadWith("PreferredMemorySampleFormat", "2");
    EXPECT_EQ(two.PreferredMemorySampleFormat, 1u);
    EXPECT_FALSE(two.setUp);
    EXPECT_EQ(ReadWith("PreferredMemorySampleFormat", "0x").PreferredMemorySampleFormat, 0u);
    store.values["PreferredMemorySampleFormat"] = "1";

    SetupInfo no = ReadWith("MixUpwardsOnOutput", "no thanks");
    EXPECT_FALSE(no.MixUpwardsOnOutput);
    EXPECT_TRUE(no.setUp);
    SetupInfo bad = ReadWith("MixUpwardsOnOutput", "x");
    EXPECT_TRUE(bad.MixUpwardsOnOutput);
    EXPECT_FALSE(bad.setUp);
    SetupInfo empty = ReadWith("MixUpwardsOnOutput", "");
    EXPECT_TRUE(empty.MixUpwardsOnOutput);
    EXPECT_FALSE(empty.setUp);
}

TEST_F(SetupInfoStoreTest, AMissingValueTakesItsDefault) {
    StoreComplete();
    store.values["EnclosureChan"] = "9";  // not a name of the record: ignored
    store.values["Enclosure1Chan"] = "9";
    store.values.erase("Enclosure1Chan");
    store.values.erase("ControlChan");
    SetupInfo info;
    info.ControlChan = 12;
    ASSERT_TRUE(Read(info));
    EXPECT_EQ(info.EnclosureChan[1], 2u);
    EXPECT_EQ(info.ControlChan, 5u);
    EXPECT_FALSE(info.setUp);
}

TEST_F(SetupInfoStoreTest, APortThatMovedIsFoundAgainByItsName) {
    SetupInfo written;
    written.ManualMIDIInDevNumber[1] = 3;
    ASSERT_TRUE(Write(written));
    ASSERT_EQ(store.values.at("Manual1MIDIInDevDesc"), "Port 3");

    // Ports were plugged in again in another order: "Port 3" is now device 1.
    Machine replugged({"Port 0", "Port 3", "Port 2", "Other"});
    SetupInfo read;
    ASSERT_TRUE(read.Read(store, *replugged.midi, *replugged.audio));
    EXPECT_EQ(read.ManualMIDIInDevNumber[1], 1u);
    EXPECT_FALSE(read.setUp);

    // Writing confirms the new number under its name.
    ASSERT_TRUE(read.Write(store, *replugged.midi, *replugged.audio));
    SetupInfo again;
    ASSERT_TRUE(again.Read(store, *replugged.midi, *replugged.audio));
    EXPECT_EQ(again.ManualMIDIInDevNumber[1], 1u);
    EXPECT_TRUE(again.setUp);
}

TEST_F(SetupInfoStoreTest, DeviceRowsThatCannotBeConfirmed) {
    StoreComplete();
    // A name no port has keeps the stored number.
    store.values["ControlMIDIInDevNumber"] = "2";
    SetupInfo unknown = ReadWith("ControlMIDIInDevDesc", "Gone away");
    EXPECT_EQ(unknown.ControlMIDIInDevNumber, 2u);
    EXPECT_FALSE(unknown.setUp);
    // An empty name keeps the number too.
    SetupInfo nameless = ReadWith("ControlMIDIInDevDesc", "");
    EXPECT_EQ(nameless.ControlMIDIInDevNumber, 2u);
    EXPECT_FALSE(nameless.setUp);
    // A number past the ports gives device 0, whatever the name.
    store.values["ControlMIDIInDevDesc"] = "Port 2";
    SetupInfo past = ReadWith("ControlMIDIInDevNumber", "4");
    EXPECT_EQ(past.ControlMIDIInDevNumber, 0u);
    EXPECT_FALSE(past.setUp);
    // The audio device is found by its description as well.
    store.values["ControlMIDIInDevNumber"] = "2";
    SetupInfo audio = ReadWith("DSDevDesc", "Virtual: Real-time output");
    EXPECT_EQ(audio.DSDevNumber, 1u);
    EXPECT_FALSE(audio.setUp);
    // Only an exact, case-sensitive match confirms a row.
    SetupInfo lower = ReadWith("DSDevDesc", "virtual: hand-driven output");
    EXPECT_EQ(lower.DSDevNumber, 0u);
    EXPECT_FALSE(lower.setUp);
}

TEST_F(SetupInfoStoreTest, AStoreThatCannotBeOpenedOrClosedFailsWithItsMessage) {
    store.failOpen = true;
    SetupInfo info;
    info.setUp = true;
    EXPECT_FALSE(Read(info));
    EXPECT_FALSE(info.setUp);
    EXPECT_FALSE(Write(info));
    store.failOpen = false;
    store.failClose = true;
    EXPECT_FALSE(Read(info));
    EXPECT_FALSE(Write(info));
    std::vector<RecordedError> seen = errors.Errors();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].boxText,
              "Message: Could not access settings store.\n\n"
              "Attempted action: Reading Tessaline setup information.");
    EXPECT_EQ(seen[1].message, "Could not access settings store.");
    EXPECT_EQ(seen[1].attemptedAction, "Saving Tessaline setup information.");
    EXPECT_EQ(seen[2].message, "Could not close settings store.");
    EXPECT_EQ(seen[2].attemptedAction, "Reading Tessaline setup information.");
    EXPECT_EQ(seen[3].message, "Could not close settings store.");
    EXPECT_EQ(seen[3].attemptedAction, "Saving Tessaline setup information.");
}

TEST_F(SetupInfoStoreTest, WritingStopsAtTheFirstValueThatCannotBeWritten) {
    store.failWriteOf = "ManualAChan";
    store.failClose = true;
    EXPECT_FALSE(Write(SetupInfo{}));
    EXPECT_EQ(store.values.count("Manual5MIDIInDevDesc"), 1u);
    EXPECT_EQ(store.values.count("ManualBChan"), 0u);
    EXPECT_EQ(store.values.count("CombFrame3NextPC"), 0u);
    EXPECT_EQ(errors.Messages(),
              (std::vector<std::string>{"Could not write a value to the settings store.",
                                        "Could not close settings store."}));
    EXPECT_FALSE(store.isOpen);
}

TEST_F(SetupInfoStoreTest, OneTextValueIsReadUpTo1023Characters) {
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OutputRecDir"), "");
    store.values["OutputRecDir"] = "/home/player/Recordings";
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OutputRecDir"), "/home/player/Recordings");
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OrganLastPath"), "");
    store.values["OrganLastPath"] = std::string(2000, 'a');
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OrganLastPath"), std::string(1023, 'a'));
    EXPECT_EQ(errors.Count(), 0u);

    store.failClose = true;
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OutputRecDir"), "/home/player/Recordings");
    store.failOpen = true;
    EXPECT_EQ(SetupInfo::ReadSettingString(store, "OutputRecDir"), "");
    std::vector<RecordedError> seen = errors.Errors();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, "Could not close settings store.");
    EXPECT_EQ(seen[0].attemptedAction, "Reading settings store string.");
    EXPECT_EQ(seen[1].message, "Could not open settings store.");
    EXPECT_EQ(seen[1].attemptedAction, "Reading settings store string.");
}

TEST(SettingNumber, ParsesBlanksSignAndLeadingDigits) {
    EXPECT_EQ(ParseSettingNumber("42"), 42);
    EXPECT_EQ(ParseSettingNumber("  +12"), 12);
    EXPECT_EQ(ParseSettingNumber("\t-3x4"), -3);
    EXPECT_EQ(ParseSettingNumber("-0"), 0);
    EXPECT_EQ(ParseSettingNumber("abc"), 0);
    EXPECT_EQ(ParseSettingNumber(""), 0);
    EXPECT_EQ(ParseSettingNumber("-"), 0);
    EXPECT_EQ(ParseSettingNumber("4294967295"), 4294967295);
    EXPECT_EQ(ParseSettingNumber("99999999999999999999999"), 4294967295);
    EXPECT_EQ(ParseSettingNumber("-99999999999999999999999"), -2147483648);
}

}  // namespace
}  // namespace tessaline
