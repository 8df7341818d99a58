#pragma once
// A Standard MIDI File (format 0 or 1) read into one list of channel messages
// in time order, each with its time in ticks, microseconds and sample frames.
//
// Every track's events are merged by time; events at the same tick keep the
// order of their tracks, and within a track the order of the file. Tempo
// changes from any track form one tempo map that converts ticks to time for
// all tracks. Meta and system-exclusive events are read past and dropped,
// except the tempo changes and each track's end. Running status is honoured,
// also across meta and system-exclusive events (files in the wild rely on
// it). Every length and offset is checked against the bytes that are there: a
// truncated or malformed file is refused with a report.
//
// Threads: UI or a tool's main thread; nothing here is shared.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

struct MidiFileEvent {
    int64_t tick = 0;
    int64_t microseconds = 0;  // from the start of the file, rounded to nearest
    int64_t frame = 0;         // at 44100 frames per second, rounded to nearest
    // Packed as the MIDI input delivers it: status in bits 0-7, data 1 in
    // bits 8-15, data 2 in bits 16-23.
    uint32_t message = 0;
    int track = 0;  // from 0, in file order
};

struct MidiTempoChange {
    int64_t tick = 0;
    uint32_t microsecondsPerQuarter = 500000;
};

class MidiFile {
public:
    // Reads and parses the whole file; false after reporting, with the
    // previous contents cleared.
    bool Read(const std::string& fileName);
    // Parses bytes in memory; name is the file name shown in reports.
    bool Parse(std::span<const uint8_t> bytes, const std::string& name);
    void Clear();

    // Time of a tick on the file's time line, by the tempo map.
    // Both saturate at the largest int64_t for absurdly long files.
    int64_t TickToMicroseconds(int64_t tick) const;
    int64_t TickToFrame(int64_t tick) const;

    int format = 0;
    int trackCount = 0;
    // Ticks per quarter note, or 0 for a file timed in SMPTE frames.
    int ticksPerQuarter = 0;
    // SMPTE timing: frames per second (24, 25, 29 for 29.97, 30) and ticks
    // per frame; both 0 for a file timed in quarter notes.
    int smpteFramesPerSecond = 0;
    int ticksPerSmpteFrame = 0;
    // Channel messages of every track, merged in time order.
    std::vector<MidiFileEvent> events;
    // In tick order; the first entry is always tick 0 (120 beats per minute
    // until the file says otherwise).
    std::vector<MidiTempoChange> tempoMap{MidiTempoChange{}};
    // The latest end of track, in ticks: where the piece ends.
    int64_t endTick = 0;

private:
    // The exact time of a tick as a count of units, UnitsPerSecond() of them
    // to the second: tick x tempo summed over the tempo map for a file in
    // quarter notes. Wide, so that long files at slow tempos cannot overflow.
    unsigned __int128 TimeUnits(int64_t tick) const;
    unsigned __int128 UnitsPerSecond() const;
    // The time units at each entry of the tempo map.
    std::vector<unsigned __int128> tempoUnits{0};
    // Time units scaled to `rate` per second, rounded to nearest, saturated.
    int64_t Scale(int64_t tick, int64_t rate) const;
};

}  // namespace tessaline
