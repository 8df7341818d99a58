#include "DemoPieces.h"

#include <cstdio>
#include <filesystem>

#include "MidiFile.h"

namespace tessaline::demo {

namespace {

constexpr uint16_t kTicksPerQuarter = 480;
constexpr uint32_t kBar = 4 * kTicksPerQuarter;
// Notes are released a little early so repeated notes speak again.
constexpr uint32_t kBreath = 30;

struct Chord {
    int quarters;
    int soprano, alto, tenor, bass;
};

constexpr Chord kChorale[] = {
    {1, 72, 67, 64, 48}, {1, 74, 67, 62, 47}, {1, 76, 72, 64, 45}, {1, 77, 72, 65, 41},
    {1, 76, 72, 67, 43}, {1, 74, 71, 67, 43}, {2, 72, 67, 64, 48},
    {1, 72, 69, 65, 53}, {1, 72, 67, 64, 52}, {1, 74, 69, 65, 50}, {1, 74, 71, 67, 55},
    {1, 72, 69, 64, 57}, {1, 72, 69, 62, 54}, {2, 71, 67, 62, 43},
    {1, 69, 65, 60, 53}, {1, 71, 67, 62, 55}, {1, 71, 67, 64, 52}, {1, 72, 69, 64, 45},
    {1, 72, 69, 65, 41}, {1, 74, 71, 67, 43}, {2, 76, 72, 67, 48},
    {1, 72, 69, 64, 45}, {1, 72, 69, 65, 53}, {1, 72, 67, 64, 43}, {1, 71, 65, 62, 43},
    {4, 72, 67, 64, 36},
};

struct Harmony {
    int tones[3];      // right-hand triad, ascending
    int leftHand[2];
    int pedal;
};

constexpr Harmony kDm{{62, 65, 69}, {50, 57}, 38};
constexpr Harmony kGm{{62, 67, 70}, {50, 55}, 43};
constexpr Harmony kA{{61, 64, 69}, {52, 57}, 45};
constexpr Harmony kA7{{61, 64, 67}, {52, 57}, 45};
constexpr Harmony kBb{{62, 65, 70}, {53, 58}, 46};

// Eight sixteenths over one half bar: down from the octave and back.
void Figure(MidiTrack& track, uint32_t start, int channel, const Harmony& h) {
    const int tones[4] = {h.tones[0], h.tones[1], h.tones[2], h.tones[0] + 12};
    static constexpr int kOrder[8] = {3, 2, 1, 2, 3, 2, 1, 0};
    const uint32_t sixteenth = kTicksPerQuarter / 4;
    for (int i = 0; i < 8; ++i)
        track.Note(start + static_cast<uint32_t>(i) * sixteenth, sixteenth - 10, channel, tones[kOrder[i]], 96);
    for (int n : h.leftHand) track.Note(start, 2 * kTicksPerQuarter - kBreath, channel, n, 80);
}

}  // namespace

std::vector<uint8_t> ChoraleMidi() {
    MidiTrack tempo("Chorale");
    tempo.TimeSignature(0, 4, 2);
    tempo.Tempo(0, 72);
    tempo.Tempo(6 * kBar, 63);          // the last two bars broaden
    tempo.Tempo(7 * kBar, 52);
    MidiTrack manual("Great: soprano, alto, tenor");
    MidiTrack pedal("Pedal: bass");
    uint32_t tick = 0;
    for (const Chord& c : kChorale) {
        uint32_t length = static_cast<uint32_t>(c.quarters) * kTicksPerQuarter - kBreath;
        for (int n : {c.soprano, c.alto, c.tenor}) manual.Note(tick, length, kGreatChannel, n, 80);
        pedal.Note(tick, length, kPedalChannel, c.bass, 80);
        tick += static_cast<uint32_t>(c.quarters) * kTicksPerQuarter;
    }
    return EncodeMidiFile({tempo, manual, pedal}, kTicksPerQuarter);
}

std::vector<uint8_t> ToccataMidi() {
    MidiTrack tempo("Toccata");
    tempo.TimeSignature(0, 4, 2);
    tempo.Tempo(0, 104);
    MidiTrack great("Great");
    MidiTrack swell("Swell echo");
    MidiTrack pedal("Pedal");
    const Harmony* opening[8] = {&kDm, &kDm, &kGm, &kA, &kDm, &kBb, &kGm, &kA};
    const Harmony* echo[4] = {&kDm, &kDm, &kGm, &kA};
    const Harmony* closing[4] = {&kDm, &kGm, &kA, &kA7};
    const uint32_t half = kBar / 2;
    uint32_t tick = 0;
    auto pedalNote = [&](const Harmony& h) { pedal.Note(tick, half - kBreath, kPedalChannel, h.pedal, 100); };
    for (const Harmony* h : opening) {
        Figure(great, tick, kGreatChannel, *h);
        pedalNote(*h);
        tick += half;
    }
    for (const Harmony* h : echo) {
        Figure(swell, tick, kSwellChannel, *h);
        tick += half;
    }
    for (const Harmony* h : closing) {
        Figure(great, tick, kGreatChannel, *h);
        pedalNote(*h);
        tick += half;
    }
    // Final D major chord, held for a bar.
    for (int n : {50, 54, 57, 62, 66, 69, 74}) great.Note(tick, kBar, kGreatChannel, n, 100);
    pedal.Note(tick, kBar, kPedalChannel, 38, 100);
    return EncodeMidiFile({tempo, great, swell, pedal}, kTicksPerQuarter);
}

bool WriteDemoPieces(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::pair<const char*, std::vector<uint8_t>> files[] = {{"chorale.mid", ChoraleMidi()},
                                                                  {"toccata.mid", ToccataMidi()}};
    for (const auto& [name, bytes] : files) {
        std::string path = (std::filesystem::path(dir) / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok) {
            error = "Could not write " + path + ".";
            return false;
        }
    }
    return true;
}

}  // namespace tessaline::demo
