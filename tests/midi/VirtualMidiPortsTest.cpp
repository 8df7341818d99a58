#include "platform/virtual/VirtualMidiPorts.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaline {
namespace {

using Op = VirtualMidiPorts::Operation;

class Collector : public MidiPortReceiver {
public:
    void OnShortMessage(uint32_t message) override { messages.push_back(message); }
    void OnPortFailure(const std::string& description) override {
        failures.push_back(description);
    }
    std::vector<uint32_t> messages;
    std::vector<std::string> failures;
};

TEST(VirtualMidiPorts, DeliversOnlyBetweenStartAndStop) {
    VirtualMidiPorts ports;
    ports.AddPort("Keys");
    Collector receiver;
    MidiPortHandle handle;
    ASSERT_TRUE(ports.Open(0, receiver, handle).Succeeded());
    EXPECT_FALSE(ports.Send(0, 0x01));
    ASSERT_TRUE(ports.Start(handle).Succeeded());
    EXPECT_TRUE(ports.Send(0, 0x643C90));
    ASSERT_TRUE(ports.Stop(handle).Succeeded());
    EXPECT_FALSE(ports.Send(0, 0x003C80));
    EXPECT_EQ(receiver.messages, std::vector<uint32_t>{0x643C90});
    EXPECT_FALSE(ports.Send(1, 0x643C90));
}

TEST(VirtualMidiPorts, ResetForgetsAHalfReceivedMessage) {
    VirtualMidiPorts ports;
    ports.AddPort("Keys");
    Collector receiver;
    MidiPortHandle handle;
    ASSERT_TRUE(ports.Open(0, receiver, handle).Succeeded());
    ASSERT_TRUE(ports.Start(handle).Succeeded());
    const uint8_t head[] = {0x90, 0x3C};
    const uint8_t tail[] = {0x64};
    EXPECT_EQ(ports.SendBytes(0, head), 0);
    ASSERT_TRUE(ports.Reset(handle).Succeeded());
    EXPECT_EQ(ports.SendBytes(0, tail), 0);
    EXPECT_TRUE(receiver.messages.empty());
}

TEST(VirtualMidiPorts, RefusesWhatARealPortWouldRefuse) {
    VirtualMidiPorts ports;
    ports.AddPort("Keys");
    Collector receiver;
    MidiPortHandle handle, second;
    std::string name;
    EXPECT_EQ(ports.PortName(1, name).text, "There is no such virtual port.");
    EXPECT_EQ(ports.Start(handle).text, "The handle is not that of an open virtual port.");
    ASSERT_TRUE(ports.Open(0, receiver, handle).Succeeded());
    EXPECT_EQ(ports.Open(0, receiver, second).text, "The virtual port is already open.");
    ASSERT_TRUE(ports.Close(handle).Succeeded());
    EXPECT_EQ(ports.Close(handle).text, "The handle is not that of an open virtual port.");
    ports.FailWhileOpen(0, "Gone.");
    EXPECT_TRUE(receiver.failures.empty());
}

TEST(VirtualMidiPorts, InjectedFailuresLastUntilCleared) {
    VirtualMidiPorts ports;
    ports.AddPort("Keys");
    ports.InjectFailure(0, Op::Open, "Busy.", 4);
    Collector receiver;
    MidiPortHandle handle;
    for (int attempt = 0; attempt < 2; ++attempt) {
        MidiPortResult result = ports.Open(0, receiver, handle);
        EXPECT_EQ(result.code, 4);
        EXPECT_EQ(result.text, "Busy.");
    }
    EXPECT_FALSE(ports.IsOpen(0));
    ports.ClearFailures();
    EXPECT_TRUE(ports.Open(0, receiver, handle).Succeeded());
    EXPECT_EQ(ports.Calls(0, Op::Open), 3);
}

}  // namespace
}  // namespace tessaline
