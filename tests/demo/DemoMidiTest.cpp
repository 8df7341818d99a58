// The two demo pieces: Standard MIDI Files of format 1 on the channels of the
// default settings, written with running status, and the committed copies
// are exactly what the generator writes.

#include <gtest/gtest.h>

#include <map>

#include "DemoPieces.h"
#include "Inspection.h"
#include "MidiFile.h"
#include "support/TempDir.h"

namespace tessaline::demo {
namespace {

struct NoteCount {
    int notes = 0;
    int lowest = 128, highest = -1;
    int writtenStatus = 0, runningStatus = 0;
};

// Counts the notes of one track per channel (0-based) and checks that every
// note-on is ended by a note-off of the same key before the key sounds again.
std::map<int, NoteCount> CountNotes(const test::MidiTrackInfo& track) {
    std::map<int, NoteCount> counts;
    std::map<std::pair<int, int>, bool> sounding;
    for (const test::MidiEvent& e : track.events) {
        if (e.status == 0xFF) continue;
        int channel = e.status & 0x0F;
        NoteCount& c = counts[channel];
        (e.statusWritten ? c.writtenStatus : c.runningStatus) += 1;
        bool on = (e.status & 0xF0) == 0x90 && e.data[1] > 0;
        bool off = (e.status & 0xF0) == 0x80 || ((e.status & 0xF0) == 0x90 && e.data[1] == 0);
        EXPECT_TRUE(on || off) << "only notes are written";
        bool& held = sounding[{channel, e.data[0]}];
        if (on) {
            EXPECT_FALSE(held) << "key " << int(e.data[0]) << " struck again while held";
            ++c.notes;
            c.lowest = std::min(c.lowest, int(e.data[0]));
            c.highest = std::max(c.highest, int(e.data[0]));
        } else {
            EXPECT_TRUE(held) << "note-off for a key not held";
        }
        held = on;
    }
    for (const auto& [key, held] : sounding) EXPECT_FALSE(held) << "key left sounding";
    return counts;
}

int TempoEvents(const test::MidiTrackInfo& track) {
    int n = 0;
    for (const auto& e : track.events) n += e.status == 0xFF && e.data[0] == 0x51;
    return n;
}

void ExpectEndsEachTrack(const test::MidiInfo& midi) {
    for (const auto& t : midi.tracks) {
        ASSERT_FALSE(t.events.empty());
        EXPECT_EQ(t.events.back().status, 0xFF);
        EXPECT_EQ(t.events.back().data, (std::vector<uint8_t>{0x2F}));
        EXPECT_EQ(t.events.front().data[0], 0x03) << "each track starts with its name";
    }
}

test::MidiInfo Parse(const std::vector<uint8_t>& bytes) {
    test::MidiInfo midi;
    std::string why;
    EXPECT_TRUE(test::ReadMidi(bytes, midi, why)) << why;
    return midi;
}

TEST(DemoPieces, ChoraleIsFourVoicesOnGreatAndPedalSlowingAtTheEnd) {
    test::MidiInfo midi = Parse(test::ReadBytes(std::string(DEMO_RESOURCES) + "/chorale.mid"));
    EXPECT_EQ(midi.format, 1);
    EXPECT_EQ(midi.trackCount, 3);
    EXPECT_EQ(midi.division, 480);
    ASSERT_EQ(midi.tracks.size(), 3u);
    ExpectEndsEachTrack(midi);
    EXPECT_EQ(TempoEvents(midi.tracks[0]), 3);
    auto manual = CountNotes(midi.tracks[1]);
    auto pedal = CountNotes(midi.tracks[2]);
    ASSERT_EQ(manual.size(), 1u);
    ASSERT_EQ(pedal.size(), 1u);
    ASSERT_TRUE(manual.count(0)) << "Great on channel 1";
    ASSERT_TRUE(pedal.count(1)) << "Pedal on channel 2";
    EXPECT_EQ(manual[0].notes, 26 * 3);
    EXPECT_EQ(pedal[1].notes, 26);
    EXPECT_GE(manual[0].lowest, 36);
    EXPECT_LE(manual[0].highest, 96);
    EXPECT_GE(pedal[1].lowest, 36);
    EXPECT_LE(pedal[1].highest, 67);
    // Running status: one status byte starts the run, the rest ride on it.
    EXPECT_EQ(manual[0].writtenStatus, 1);
    EXPECT_EQ(manual[0].runningStatus, 26 * 3 * 2 - 1);
    // Eight bars of 4/4 at 480 ticks a quarter.
    EXPECT_EQ(midi.tracks[2].events.back().tick, 8u * 4u * 480u - 30u);
}

TEST(DemoPieces, ToccataFiguresOnGreatEchoOnSwellOverThePedal) {
    test::MidiInfo midi = Parse(test::ReadBytes(std::string(DEMO_RESOURCES) + "/toccata.mid"));
    EXPECT_EQ(midi.format, 1);
    ASSERT_EQ(midi.trackCount, 4);
    ExpectEndsEachTrack(midi);
    EXPECT_EQ(TempoEvents(midi.tracks[0]), 1);
    auto great = CountNotes(midi.tracks[1]);
    auto swell = CountNotes(midi.tracks[2]);
    auto pedal = CountNotes(midi.tracks[3]);
    ASSERT_TRUE(great.count(0) && swell.count(2) && pedal.count(1));
    EXPECT_EQ(great.size() + swell.size() + pedal.size(), 3u);
    // Twelve half-bar figures of eight sixteenths and two held notes: eight
    // on the Great, four echoed on the Swell; then a seven-note chord.
    EXPECT_EQ(great[0].notes, 12 * 10 + 7);
    EXPECT_EQ(swell[2].notes, 4 * 10);
    EXPECT_EQ(pedal[1].notes, 12 + 1);
    EXPECT_LE(pedal[1].highest, 67);
    EXPECT_EQ(great[0].writtenStatus, 1);
}

TEST(DemoPieces, CommittedFilesAreWhatTheGeneratorWrites) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoPieces(dir.Path().string(), error)) << error;
    for (const char* name : {"chorale.mid", "toccata.mid"}) {
        auto committed = test::ReadBytes(std::string(DEMO_RESOURCES) + "/" + name);
        EXPECT_FALSE(committed.empty()) << name;
        EXPECT_EQ(committed, test::ReadBytes(dir.File(name))) << name;
    }
}

TEST(DemoMidiWriter, VariableLengthTimesAndRunningStatusAfterMetaEvents) {
    MidiTrack track("T");
    track.Note(0x80, 0x3F80, 1, 60, 100);      // on at 0x80, off at 0x4000
    track.Tempo(0x204000, 120);                // a delta of 0x200000
    track.Note(0x204000, 10, 16, 61, 1);
    std::vector<uint8_t> bytes = track.Encode();
    const std::vector<uint8_t> expected = {
        'M', 'T', 'r', 'k', 0, 0, 0, 35,
        0x00, 0xFF, 0x03, 0x01, 'T',
        0x81, 0x00, 0x90, 60, 100,            // delta 0x80, status written
        0xFF, 0x00, 60, 0,                     // delta 0x3F80, running status
        0x81, 0x80, 0x80, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
        0x00, 0x9F, 61, 1,                     // status again after the meta event
        0x0A, 61, 0,
        0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(bytes, expected);
}

}  // namespace
}  // namespace tessaline::demo
