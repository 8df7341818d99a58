#include "support/MidiFileBuilder.h"

namespace tessaline::test {

namespace {

void PutVariable(std::string& out, uint32_t value) {
    char bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<char>(bytes[--n] | 0x80));
    out.push_back(bytes[0]);
}

void PutBig(std::string& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

MidiTrackBytes& MidiTrackBytes::Delta(uint32_t ticks) {
    PutVariable(body, ticks);
    return *this;
}

MidiTrackBytes& MidiTrackBytes::Bytes(std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) body.push_back(static_cast<char>(b));
    return *this;
}

MidiTrackBytes& MidiTrackBytes::Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    Delta(delta).Bytes({0xFF, 0x51, 0x03});
    PutBig(body, microsecondsPerQuarter, 3);
    return *this;
}

MidiTrackBytes& MidiTrackBytes::Meta(uint32_t delta, uint8_t type, const std::string& data) {
    Delta(delta).Bytes({0xFF, type});
    PutVariable(body, static_cast<uint32_t>(data.size()));
    body += data;
    return *this;
}

MidiTrackBytes& MidiTrackBytes::SysEx(uint32_t delta, const std::string& data) {
    Delta(delta).Bytes({0xF0});
    PutVariable(body, static_cast<uint32_t>(data.size()));
    body += data;
    return *this;
}

MidiTrackBytes& MidiTrackBytes::End(uint32_t delta) { return Delta(delta).Bytes({0xFF, 0x2F, 0x00}); }

std::string MidiTrackBytes::Chunk() const {
    std::string out = "MTrk";
    PutBig(out, static_cast<uint32_t>(body.size()), 4);
    return out + body;
}

std::string MidiHeader(uint16_t format, uint16_t trackCount, uint16_t division) {
    std::string out = "MThd";
    PutBig(out, 6, 4);
    PutBig(out, format, 2);
    PutBig(out, trackCount, 2);
    PutBig(out, division, 2);
    return out;
}

std::string MidiFileBytes(uint16_t format, uint16_t division,
                          const std::vector<MidiTrackBytes>& tracks) {
    std::string out = MidiHeader(format, static_cast<uint16_t>(tracks.size()), division);
    for (const MidiTrackBytes& t : tracks) out += t.Chunk();
    return out;
}

}  // namespace tessaline::test
