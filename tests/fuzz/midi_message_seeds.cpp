// Writes the starting corpus of fuzz_midi_message into the directory given,
// in the fuzzer's four-byte records: the demo pieces as the demo organ's
// keyboards would send them (audio played between events, the pedal channel
// on the second port), and short runs of stop control,
// swell pedals, program changes, all-notes-off and System Reset.

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "fuzz/SeedCorpus.h"
#include "DemoPieces.h"
#include "midi/MidiFile.h"

namespace {

using Records = std::vector<uint8_t>;

void Add(Records& r, uint8_t port, uint32_t message) {
    r.insert(r.end(), {port, static_cast<uint8_t>(message), static_cast<uint8_t>(message >> 8),
                       static_cast<uint8_t>(message >> 16)});
}

// A play record covers 32 to 512 frames, in steps of 32.
void PlayFrames(Records& r, int64_t frames) {
    for (int64_t steps = frames / 32; steps > 0; steps -= 16)
        r.insert(r.end(), {static_cast<uint8_t>(0x80 | (steps > 16 ? 15 : steps - 1)), 0, 0, 0});
}

Records PieceRecords(const std::vector<uint8_t>& bytes, size_t maxEvents) {
    tessaline::MidiFile file;
    Records r;
    if (!file.Parse(std::span<const uint8_t>(bytes), "piece.mid")) return r;
    int64_t frame = 0;
    for (size_t e = 0; e < file.events.size() && e < maxEvents; ++e) {
        const auto& event = file.events[e];
        // Time is squeezed to at most one record between events: the
        // fuzzer needs voices overlapping and releasing, not the tempo.
        PlayFrames(r, std::min<int64_t>(event.frame - frame, 512));
        frame = event.frame;
        bool pedal = (event.message & 0x0F) == tessaline::demo::kPedalChannel - 1;
        Add(r, pedal ? 1 : 0, event.message);
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;
    std::vector<Records> seeds = {PieceRecords(tessaline::demo::ChoraleMidi(), 400),
                                  PieceRecords(tessaline::demo::ToccataMidi(), 400)};

    Records controls;
    Add(controls, 0, 0x403C90);  // a Great key held...
    Add(controls, 1, 0x402891);  // ...and a pedal key
    for (uint32_t note = 36; note < 48; ++note) Add(controls, 1, 0x7F0094 | note << 8);  // stop control on
    PlayFrames(controls, 2048);
    Add(controls, 0, 0x400130);  // swell pedal of path 0
    Add(controls, 1, 0x7F0131);  // and of path 1
    Add(controls, 0, 0x0003C0);  // program changes
    Add(controls, 1, 0x0001C9);
    Add(controls, 0, 0x007BB0);  // all notes off, channel 1
    Add(controls, 0, 0x0000FF);  // System Reset
    seeds.push_back(controls);
    Records held;
    for (uint32_t note = 30; note < 100; ++note) Add(held, 0, 0x640090 | note << 8);
    for (uint32_t note = 30; note < 100; ++note) Add(held, 0, 0x640097 | note << 8);  // redirectable A
    PlayFrames(held, 4096);
    seeds.push_back(held);

    return tessaline::test::WriteSeeds(corpus, seeds);
}
