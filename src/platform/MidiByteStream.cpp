#include "platform/MidiByteStream.h"

namespace tessaline {

namespace {

constexpr uint8_t kSystemExclusive = 0xF0;
constexpr uint8_t kTimeCodeQuarterFrame = 0xF1;
constexpr uint8_t kEndOfExclusive = 0xF7;
constexpr uint8_t kTimingClock = 0xF8;
constexpr uint8_t kTimingTick = 0xF9;
constexpr uint8_t kActiveSensing = 0xFE;

bool IsDropped(uint8_t status) {
    return status == kTimeCodeQuarterFrame || status == kTimingClock || status == kTimingTick ||
           status == kActiveSensing;
}

// Number of data bytes after a status byte of a short message.
int MidiDataBytesAfter(uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xC0) return 2;  // note off/on, poly pressure, control change
    if (status < 0xE0) return 1;  // program change, channel pressure
    if (status < 0xF0) return 2;  // pitch bend
    switch (status) {
        case 0xF1:  // time code quarter frame
        case 0xF3:  // song select
            return 1;
        case 0xF2:  // song position
            return 2;
        default:
            return 0;
    }
}

}  // namespace

bool ParseMidiByte(MidiStreamState& state, uint8_t byte, uint32_t& message) {
    if (byte >= 0xF8) {
        // Real-time bytes stand alone and leave the message around them intact.
        if (IsDropped(byte)) return false;
        message = byte;
        return true;
    }
    if (byte >= 0x80) {
        // Any status byte ends system exclusive data and a message cut short.
        state.inSystemExclusive = byte == kSystemExclusive;
        state.dataCount = 0;
        state.status = 0;
        if (byte == kSystemExclusive || byte == kEndOfExclusive) return false;
        if (MidiDataBytesAfter(byte) == 0) {
            // Tune request and the undefined system common bytes.
            message = byte;
            return true;
        }
        state.status = byte;
        return false;
    }
    if (state.inSystemExclusive || state.status == 0) return false;
    state.data[state.dataCount++] = byte;
    const int needed = MidiDataBytesAfter(state.status);
    if (state.dataCount < needed) return false;
    const uint8_t status = state.status;
    message = status | uint32_t{state.data[0]} << 8;
    if (needed == 2) message |= uint32_t{state.data[1]} << 16;
    state.dataCount = 0;
    // Only channel messages set a running status.
    if (status >= 0xF0) state.status = 0;
    return !IsDropped(status);
}

}  // namespace tessaline
