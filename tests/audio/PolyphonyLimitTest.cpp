// The voice pool at its limit: every one of the 2048 voices sounding, more
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
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

// Four sample shapes, their loops of different lengths (two shorter than a
// 128-frame block, so they wrap several times in one). Values stay within
// +-15, so that 2048 voices sum to at most 30720 and never clip.
constexpr int kShapes = 4;
constexpr int64_t kLoopStart = 100;
constexpr int64_t kLoopLength[kShapes] = {37, 64, 101, 250};
constexpr int64_t kReleaseFrames = 300;

int16_t ShapeValue(int shape, int64_t frame) {
    return static_cast<int16_t>((frame * (shape + 3) + shape) % 31 - 15);
}

std::vector<int16_t> ShapeSample(int shape) {
    std::vector<int16_t> values;
    const int64_t frames = kLoopStart + kLoopLength[shape] + kReleaseFrames;
    for (int64_t j = 0; j < frames; ++j) values.push_back(ShapeValue(shape, j));
    return values;
}

// What a sustained voice of the shape plays n frames after its start.
int32_t Sustained(int shape, int64_t n) {
    if (n < 0) return 0;
    const int64_t loopEnd = kLoopStart + kLoopLength[shape];
    if (n >= loopEnd) n = kLoopStart + (n - kLoopStart) % kLoopLength[shape];
    return ShapeValue(shape, n);
}

// The sound the sustained voices make together at frame time t, from how many
// voices of each shape started at each frame time.
struct Chord {
    std::map<std::pair<int, int64_t>, int> starts;  // (shape, start time) -> voices

    void Add(int shape, int64_t startTime) { ++starts[{shape, startTime}]; }
    int32_t At(int64_t t) const {
        int32_t sum = 0;
        for (const auto& [key, count] : starts) sum += count * Sustained(key.first, t - key.second);
        return sum;
    }
};

TEST(PolyphonyLimit, FullPoolDropsAndCountsFurtherStartsAndPlaysItsVoicesUnchanged) {
    constexpr int64_t kBuffer = 512;
    test::MixRig rig(kBuffer, OutputMode::Mono);
    rig.PlayTo(1000);
    std::vector<Pipe*> pipes;
    for (int i = 0; i < kVoicePoolSize + 64; ++i)
        pipes.push_back(&rig.Looped(ShapeSample(i % kShapes), kLoopStart,
                                    kLoopStart + kLoopLength[i % kShapes]));

    Chord chord;
    for (int i = 0; i < kVoicePoolSize; ++i) {
        pipes[static_cast<size_t>(i)]->Start();
        chord.Add(i % kShapes, 1000 + kBuffer);
    }
    ASSERT_EQ(rig.pool->CountInUse(), kVoicePoolSize);
    EXPECT_EQ(rig.pool->DroppedStarts(), 0u);

    // The 64 starts beyond the pool, and a second hold on a sounding pipe,
    // which needs no voice.
    for (int i = kVoicePoolSize; i < kVoicePoolSize + 64; ++i) {
        Pipe& extra = *pipes[static_cast<size_t>(i)];
        extra.Start();
        EXPECT_FALSE(extra.sounding);
        EXPECT_EQ(extra.holdCount, 0u);
        extra.Stop();  // its release finds nothing to stop
    }
    pipes[5]->Start();
    EXPECT_EQ(pipes[5]->holdCount, 2u);
    EXPECT_EQ(rig.pool->DroppedStarts(), 64u);
    EXPECT_EQ(rig.pool->CountInUse(), kVoicePoolSize);

    // Blocks of uneven sizes, across the start and many loop wraps: every
    // frame is the exact sum of the voices.
    const int64_t from = 1000 + kBuffer - 50;
    const std::vector<int16_t> out = rig.RenderStretch(from, 3000, {128, 7, 300, 1, 512});
    const std::vector<int32_t> left = test::Channel(out);
    ASSERT_EQ(left.size(), 3000u);
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(left[i], chord.At(from + static_cast<int64_t>(i))) << "frame " << i;
    EXPECT_EQ(test::Channel(out, 1), left);

    // Released, every voice plays its release and frees its slot; the pool
    // then takes new starts again from its first slot.
    pipes[5]->Stop();
    for (int i = 0; i < kVoicePoolSize; ++i) pipes[static_cast<size_t>(i)]->Stop();
    EXPECT_EQ(rig.pool->CountInUse(), kVoicePoolSize);
    rig.RenderStretch(from + 3000, 4 * kBuffer, {kBuffer});
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    pipes[kVoicePoolSize]->Start();
    EXPECT_TRUE(pipes[kVoicePoolSize]->sounding);
    EXPECT_EQ(pipes[kVoicePoolSize]->voice, &(*rig.pool)[0]);
    EXPECT_EQ(rig.pool->DroppedStarts(), 64u);
}

