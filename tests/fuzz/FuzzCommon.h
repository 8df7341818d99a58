#pragma once
// What every fuzz target shares: a failed check traps, so that the fuzzer
// keeps the input; an error sink that shows nothing; an in-memory file that
// holds each run's input for the loaders that read by path. Built with
// TESSALINE_FUZZ_SEEDS, the target's source becomes its seed program instead:
// the target defines Seeds() and this main writes them into the corpus.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ErrorReporting.h"

namespace tessaline::test {

inline void Check(bool condition) {
    if (!condition) __builtin_trap();
}

class SilentErrorSink : public ErrorSink {
public:
    void Show(const std::string&, const std::string&, const std::string&) override {}
};

class InputFile {
public:
    explicit InputFile(const char* name) : fd(::memfd_create(name, 0)) {
        if (fd < 0) std::abort();
    }
    // Replaces the contents with the bytes; returns the path to read them by.
    const std::string& Hold(const uint8_t* data, size_t size) {
        if (::ftruncate(fd, 0) != 0) std::abort();
        for (size_t written = 0; written < size;) {
            ssize_t n = ::pwrite(fd, data + written, size - written, static_cast<off_t>(written));
            if (n <= 0) std::abort();
            written += static_cast<size_t>(n);
        }
        return path;
    }

private:
    int fd;
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

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
