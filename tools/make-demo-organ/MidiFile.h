#pragma once
// A Standard MIDI File writer (format 1) for the demo pieces. Channel
// messages in a track use running status: the status byte is written only
// when it changes (and again after a meta event, which cancels it). Note-offs
// are written as note-ons with velocity 0 so runs of notes share one status.

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline::demo {

class MidiTrack {
public:
    explicit MidiTrack(std::string name) : name(std::move(name)) {}

    void Tempo(uint32_t tick, double beatsPerMinute);
    void TimeSignature(uint32_t tick, int numerator, int denominatorPower);
    // channel from 1 to 16, as the settings count them.
    void Note(uint32_t tick, uint32_t length, int channel, int note, int velocity);

    // The track chunk: name first, events in time order (at one tick,
    // meta events, then note-offs, then note-ons), end of track last.
    std::vector<uint8_t> Encode() const;

private:
    struct Event {
        uint32_t tick;
        int order;  // 0 meta, 1 note-off, 2 note-on
        std::vector<uint8_t> bytes;
    };
    std::string name;
    std::vector<Event> events;
};

std::vector<uint8_t> EncodeMidiFile(const std::vector<MidiTrack>& tracks, uint16_t ticksPerQuarter);

}  // namespace tessaline::demo
