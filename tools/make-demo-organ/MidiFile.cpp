#include "MidiFile.h"

#include <algorithm>
#include <cmath>

namespace tessaline::demo {

namespace {

void PutVariable(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<uint8_t>(bytes[--n] | 0x80));
    out.push_back(bytes[0]);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void MidiTrack::Tempo(uint32_t tick, double beatsPerMinute) {
    uint32_t micros = static_cast<uint32_t>(std::lround(60000000.0 / beatsPerMinute));
    events.push_back({tick, 0, {0xFF, 0x51, 0x03, static_cast<uint8_t>(micros >> 16),
                                static_cast<uint8_t>(micros >> 8), static_cast<uint8_t>(micros)}});
}

void MidiTrack::TimeSignature(uint32_t tick, int numerator, int denominatorPower) {
    events.push_back({tick, 0, {0xFF, 0x58, 0x04, static_cast<uint8_t>(numerator),
                                static_cast<uint8_t>(denominatorPower), 24, 8}});
}

void MidiTrack::Note(uint32_t tick, uint32_t length, int channel, int note, int velocity) {
    uint8_t status = static_cast<uint8_t>(0x90 | ((channel - 1) & 0x0F));
    events.push_back({tick, 2, {status, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)}});
    events.push_back({tick + length, 1, {status, static_cast<uint8_t>(note), 0}});
}

std::vector<uint8_t> MidiTrack::Encode() const {
    std::vector<Event> sorted = events;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::vector<uint8_t> body;
    body.push_back(0);
    body.insert(body.end(), {0xFF, 0x03});
    PutVariable(body, static_cast<uint32_t>(name.size()));
    body.insert(body.end(), name.begin(), name.end());
    uint32_t now = 0;
    uint8_t running = 0;
    for (const Event& e : sorted) {
        PutVariable(body, e.tick - now);
        now = e.tick;
        if (e.bytes[0] == 0xFF) {
            running = 0;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        } else {
            size_t from = e.bytes[0] == running ? 1 : 0;
            running = e.bytes[0];
            body.insert(body.end(), e.bytes.begin() + static_cast<long>(from), e.bytes.end());
        }
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
    Put32(chunk, static_cast<uint32_t>(body.size()));
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

std::vector<uint8_t> EncodeMidiFile(const std::vector<MidiTrack>& tracks, uint16_t ticksPerQuarter) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    out.push_back(static_cast<uint8_t>(tracks.size() >> 8));
    out.push_back(static_cast<uint8_t>(tracks.size()));
    out.push_back(static_cast<uint8_t>(ticksPerQuarter >> 8));
    out.push_back(static_cast<uint8_t>(ticksPerQuarter));
    for (const MidiTrack& t : tracks) {
        std::vector<uint8_t> chunk = t.Encode();
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

}  // namespace tessaline::demo
