#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "routing/RoutingRig.h"

namespace tessaline {
namespace {

using test::Message;
using Lines = std::vector<std::string>;

// Input A on channel 8 with sends 1, 2, 0, 5 (manual 2's keys start at note
// 41, the others' at 36).
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

    test::RoutingRig rig;
};

TEST_F(Redirectable, ASendMovesHeldKeysToTheSameLogicalKeysOfTheNewManual) {
    EXPECT_EQ(A().targetManual, 1u);
    EXPECT_EQ(A().currentSend, 0u);
    EXPECT_EQ(Play(Message(0x97, 40, 80)), (Lines{"down 1 40 10"}));
    EXPECT_EQ(Play(Message(0x97, 64, 80)), (Lines{"down 1 64 10"}));
    // F2: logical keys 4 and 28 move to manual 2, whose key 0 is note 41.
    EXPECT_TRUE(rig.Routing().SelectSend(0, 1));
    EXPECT_EQ(rig.actions.Take(),
              (Lines{"up 1 40 10", "up 1 64 10", "down 2 45 10", "down 2 69 10"}));
    EXPECT_EQ(A().targetManual, 2u);
    EXPECT_EQ(A().target, &rig.rig.organ.manuals[2]);
    // F2 again changes nothing and releases nothing.
    EXPECT_FALSE(rig.Routing().SelectSend(0, 1));
    EXPECT_EQ(rig.actions.Take(), Lines{});
    // New notes play the new manual; a key the input no longer holds does
    // not travel on the next send.
    EXPECT_EQ(Play(Message(0x87, 45, 0)), (Lines{"up 2 45 10"}));
    EXPECT_TRUE(rig.Routing().SelectSend(0, 2));
    EXPECT_EQ(rig.actions.Take(), (Lines{"up 2 69 10", "down 0 64 10"}));
    EXPECT_EQ(A().currentSend, 2u);
    // A send naming manual 5, which the organ lacks, a send or an input that
    // does not exist: nothing changes.
    EXPECT_FALSE(rig.Routing().SelectSend(0, 3));
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
    rig.setup.ManualBSend = {2, 3, 1, 0};
    ASSERT_TRUE(rig.Load()) << ::testing::PrintToString(rig.Reports());
    EXPECT_EQ(A().targetManual, 1u);
    EXPECT_EQ(A().target, &rig.rig.organ.manuals[1]);
    EXPECT_EQ(A().currentSend, RedirectableInput::kNoSend);
    EXPECT_EQ(rig.Routing().redirectable[1].targetManual, 2u);
    EXPECT_EQ(rig.Routing().redirectable[1].currentSend, 0u);
    // From the fallback any valid send moves it.
    EXPECT_TRUE(rig.Routing().SelectSend(0, 1));
    EXPECT_EQ(A().targetManual, 2u);
}

TEST(RedirectableWithoutOrgan, SelectsNothingAndKeepsNoTarget) {
    test::RoutingRig rig;
    RedirectableInput& a = rig.Routing().redirectable[0];
    a.sends = {1, 2, 3, 0};
    EXPECT_FALSE(rig.Routing().SelectSend(0, 1));
    rig.Routing().ResetRedirectableInputs();
    EXPECT_EQ(a.targetManual, 1u);
    EXPECT_EQ(a.target, nullptr);
    EXPECT_EQ(a.currentSend, RedirectableInput::kNoSend);
}

}  // namespace
}  // namespace tessaline
