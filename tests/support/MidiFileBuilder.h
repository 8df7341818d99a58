#pragma once
// Builds Standard MIDI Files byte by byte for the tests: each track is written
// exactly as given (deltas, status bytes or running status, meta events), so
// that a test can also build damaged files.

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline::test {

class MidiTrackBytes {
public:
    // A delta time as a variable-length quantity.
    MidiTrackBytes& Delta(uint32_t ticks);
    // Raw bytes after the delta (a status and data, or data alone for
    // running status).
    MidiTrackBytes& Bytes(std::initializer_list<uint8_t> bytes);
    MidiTrackBytes& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
        return Delta(delta).Bytes(bytes);
    }
    MidiTrackBytes& Tempo(uint32_t delta, uint32_t microsecondsPerQuarter);
    MidiTrackBytes& Meta(uint32_t delta, uint8_t type, const std::string& data);
    MidiTrackBytes& SysEx(uint32_t delta, const std::string& data);
    MidiTrackBytes& End(uint32_t delta = 0);

    // The chunk "MTrk", its length and the bytes.
    std::string Chunk() const;

private:
    std::string body;
};

// "MThd" with format, track count and division, then the tracks.
std::string MidiFileBytes(uint16_t format, uint16_t division,
                          const std::vector<MidiTrackBytes>& tracks);
// The header alone, declaring trackCount tracks.
std::string MidiHeader(uint16_t format, uint16_t trackCount, uint16_t division);

}  // namespace tessaline::test
