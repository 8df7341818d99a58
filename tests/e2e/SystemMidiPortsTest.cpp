// The MIDI ports the application lists, without any MIDI server.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "midi/MidiInputSystem.h"
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

// Points JACK at a server that does not exist, so that only the ALSA
// sequencer, if the machine has one, can yield ports.
void NoJackServer() {
    setenv("JACK_DEFAULT_SERVER", ("tessaline-none-" + std::to_string(getpid())).c_str(), 1);
}

TEST(SystemMidiPorts, WithoutAServerJackListsNothing) {
    NoJackServer();
    RecordingErrorSink sink;
    RecordingTarget target;
    RtMidiPorts ports(RtMidiPorts::Api::Jack);
    MidiInputSystem midi(ports, target);
    EXPECT_EQ(midi.DeviceCount(), 0u);
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Errors()[0].message, "There are no MIDI input devices on the system.");
    MidiPortHandle handle;
    EXPECT_FALSE(ports.Start(handle).Succeeded());
}

TEST(SystemMidiPorts, VirtualPortsFollowTheRealOnesOnlyWhenAskedFor) {
    NoJackServer();
    RecordingErrorSink sink;
    RecordingTarget target;
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
