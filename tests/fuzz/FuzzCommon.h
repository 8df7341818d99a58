#pragma once
// What every fuzz target shares: a failed check traps, so that the fuzzer
// keeps the input; the input is written where a loader reads it. Built with
// TESSALINE_FUZZ_SEEDS, the target's source is its seed program instead: this
// main writes the target's Seeds() into the corpus directory.

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessaline::test {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// A file in memory, for inputs that need no folder of their own.
inline std::string MemoryFilePath(const char* name) {
    const int fd = ::memfd_create(name, 0);
    if (fd < 0) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size)))
        std::abort();
}

// The target's starting inputs; it may also write files of its own into
// the corpus directory.
std::vector<std::string> Seeds(const std::filesystem::path& corpus);

}  // namespace tessaline::test

#ifdef TESSALINE_FUZZ_SEEDS
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    const std::vector<std::string> seeds = tessaline::test::Seeds(argv[1]);
    for (size_t s = 0; s < seeds.size(); ++s) {
        std::ofstream out(std::filesystem::path(argv[1]) / ("seed-" + std::to_string(s)),
                          std::ios::binary | std::ios::trunc);
        if (!(out << seeds[s])) return 1;
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), argv[1]);
    return seeds.empty() ? 1 : 0;
}
#endif
