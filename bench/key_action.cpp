// The cost of the key action: a chord of 10 keys pressed and released on a
// manual with 32 drawn stops and 4 engaged couplers into two other manuals
// of 16 drawn stops each (unison and octave into one, unison and sub-octave
// into the other), each key through Organ::KeyDown/KeyUp with the action
// lock. Baseline, in the same run: the same pipe starts and stops called
// directly, in the same order, without the action.
//
// FIGURE key_action_noteon_us: microseconds per key pressed (target < 20).
// FIGURE key_action_vs_direct: key action time over direct pipe time, press
// and release together.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"
#include "organ/Organ.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "support/EngineRig.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"

namespace tessaline {
namespace {

constexpr int kKeys = 61;
constexpr int kFirstNote = 36;
constexpr int kChord[] = {48, 52, 55, 60, 64, 67, 72, 76, 79, 84};
constexpr int kChordKeys = static_cast<int>(std::size(kChord));

struct Bench {
    Bench() {
        test::OrganFileBuilder organ = test::OrganFileBuilder::MinimalOrgan();
        organ.Set("Organ", "NumberOfManuals", "3");
        test::WritePipeWav(rig.dir, "p.wav");
        std::vector<std::string> pipes(kKeys, "p.wav");
        const int stopsOf[] = {0, 32, 16, 16};
        int stop = 1;
        for (int m = 1; m <= 3; ++m) {
            std::vector<int> numbers;
            for (int s = 0; s < stopsOf[m]; ++s, ++stop) {
                test::SetStop(organ, stop, pipes);
                organ.Set("Stop" + Three(stop), "DefaultToEngaged", "Y");
                numbers.push_back(stop);
            }
            test::SetManual(organ, m, kKeys, numbers);
        }
        const int destinations[] = {2, 2, 3, 3};
        const int shifts[] = {0, 12, 0, -12};
        organ.Set("Manual001", "NumberOfCouplers", "4");
        for (int c = 1; c <= 4; ++c) {
            std::string section = "Coupler" + Three(c);
            test::SetDrawstopKeys(organ, section, "Coupler", 2, c);
            organ.Set(section, "DefaultToEngaged", "Y");
            organ.Set(section, "UnisonOff", "N");
            organ.Set(section, "DestinationManual", std::to_string(destinations[c - 1]));
            organ.Set(section, "DestinationKeyshift", std::to_string(shifts[c - 1]));
            for (const char* key :
                 {"CoupleToSubsequentUnisonIntermanualCouplers", "CoupleToSubsequentUpwardIntermanualCouplers",
                  "CoupleToSubsequentDownwardIntermanualCouplers", "CoupleToSubsequentUpwardIntramanualCouplers",
                  "CoupleToSubsequentDownwardIntramanualCouplers"})
                organ.Set(section, key, "N");
            organ.Set("Manual001", "Coupler" + Three(c), std::to_string(c));
        }
        loaded = rig.Load(organ) && rig.organ.AttachEngine(output.engine);
        if (!loaded) return;
        rig.organ.ResetAction();
        // The pipes the chord starts, key by key in the action's order.
        for (int note : kChord) {
            AddPipes(1, note);
            AddPipes(2, note);
            AddPipes(2, note + 12);
            AddPipes(3, note);
            AddPipes(3, note - 12);
        }
    }
    static std::string Three(int n) {
        char text[16];
        std::snprintf(text, sizeof text, "%03d", n);
        return text;
    }
    void AddPipes(int m, int note) {
        Manual& manual = rig.organ.manuals[static_cast<size_t>(m)];
        for (int s = 0; s < manual.numberOfStops; ++s) {
            Stop* stop = manual.GetStop(s);
            direct.push_back(stop->GetPipe(stop->PipeForKey(note - kFirstNote)));
        }
    }

    test::EngineRig output{512};
    test::OrganRig rig;
    // The organ's own pool, where its pipes start their voices.
    VoicePool& voices = rig.organ.Voices();
    bool loaded = false;
    std::vector<Pipe*> direct;
};

Bench& TheBench() {
    static Bench bench;
    return bench;
}

// Thread CPU time: the machines are shared, and time spent descheduled is
// not the action's.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Least seconds per chord seen over the runs: press, release.
struct Best {
    double on = 1e9, off = 1e9;
};
Best actionBest, directBest;

// Times `press` and `release` of the chord in every iteration and keeps the
// least time per chord of each in `best`.
template <class Press, class Release>
void TimeChord(benchmark::State& state, Best& best, Press press, Release release) {
    Bench& b = TheBench();
    if (!b.loaded) {
        state.SkipWithError("the benchmark organ did not load");
        return;
    }
    double on = 0, off = 0;
    for (auto _ : state) {
        double start = Now();
        press(b);
        double middle = Now();
        release(b);
        double end = Now();
        on += middle - start;
        off += end - middle;
        b.rig.organ.SilenceAllVoices();
    }
    auto n = static_cast<double>(state.iterations());
    best.on = std::min(best.on, on / n);
    best.off = std::min(best.off, off / n);
    state.counters["on_us_per_key"] = on / n / kChordKeys * 1e6;
    state.counters["off_us_per_key"] = off / n / kChordKeys * 1e6;
}

void KeyAction(benchmark::State& state) {
    TimeChord(
        state, actionBest, [](Bench& b) { for (int note : kChord) b.rig.organ.KeyDown(1, note, 1); },
        [](Bench& b) { for (int note : kChord) b.rig.organ.KeyUp(1, note, 1); });
}

void DirectPipes(benchmark::State& state) {
    TimeChord(
        state, directBest, [](Bench& b) { for (Pipe* pipe : b.direct) pipe->Start(); },
        [](Bench& b) { for (Pipe* pipe : b.direct) pipe->Stop(); });
}

BENCHMARK(KeyAction)->Repetitions(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(DirectPipes)->Repetitions(5)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessaline

int main(int argc, char** argv) {
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    if (!tessaline::bench::RunBenchmarks(argc, argv, reporter)) return 1;
    using tessaline::actionBest;
    using tessaline::directBest;
    if (actionBest.on < 1e9 && directBest.on < 1e9) {
        tessaline::bench::PrintFigure("key_action_noteon_us",
                                      actionBest.on / tessaline::kChordKeys * 1e6);
        tessaline::bench::PrintFigure(
            "key_action_vs_direct",
            (actionBest.on + actionBest.off) / (directBest.on + directBest.off));
    }
    return 0;
}
