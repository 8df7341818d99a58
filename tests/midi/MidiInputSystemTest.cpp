#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "midi/MidiInputSystem.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {
namespace {

using Op = VirtualMidiPorts::Operation;

// Stands in for the organ's dispatcher: keeps every message with its device.
class RecordingTarget : public MidiMessageTarget {
public:
    void OnMidiMessage(unsigned device, uint32_t message) override {
        std::lock_guard lock(mutex);
        received.emplace_back(device, message);
    }
    std::vector<std::pair<unsigned, uint32_t>> Received() const {
        std::lock_guard lock(mutex);
        return received;
    }

private:
    mutable std::mutex mutex;
    std::vector<std::pair<unsigned, uint32_t>> received;
};

class MidiInputSystemTest : public ::testing::Test {
protected:
    void AddPorts(int count) {
        for (int i = 0; i < count; ++i) ports.AddPort("Port " + std::to_string(i));
    }
    // The single report so far, as "message | action".
    std::string OnlyReport() const {
        auto errors = sink.Errors();
        if (errors.size() != 1) return "reports: " + std::to_string(errors.size());
        return errors[0].message + " | " + errors[0].attemptedAction;
    }

    RecordingErrorSink sink;
    VirtualMidiPorts ports;
    RecordingTarget target;
};

// The back end's open, start, stop, reset and close calls on a port.
std::vector<int> Calls(const VirtualMidiPorts& ports, unsigned port) {
    std::vector<int> calls;
    for (Op op : {Op::Open, Op::Start, Op::Stop, Op::Reset, Op::Close}) calls.push_back(ports.Calls(port, op));
    return calls;
}

TEST_F(MidiInputSystemTest, ListsAtMost32PortsAndRefusesNumbersBeyond) {
    AddPorts(40);
    MidiInputSystem midi(ports, target);
    EXPECT_EQ(midi.DeviceCount(), 32u);
    EXPECT_STREQ(midi.DeviceName(0), "Port 0");
    EXPECT_STREQ(midi.DeviceName(31), "Port 31");
    EXPECT_EQ(midi.DeviceName(32), nullptr);
    EXPECT_EQ(midi.FindDevice("Port 35"), MidiInputSystem::kNoDevice);
    // The ports beyond the 32nd are never even asked for their names.
    EXPECT_EQ(ports.Calls(31, Op::Name), 1);
    EXPECT_EQ(ports.Calls(32, Op::Name), 0);
    EXPECT_EQ(sink.Count(), 0u);

    EXPECT_TRUE(midi.Open(31));
    EXPECT_FALSE(midi.Open(32));
    EXPECT_EQ(OnlyReport(), "Attempt to open non-existent MIDI input device (number 32). | Initialising MIDI system.");
    EXPECT_EQ(ports.Calls(32, Op::Open), 0);
    sink.Clear();
    EXPECT_FALSE(midi.Close(32));
    EXPECT_EQ(OnlyReport(), "Attempt to close non-existent MIDI input device (number 32). | Halting MIDI system.");
}

TEST_F(MidiInputSystemTest, NoPortsIsReported) {
    MidiInputSystem midi(ports, target);
    EXPECT_EQ(midi.DeviceName(0), nullptr);
    EXPECT_EQ(OnlyReport(), "There are no MIDI input devices on the system. | Initialising MIDI system.");
}

TEST_F(MidiInputSystemTest, NameFailureDropsThatPortAndEveryLaterOne) {
    AddPorts(5);
    ports.InjectFailure(2, Op::Name, "The device vanished.");
    MidiInputSystem midi(ports, target);
    EXPECT_EQ(midi.DeviceCount(), 2u);
    EXPECT_EQ(OnlyReport(), "Could not read device capabilities for MIDI input device number 2 (Error: The device vanished.). | Initialising MIDI system.");
    EXPECT_EQ(midi.DeviceName(2), nullptr);
    EXPECT_EQ(ports.Calls(3, Op::Name), 0);
    EXPECT_EQ(midi.FindDevice("Port 3"), MidiInputSystem::kNoDevice);
    EXPECT_EQ(midi.FindDevice("Port 1"), 1u);
    EXPECT_FALSE(midi.Open(2));
}

TEST_F(MidiInputSystemTest, SharedPortOpensOnceAndClosesOnce) {
    AddPorts(5);
    MidiInputSystem midi(ports, target);
    EXPECT_TRUE(midi.Open(3));
    EXPECT_TRUE(midi.Open(3));
    EXPECT_EQ(Calls(ports, 3), (std::vector<int>{1, 1, 0, 0, 0}));
    EXPECT_TRUE(midi.IsOpen(3) && ports.IsStarted(3));
    EXPECT_TRUE(midi.Close(3));
    EXPECT_FALSE(midi.IsOpen(3) || ports.IsOpen(3));
    EXPECT_TRUE(midi.Close(3));
    EXPECT_EQ(Calls(ports, 3), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(MidiInputSystemTest, OpenFailuresAreReportedWithTheBackEndText) {
    AddPorts(3);
    MidiInputSystem midi(ports, target);

    ports.InjectFailure(1, Op::Open, "Device busy.");
    EXPECT_FALSE(midi.Open(1));
    EXPECT_EQ(OnlyReport(), "Could not open MIDI input device number 1 (Error: Device busy.). | Initialising MIDI system.");
    EXPECT_FALSE(midi.IsOpen(1));
    EXPECT_EQ(ports.Calls(1, Op::Start), 0);

    // A port that opened but would not start is closed again at once, so a
    // later Close has nothing left to do.
    sink.Clear();
    ports.ClearFailures();
    ports.InjectFailure(2, Op::Start, "No clock.");
    EXPECT_FALSE(midi.Open(2));
    EXPECT_EQ(OnlyReport(), "Could not start MIDI input device number 2 (Error: No clock.). | Initialising MIDI system.");
    EXPECT_FALSE(midi.IsOpen(2));
    EXPECT_FALSE(ports.IsOpen(2));
    EXPECT_EQ(ports.Calls(2, Op::Close), 1);
    EXPECT_TRUE(midi.Close(2));
    EXPECT_EQ(ports.Calls(2, Op::Close), 1);

    // When that closing fails too, both failures are shown.
    sink.Clear();
    ports.InjectFailure(2, Op::Close, "Stuck.");
    EXPECT_FALSE(midi.Open(2));
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{
                                   "Could not start MIDI input device number 2 (Error: No clock.).",
                                   "Could not close MIDI input device 2 (Error: Stuck.)."}));
    EXPECT_EQ(sink.Errors()[1].attemptedAction, "Initialising MIDI system.");
}

TEST_F(MidiInputSystemTest, CloseFailureStopsAtThatStepAndLeavesThePortOpen) {
    struct Case {
        Op failing;
        const char* message;
        std::vector<int> calls;  // of the back end, by the failing Close
    };
    const Case cases[] = {
        {Op::Stop, "Could not stop MIDI input device 4 (Error: Refused.).", {1, 1, 1, 0, 0}},
        {Op::Reset, "Could not reset MIDI input device 4 (Error: Refused.).", {1, 1, 1, 1, 0}},
        {Op::Close, "Could not close MIDI input device 4 (Error: Refused.).", {1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        VirtualMidiPorts fresh;
        for (int i = 0; i < 5; ++i) fresh.AddPort("Port " + std::to_string(i));
        MidiInputSystem system(fresh, target);
        ASSERT_TRUE(system.Open(4));
        sink.Clear();
        fresh.InjectFailure(4, c.failing, "Refused.");
        EXPECT_FALSE(system.Close(4));
        EXPECT_EQ(OnlyReport(), std::string(c.message) + " | Halting MIDI system.");
        EXPECT_EQ(Calls(fresh, 4), c.calls);
        EXPECT_TRUE(system.IsOpen(4));

        // Still marked open, so the next Close tries again.
        fresh.ClearFailures();
        sink.Clear();
        EXPECT_TRUE(system.Close(4));
        EXPECT_FALSE(system.IsOpen(4) || fresh.IsOpen(4));
        EXPECT_EQ(sink.Count(), 0u);
    }
}

TEST_F(MidiInputSystemTest, FindDeviceComparesBytesAndTakesTheLowestNumber) {
    for (const char* name : {"USB Keyboard", "Pedalboard", "usb keyboard", "Pedalboard"})
        ports.AddPort(name);
    MidiInputSystem midi(ports, target);
    EXPECT_EQ(midi.FindDevice("Pedalboard"), 1u);
    EXPECT_EQ(midi.FindDevice("usb keyboard"), 2u);
    EXPECT_EQ(midi.FindDevice("USB"), MidiInputSystem::kNoDevice);
    EXPECT_EQ(static_cast<int>(midi.FindDevice("")), -1);
}

TEST_F(MidiInputSystemTest, ShortMessagesArriveUnchangedWithTheirDeviceWhileOpen) {
    AddPorts(4);
    std::vector<int> closes;
    {
        MidiInputSystem midi(ports, target);
        EXPECT_FALSE(ports.Send(1, 0x403C90));  // not open yet
        for (unsigned device : {0u, 1u, 2u}) ASSERT_TRUE(midi.Open(device));
        const std::vector<std::pair<unsigned, uint32_t>> sent = {
            {1, 0x643C90},  // note on
            {2, 0x0005C3},  // program change: data2 is 0
            {1, 0x0000FF},  // system reset
        };
        for (auto [device, message] : sent) EXPECT_TRUE(ports.Send(device, message));
        EXPECT_EQ(target.Received(), sent);
        EXPECT_TRUE(midi.Close(1));
        EXPECT_FALSE(ports.Send(1, 0x403C90));
        EXPECT_EQ(target.Received().size(), sent.size());
    }
    // Destruction closes the ports still open, and only those.
    for (unsigned port = 0; port < 4; ++port) closes.push_back(ports.Calls(port, Op::Close));
    EXPECT_EQ(closes, (std::vector<int>{1, 1, 1, 0}));
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(MidiInputSystemTest, APortThatFailsOrLosesItsDeviceIsReportedOncePerOpening) {
    AddPorts(3);
    MidiInputSystem midi(ports, target);
    for (unsigned device : {0u, 1u, 2u}) ASSERT_TRUE(midi.Open(device));
    midi.CheckOpenPorts();
    EXPECT_EQ(ports.Calls(2, Op::Check), 1);
    EXPECT_EQ(sink.Count(), 0u);

    // The back end says so itself.
    ports.FailWhileOpen(1, "Unplugged.");
    ports.FailWhileOpen(1, "Unplugged.");
    EXPECT_EQ(OnlyReport(), "MIDI input device number 1 stopped working (Error: Unplugged.). | "
                            "Receiving MIDI input.");
    // Or the check finds the device gone; a port already reported is not asked again.
    sink.Clear();
    ports.InjectFailure(2, Op::Check, "The MIDI input port Port 2 is no longer present.");
    midi.CheckOpenPorts();
    midi.CheckOpenPorts();
    EXPECT_EQ(OnlyReport(), "MIDI input device number 2 stopped working (Error: The MIDI input "
                            "port Port 2 is no longer present.). | Receiving MIDI input.");
    EXPECT_EQ(ports.Calls(1, Op::Check), 1);
    EXPECT_EQ(ports.Calls(2, Op::Check), 2);

    // The other ports play on, and the lost one closes.
    EXPECT_TRUE(ports.Send(0, 0x643C90));
    EXPECT_EQ(target.Received().size(), 1u);
    EXPECT_TRUE(midi.Close(2));
    midi.CheckOpenPorts();
    EXPECT_EQ(ports.Calls(2, Op::Check), 2);

    // A new opening is watched afresh.
    ASSERT_TRUE(midi.Open(2));
    midi.CheckOpenPorts();
    EXPECT_EQ(sink.Count(), 2u);
    ASSERT_TRUE(midi.Close(1));
    ASSERT_TRUE(midi.Open(1));
    ports.FailWhileOpen(1, "Unplugged again.");
    EXPECT_EQ(sink.Count(), 3u);
}

}  // namespace
}  // namespace tessaline
