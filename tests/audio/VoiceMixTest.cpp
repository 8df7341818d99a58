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

using test::Channel;
using test::MixRig;
using test::Values;

struct VoiceMix : ::testing::Test {
    MixRig rig{8, OutputMode::Mono};
};

TEST_F(VoiceMix, StartsOnItsFrameWrapsAShortLoopAndALateStartBeginsAtTheBlock) {
    Pipe& pipe = rig.Looped({100, 200, 300, 400, 500, 600}, 2, 4);
    rig.PlayTo(5);
    pipe.Start();  // sounds from frame 13
    const auto first = rig.Render(8, 8);
    EXPECT_EQ(Channel(first), (Values{0, 0, 0, 0, 0, 100, 200, 300}));
    EXPECT_EQ(Channel(first, 1), Channel(first));
    EXPECT_EQ(Channel(rig.Render(8, 16)), (Values{400, 300, 400, 300, 400, 300, 400, 300}));

    Pipe& late = rig.Looped({7, 8, 9, 10}, 0, 4);
    late.Start();  // frame 13, but the next block rendered is [32, 40)
    pipe.Cut();
    EXPECT_EQ(Channel(rig.Render(8, 32)), (Values{7, 8, 9, 10, 7, 8, 9, 10}));
}

TEST_F(VoiceMix, KeyHeldOneFrameCrossFadesTheAttackIntoTheRelease) {
    // Attack 1000, 2000, loop 3000, 4000, release 10, 20, 30.
    Pipe& pipe = rig.Looped({1000, 2000, 3000, 4000, 10, 20, 30}, 2, 4);
    pipe.Start();  // frame 8
    rig.PlayTo(1);
    pipe.Stop();  // release from frame 9
    // From frame 9 the attack and loop fade by 32 a frame from 32767
    // ((v x gain) >> 15) while the release plays unfaded.
    EXPECT_EQ(Channel(rig.Render(8, 8)),
              (Values{1000, 1999 + 10, 2996 + 20, 3992 + 30, 2991, 3984, 2985, 3976}));
    // The release segment has ended: the voice is free and the next block silent.
    EXPECT_EQ(rig.pool->CountInUse(), 0);
}

TEST(StereoMix, ReleaseFadeCarriesItsGainAcrossBlocks) {
    MixRig rig(8, OutputMode::Stereo);
    // A two-frame loop of (16384, -16384) and a silent release of 1100 frames.
    std::vector<int16_t> values = {16384, -16384, 16384, -16384};
    values.resize(values.size() + 2 * 1100, 0);
    Pipe& pipe = rig.Looped(values, 0, 2);
    pipe.Start();
    pipe.Stop();  // the release begins with the first frame
    // Gain 32767 - 32k on frame k, carried across blocks of 5 and 3 frames;
    // >> 15 rounds toward minus infinity; gain 31 is the last faded.
    Values out;
    for (int64_t t = 8; t < 8 + 1096; t += t % 8 == 0 ? 5 : 3) {
        const auto block = rig.Render(t % 8 == 0 ? 5 : 3, t);
        out.insert(out.end(), block.begin(), block.end());
    }
    Values picked;
    for (size_t k : {0, 1, 5, 8, 1023, 1024})
        picked.insert(picked.end(), {out[2 * k], out[2 * k + 1]});
    EXPECT_EQ(picked, (Values{16383, -16384, 16367, -16368, 16303, -16304, 16255, -16256, 15, -16,
                              0, 0}));
}

TEST_F(VoiceMix, HoldsKeepAPipeSoundingUntilTheLastStopAndACutForgetsThem) {
    Pipe& pipe = rig.Looped({1, 1, 1, 1}, 2, 4);
    pipe.Start();
    pipe.Start();  // two stops sharing the pipe
    PipeVoice* voice = pipe.voice;
    pipe.Stop();
    EXPECT_TRUE(pipe.sounding && !voice->stopPending.load());
    pipe.Stop();
    pipe.Stop();  // one too many leaves the count at 0
    EXPECT_TRUE(voice->stopPending.load() && pipe.holdCount == 0 && pipe.voice == nullptr);
    pipe.Start();  // while the old voice releases, a second one
    EXPECT_EQ(pipe.voice, &(*rig.pool)[1]);
    pipe.Cut();
    EXPECT_TRUE(pipe.holdCount == 0 && !pipe.sounding && !(*rig.pool)[1].inUse.load());
    EXPECT_TRUE(voice->inUse.load());
}

