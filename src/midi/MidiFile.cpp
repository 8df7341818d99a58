#include "midi/MidiFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "organ/Constants.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kAction = "Reading a MIDI file.";
constexpr uint32_t kDefaultTempo = 500000;  // 120 quarter notes a minute

// A cursor over one span of bytes; every read checks that the bytes are there.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes(bytes) {}
    bool AtEnd() const { return position >= bytes.size(); }
    size_t Position() const { return position; }
    bool Has(size_t n) const { return n <= bytes.size() - position; }
    uint8_t Peek() const { return bytes[position]; }
    uint8_t Byte() { return bytes[position++]; }
    void Skip(size_t n) { position += n; }
    uint32_t Big(int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = value << 8 | bytes[position++];
        return value;
    }
    // A variable-length quantity: at most four bytes, seven bits each.
    enum class Vlq { Ok, Cut, Malformed };
    Vlq Variable(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (AtEnd()) return Vlq::Cut;
            uint8_t b = Byte();
            value = value << 7 | (b & 0x7Fu);
            if ((b & 0x80) == 0) return Vlq::Ok;
        }
        return Vlq::Malformed;
    }

private:
    std::span<const uint8_t> bytes;
    size_t position = 0;
};

struct TempoEntry {
    int64_t tick;
    uint32_t tempo;
};

enum class TrackResult { Ok, Cut, Malformed };

// Reads one track chunk's body into the channel messages and tempo changes.
// errorOffset receives the offset, within the body, of the event at fault.
TrackResult ReadTrack(std::span<const uint8_t> body, int track, std::vector<MidiFileEvent>& events,
                      std::vector<TempoEntry>& tempos, int64_t& endTick, size_t& errorOffset) {
    ByteCursor in(body);
    int64_t tick = 0;
    uint8_t running = 0;
    while (!in.AtEnd()) {
        errorOffset = in.Position();
        uint32_t delta = 0;
        ByteCursor::Vlq v = in.Variable(delta);
        if (v == ByteCursor::Vlq::Cut) return TrackResult::Cut;
        if (v == ByteCursor::Vlq::Malformed) return TrackResult::Malformed;
        tick += delta;
        if (in.AtEnd()) return TrackResult::Cut;
        uint8_t lead = in.Peek();
        if (lead == 0xFF) {
            in.Skip(1);
            if (in.AtEnd()) return TrackResult::Cut;
            uint8_t type = in.Byte();
            uint32_t length = 0;
            v = in.Variable(length);
            if (v == ByteCursor::Vlq::Cut) return TrackResult::Cut;
            if (v == ByteCursor::Vlq::Malformed) return TrackResult::Malformed;
            if (!in.Has(length)) return TrackResult::Cut;
            if (type == 0x2F) {
                endTick = std::max(endTick, tick);
                return TrackResult::Ok;
            }
            if (type == 0x51) {
                if (length != 3) return TrackResult::Malformed;
                tempos.push_back({tick, in.Big(3)});
            } else {
                in.Skip(length);
            }
        } else if (lead == 0xF0 || lead == 0xF7) {
            in.Skip(1);
            uint32_t length = 0;
            v = in.Variable(length);
            if (v == ByteCursor::Vlq::Cut) return TrackResult::Cut;
            if (v == ByteCursor::Vlq::Malformed) return TrackResult::Malformed;
            if (!in.Has(length)) return TrackResult::Cut;
            in.Skip(length);
        } else if (lead > 0xF0) {
            // System common and real-time bytes have no place in a file.
            return TrackResult::Malformed;
        } else {
            uint8_t status = running;
            if (lead & 0x80) {
                status = in.Byte();
                running = status;
            } else if (running == 0) {
                return TrackResult::Malformed;
            }
            uint8_t kind = status & 0xF0;
            int dataBytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            uint32_t message = status;
            for (int i = 0; i < dataBytes; ++i) {
                if (in.AtEnd()) return TrackResult::Cut;
                uint8_t data = in.Byte();
                if (data & 0x80) return TrackResult::Malformed;
                message |= static_cast<uint32_t>(data) << (8 * (i + 1));
            }
            events.push_back({tick, 0, 0, message, track});
        }
    }
    // A track may end with its chunk instead of an end-of-track event.
    endTick = std::max(endTick, tick);
    return TrackResult::Ok;
}

}  // namespace

