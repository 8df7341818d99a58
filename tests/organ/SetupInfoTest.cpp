#include "organ/SetupInfo.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

TEST(SetupInfo, ConstructionGivesTheDefaultsOfAFreshMachine) {
    SetupInfo info;
    EXPECT_EQ(info.AudioBufferBlocks, 42u);
    EXPECT_EQ(info.PreferredMemorySampleFormat, 1u);
    EXPECT_TRUE(info.MixUpwardsOnOutput);
    EXPECT_EQ(info.AmplitudeLevel, 50u);
    EXPECT_EQ(info.ManualChan, (std::array<uint32_t, 6>{2, 1, 3, 4, 6, 7}));
    EXPECT_EQ(info.ManualAChan, 8u);
    EXPECT_EQ(info.ManualBChan, 9u);
    EXPECT_EQ(info.ManualASend, (std::array<uint32_t, 4>{0, 1, 2, 3}));
    EXPECT_EQ(info.ManualBSend, (std::array<uint32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(info.EnclosureChan, (std::array<uint32_t, 6>{1, 2, 16, 16, 16, 16}));
    EXPECT_EQ(info.EnclosureController, (std::array<uint32_t, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(info.ControlChan, 5u);
    EXPECT_EQ(info.CombFrameChan, (std::array<uint32_t, 3>{1, 10, 10}));
    EXPECT_EQ(info.CombFramePrevPC, (std::array<uint32_t, 3>{1, 1, 1}));
    EXPECT_EQ(info.CombFrameNextPC, (std::array<uint32_t, 3>{2, 2, 2}));
    for (int i = 0; i < SetupInfo::kManualPaths; ++i) {
        EXPECT_EQ(info.ManualKeyShift[i], 0);
        EXPECT_EQ(info.ManualMIDIInDevNumber[i], 0u);
        EXPECT_EQ(info.ManualMIDIInDevDesc[i], "");
    }
    EXPECT_EQ(info.DSDevDesc, "");
    EXPECT_EQ(info.ControlMIDIInDevDesc, "");
    EXPECT_FALSE(info.setUp);
    EXPECT_FALSE(info.reloadRequired);
}

}  // namespace
}  // namespace tessaline
