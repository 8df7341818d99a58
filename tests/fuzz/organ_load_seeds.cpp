// Writes the starting corpus of fuzz_organ_load into the directory given:
// organs over the fuzz samples that load (the small fuzz organ, the
// combination fuzz organ, the demo organ, a pedal and five manuals without
// stops) and some that fail late in the load (a missing sample, a shared pipe
// naming a stop that does not exist, a coupler into a missing manual).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/CombinationFuzzOrgan.h"
#include "fuzz/FuzzOrgans.h"

using namespace tessaline::test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);

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
    for (size_t t = 0; t < texts.size(); ++t) {
        std::ofstream out(std::filesystem::path(argv[1]) / ("seed-" + std::to_string(t)),
                          std::ios::binary | std::ios::trunc);
        out.write(texts[t].data(), static_cast<std::streamsize>(texts[t].size()));
    }
    std::printf("%zu seeds written to %s\n", texts.size(), argv[1]);
    return 0;
}
