#include <gtest/gtest.h>

#include <vector>

#include "platform/ChainedMidiPorts.h"
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

TEST(ChainedMidiPorts, ListsTheSecondSetAfterTheFirstAndRoutesEachHandleHome) {
    VirtualMidiPorts real, extra;
    real.AddPort("A");
    extra.AddPort("V0");
    extra.AddPort("V1");
    ChainedMidiPorts chain(real, extra);
    ASSERT_EQ(chain.PortCount(), 3u);
    std::string name;
    EXPECT_TRUE(chain.PortName(2, name).Succeeded());
    EXPECT_EQ(name, "V1");
    EXPECT_EQ(chain.PortName(3, name).text, "There is no such virtual port.");

    // Port 0 of each set gets the same handle from its own set.
    Collector first, second;
    MidiPortHandle a, v;
    ASSERT_TRUE(chain.Open(0, first, a).Succeeded());
    ASSERT_TRUE(chain.Open(1, second, v).Succeeded());
    EXPECT_TRUE(chain.Start(v).Succeeded());
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
    EXPECT_EQ(extra.Calls(0, Op::Reset), 1);

    extra.InjectFailure(1, Op::Open, "Virtual port refused.", 7);
    MidiPortHandle refused;
    MidiPortResult result = chain.Open(2, second, refused);
    EXPECT_EQ(result.code, 7);
    EXPECT_EQ(result.text, "Virtual port refused.");
    EXPECT_EQ(refused.value, -1);
}

}  // namespace
}  // namespace tessaline