TEST_F(VoiceMix, PercussiveStrikesOverlapAndPlayToTheEnd) {
    Pipe& pipe = rig.Percussive({1, 2, 3, 4, 5, 6});
    pipe.Start();  // frame 8
    rig.PlayTo(2);
    pipe.Stop();
    pipe.Start();  // frame 10
    rig.PlayTo(3);
    pipe.Start();  // frame 11
    pipe.Stop();
    pipe.Stop();
    EXPECT_EQ(Channel(rig.Render(8, 8)),
              (Values{1, 2, 3 + 1, 4 + 2 + 1, 5 + 3 + 2, 6 + 4 + 3, 5 + 4, 6 + 5}));
    EXPECT_EQ(Channel(rig.Render(8, 16)), (Values{6, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.pool->CountInUse(), 0);
}

TEST_F(VoiceMix, APipeSilencedWithThePoolLeavesItsFormerSlotAlone) {
    Pipe& stopped = rig.Looped({1, 1}, 0, 2);
    Pipe& cut = rig.Looped({10, 10}, 0, 2);
    Pipe& second = rig.Looped({200, 200}, 0, 2);
    Pipe& fourth = rig.Looped({3000, 3000}, 0, 2);
    stopped.Start();
    cut.Start();
    rig.pool->SilenceAllVoices();  // the pipes still believe they sound
    second.Start();
    fourth.Start();
    stopped.Stop();
    cut.Cut();
    EXPECT_FALSE(stopped.sounding || cut.sounding);
    EXPECT_EQ(Channel(rig.Render(2, 8)), (Values{3200, 3200}));
}

TEST_F(VoiceMix, UnplayableSamplesAndOversizedBlocksAreRefused) {
    Pipe& emptyLoop = rig.Looped({1, 2, 3}, 2, 2);
    Pipe& loopPastEnd = rig.Looped({1, 2, 3}, 1, 4);
    Pipe released;
    released.voicePool = rig.pool.get();
    for (Pipe* pipe : {&emptyLoop, &loopPastEnd, &released}) pipe->Start();
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    EXPECT_EQ(emptyLoop.holdCount + loopPastEnd.holdCount + released.holdCount, 0u);

    rig.Looped({9, 9}, 0, 2).Start();
    std::vector<int16_t> out(18, 7);
    EXPECT_FALSE(rig.engine.RenderBlock(out, 9, 8));
    EXPECT_EQ(out, std::vector<int16_t>(18, 0));
    std::vector<int16_t> small(4, 7);
    EXPECT_FALSE(rig.engine.RenderBlock(small, 4, 8));
}

TEST(StereoMix, SumsAreClippedAndMixUpwardsPansInFloatTruncatedTowardZero) {
    MixRig rig(8, OutputMode::Stereo);
    Pipe& pipe = rig.Percussive({20000, -20000, -16384, 16383, 32767, -32767, 16000, -16000});
    pipe.Start();
    pipe.Start();
    const auto clipped = rig.Render(4, 8);
    EXPECT_EQ(Channel(clipped), (Values{32767, -32767, 32767, 32000}));
    EXPECT_EQ(Channel(clipped, 1), (Values{-32767, 32766, -32767, -32000}));

    MixRig up(8, OutputMode::MixUpwards);
    Pipe& a = up.Percussive({-10, 1001});
    Pipe& b = up.Percussive({5, 0});
    for (Pipe* p : {&a, &b}) {
        p->sample.leftGain = 0.5f;
        p->sample.rightGain = 0.3f;
        p->Start();
    }
    const auto panned = up.Render(2, 8);  // left -5 + 2.5 and right -3 + 1.5 at first
    EXPECT_EQ(Channel(panned), (Values{-2, 500}));
    EXPECT_EQ(Channel(panned, 1), (Values{-1, 300}));
    Pipe& fading = up.Looped({1000, 1000, 1000, 1000, 0, 0, 0, 0, 0}, 2, 4);
    fading.sample.rightGain = 0.5f;
    up.PlayTo(2);
    fading.Start();
    fading.Stop();  // fades in float too: f = 1, 1 - 32/32767, 1 - 64/32767
    const auto faded = up.Render(3, 10);
    EXPECT_EQ(Channel(faded), (Values{1000, 999, 998}));
    EXPECT_EQ(Channel(faded, 1), (Values{500, 499, 499}));
}

// Four sample shapes for the full voice pool, their loops of different lengths
// (two shorter than a 128-frame block, so they wrap several times in one);
// values stay within +-15, so that 2048 voices sum to at most 30720.
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

// All 2048 voices sound while more starts arrive: those are dropped and
// counted, and the voices that play are mixed exactly as on their own. Plays
// 3 seconds in real time, more when the stress script asks.
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
