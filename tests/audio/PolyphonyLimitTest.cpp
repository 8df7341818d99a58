// The voice pool at its limit, in real time: all 2048 voices sounding, more
// starts arriving. The starts that find no voice are dropped and counted, and
// the voices that do play are mixed exactly as they would be on their own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "MixRig.h"
#include "platform/ThreadTimer.h"

namespace tessaline {
namespace {

// Four sample shapes, their loops of different lengths (two shorter than a
// 128-frame block, so they wrap several times in one). Values stay within
// +-15, so that 2048 voices sum to at most 30720 and never clip.
constexpr int64_t kLoopStart = 100;
constexpr int64_t kLoopLength[4] = {37, 64, 101, 250};

int16_t ShapeValue(int shape, int64_t frame) {
    if (frame >= kLoopStart + kLoopLength[shape])
        frame = kLoopStart + (frame - kLoopStart) % kLoopLength[shape];
    return static_cast<int16_t>((frame * (shape + 3) + shape) % 31 - 15);
}

// Keeps every rendered block as the stream hands it on, in order.
struct BlockKeeper : AudioBlockHook {
    explicit BlockKeeper(size_t frames) : values(2 * frames) {}
    void WriteRecordedBlock(std::span<const int16_t> frames) override {
        const size_t n = std::min(frames.size(), values.size() - kept);
        std::copy_n(frames.begin(), n, values.begin() + static_cast<std::ptrdiff_t>(kept));
        kept += n;
    }
    std::vector<int16_t> values;
    size_t kept = 0;  // timer thread; read after the stream stopped
};

// Plays 3 seconds in the normal run, more when the stress script asks.
TEST(PolyphonyLimit, FullPoolDropsFurtherStartsAndPlaysInRealTimeWithoutAGlitch) {
    const char* asked = std::getenv("TESSALINE_STRESS_SECONDS");
    const double seconds = asked && std::atof(asked) > 0 ? std::atof(asked) : 3;
    constexpr int64_t kBuffer = 128 * 128;  // 371 ms: a late tick has room
    test::MixRig rig(kBuffer, OutputMode::Mono);
    ASSERT_TRUE(rig.engine.StopPlayback());
    ThreadTimerService timers;
    AudioEngine engine(rig.output.devices, timers);
    ASSERT_TRUE(engine.SetParameters(engine.FindDevice("Virtual: Real-time output"), kBuffer));
    engine.SetOutputMode(OutputMode::Mono);
    engine.SetGroupCount(1);
    auto pool = std::make_unique<VoicePool>(&engine);
    engine.SetSources(pool.get(), {}, {});
    // Pipe i has shape i % 4 and a release of 300 frames.
    std::vector<Pipe*> pipes;
    for (int i = 0; i < kVoicePoolSize + 16; ++i) {
        std::vector<int16_t> values;
        for (int64_t j = 0; j < kLoopStart + kLoopLength[i % 4] + 300; ++j)
            values.push_back(ShapeValue(i % 4, j));
        pipes.push_back(&rig.Looped(values, kLoopStart, kLoopStart + kLoopLength[i % 4]));
        pipes.back()->voicePool = pool.get();
    }

    BlockKeeper keeper(static_cast<size_t>((seconds + 2) * kSampleRate));
    engine.Stream().SetBlockHook(&keeper);
    ASSERT_TRUE(engine.StartPlayback());
    // The voices start while the clock runs, so their start times differ.
    std::map<std::pair<int64_t, int>, int> voices;  // (start time, shape) -> count
    for (int i = 0; i < kVoicePoolSize; ++i) {
        Pipe& pipe = *pipes[static_cast<size_t>(i)];
        pipe.Start();
        ASSERT_TRUE(pipe.sounding);
        ++voices[{pipe.voice->startTime, i % 4}];
    }
    // Further starts keep arriving while the full pool plays.
    uint64_t attempts = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        for (size_t i = kVoicePoolSize; i < pipes.size(); ++i, ++attempts) {
            pipes[i]->Start();
            pipes[i]->Stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int inUse = pool->CountInUse();
    ASSERT_TRUE(engine.StopPlayback());
    engine.Stream().SetBlockHook(nullptr);

    EXPECT_EQ(inUse, kVoicePoolSize);
    EXPECT_EQ(pool->DroppedStarts(), attempts);
    EXPECT_TRUE(pipes.back()->holdCount == 0 && !pipes.back()->sounding);
    // The stream renders frame time W + buffer into the ring at W, so the
    // kept blocks are frame times kBuffer, kBuffer + 1, ... without a gap
    // unless the writer fell a whole lap behind.
    const test::Values left = test::Channel(std::vector<int16_t>(
        keeper.values.begin(), keeper.values.begin() + static_cast<std::ptrdiff_t>(keeper.kept)));
    ASSERT_GE(left.size(), static_cast<size_t>(seconds * 0.8 * kSampleRate));
    size_t wrong = 0;
    for (size_t f = 0; f < left.size(); ++f) {
        int32_t sum = 0;
        const int64_t t = kBuffer + static_cast<int64_t>(f);
        for (const auto& [key, count] : voices)
            sum += t < key.first ? 0 : count * ShapeValue(key.second, t - key.first);
        wrong += left[f] != sum;
    }
    EXPECT_EQ(wrong, 0u);
    std::printf("FIGURE polyphony_limit_seconds=%.1f\nFIGURE polyphony_limit_skipped_ticks=%llu\n"
                "FIGURE polyphony_limit_late_ticks=%llu\n"
                "FIGURE polyphony_limit_dropped_starts=%llu\n",
                seconds, static_cast<unsigned long long>(engine.Stream().SkippedTicks()),
                static_cast<unsigned long long>(engine.Stream().LateTicks()),
                static_cast<unsigned long long>(attempts));
}

}  // namespace
}  // namespace tessaline
