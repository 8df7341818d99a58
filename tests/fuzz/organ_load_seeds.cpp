// Writes the starting corpus of fuzz_organ_load into the directory given:
// organs over the fuzz samples that load (the small fuzz organ, the
// combination fuzz organ, the demo organ, a pedal and five manuals without
// stops) and some that fail late in the load (a missing sample, a shared pipe
// naming a stop that does not exist, a coupler into a missing manual).

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/SeedCorpus.h"
#include "fuzz/CombinationFuzzOrgan.h"
#include "fuzz/FuzzOrgans.h"

using namespace tessaline::test;

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;

    OrganFileBuilder manuals = OrganFileBuilder::MinimalOrgan();
    manuals.Set("Organ", "HasPedals", "Y").Set("Organ", "NumberOfManuals", "5");
    for (int m = 0; m <= 5; ++m) SetManual(manuals, m, m == 0 ? 32 : 61, {});

    std::vector<std::string> texts = {
        SmallFuzzOrgan().Text(),
        CombinationFuzzOrgan().organ.Text(),
        DemoOrganOverFuzzSamples(),
        manuals.Text(),
        SmallFuzzOrgan().Set("Stop001", "Pipe002", "missing.wav").Text(),
        SmallFuzzOrgan().Set("Stop003", "Pipe001", "REF:01:009:001").Text(),
        SmallFuzzOrgan().Set("Coupler002", "DestinationManual", "4").Text(),
    };
    return tessaline::test::WriteSeeds(corpus, texts);
}
