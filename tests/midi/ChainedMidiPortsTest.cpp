#include "platform/ChainedMidiPorts.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/virtual/VirtualMidiPorts.h"

namespace tessaline {
namespace {

using Op = VirtualMidiPorts::Operation;

class Collector : public MidiPortReceiver {
public:
    void OnShortMessage(uint32_t message) override { messages.push_back(message); }
    void OnPortFailure(const std::string&) override {}
    std::vector<uint32_t> messages;
};

TEST(ChainedMidiPorts, ListsTheSecondSetAfterTheFirst) {
    VirtualMidiPorts real, extra;
    real.AddPort("A");
    real.AddPort("B");
    extra.AddPort("V0");
    extra.AddPort("V1");
    ChainedMidiPorts chain(real, extra);
    ASSERT_EQ(chain.PortCount(), 4u);
    std::vector<std::string> names;
    for (unsigned port = 0; port < 4; ++port) {
        std::string name;
        EXPECT_TRUE(chain.PortName(port, name).Succeeded());
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "V0", "V1"}));
    std::string none;
    EXPECT_FALSE(chain.PortName(4, none).Succeeded());
}

TEST(ChainedMidiPorts, EachHandleReachesTheSetThatOpenedIt) {
    VirtualMidiPorts real, extra;
    real.AddPort("A");
    extra.AddPort("V0");
    ChainedMidiPorts chain(real, extra);
    ASSERT_EQ(chain.PortCount(), 2u);
    Collector first, second;
    MidiPortHandle a, v;
    // Both sets give their port 0 the same inner handle.
    ASSERT_TRUE(chain.Open(0, first, a).Succeeded());
    ASSERT_TRUE(chain.Open(1, second, v).Succeeded());
    EXPECT_TRUE(chain.Start(v).Succeeded());
    EXPECT_TRUE(extra.IsStarted(0));
    EXPECT_FALSE(real.IsStarted(0));
    EXPECT_TRUE(extra.Send(0, 0x643C90));
    EXPECT_EQ(second.messages, std::vector<uint32_t>{0x643C90});
    EXPECT_TRUE(first.messages.empty());

    EXPECT_TRUE(chain.Close(a).Succeeded());
    EXPECT_FALSE(real.IsOpen(0));
    EXPECT_TRUE(extra.IsOpen(0));
    EXPECT_TRUE(chain.Stop(v).Succeeded());
    EXPECT_TRUE(chain.Reset(v).Succeeded());
    EXPECT_TRUE(chain.Close(v).Succeeded());
    EXPECT_FALSE(extra.IsOpen(0));
    EXPECT_EQ(real.Calls(0, Op::Stop), 0);
    EXPECT_EQ(extra.Calls(0, Op::Stop), 1);
    EXPECT_EQ(extra.Calls(0, Op::Reset), 1);
}

TEST(ChainedMidiPorts, FailuresOfEitherSetComeBackWithTheirText) {
    VirtualMidiPorts real, extra;
    real.AddPort("A");
    extra.AddPort("V0");
    extra.InjectFailure(0, Op::Open, "Virtual port refused.", 7);
    ChainedMidiPorts chain(real, extra);
    chain.PortCount();
    Collector receiver;
    MidiPortHandle handle;
    MidiPortResult result = chain.Open(1, receiver, handle);
    EXPECT_EQ(result.code, 7);
    EXPECT_EQ(result.text, "Virtual port refused.");
    EXPECT_EQ(handle.value, -1);
    EXPECT_FALSE(chain.Close(MidiPortHandle{}).Succeeded());
}

}  // namespace
}  // namespace tessaline
