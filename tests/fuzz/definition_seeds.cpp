// Writes the starting corpus of fuzz_definition into the directory given:
// the small fuzz organ, the demo organ's definition, and texts at the edges
// of the reader's rules (quotes, repeated sections and keys, comments, a
// header without its bracket, long lines cut into pieces, LF and CR LF).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/FuzzOrgans.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    std::vector<std::string> texts = {
        tessaline::test::SmallFuzzOrgan().Text(),
        tessaline::test::DemoOrganOverFuzzSamples(),
        "[Organ]\nKey=  \"abc\"\nQuoted=\"abc\"\nEmpty=\"\"\nKey = 5\nSum=a=b\n"
        "; Comment=1\nNumberOfManuals=3 ; three\n[Organ]\nLater=1\n",
        "before=1\r\n  [Manual001]  \r\nKey=1\r\n[Other\r\nAfter=2\r\n[Manual001]\r\nKey=2\r\n",
        "[Organ]\n" + std::string(505, 'k') + "=v\n" + std::string(600, 'x') + "\nKey=" +
            std::string(520, '9') + "\n",
        std::string("[Organ]\nNul=a") + '\0' + "b\nHasPedals=yes\nColour=dark Grey\n",
    };
    for (size_t t = 0; t < texts.size(); ++t) {
        std::ofstream out(std::filesystem::path(argv[1]) / ("seed-" + std::to_string(t)),
                          std::ios::binary | std::ios::trunc);
        out.write(texts[t].data(), static_cast<std::streamsize>(texts[t].size()));
    }
    std::printf("%zu seeds written to %s\n", texts.size(), argv[1]);
    return 0;
}
