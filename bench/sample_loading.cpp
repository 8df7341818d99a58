// How fast an organ's samples load, against simply reading the same files.
//
// 200 looped stereo pipes of 1 MiB each are written to a temporary folder
// (so they are in the page cache). Loading reads each into the organ's
// loading buffer, parses it and converts it into a fresh sample memory, as an
// organ load does. The baseline reads the same files with read(2) into one
// fresh buffer of their total size with transparent huge pages requested.
//
// FIGURE sample_loading_vs_read = baseline time / loading time, in CPU time
// (page faults and system calls included), the median over pairs of runs.
// FIGURE organ_overhead_mib = resident memory added by loading the organ
// (buffer, sample memory, sample records) minus the bytes of the samples.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "samples/SampleLoader.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace {

using namespace tessaline;

constexpr int kPipes = 200;
constexpr size_t kFileBytes = 1024 * 1024;
constexpr uint32_t kLoopStart = 20000;
constexpr uint32_t kLoopEnd = 200000;
constexpr uint32_t kRelease = 220000;

struct GeneratedOrgan {
    GeneratedOrgan() {
        test::WavBuilder probe;
        probe.Channels(2).Loop(kLoopStart, kLoopEnd).Cue(kLoopStart).Cue(kRelease);
        size_t headerBytes = probe.Build().size();
        uint32_t frames = static_cast<uint32_t>((kFileBytes - headerBytes) / 4);
        test::WavBuilder wav;
        wav.Channels(2).Pattern(frames).Loop(kLoopStart, kLoopEnd).Cue(kLoopStart).Cue(kRelease);
        std::string bytes = wav.Build();
        for (int p = 0; p < kPipes; ++p) {
            bytes[100] = static_cast<char>(p);  // every file its own contents
            files.push_back(dir.Write("pipes/" + std::to_string(p) + ".wav", bytes));
            totalBytes += bytes.size();
        }
    }
    test::TempDir dir;
    std::vector<std::string> files;
    size_t totalBytes = 0;
};

GeneratedOrgan& Organ() {
    static GeneratedOrgan organ;
    return organ;
}

// CPU time of this thread, page faults and system calls included: on a
// shared machine wall time mostly measures the other processes.
double CpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

size_t ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Loads every pipe into `memory`; the bytes of sample data it holds.
size_t LoadAll(SampleLoadingBuffer& buffer, SampleMemory& memory, std::vector<PipeSample>& pipes) {
    SampleLoadContext context{buffer, memory, SampleFormat::Stereo, SampleFormat::Stereo, false, 1.0};
    size_t sampleBytes = 0;
    for (int p = 0; p < kPipes; ++p) {
        if (!LoadPipeSample(context, pipes[p], Organ().files[p].c_str(), 50, false, 1.0))
            std::abort();
        sampleBytes += static_cast<size_t>(pipes[p].end) * 4;
    }
    return sampleBytes;
}

// One organ load into a fresh sample memory; its CPU time. The buffer lives
// with the organ, across loads.
double TimeLoading(SampleLoadingBuffer& buffer, std::vector<PipeSample>& pipes) {
    double start = CpuSeconds();
    SampleMemory memory;
    LoadAll(buffer, memory, pipes);
    double seconds = CpuSeconds() - start;
    memory.Clear();
    return seconds;
}

// The baseline: every file read(2) into one fresh buffer of their total size;
// its CPU time.
double TimeReading() {
    double start = CpuSeconds();
    size_t total = Organ().totalBytes;
    void* memory = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) std::abort();
    ::madvise(memory, total, MADV_HUGEPAGE);
    char* at = static_cast<char*>(memory);
    for (const std::string& file : Organ().files) {
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t n = ::read(fd, at, kFileBytes + 4096);
        ::close(fd);
        if (n <= 0) std::abort();
        at += n;
    }
    benchmark::DoNotOptimize(at);
    double seconds = CpuSeconds() - start;
    ::munmap(memory, total);
    return seconds;
}

void BM_LoadOrgan(benchmark::State& state) {
    SampleLoadingBuffer buffer;
    std::vector<PipeSample> pipes(kPipes);
    for (auto _ : state) state.SetIterationTime(TimeLoading(buffer, pipes));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(Organ().totalBytes));
}

void BM_ReadFiles(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(TimeReading());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(Organ().totalBytes));
}

BENCHMARK(BM_ReadFiles)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_LoadOrgan)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

// The figure: baseline and loading run in turn, so that both see the same
// state of the machine; the median of the pairs' ratios.
double LoadingVersusRead() {
    constexpr int kPairs = 15;
    SampleLoadingBuffer buffer;
    std::vector<PipeSample> pipes(kPipes);
    std::vector<double> ratios;
    for (int pair = 0; pair < kPairs; ++pair) {
        double reading = TimeReading();
        ratios.push_back(reading / TimeLoading(buffer, pipes));
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

double OrganOverheadMiB() {
    size_t before = ResidentBytes();
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    std::vector<PipeSample> pipes(kPipes);
    size_t sampleBytes = LoadAll(buffer, memory, pipes);
    size_t after = ResidentBytes();
    double overhead = (static_cast<double>(after) - static_cast<double>(before) -
                       static_cast<double>(sampleBytes)) / (1024.0 * 1024.0);
    return overhead;
}

}  // namespace

int main(int argc, char** argv) {
    Organ();  // write the files (and warm the page cache) before timing
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    double overhead = OrganOverheadMiB();
    std::printf("FIGURE sample_loading_vs_read=%.3f\n", LoadingVersusRead());
    std::printf("FIGURE organ_overhead_mib=%.1f\n", overhead);
    return 0;
}
