#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;
using Lines = std::vector<std::string>;

constexpr uint32_t kF2 = 113, kF3 = 114, kF4 = 115, kF9 = 120;

// Input A on channel 8 with sends 1, 2, 0, 5 (manual 2's keys start at
// note 41, the others' at 36).
class Redirectable : public ::testing::Test {
protected:
    void SetUp() override {
        rig.setup.ManualASend = {1, 2, 0, 5};
        ASSERT_TRUE(rig.Activate()) << ::testing::PrintToString(rig.Reports());
    }
    RedirectableInput& A() { return rig.Routing().redirectable[0]; }
    Lines Play(uint32_t message) {
        EXPECT_TRUE(rig.ports.Send(0, message));
        return rig.actions.Take();
    }
    Lines Key(uint32_t key) {
        rig.rig.organ.OnKeyDown(key);
        return rig.actions.Take();
    }

    test::RoutingRig rig;
};

TEST_F(Redirectable, ASendKeyMovesHeldKeysToTheSameLogicalKeysOfTheNewManual) {
    EXPECT_EQ(Play(Message(0x97, 40, 80)), (Lines{"down 1 40 10"}));
    EXPECT_EQ(Play(Message(0x97, 64, 80)), (Lines{"down 1 64 10"}));
    // F2: logical keys 4 and 28 move to manual 2, whose key 0 is note 41.
    EXPECT_EQ(Key(kF2), (Lines{"up 1 40 10", "up 1 64 10", "down 2 45 10", "down 2 69 10"}));
    EXPECT_EQ(Key(kF2), Lines{});  // the same send again releases nothing
    // New notes play the new manual; a key the input no longer holds does
    // not travel on the next send.
    EXPECT_EQ(Play(Message(0x87, 45, 0)), (Lines{"up 2 45 10"}));
    EXPECT_EQ(Key(kF3), (Lines{"up 2 69 10", "down 0 64 10"}));
    // F4 names manual 5, which the organ lacks; F9 is no send key; sends or
    // inputs beyond the last: nothing changes.
    EXPECT_EQ(Key(kF4), Lines{});
    EXPECT_EQ(Key(kF9), Lines{});
    EXPECT_FALSE(rig.Routing().SelectSend(0, 4));
    EXPECT_FALSE(rig.Routing().SelectSend(2, 0));
    EXPECT_EQ(rig.actions.Take(), Lines{});
    EXPECT_EQ(A().targetManual, 0u);
    EXPECT_EQ(A().currentSend, 2u);
    EXPECT_FALSE(rig.actions.locked);
}

TEST_F(Redirectable, ResetFallsBackToManualOneWhenTheFirstSendNamesAMissingManual) {
    ASSERT_TRUE(rig.rig.organ.CloseMidiInputs());
    rig.file.Set("Organ", "HasPedals", "N");
    rig.setup.ManualASend = {0, 2, 3, 1};
    ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());
    EXPECT_EQ(A().target, &rig.rig.organ.manuals[1]);
    EXPECT_EQ(A().currentSend, RedirectableInput::kNoSend);
    // From the fallback any valid send moves it.
    EXPECT_TRUE(rig.Routing().SelectSend(0, 1));
    EXPECT_EQ(A().targetManual, 2u);

    test::RoutingRig none;  // without an organ nothing is selected or targeted
    none.Routing().redirectable[0].sends = {1, 2, 3, 0};
    EXPECT_FALSE(none.Routing().SelectSend(0, 1));
    none.Routing().ResetRedirectableInputs();
    EXPECT_EQ(none.Routing().redirectable[0].target, nullptr);
}

}  // namespace
}  // namespace tessaline
