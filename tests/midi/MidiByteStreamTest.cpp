#include <gtest/gtest.h>

#include <vector>

#include "platform/MidiByteStream.h"

namespace tessaline {
namespace {

using Messages = std::vector<uint32_t>;

Messages Parse(MidiStreamState& state, const std::vector<uint8_t>& bytes) {
    Messages messages;
    for (uint8_t byte : bytes) {
        uint32_t message = 0;
        if (ParseMidiByte(state, byte, message)) messages.push_back(message);
    }
    return messages;
}

Messages Parse(const std::vector<uint8_t>& bytes) {
    MidiStreamState state;
    return Parse(state, bytes);
}

TEST(MidiByteStream, PacksEveryKindOfShortMessage) {
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64}), Messages{0x643C90});
    EXPECT_EQ(Parse({0x8F, 0x00, 0x7F}), Messages{0x7F008F});
    EXPECT_EQ(Parse({0xA1, 0x3C, 0x10}), Messages{0x103CA1});
    EXPECT_EQ(Parse({0xB0, 0x07, 0x7F}), Messages{0x7F07B0});
    EXPECT_EQ(Parse({0xC5, 0x7F}), Messages{0x007FC5});
    EXPECT_EQ(Parse({0xD0, 0x40}), Messages{0x0040D0});
    EXPECT_EQ(Parse({0xE1, 0x00, 0x40}), Messages{0x4000E1});
    EXPECT_EQ(Parse({0xF2, 0x01, 0x02}), Messages{0x0201F2});
    EXPECT_EQ(Parse({0xF3, 0x05}), Messages{0x0005F3});
    EXPECT_EQ(Parse({0xF6}), Messages{0x0000F6});
    EXPECT_EQ(Parse({0xFA, 0xFB, 0xFC, 0xFF}), (Messages{0xFA, 0xFB, 0xFC, 0xFF}));
}

TEST(MidiByteStream, RunningStatusRepeatsChannelMessagesOnly) {
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64, 0x3E, 0x64, 0x3C, 0x00}),
              (Messages{0x643C90, 0x643E90, 0x003C90}));
    EXPECT_EQ(Parse({0xC0, 0x01, 0x02, 0x03}), (Messages{0x01C0, 0x02C0, 0x03C0}));
    // System common messages end the running status; real-time ones do not.
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64, 0xF3, 0x01, 0x3C, 0x64}), (Messages{0x643C90, 0x01F3}));
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64, 0xFC, 0x3E, 0x64}), (Messages{0x643C90, 0xFC, 0x643E90}));
    EXPECT_EQ(Parse({0xF2, 0x01, 0x02, 0x03, 0x04}), Messages{0x0201F2});
}

TEST(MidiByteStream, RealTimeBytesMayFallInsideAMessage) {
    EXPECT_EQ(Parse({0x90, 0xFF, 0x3C, 0xFA, 0x64}), (Messages{0xFF, 0xFA, 0x643C90}));
}

TEST(MidiByteStream, SystemExclusiveTimingAndActiveSensingAreDropped) {
    EXPECT_EQ(Parse({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}), Messages{});
    EXPECT_EQ(Parse({0xF8, 0xF9, 0xFE, 0xF1, 0x20}), Messages{});
    // Time code leaves no running status behind.
    EXPECT_EQ(Parse({0xF1, 0x20, 0x30}), Messages{});
    // System exclusive ends the running status, and so does its end byte.
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64, 0xF0, 0x01, 0xF7, 0x3C, 0x64}), Messages{0x643C90});
    EXPECT_EQ(Parse({0x90, 0x3C, 0x64, 0xF7, 0x3C, 0x64}), Messages{0x643C90});
    // A status byte ends unterminated system exclusive data and counts itself.
    EXPECT_EQ(Parse({0xF0, 0x01, 0x02, 0xB0, 0x07, 0x7F}), Messages{0x7F07B0});
    // Real-time bytes inside system exclusive data still count.
    EXPECT_EQ(Parse({0xF0, 0x01, 0xFF, 0x02, 0xF7}), Messages{0xFF});
}

TEST(MidiByteStream, IncompleteOrOrphanDataIsDropped) {
    EXPECT_EQ(Parse({0x3C, 0x64, 0x90}), Messages{});
    EXPECT_EQ(Parse({0x90, 0x3C, 0xB0, 0x07, 0x7F}), Messages{0x7F07B0});
    EXPECT_EQ(Parse({0xC0, 0xF6, 0x05}), Messages{0xF6});
}

TEST(MidiByteStream, StateCarriesAcrossPieces) {
    MidiStreamState state;
    EXPECT_EQ(Parse(state, {0x90, 0x3C}), Messages{});
    EXPECT_EQ(Parse(state, {0x64}), Messages{0x643C90});
    EXPECT_EQ(Parse(state, {0x40, 0x00}), Messages{0x004090});
    EXPECT_EQ(Parse(state, {0xF0, 0x01}), Messages{});
    EXPECT_EQ(Parse(state, {0x02, 0xF7, 0xC1, 0x09}), Messages{0x09C1});
    // A fresh state knows no running status.
    state = {};
    EXPECT_EQ(Parse(state, {0x0A}), Messages{});
}

}  // namespace
}  // namespace tessaline
