// Time of an organ load's reading work: parse the definition file once and
// look up every key of it once, for a 2,000-line and a 20,000-line file. The
// time per lookup should hardly grow with the file.
//
// Prints FIGURE definition_lookup_ratio_20k_vs_2k = per-lookup time of the
// large file / per-lookup time of the small one.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "BenchFigures.h"
#include "organ/DefinitionReader.h"
#include "support/OrganFileBuilder.h"
#include "support/TempDir.h"

namespace {

using tessaline::test::OrganFileBuilder;

constexpr int kPipesPerStop = 24;

struct OrganFile {
    std::string path;
    std::vector<std::pair<std::string, std::string>> keys;
};

// A minimal organ grown with stop sections of kPipesPerStop pipes each until
// it has at least `lines` key lines.
OrganFile MakeOrganFile(const tessaline::test::TempDir& dir, size_t lines) {
    OrganFileBuilder b = OrganFileBuilder::MinimalOrgan();
    for (int stop = 1; b.LineCount() < lines; ++stop) {
        std::string section = tessaline::NumberedName("Stop", stop);
        b.Set(section, "Name", "Principal " + std::to_string(stop));
        b.Set(section, "NumberOfLogicalPipes", std::to_string(kPipesPerStop));
        for (int pipe = 1; pipe <= kPipesPerStop && b.LineCount() < lines; ++pipe)
            b.Set(section, tessaline::NumberedName("Pipe", pipe),
                  "pipes\\Principal\\" + std::to_string(stop * 100 + pipe) + ".wav");
    }
    OrganFile file;
    file.path = dir.Write("organ" + std::to_string(lines) + ".organ", b.Text());
    file.keys = b.Keys();
    return file;
}

std::map<size_t, OrganFile>& Files() {
    static std::map<size_t, OrganFile> files;
    return files;
}

void BM_LoadLookups(benchmark::State& state) {
    const OrganFile& file = Files().at(static_cast<size_t>(state.range(0)));
    char buffer[256];
    for (auto _ : state) {
        tessaline::DefinitionFile parsed;
        parsed.Parse(file.path);
        size_t total = 0;
        for (const auto& [section, key] : file.keys)
            total += parsed.Read(section, key, buffer, sizeof buffer);
        benchmark::DoNotOptimize(total);
    }
    state.counters["lookups"] = static_cast<double>(file.keys.size());
}
BENCHMARK(BM_LoadLookups)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    tessaline::test::TempDir dir;
    for (size_t lines : {size_t{2000}, size_t{20000}}) Files()[lines] = MakeOrganFile(dir, lines);

    tessaline::bench::FigureReporter reporter;
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    auto perLookup = [&](size_t lines) {
        return reporter.Best("BM_LoadLookups/" + std::to_string(lines)) /
               static_cast<double>(Files().at(lines).keys.size());
    };
    tessaline::bench::PrintFigure("definition_lookup_ratio_20k_vs_2k",
                                  tessaline::bench::Ratio(perLookup(20000), perLookup(2000)));
    return 0;
}
