#pragma once
// What the seeds programs share: the corpus directory from the command line
// and writing the seeds into it as files seed-0, seed-1, ...

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessaline::test {

// The corpus directory, created; empty after the usage line when the
// command line does not name one.
inline std::filesystem::path CorpusDirectory(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return {};
    }
    std::filesystem::create_directories(argv[1]);
    return argv[1];
}

// Writes each seed, after `prefix` when one is given for it (prefixes repeat
// when there are fewer than seeds), and says how many were written.
template <class Bytes>
int WriteSeeds(const std::filesystem::path& corpus, const std::vector<Bytes>& seeds,
               const std::string& prefixes = {}) {
    for (size_t s = 0; s < seeds.size(); ++s) {
        std::ofstream out(corpus / ("seed-" + std::to_string(s)), std::ios::binary | std::ios::trunc);
        if (!prefixes.empty()) out.put(prefixes[s % prefixes.size()]);
        out.write(reinterpret_cast<const char*>(seeds[s].data()),
                  static_cast<std::streamsize>(seeds[s].size()));
        if (!out) return 1;
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), corpus.c_str());
    return 0;
}

}  // namespace tessaline::test