void MidiFile::Clear() {
    format = 0;
    trackCount = 0;
    ticksPerQuarter = 0;
    smpteFramesPerSecond = 0;
    ticksPerSmpteFrame = 0;
    events.clear();
    tempoMap.assign(1, MidiTempoChange{0, kDefaultTempo});
    tempoUnits.assign(1, 0);
    endTick = 0;
}

bool MidiFile::Read(const std::string& fileName) {
    Clear();
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        ReportError("The MIDI file \"%s\" could not be opened.", kAction, fileName.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    bool tooLarge = false;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + n > kMaxMidiFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge) {
        ReportError("The MIDI file \"%s\" is larger than %zu bytes.", kAction, fileName.c_str(),
                    kMaxMidiFileBytes);
        return false;
    }
    if (failed) {
        ReportError("The MIDI file \"%s\" could not be read.", kAction, fileName.c_str());
        return false;
    }
    return Parse(bytes, fileName);
}

bool MidiFile::Parse(std::span<const uint8_t> bytes, const std::string& name) {
    Clear();
    const char* file = name.c_str();
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
        ReportError("The file \"%s\" is not a standard MIDI file.", kAction, file);
        return false;
    }
    ByteCursor in(bytes);
    in.Skip(4);
    if (!in.Has(4)) {
        ReportError("The MIDI file \"%s\" ends inside its header.", kAction, file);
        return false;
    }
    uint32_t headerLength = in.Big(4);
    if (headerLength < 6) {
        ReportError("The MIDI file \"%s\" has a header of %u bytes; it needs at least 6.", kAction,
                    file, headerLength);
        return false;
    }
    if (!in.Has(headerLength)) {
        ReportError("The MIDI file \"%s\" ends inside its header.", kAction, file);
        return false;
    }
    uint32_t fileFormat = in.Big(2);
    uint32_t tracks = in.Big(2);
    uint32_t division = in.Big(2);
    in.Skip(headerLength - 6);
    if (fileFormat > 1) {
        ReportError("The MIDI file \"%s\" is of format %u; only formats 0 and 1 can be played.",
                    kAction, file, fileFormat);
        return false;
    }
    if (tracks == 0 || (fileFormat == 0 && tracks != 1)) {
        ReportError("The MIDI file \"%s\" is of format %u but declares %u tracks.", kAction, file,
                    fileFormat, tracks);
        return false;
    }
    if (division & 0x8000) {
        int fps = -static_cast<int8_t>(division >> 8);
        int perFrame = static_cast<int>(division & 0xFF);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0) {
            ReportError("The MIDI file \"%s\" has an invalid SMPTE time division.", kAction, file);
            return false;
        }
        smpteFramesPerSecond = fps;
        ticksPerSmpteFrame = perFrame;
    } else if (division == 0) {
        ReportError("The MIDI file \"%s\" gives 0 ticks per quarter note.", kAction, file);
        return false;
    } else {
        ticksPerQuarter = static_cast<int>(division);
    }

    std::vector<TempoEntry> tempos;
    for (uint32_t t = 0; t < tracks;) {
        if (!in.Has(8)) {
            ReportError("The MIDI file \"%s\" is truncated: it ends before track %u.", kAction,
                        file, t + 1);
            Clear();
            return false;
        }
        size_t chunkStart = in.Position();
        bool isTrack = std::memcmp(bytes.data() + chunkStart, "MTrk", 4) == 0;
        in.Skip(4);
        uint32_t length = in.Big(4);
        if (!in.Has(length)) {
            ReportError("The MIDI file \"%s\" is truncated: track %u runs past the end of the file.",
                        kAction, file, t + 1);
            Clear();
            return false;
        }
        size_t bodyStart = in.Position();
        in.Skip(length);
        if (!isTrack) continue;  // chunks of other kinds are skipped
        size_t errorOffset = 0;
        TrackResult result = ReadTrack(bytes.subspan(bodyStart, length), static_cast<int>(t),
                                       events, tempos, endTick, errorOffset);
        if (result == TrackResult::Cut) {
            ReportError("Track %u of the MIDI file \"%s\" ends in the middle of an event.", kAction,
                        t + 1, file);
            Clear();
            return false;
        }
        if (result == TrackResult::Malformed) {
            ReportError("Track %u of the MIDI file \"%s\" has a malformed event at byte %zu.",
                        kAction, t + 1, file, bodyStart + errorOffset);
            Clear();
            return false;
        }
        ++t;
    }
    format = static_cast<int>(fileFormat);
    trackCount = static_cast<int>(tracks);

    // One tempo map for all tracks; of two changes at one tick the later in
    // track order holds.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoEntry& a, const TempoEntry& b) { return a.tick < b.tick; });
    for (const TempoEntry& change : tempos) {
        if (change.tick == tempoMap.back().tick) {
            tempoMap.back().microsecondsPerQuarter = change.tempo;
            continue;
        }
        const MidiTempoChange& last = tempoMap.back();
        tempoUnits.push_back(tempoUnits.back() + static_cast<unsigned __int128>(change.tick - last.tick) *
                                                     last.microsecondsPerQuarter);
        tempoMap.push_back({change.tick, change.tempo});
    }

    // Tracks were appended in order, so a stable sort by tick keeps track
    // order and file order at equal times.
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    for (MidiFileEvent& e : events) {
        e.microseconds = TickToMicroseconds(e.tick);
        e.frame = TickToFrame(e.tick);
    }
    return true;
}

