// The offline renderer playing 20 s of four-part chords on four drawn stops
// of a generated organ (every event through the organ's routing and key
// action, every block through the engine, the WAV data written to
// /dev/null). Its figure is a ratio against real time: seconds of music
// rendered per second of wall-clock time, the best of three runs.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "OfflineRender.h"
#include "WavOutput.h"
#include "midi/MidiFile.h"
#include "support/MidiFileBuilder.h"
#include "support/OrganFileBuilder.h"
#include "support/OrganSections.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

constexpr int kStops = 4;
constexpr int kKeys = 61;
constexpr double kPieceSeconds = 20.0;

// A pipe of one second: a loop of whole periods and a 0.2 s release.
std::string Pipe(int period) {
    std::vector<int16_t> values;
    int loopEnd = 44100 / period * period;
    for (int i = 0; i < loopEnd + 8820; ++i) {
        double level = i < loopEnd ? 1.0 : 1.0 - (i - loopEnd) / 8820.0;
        values.push_back(static_cast<int16_t>(
            std::lround(3000 * level * std::sin(2 * std::numbers::pi * (i % period) / period))));
    }
    test::WavBuilder wav;
    wav.Values(values).Loop(static_cast<uint32_t>(period), static_cast<uint32_t>(loopEnd - 1));
    wav.Cue(static_cast<uint32_t>(period)).Cue(static_cast<uint32_t>(loopEnd));
    return wav.Build();
}

struct Piece {
    Piece() {
        test::OrganFileBuilder b = test::OrganFileBuilder::MinimalOrgan();
        std::vector<int> stops;
        for (int s = 1; s <= kStops; ++s) {
            std::vector<std::string> pipes;
            for (int key = 0; key < kKeys; ++key) {
                std::string name = "s" + std::to_string(s) + "/p" + std::to_string(key) + ".wav";
                dir.Write(name, Pipe(40 + key * 3 + s));
                pipes.push_back(name);
            }
            test::SetStop(b, s, pipes);
            stops.push_back(s);
        }
        test::SetManual(b, 1, kKeys, stops);
        b.Set("Manual001", "MIDIInputNumber", "2");
        organ = dir.Write("bench.organ", b.Text());

        // A chord of four notes every quarter second, each held for it.
        test::MidiTrackBytes track;
        const int chords = static_cast<int>(kPieceSeconds * 4);
        for (int c = 0; c < chords; ++c) {
            uint8_t root = static_cast<uint8_t>(48 + (c * 5) % 12);
            track.Event(0, {0x90, root, 90}).Event(0, {static_cast<uint8_t>(root + 4), 90});
            track.Event(0, {static_cast<uint8_t>(root + 7), 90}).Event(0, {static_cast<uint8_t>(root + 12), 90});
            track.Event(24, {root, 0}).Event(0, {static_cast<uint8_t>(root + 4), 0});
            track.Event(0, {static_cast<uint8_t>(root + 7), 0}).Event(0, {static_cast<uint8_t>(root + 12), 0});
        }
        track.End();
        std::string bytes = test::MidiFileBytes(0, 48, {track});
        midi.Parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "bench.mid");
    }
    test::TempDir dir;
    std::string organ;
    MidiFile midi;
};

double renderedSeconds = 0.0;

void RenderPiece(benchmark::State& state) {
    static Piece piece;
    std::vector<StopChoice> all;
    for (int s = 1; s <= kStops; ++s) all.push_back({1, s});
    for (auto _ : state) {
        state.PauseTiming();
        auto render = std::make_unique<OfflineRender>(SetupInfo{});
        WavOutput out;
        bool ready = render->Load(piece.organ) && render->SetRegistration(0, all) && out.Create("/dev/null");
        state.ResumeTiming();
        if (!ready || !render->Render(piece.midi, out)) {
            state.SkipWithError("the piece could not be rendered");
            break;
        }
        renderedSeconds = static_cast<double>(out.FramesWritten()) / kSampleRate;
    }
}
BENCHMARK(RenderPiece)->Unit(benchmark::kMillisecond)->Repetitions(3)->Iterations(1);

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
    tessaline::bench::FigureReporter reporter(tessaline::bench::FigureReporter::Clock::Wall);
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    tessaline::bench::PrintFigure(
        "offline_render_vs_realtime",
        tessaline::bench::Ratio(tessaline::renderedSeconds, reporter.Best("RenderPiece")), 1);
    return 0;
}
