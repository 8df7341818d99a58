#pragma once
// Turns a raw MIDI byte stream into complete short messages, packed as
// status | data1 << 8 | data2 << 16. Used by MIDI back ends whose system hands
// over bytes rather than whole messages: running status is resolved, real-time
// bytes may fall anywhere (even inside another message), and system exclusive
// data, timing (clock, tick, time code quarter frames) and active sensing are
// dropped. A data byte with no status before it is dropped, and so is a message
// cut short by the next status byte.

#include <cstdint>

namespace tessaline {

// Everything the parser remembers between bytes; value-initialised is the
// state of a fresh stream.
struct MidiStreamState {
    uint8_t status = 0;  // status of the message being received; 0 = none
    uint8_t data[2] = {0, 0};
    uint8_t dataCount = 0;
    bool inSystemExclusive = false;
};

// Feeds one byte. Returns true, with the packed message in message, when this
// byte completes a short message that is to be delivered. Allocation-free and
// lock-free: safe on the MIDI thread.
bool ParseMidiByte(MidiStreamState& state, uint8_t byte, uint32_t& message);

}  // namespace tessaline