unsigned __int128 MidiFile::TimeUnits(int64_t tick) const {
    if (tick <= 0) return 0;
    if (ticksPerQuarter == 0) {
        // SMPTE: 29 stands for 29.97 frames a second, 30000 / 1001.
        return static_cast<unsigned __int128>(tick) * (smpteFramesPerSecond == 29 ? 1001u : 1000u);
    }
    auto after = std::upper_bound(tempoMap.begin(), tempoMap.end(), tick,
                                  [](int64_t t, const MidiTempoChange& c) { return t < c.tick; });
    size_t i = static_cast<size_t>(after - tempoMap.begin()) - 1;
    return tempoUnits[i] + static_cast<unsigned __int128>(tick - tempoMap[i].tick) *
                               tempoMap[i].microsecondsPerQuarter;
}

unsigned __int128 MidiFile::UnitsPerSecond() const {
    if (ticksPerQuarter == 0) {
        uint32_t framesTimesThousand =
            smpteFramesPerSecond == 29 ? 30000u : static_cast<uint32_t>(smpteFramesPerSecond) * 1000u;
        return static_cast<unsigned __int128>(framesTimesThousand) *
               static_cast<uint32_t>(ticksPerSmpteFrame);
    }
    return static_cast<unsigned __int128>(ticksPerQuarter) * 1000000u;
}

int64_t MidiFile::Scale(int64_t tick, int64_t rate) const {
    unsigned __int128 perSecond = UnitsPerSecond();
    if (perSecond == 0) return 0;  // nothing parsed
    unsigned __int128 scaled = (TimeUnits(tick) * static_cast<uint64_t>(rate) + perSecond / 2) / perSecond;
    constexpr auto kLargest = static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max());
    return scaled > kLargest ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(scaled);
}

int64_t MidiFile::TickToMicroseconds(int64_t tick) const { return Scale(tick, 1000000); }

int64_t MidiFile::TickToFrame(int64_t tick) const { return Scale(tick, kSampleRate); }

}  // namespace tessaline
