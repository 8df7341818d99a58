#include "platform/rtaudio/RtAudioOutput.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tessaline {
namespace {

std::vector<AudioDeviceEntry> ListWith(const char* virtualDevices) {
    if (virtualDevices) {
        setenv("TESSALINE_VIRTUAL_DEVICES", virtualDevices, 1);
    } else {
        unsetenv("TESSALINE_VIRTUAL_DEVICES");
    }
    RtAudioOutputSystem system;
    std::vector<AudioDeviceEntry> entries;
    system.Enumerate(entries, 32);
    unsetenv("TESSALINE_VIRTUAL_DEVICES");
    return entries;
}

bool Lists(const std::vector<AudioDeviceEntry>& entries, const std::string& description) {
    for (const auto& e : entries) {
        if (e.description == description) return true;
    }
    return false;
}

TEST(RtAudioOutput, VirtualDeviceListedOnlyWhenAskedFor) {
    EXPECT_FALSE(Lists(ListWith(nullptr), "Virtual: Real-time output"));
    EXPECT_FALSE(Lists(ListWith("0"), "Virtual: Real-time output"));
    auto entries = ListWith("1");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().description, "Virtual: Real-time output");
    EXPECT_FALSE(Lists(entries, "Virtual: Hand-driven output"));
}

TEST(RtAudioOutput, OpensTheVirtualDeviceAndRefusesUnknownOnes) {
    setenv("TESSALINE_VIRTUAL_DEVICES", "1", 1);
    RtAudioOutputSystem system;
    unsetenv("TESSALINE_VIRTUAL_DEVICES");
    std::unique_ptr<AudioOutputDevice> device;
    ASSERT_TRUE(system.Create(kVirtualRealTimeId, device));
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(system.Create("jack|no such device", device));
    EXPECT_EQ(device, nullptr);
    EXPECT_FALSE(system.Create("no separator", device));
    EXPECT_FALSE(system.Create("nosuchapi|system", device));
}

TEST(RtAudioOutput, DevicePeriodIsASixteenthOfTheRingWithinLimits) {
    EXPECT_EQ(DevicePeriodFrames(5376), 336u);
    EXPECT_EQ(DevicePeriodFrames(128), 64u);
    EXPECT_EQ(DevicePeriodFrames(262144), 512u);
}

}  // namespace
}  // namespace tessaline
