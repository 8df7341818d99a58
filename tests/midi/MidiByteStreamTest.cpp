#include <gtest/gtest.h>

#include <utility>
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

TEST(MidiByteStream, PacksShortMessagesFollowsRunningStatusAndDropsWhatIsNotPlayed) {
    const std::pair<std::vector<uint8_t>, Messages> cases[] = {
        // Every kind of short message.
        {{0x90, 0x3C, 0x64}, {0x643C90}},
        {{0xC5, 0x7F}, {0x007FC5}},
        {{0xF2, 0x01, 0x02}, {0x0201F2}},
        {{0xF6}, {0x0000F6}},
        {{0xFA, 0xFB, 0xFC, 0xFF}, {0xFA, 0xFB, 0xFC, 0xFF}},
        // Running status repeats channel messages only; system common
        // messages end it, real-time ones do not.
        {{0x90, 0x3C, 0x64, 0x3E, 0x64, 0x3C, 0x00}, {0x643C90, 0x643E90, 0x003C90}},
        {{0xC0, 0x01, 0x02}, {0x01C0, 0x02C0}},
        {{0x90, 0x3C, 0x64, 0xF3, 0x01, 0x3C, 0x64}, {0x643C90, 0x01F3}},
        {{0x90, 0x3C, 0x64, 0xFC, 0x3E, 0x64}, {0x643C90, 0xFC, 0x643E90}},
        // Real-time bytes may fall inside a message.
        {{0x90, 0xFF, 0x3C, 0xFA, 0x64}, {0xFF, 0xFA, 0x643C90}},
        // System exclusive, timing and active sensing are dropped; time code
        // leaves no running status behind.
        {{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {}},
        {{0xF8, 0xF9, 0xFE, 0xF1, 0x20, 0x30}, {}},
        // System exclusive ends the running status, and so does its end byte.
        {{0x90, 0x3C, 0x64, 0xF0, 0x01, 0xF7, 0x3C, 0x64}, {0x643C90}},
        {{0xC0, 0x01, 0xF7, 0x02}, {0x01C0}},
        // A status byte ends unterminated system exclusive data and counts
        // itself; real-time bytes inside the data still count.
        {{0xF0, 0x01, 0x02, 0xB0, 0x07, 0x7F}, {0x7F07B0}},
        {{0xF0, 0x01, 0xFF, 0x02, 0xF7}, {0xFF}},
        // Incomplete or orphan data.
        {{0x3C, 0x64, 0x90}, {}},
        {{0x90, 0x3C, 0xB0, 0x07, 0x7F}, {0x7F07B0}},
    };
    for (const auto& [bytes, messages] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        MidiStreamState state;
        EXPECT_EQ(Parse(state, bytes), messages);
    }
}

}  // namespace
}  // namespace tessaline
