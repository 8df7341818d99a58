// The block render with every one of the 2048 voices sustaining its loop, in
// stereo and in mono memory, 128 frames a block; against a baseline measured
// in the same run: a plain loop that adds the same number of 16-bit values,
// read from the same sample memory, into a 32-bit buffer.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Pipe.h"
#include "support/EngineRig.h"

namespace tessaline {
namespace {

constexpr int64_t kBlock = kBlockFrames;
constexpr int64_t kAttack = 512, kLoop = 4096, kRelease = 512;
constexpr int64_t kFrames = kAttack + kLoop + kRelease;

int64_t StartFrame(int voice) { return (voice * 613) % kLoop; }

// 2048 pipes with samples of their own, all started and sounding.
struct Organ {
    explicit Organ(OutputMode mode) : pool(std::make_unique<VoicePool>(&engine)) {
        channels = mode == OutputMode::Stereo ? 2 : 1;
        engine.SetOutputMode(mode);
        engine.SetGroupCount(1);
        engine.SetSources(pool.get(), {}, {});
        engine.AllocateMixBuffers(engine.BufferFrames());
        memory.resize(kVoicePoolSize);
        pipes.resize(kVoicePoolSize);
        for (int v = 0; v < kVoicePoolSize; ++v) {
            auto& values = memory[static_cast<size_t>(v)];
            values.resize(static_cast<size_t>(kFrames * channels));
            for (size_t i = 0; i < values.size(); ++i)
                values[i] =
                    static_cast<int16_t>((i * 37 + static_cast<size_t>(v) * 11) % 4001) - 2000;
            Pipe& pipe = pipes[static_cast<size_t>(v)];
            pipe.sample.memory = values.data();
            pipe.sample.loopStart = kAttack;
            pipe.sample.releaseStart = kAttack + kLoop;
            pipe.sample.end = kFrames;
            pipe.windchestGroup = 1;
            pipe.voicePool = pool.get();
            // Notes begin at different moments, so their voices read at
            // different places in their loops.
            pipe.Start();
            pipe.voice->startTime += StartFrame(v);
        }
        blockTime = kLoop + engine.BufferFrames();  // every voice sounds by then
        out.resize(2 * kBlock);
    }

    test::EngineRig output{5376};
    AudioEngine& engine = output.engine;
    std::unique_ptr<VoicePool> pool;
    std::vector<std::vector<int16_t>> memory;
    std::vector<Pipe> pipes;
    std::vector<int16_t> out;
    int64_t blockTime = 0;
    int channels = 1;
};

void Render(benchmark::State& state, OutputMode mode) {
    Organ organ(mode);
    for (auto _ : state) {
        organ.engine.RenderBlock(organ.out, kBlock, organ.blockTime);
        organ.blockTime += kBlock;
        benchmark::DoNotOptimize(organ.out.data());
    }
    state.counters["voices"] = organ.pool->CountInUse();
}

// The same number of values from the same memory, walking each loop as the
// voices do, added into one block.
void Baseline(benchmark::State& state, OutputMode mode) {
    Organ organ(mode);
    const int64_t values = kBlock * organ.channels;
    std::vector<int32_t> sum(static_cast<size_t>(values));
    std::vector<int64_t> position(kVoicePoolSize);
    for (int v = 0; v < kVoicePoolSize; ++v)
        position[static_cast<size_t>(v)] = organ.channels * StartFrame(v);
    for (auto _ : state) {
        for (int v = 0; v < kVoicePoolSize; ++v) {
            const int16_t* source =
                organ.memory[static_cast<size_t>(v)].data() + position[static_cast<size_t>(v)];
            for (int64_t i = 0; i < values; ++i) sum[static_cast<size_t>(i)] += source[i];
            position[static_cast<size_t>(v)] =
                (position[static_cast<size_t>(v)] + values) % (kLoop * organ.channels);
        }
        benchmark::DoNotOptimize(sum.data());
        benchmark::ClobberMemory();
    }
}

// The machine is shared: each figure takes the best of several runs.
constexpr int kRepetitions = 5;
BENCHMARK_CAPTURE(Render, stereo, OutputMode::Stereo)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(Baseline, stereo, OutputMode::Stereo)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(Render, mono, OutputMode::Mono)->Repetitions(kRepetitions);
BENCHMARK_CAPTURE(Baseline, mono, OutputMode::Mono)->Repetitions(kRepetitions);

void PrintFigures(const bench::FigureReporter& reporter, const char* mode) {
    const std::string suffix = std::string("/") + mode;
    const double render = reporter.Best("Render" + suffix);
    const double baseline = reporter.Best("Baseline" + suffix);
    if (render <= 0.0 || baseline <= 0.0) return;
    const double blockSeconds = static_cast<double>(kBlock) / kSampleRate;
    const std::string prefix = std::string("mixer_") + mode;
    std::printf("FIGURE %s_voice_frames_per_s=%.4g\n", prefix.c_str(),
                kVoicePoolSize * static_cast<double>(kBlock) / render);
    bench::PrintFigure((prefix + "_realtime_fraction_2048").c_str(), render / blockSeconds, 4);
    bench::PrintFigure((prefix + "_vs_baseline").c_str(), baseline / render);
}

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
    tessaline::bench::FigureReporter reporter;
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    tessaline::PrintFigures(reporter, "stereo");
    tessaline::PrintFigures(reporter, "mono");
    return 0;
}
