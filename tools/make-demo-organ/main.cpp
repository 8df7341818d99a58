// make-demo-organ: writes the Tessaline Demo Organ (definition file and
// synthesised samples), or the two demo MIDI pieces.
//
//   make-demo-organ OUTDIR [--stereo] [--only FOLDER]...
//   make-demo-organ --midi OUTDIR

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "DemoGenerator.h"
#include "DemoPieces.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: make-demo-organ OUTDIR [--stereo] [--only STOPFOLDER]...\n"
                 "       make-demo-organ --midi OUTDIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tessaline::demo;
    GenerateOptions options;
    std::string midiDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--stereo") == 0) {
            options.stereo = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            options.only.push_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--midi") == 0 && i + 1 < argc) {
            midiDir = argv[++i];
        } else if (argv[i][0] != '-' && options.outDir.empty()) {
            options.outDir = argv[i];
        } else {
            return Usage();
        }
    }
    if (midiDir.empty() == options.outDir.empty()) return Usage();

    std::string error;
    if (!midiDir.empty()) {
        if (!WriteDemoPieces(midiDir, error)) {
            std::fprintf(stderr, "make-demo-organ: %s\n", error.c_str());
            return 1;
        }
        std::printf("Wrote chorale.mid and toccata.mid to %s\n", midiDir.c_str());
        return 0;
    }

    auto start = std::chrono::steady_clock::now();
    GenerateReport report;
    if (!GenerateDemoOrgan(options, report, error)) {
        std::fprintf(stderr, "make-demo-organ: %s\n", error.c_str());
        return 1;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Wrote %s with %d %s pipe samples in %.1f s (largest pitch error %.3f cents)\n",
                (options.outDir + "/" + DemoOrganFileName()).c_str(), report.pipesWritten,
                options.stereo ? "stereo" : "mono", seconds, report.worstCents);
    return 0;
}
