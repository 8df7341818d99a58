// What the output stream's tick costs on top of the rendering it drives:
// one tick refilling a quarter of a 42-block ring on the hand-driven virtual
// device, against writing the same frames straight into a buffer. Both sides
// also move the device's cursor over those frames, as the device would.
// Compared in CPU time: the machines these run on are shared.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "BenchFigures.h"
#include "audio/AudioStream.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

constexpr int64_t kRing = 42 * 128;
constexpr uint32_t kTick = kRing / 4;

class RampRenderer : public AudioRenderer {
public:
    MixBufferAllocation AllocateMixBuffers(int64_t) override { return {}; }
    void FreeMixBuffers() override {}
    bool RenderBlock(std::span<int16_t> out, int64_t blockTime) override {
        for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(blockTime + static_cast<int64_t>(i));
        return true;
    }
};

void BM_RenderOnly(benchmark::State& state) {
    VirtualAudioSystem devices;
    ManualTimerService timers;
    RampRenderer renderer;
    AudioStream stream(devices, timers, renderer);  // ticks never fire here
    stream.SetParameters(0, kRing);
    stream.StartPlayback();
    std::vector<int16_t> out(2 * kTick);
    int64_t t = 0;
    for (auto _ : state) {
        devices.Advance(kTick);
        std::fill(out.begin(), out.end(), int16_t{0});
        renderer.RenderBlock(out, t);
        t += kTick;
        benchmark::DoNotOptimize(out.data());
    }
    stream.StopPlayback();
}

void BM_StreamTick(benchmark::State& state) {
    VirtualAudioSystem devices;
    ManualTimerService timers;
    RampRenderer renderer;
    AudioStream stream(devices, timers, renderer);
    stream.SetParameters(0, kRing);
    stream.StartPlayback();
    for (auto _ : state) {
        devices.Advance(kTick);
        timers.Fire();
    }
    stream.StopPlayback();
}

BENCHMARK(BM_RenderOnly);
BENCHMARK(BM_StreamTick);

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
    tessaline::bench::FigureReporter reporter;
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    tessaline::bench::PrintFigure(
        "stream_tick_vs_render",
        tessaline::bench::Ratio(reporter.Best("BM_StreamTick"), reporter.Best("BM_RenderOnly")));
    return 0;
}
