// tessaline-check FILE.organ [--screen WxH] [--combinations IN.cmb]
//                 [--save-combinations OUT.cmb]
//
// Loads an organ without any window or device and prints every report as the
// program would show it, each followed by a line "----". With --combinations
// the combination file is then loaded into the organ, and with
// --save-combinations the organ's combinations are written out (after any
// loaded). Exit status: 0 when everything asked for succeeded, 1 when the
// organ or a combination file could not be loaded or saved, 2 for a usage
// error.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "organ/Organ.h"
#include "organ/Stop.h"
#include "platform/LoadingProgress.h"
#include "platform/virtual/FixedMetricsConsoleView.h"

namespace {

constexpr const char* kUsage =
    "usage: tessaline-check FILE.organ [--screen WxH] [--combinations IN.cmb] "
    "[--save-combinations OUT.cmb]\n";

// A whole positive number of at most six digits, taken in full.
bool ParseDimension(const char* text, size_t length, uint32_t& value) {
    if (length == 0 || length > 6) return false;
    value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return value > 0;
}

bool ParseScreen(const char* text, uint32_t& width, uint32_t& height) {
    const char* x = std::strchr(text, 'x');
    if (x == nullptr) return false;
    return ParseDimension(text, static_cast<size_t>(x - text), width) &&
           ParseDimension(x + 1, std::strlen(x + 1), height);
}

int UsageError(const char* problem) {
    std::fprintf(stderr, "tessaline-check: %s\n%s", problem, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* fileName = nullptr;
    const char* combinationsIn = nullptr;
    const char* combinationsOut = nullptr;
    uint32_t width = 1920;
    uint32_t height = 1200;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screen") == 0) {
            if (i + 1 >= argc) return UsageError("--screen needs a size such as 1920x1200");
            if (!ParseScreen(argv[++i], width, height))
                return UsageError("the screen size must be WIDTHxHEIGHT in pixels");
        } else if (std::strcmp(argv[i], "--combinations") == 0) {
            if (i + 1 >= argc) return UsageError("--combinations needs a combination file");
            combinationsIn = argv[++i];
        } else if (std::strcmp(argv[i], "--save-combinations") == 0) {
            if (i + 1 >= argc) return UsageError("--save-combinations needs a file to write");
            combinationsOut = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UsageError("unknown option");
        } else if (fileName != nullptr) {
            return UsageError("only one organ file can be checked");
        } else {
            fileName = argv[i];
        }
    }
    if (fileName == nullptr) return UsageError("no organ file given");

    // Reports go to the default sink, which prints them to stderr.
    tessaline::FixedMetricsConsoleView view(width, height);
    tessaline::CountingLoadingProgress progress;
    tessaline::Organ organ(view, progress);
    bool loaded = organ.Load(fileName);
    if (!loaded) return 1;
    uint32_t stops = 0;
    uint32_t sharedPipes = 0;
    for (const tessaline::Manual& manual : organ.manuals) {
        for (int s = 0; s < manual.numberOfStops; ++s) {
            const tessaline::Stop* stop = manual.GetStop(s);
            ++stops;
            for (int p = 0; p < stop->numberOfLogicalPipes; ++p)
                if (stop->shared[static_cast<size_t>(p)]) ++sharedPipes;
        }
    }
    std::printf("Loaded \"%s\": %u manuals, console %dx%d, %u loading steps.\n",
                organ.churchName.c_str(), organ.numberOfManuals, view.windowWidth,
                view.windowHeight, progress.total);
    std::printf("%u stops, %u pipes with samples, %u shared pipes, %s samples in memory.\n", stops,
                organ.pipesLoaded, sharedPipes,
                organ.memorySampleFormat == tessaline::SampleFormat::Stereo ? "stereo" : "mono");
    // Reports go to stderr unbuffered; keep the summary ahead of them.
    std::fflush(stdout);
    if (combinationsIn != nullptr) {
        if (!organ.LoadCombinationFile(combinationsIn)) return 1;
        std::printf("Loaded the combinations of \"%s\".\n", combinationsIn);
    }
    if (combinationsOut != nullptr) {
        if (!organ.SaveCombinationFile(combinationsOut)) return 1;
        std::printf("Saved the combinations to \"%s\".\n", combinationsOut);
    }
    return 0;
}
