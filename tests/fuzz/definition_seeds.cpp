// Writes the starting corpus of fuzz_definition into the directory given:
// the small fuzz organ, the demo organ's definition, and texts at the edges
// of the reader's rules (quotes, repeated sections and keys, comments, a
// header without its bracket, long lines cut into pieces, LF and CR LF).

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/SeedCorpus.h"
#include "fuzz/FuzzOrgans.h"

int main(int argc, char** argv) {
    const std::filesystem::path corpus = tessaline::test::CorpusDirectory(argc, argv);
    if (corpus.empty()) return 2;
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
    return tessaline::test::WriteSeeds(corpus, texts);
}
