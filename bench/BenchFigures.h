#pragma once
// What every benchmark program shares: the table reporter that also keeps
// the best time of each benchmark, and the FIGURE lines printed after it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tessaline::bench {

// Keeps, per benchmark ("Name" or "Name/arg"), the least time of one
// iteration over its repetitions, in seconds. CPU time by default, as the
// machines are shared; wall time where the work waits on another thread.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    enum class Clock { Cpu, Wall };
    // No colour codes: scripts read the FIGURE lines from the start of a line.
    explicit FigureReporter(Clock clock = Clock::Cpu) : ConsoleReporter(OO_Tabular), clock(clock) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred)
                continue;
            const double total =
                clock == Clock::Cpu ? run.cpu_accumulated_time : run.real_accumulated_time;
            const double seconds = total / static_cast<double>(run.iterations);
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            auto [entry, added] = best.try_emplace(name, seconds);
            if (!added) entry->second = std::min(entry->second, seconds);
        }
    }
    // Seconds per iteration, or 0 when the benchmark did not run.
    double Best(const std::string& name) const {
        auto found = best.find(name);
        return found == best.end() ? 0.0 : found->second;
    }

private:
    Clock clock;
    std::map<std::string, double> best;
};

// Runs the benchmarks the command line selects; false on an argument
// Google Benchmark does not know.
inline bool RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}

// One "FIGURE name=value" line; nothing when the value could not be measured.
inline void PrintFigure(const char* name, double value, int decimals = 3) {
    if (value > 0.0 && value < 1e300) std::printf("FIGURE %s=%.*f\n", name, decimals, value);
}

// numerator / denominator, or 0 when either is missing.
inline double Ratio(double numerator, double denominator) {
    return numerator > 0.0 && denominator > 0.0 ? numerator / denominator : 0.0;
}

}  // namespace tessaline::bench