// Keeps every rendered block as the stream hands it on, in order.
class BlockKeeper : public AudioBlockHook {
public:
    explicit BlockKeeper(size_t frames) : values(2 * frames) {}
    void WriteRecordedBlock(std::span<const int16_t> frames) override {
        const size_t n = std::min(frames.size(), values.size() - kept);
        std::copy_n(frames.begin(), n, values.begin() + static_cast<std::ptrdiff_t>(kept));
        kept += n;
    }
    std::vector<int16_t> values;
    size_t kept = 0;  // timer thread; read after the stream stopped
};

// Seconds of real-time play: a few in the normal test run, more when the
// stress script asks for them.
double StressSeconds(double normal) {
    const char* text = std::getenv("TESSALINE_STRESS_SECONDS");
    const double asked = text ? std::atof(text) : 0;
    return asked > 0 ? asked : normal;
}

TEST(PolyphonyLimit, FullPoolPlaysInRealTimeWithoutAGlitch) {
    const double seconds = StressSeconds(3);
    constexpr int64_t kBuffer = 128 * 128;  // 371 ms: a late tick has room
    VirtualAudioSystem devices(0, false);
    ThreadTimerService timers;
    AudioEngine engine(devices, timers);
    ASSERT_EQ(engine.FindDevice("Virtual: Real-time output"), 0);
    ASSERT_TRUE(engine.SetParameters(0, kBuffer));
    engine.SetOutputMode(OutputMode::Mono);
    engine.SetGroupCount(1);
    auto pool = std::make_unique<VoicePool>(&engine);
    engine.SetSources(pool.get(), {}, {});

    std::vector<std::vector<int16_t>> samples;
    for (int s = 0; s < kShapes; ++s) samples.push_back(ShapeSample(s));
    std::vector<std::unique_ptr<Pipe>> pipes;
    for (int i = 0; i < kVoicePoolSize + 16; ++i) {
        auto pipe = std::make_unique<Pipe>();
        const std::vector<int16_t>& sample = samples[static_cast<size_t>(i % kShapes)];
        pipe->sample.memory = sample.data();
        pipe->sample.end = static_cast<int64_t>(sample.size());
        pipe->sample.loopStart = kLoopStart;
        pipe->sample.releaseStart = kLoopStart + kLoopLength[i % kShapes];
        pipe->windchestGroup = 1;
        pipe->voicePool = pool.get();
        pipes.push_back(std::move(pipe));
    }

    BlockKeeper keeper(static_cast<size_t>((seconds + 2) * kSampleRate));
    engine.Stream().SetBlockHook(&keeper);
    ASSERT_TRUE(engine.StartPlayback());
    // The voices start while the clock runs, so their start times differ;
    // each is read back from its voice.
    Chord chord;
    for (int i = 0; i < kVoicePoolSize; ++i) {
        Pipe& pipe = *pipes[static_cast<size_t>(i)];
        pipe.Start();
        ASSERT_TRUE(pipe.sounding);
        chord.Add(i % kShapes, pipe.voice->startTime);
    }
    // Further starts keep arriving while the full pool plays.
    uint64_t attempts = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        for (int i = kVoicePoolSize; i < kVoicePoolSize + 16; ++i) {
            pipes[static_cast<size_t>(i)]->Start();
            pipes[static_cast<size_t>(i)]->Stop();
            ++attempts;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int inUse = pool->CountInUse();
    ASSERT_TRUE(engine.StopPlayback());
    engine.Stream().SetBlockHook(nullptr);

    EXPECT_EQ(inUse, kVoicePoolSize);
    EXPECT_EQ(pool->DroppedStarts(), attempts);
    // The stream renders frame time W + buffer into the ring at W, so the
    // kept blocks are frame times kBuffer, kBuffer + 1, ... without a gap
    // unless the writer fell a whole lap behind.
    const std::vector<int32_t> left = test::Channel(
        std::vector<int16_t>(keeper.values.begin(),
                             keeper.values.begin() + static_cast<std::ptrdiff_t>(keeper.kept)));
    ASSERT_GE(left.size(), static_cast<size_t>(seconds * 0.8 * kSampleRate));
    size_t wrong = 0;
    for (size_t i = 0; i < left.size(); ++i)
        wrong += left[i] != chord.At(kBuffer + static_cast<int64_t>(i));
    EXPECT_EQ(wrong, 0u);
    std::printf("FIGURE polyphony_limit_seconds=%.1f\nFIGURE polyphony_limit_skipped_ticks=%llu\n"
                "FIGURE polyphony_limit_late_ticks=%llu\nFIGURE polyphony_limit_dropped_starts=%llu\n",
                seconds, static_cast<unsigned long long>(engine.Stream().SkippedTicks()),
                static_cast<unsigned long long>(engine.Stream().LateTicks()),
                static_cast<unsigned long long>(attempts));
    RecordProperty("skipped_ticks", static_cast<int>(engine.Stream().SkippedTicks()));
    RecordProperty("late_ticks", static_cast<int>(engine.Stream().LateTicks()));
}

}  // namespace
}  // namespace tessaline
