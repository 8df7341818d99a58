// Writes the starting corpus of fuzz_midi_file into the directory given:
// valid files of both formats and both time divisions, and damaged ones.

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/SeedCorpus.h"
#include "support/MidiFileBuilder.h"

using namespace tessaline::test;

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;

    MidiTrackBytes conductor;
    conductor.Meta(0, 0x03, "Conductor").Tempo(0, 500000).Tempo(480, 400000).End();
    MidiTrackBytes melody;
    melody.Event(0, {0x90, 60, 100}).Event(0, {64, 90}).Event(240, {60, 0}).Event(0, {64, 0});
    melody.SysEx(10, "\x7E\x7F\x09\x01\xF7").Event(0, {0xC0, 4}).Event(5, {0xB0, 7, 100});
    melody.Event(0, {0xE0, 0, 64}).Event(100, {0x80, 67, 0}).End(20);
    MidiTrackBytes bass;
    bass.Event(120, {0x91, 36, 70}).Event(360, {0x81, 36, 0}).End();

    std::vector<std::string> files = {
        MidiFileBytes(1, 480, {conductor, melody, bass}),
        MidiFileBytes(0, 96, {melody}),
        MidiFileBytes(0, 0xE728, {bass}),
    };
    std::string whole = files[0];
    files.push_back(whole.substr(0, whole.size() / 2));
    files.push_back(MidiHeader(1, 3, 480) + conductor.Chunk());

    return tessaline::test::WriteSeeds(corpus, files);
}
