// What recording costs the audio thread: appending a second's worth of ticks
// to the recorder's ring against copying the same bytes with memcpy.

#include "BenchFigures.h"
#include "audio/Recorder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/virtual/RecordingErrorSink.h"

namespace {

using namespace tessaline;

constexpr uint32_t kTickFrames = 1344;
constexpr int kTicksPerBatch = 33;  // about one second of audio; fits the ring

// Files that take every write and keep nothing, so that only the ring is measured.
class DiscardingFileSystem : public BinaryFileSystem {
    struct File : BinaryFile {
        bool Write(const void*, size_t) override { return true; }
        bool Seek(uint64_t) override { return true; }
        bool Truncate(uint64_t) override { return true; }
        bool Close() override { return true; }
    };

public:
    std::unique_ptr<BinaryFile> Create(const std::string&) override {
        return std::make_unique<File>();
    }
};

struct FixedDirectory : RecordingDirectory {
    std::string Read() override { return "/discard"; }
    void Choose() override {}
};

std::vector<int16_t> Tick() {
    std::vector<int16_t> block(kTickFrames * 2);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>(i * 31);
    return block;
}

void BM_MemcpyBaseline(benchmark::State& state) {
    auto block = Tick();
    // Copied round a buffer of the ring's size, as the ring's copies go round it.
    std::vector<uint8_t> target(kRecorderRingBytes);
    const size_t bytes = block.size() * 2;
    size_t offset = 0;
    for (auto _ : state) {
        for (int t = 0; t < kTicksPerBatch; ++t) {
            if (offset + bytes > target.size()) offset = 0;
            std::memcpy(target.data() + offset, block.data(), bytes);
            offset += bytes;
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
        // The same pause as the recorder's batches, so that both pay for it.
        state.PauseTiming();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MemcpyBaseline)->Iterations(20000);

void BM_RecorderAppend(benchmark::State& state) {
    DiscardingFileSystem files;
    FixedDirectory directory;
    RecordingErrorSink reports;  // the size-limit notice of a long run, kept quiet
    Recorder recorder(files);
    recorder.StartRecording({true, true}, directory);
    auto block = Tick();
    const size_t emptyRing = recorder.FreeRingBytes();
    for (auto _ : state) {
        for (int t = 0; t < kTicksPerBatch; ++t)
            benchmark::DoNotOptimize(recorder.WriteRecordedBlock(block));
        state.PauseTiming();
        while (recorder.FreeRingBytes() < emptyRing)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        // A long run fills a file up to the WAV size limit, which ends the
        // recording: start the next one so that every append is measured.
        if (!recorder.IsRecording()) recorder.StartRecording({true, true}, directory);
        state.ResumeTiming();
    }
    recorder.StopRecording({true, true});
    if (recorder.DroppedBlocks() != 0) state.SkipWithError("the ring dropped blocks");
}
// Each batch waits for the writer to empty the ring, a few milliseconds:
// a fixed count keeps the run short.
BENCHMARK(BM_RecorderAppend)->Iterations(400);

}  // namespace

int main(int argc, char** argv) {
    tessaline::bench::FigureReporter reporter(tessaline::bench::FigureReporter::Clock::Wall);
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    tessaline::bench::PrintFigure(
        "recorder_append_vs_memcpy",
        tessaline::bench::Ratio(reporter.Best("BM_RecorderAppend"), reporter.Best("BM_MemcpyBaseline")),
        2);
    return 0;
}
