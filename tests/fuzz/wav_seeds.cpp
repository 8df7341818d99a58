// Writes the starting corpus of fuzz_wav into the directory given: valid and
// nearly valid pipe files built with the test WAV builder, each behind the
// settings byte the fuzzer reads first.

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/SeedCorpus.h"
#include "support/WavBuilder.h"

using namespace tessaline::test;

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;

    std::vector<std::string> files;
    for (uint16_t channels : {1, 2}) {
        WavBuilder looped;
        looped.Channels(channels).Pattern(300).Loop(20, 199).Cue(20).Cue(250);
        files.push_back(looped.Build());
        files.push_back(WavBuilder(looped).MarkersInList().Extra(Chunk("note", "odd")).Build());
        files.push_back(WavBuilder(looped).Extra(List("INFO", Chunk("INAM", "Gedackt"))).Build());
        WavBuilder percussive;
        percussive.Channels(channels).Pattern(64).NoSampler().NoCues();
        files.push_back(percussive.Build());
    }
    WavBuilder twoLoops;
    twoLoops.Pattern(100).Loop(10, 50).Loop(60, 70, 1, 3).Cue(10).Cue(10).Cue(80).DeclaredCues(4);
    files.push_back(twoLoops.Build());
    WavBuilder cut;
    cut.Pattern(100).Loop(10, 50).Cue(80);
    std::string bytes = cut.Build();
    files.push_back(bytes.substr(0, bytes.size() - 30));
    files.push_back(Riff(ChunkDeclaring("data", 64, "ab") + cut.FormatChunk()));

    // The settings byte the fuzzer reads first, in turn.
    const std::string settings = {0x00, 0x01, 0x12, 0x14, 0x18, 0x43, 0x25};
    return WriteSeeds(corpus, files, settings);
}
