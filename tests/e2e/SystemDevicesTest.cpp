// The audio devices and MIDI ports the program lists without any server:
// the virtual ones only when TESSALINE_VIRTUAL_DEVICES asks for them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "midi/MidiInputSystem.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "platform/rtmidi/RtMidiPorts.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {
namespace {

class RecordingTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned device, uint32_t message) override {
        std::lock_guard lock(mutex);
        received.emplace_back(device, message);
    }
    std::mutex mutex;
    std::vector<std::pair<unsigned, uint32_t>> received;
};

TEST(SystemDevices, TheVirtualOutputIsListedLastAndOpenedOnlyWhenAskedFor) {
    for (const char* asked : {"", "0", "1"}) {
        SCOPED_TRACE(asked);
        setenv("TESSALINE_VIRTUAL_DEVICES", asked, 1);
        RtAudioOutputSystem system;
        unsetenv("TESSALINE_VIRTUAL_DEVICES");
        std::vector<AudioDeviceEntry> entries;
        system.Enumerate(entries, 32);
        std::unique_ptr<AudioOutputDevice> device;
        const bool listed =
            !entries.empty() && entries.back().description == "Virtual: Real-time output";
        EXPECT_EQ(listed, asked[0] == '1');
        EXPECT_EQ(system.Create(kVirtualRealTimeId, device), asked[0] == '1');
        EXPECT_EQ(device != nullptr, asked[0] == '1');
        for (const char* unknown : {"jack|no such device", "no separator", "nosuchapi|system"}) {
            EXPECT_FALSE(system.Create(unknown, device)) << unknown;
            EXPECT_EQ(device, nullptr);
        }
    }
}

TEST(SystemDevices, TheDevicePeriodIsASixteenthOfTheRingWithinLimits) {
    EXPECT_EQ(DevicePeriodFrames(5376), 336u);
    EXPECT_EQ(DevicePeriodFrames(128), 64u);
    EXPECT_EQ(DevicePeriodFrames(262144), 512u);
}

// JACK pointed at a server that does not exist: only the ALSA sequencer, if
// the machine has one, can yield ports.
TEST(SystemDevices, WithoutAServerJackListsNoPortAndTheVirtualPortComesLastWhenAskedFor) {
    setenv("JACK_DEFAULT_SERVER", ("tessaline-none-" + std::to_string(getpid())).c_str(), 1);
    RecordingErrorSink sink;
    RecordingTarget target;
    {
        RtMidiPorts ports(RtMidiPorts::Api::Jack);
        MidiInputSystem midi(ports, target);
        EXPECT_EQ(midi.DeviceCount(), 0u);
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Errors()[0].message, "There are no MIDI input devices on the system.");
        MidiPortHandle handle;
        EXPECT_FALSE(ports.Start(handle).Succeeded());
    }
    const char* virtualName = "Tessaline Virtual MIDI Input";
    {
        unsetenv("TESSALINE_VIRTUAL_DEVICES");
        auto ports = CreateSystemMidiPorts();
        MidiInputSystem midi(*ports, target);
        EXPECT_EQ(midi.FindDevice(virtualName), MidiInputSystem::kNoDevice);
    }
    setenv("TESSALINE_VIRTUAL_DEVICES", "1", 1);
    auto ports = CreateSystemMidiPorts();
    MidiInputSystem midi(*ports, target);
    unsetenv("TESSALINE_VIRTUAL_DEVICES");
    ASSERT_GE(midi.DeviceCount(), 1u);
    const unsigned device = midi.DeviceCount() - 1;
    EXPECT_STREQ(midi.DeviceName(device), virtualName);
    ASSERT_TRUE(midi.Open(device));
    EXPECT_TRUE(SharedVirtualMidiPorts().Send(0, 0x0005C0));
    ASSERT_TRUE(midi.Close(device));
    EXPECT_FALSE(SharedVirtualMidiPorts().Send(0, 0x0005C0));
    std::lock_guard lock(target.mutex);
    EXPECT_EQ(target.received, (std::vector<std::pair<unsigned, uint32_t>>{{device, 0x0005C0}}));
}

}  // namespace
}  // namespace tessaline
