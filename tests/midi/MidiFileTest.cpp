#include "midi/MidiFile.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/virtual/RecordingErrorSink.h"
#include "support/MidiFileBuilder.h"

namespace tessaline {
namespace {

using test::MidiFileBytes;
using test::MidiHeader;
using test::MidiTrackBytes;

std::span<const uint8_t> AsBytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

constexpr uint32_t Pack(uint8_t status, uint8_t data1, uint8_t data2 = 0) {
    return status | static_cast<uint32_t>(data1) << 8 | static_cast<uint32_t>(data2) << 16;
}

// tick, microseconds, frame, message, track
using Event = std::tuple<int64_t, int64_t, int64_t, uint32_t, int>;

void ExpectEvents(const MidiFile& file, const std::vector<Event>& expected) {
    std::vector<Event> events;
    for (const auto& e : file.events)
        events.emplace_back(e.tick, e.microseconds, e.frame, e.message, e.track);
    EXPECT_EQ(events, expected);
}

TEST(MidiFileRead, FormatZeroWithRunningStatusMetaAndSysEx) {
    MidiTrackBytes track;
    track.Meta(0, 0x03, "Melody")
        .Event(0, {0x90, 60, 100})
        .Event(0, {64, 90})  // running status
        .SysEx(10, std::string("\x7E\x7F\x09\x01\xF7", 5))
        .Event(38, {60, 0})  // running status survives the sysex
        .Meta(0, 0x01, std::string(200, 'x'))
        .Event(48, {0xC2, 5})  // one data byte
        .Event(0, {0xD2, 33})
        .Event(0, {7})
        .Event(0, {0x82, 64, 0})
        .End(100);
    RecordingErrorSink sink;
    MidiFile file;
    ASSERT_TRUE(file.Parse(AsBytes(MidiFileBytes(0, 96, {track})), "tune.mid"));
    EXPECT_TRUE(sink.Errors().empty());
    EXPECT_EQ(file.endTick, 196);
    // 96 ticks a quarter at 120 a minute: a tick is 5208.33 microseconds.
    ExpectEvents(file, {{0, 0, 0, Pack(0x90, 60, 100), 0},
                        {0, 0, 0, Pack(0x90, 64, 90), 0},
                        {48, 250000, 11025, Pack(0x90, 60, 0), 0},
                        {96, 500000, 22050, Pack(0xC2, 5), 0},
                        {96, 500000, 22050, Pack(0xD2, 33), 0},
                        {96, 500000, 22050, Pack(0xD2, 7), 0},
                        {96, 500000, 22050, Pack(0x82, 64, 0), 0}});
}

TEST(MidiFileRead, FormatOneMergesTracksUnderOneTempoMap) {
    MidiTrackBytes conductor;
    conductor.Tempo(0, 500000).Tempo(192, 250000).End(0);
    MidiTrackBytes upper;
    upper.Event(0, {0x90, 72, 80}).Event(192, {0x80, 72, 0}).Event(96, {0x90, 74, 80}).End(0);
    MidiTrackBytes lower;
    // At tick 192 this track's note-on comes after the upper track's note-off.
    lower.Event(192, {0x91, 48, 80}).Tempo(192, 1000000).Event(96, {0x81, 48, 0}).End(10);
    MidiFile file;
    ASSERT_TRUE(file.Parse(AsBytes(MidiFileBytes(1, 96, {conductor, upper, lower})), "two.mid"));
    EXPECT_EQ(file.endTick, 490);
    // 192 ticks at 0.5 s a quarter = 1 s; then 0.25 s a quarter; from tick
    // 384 (1.5 s) a quarter lasts 1 s, set by the lower track for all tracks.
    ExpectEvents(file, {{0, 0, 0, Pack(0x90, 72, 80), 1},
                        {192, 1000000, 44100, Pack(0x80, 72, 0), 1},
                        {192, 1000000, 44100, Pack(0x91, 48, 80), 2},
                        {288, 1250000, 55125, Pack(0x90, 74, 80), 1},
                        {480, 2500000, 110250, Pack(0x81, 48, 0), 2}});
    EXPECT_EQ(file.TickToFrame(file.endTick), 114844);
}

TEST(MidiFileRead, SmpteDivisionIgnoresTempoAndOtherChunksAreSkipped) {
    MidiTrackBytes track;
    track.Tempo(0, 250000).Event(1500, {0x90, 60, 1}).End();
    // 25 frames a second, 40 ticks a frame: 1000 ticks a second. The header
    // has two bytes more than it needs and a chunk of another kind follows.
    std::string header = MidiHeader(0, 1, 0xE728);
    header[7] = 8;
    std::string bytes = header + "xy" + "XFIH" + std::string("\0\0\0\3abc", 7) + track.Chunk();
    MidiFile file;
    ASSERT_TRUE(file.Parse(AsBytes(bytes), "smpte.mid"));
    ExpectEvents(file, {{1500, 1500000, 66150, Pack(0x90, 60, 1), 0}});
}

TEST(MidiFileRead, DamagedFilesAreRefusedWithTheirMessage) {
    MidiTrackBytes good;
    good.Event(0, {0x90, 60, 100}).Event(96, {0x80, 60, 0}).End();
    std::string whole = MidiFileBytes(0, 96, {good});
    MidiTrackBytes longDelta;
    longDelta.Bytes({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1});
    MidiTrackBytes cutMeta;
    cutMeta.Bytes({0x00, 0xFF, 0x01, 0x10, 'a'});
    MidiTrackBytes shortTempo;
    shortTempo.Event(0, {0xFF, 0x51, 0x02, 1, 2}).End();
    std::string twoTracks = MidiHeader(1, 2, 96) + good.Chunk();

    struct Case {
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"RIFF....WAVE", "The file \"f.mid\" is not a standard MIDI file."},
        {"MThd\0\0", "The MIDI file \"f.mid\" ends inside its header."},
        {std::string("MThd\0\0\0\4\0\0\0\1", 12),
         "The MIDI file \"f.mid\" has a header of 4 bytes; it needs at least 6."},
        {MidiFileBytes(2, 96, {good}),
         "The MIDI file \"f.mid\" is of format 2; only formats 0 and 1 can be played."},
        {MidiFileBytes(0, 96, {good, good}),
         "The MIDI file \"f.mid\" is of format 0 but declares 2 tracks."},
        {MidiFileBytes(0, 0, {good}), "The MIDI file \"f.mid\" gives 0 ticks per quarter note."},
        {MidiFileBytes(0, 0xEC01, {good}),
         "The MIDI file \"f.mid\" has an invalid SMPTE time division."},
        {whole.substr(0, whole.size() - 1),
         "The MIDI file \"f.mid\" is truncated: track 1 runs past the end of the file."},
        {twoTracks, "The MIDI file \"f.mid\" is truncated: it ends before track 2."},
        {MidiFileBytes(0, 96, {longDelta}),
         "Track 1 of the MIDI file \"f.mid\" has a malformed event at byte 22."},
        {MidiFileBytes(0, 96, {shortTempo}),
         "Track 1 of the MIDI file \"f.mid\" has a malformed event at byte 22."},
        {MidiFileBytes(0, 96, {cutMeta}),
         "Track 1 of the MIDI file \"f.mid\" ends in the middle of an event."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        RecordingErrorSink sink;
        MidiFile file;
        ASSERT_TRUE(file.Parse(AsBytes(whole), "good.mid"));  // a refused file leaves no events
        EXPECT_FALSE(file.Parse(AsBytes(c.bytes), "f.mid"));
        EXPECT_TRUE(file.events.empty());
        EXPECT_EQ(file.endTick, 0);
        ASSERT_EQ(sink.Errors().size(), 1u);
        EXPECT_EQ(sink.Errors()[0].message, c.message);
        EXPECT_EQ(sink.Errors()[0].attemptedAction, "Reading a MIDI file.");
    }
}

}  // namespace
}  // namespace tessaline
