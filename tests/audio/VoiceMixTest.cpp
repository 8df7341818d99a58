#include <gtest/gtest.h>

#include <vector>

#include "MixRig.h"

namespace tessaline {
namespace {

using test::Left;
using test::MixRig;
using test::Right;
using Values = std::vector<int32_t>;

TEST(VoiceMix, StartsOnItsFrameAndWrapsALoopShorterThanTheBlock) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& pipe = rig.Looped({100, 200, 300, 400, 500, 600}, 2, 4);
    rig.PlayTo(5);
    pipe.Start();  // sounds from frame 13
    EXPECT_EQ(rig.pool->CountInUse(), 1);

    EXPECT_EQ(Left(rig.Render(8, 0)), Values(8, 0));
    auto first = rig.Render(8, 8);
    EXPECT_EQ(Left(first), (Values{0, 0, 0, 0, 0, 100, 200, 300}));
    EXPECT_EQ(Right(first), Left(first));
    auto second = rig.Render(8, 16);
    EXPECT_EQ(Left(second), (Values{400, 300, 400, 300, 400, 300, 400, 300}));
    EXPECT_EQ(Right(second), Left(second));
}

TEST(VoiceMix, AStartLateForItsBlockBeginsAtTheBlockStart) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& pipe = rig.Looped({7, 8, 9, 10}, 0, 4);
    pipe.Start();  // frame 8, but the next block rendered is [12, 20)
    auto out = rig.Render(8, 12);
    EXPECT_EQ(Left(out), (Values{7, 8, 9, 10, 7, 8, 9, 10}));
}

TEST(VoiceMix, KeyHeldOneFrameCrossFadesTheAttackIntoTheRelease) {
    MixRig rig(8, OutputMode::Mono);
    // Attack 1000, 2000, loop 3000, 4000, release 10, 20, 30.
    Pipe& pipe = rig.Looped({1000, 2000, 3000, 4000, 10, 20, 30}, 2, 4);
    pipe.Start();  // frame 8
    rig.PlayTo(1);
    pipe.Stop();  // release from frame 9
    auto out = rig.Render(8, 8);
    // Frame 8 at full level; from frame 9 the attack and loop fade by 32 a
    // frame from 32767 ((v x gain) >> 15) while the release plays unfaded.
    EXPECT_EQ(Left(out), (Values{1000, 1999 + 10, 2996 + 20, 3992 + 30, 2991, 3984, 2985, 3976}));
    // The release segment has ended: the voice is free and the next block silent.
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    EXPECT_EQ(Left(rig.Render(8, 16)), Values(8, 0));
}

TEST(VoiceMix, ReleaseFadeCarriesItsGainAcrossBlocks) {
    MixRig rig(8, OutputMode::Stereo);
    // A two-frame loop of (16384, -16384) and a silent release of 1100 frames.
    std::vector<int16_t> values = {16384, -16384, 16384, -16384};
    values.resize(values.size() + 2 * 1100, 0);
    Pipe& pipe = rig.Looped(values, 0, 2);
    pipe.Start();
    pipe.Stop();  // the release begins with the first frame
    auto out = rig.RenderStretch(8, 1096, {5, 3});
    auto left = Left(out), right = Right(out);
    // Gain 32767 - 32k on frame k, carried across the blocks of 5 and 3
    // frames; >> 15 rounds toward minus infinity; gain 31 is the last faded.
    const std::vector<size_t> frames = {0, 1, 4, 5, 8, 1023, 1024};
    Values l, r;
    for (size_t k : frames) {
        l.push_back(left[k]);
        r.push_back(right[k]);
    }
    EXPECT_EQ(l, (Values{16383, 16367, 16319, 16303, 16255, 15, 0}));
    EXPECT_EQ(r, (Values{-16384, -16368, -16320, -16304, -16256, -16, 0}));
    EXPECT_EQ(rig.pool->CountInUse(), 1);  // the release still plays
    rig.RenderStretch(1104, 8, {8});
    EXPECT_EQ(rig.pool->CountInUse(), 0);
}

TEST(VoiceMix, HoldCountsKeepAPipeSoundingUntilTheLastStop) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& pipe = rig.Looped({1, 1, 1, 1}, 2, 4);
    Pipe& idle = rig.Looped({1, 1, 1, 1}, 2, 4);

    // A stop that never had a start leaves the count at 0.
    idle.Stop();
    EXPECT_TRUE(idle.holdCount == 0 && !idle.sounding);
    pipe.Start();
    pipe.Start();  // a key and a coupler
    EXPECT_EQ(pipe.holdCount, 2u);
    EXPECT_EQ(rig.pool->CountInUse(), 1);
    PipeVoice* voice = pipe.voice;
    ASSERT_EQ(voice, &(*rig.pool)[0]);

    pipe.Stop();
    EXPECT_TRUE(pipe.holdCount == 1 && pipe.sounding && !voice->stopPending.load());
    pipe.Stop();
    EXPECT_TRUE(pipe.holdCount == 0 && !pipe.sounding && pipe.voice == nullptr);
    EXPECT_TRUE(voice->stopPending.load());
    pipe.Stop();
    EXPECT_EQ(pipe.holdCount, 0u);

    // While the old voice releases, a new start takes a second one.
    pipe.Start();
    EXPECT_EQ(pipe.voice, &(*rig.pool)[1]);
    EXPECT_EQ(rig.pool->CountInUse(), 2);

    // A cut silences at once and forgets every hold.
    pipe.Start();
    pipe.Cut();
    EXPECT_TRUE(pipe.holdCount == 0 && !pipe.sounding);
    EXPECT_FALSE((*rig.pool)[1].inUse.load());
    EXPECT_TRUE((*rig.pool)[0].inUse.load());
}

TEST(VoiceMix, PercussiveStrikesOverlapAndPlayToTheEnd) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& pipe = rig.Percussive({1, 2, 3, 4, 5, 6});
    pipe.Start();  // frame 8
    rig.PlayTo(2);
    pipe.Stop();
    pipe.Start();  // frame 10
    rig.PlayTo(3);
    pipe.Start();  // frame 11
    pipe.Stop();
    pipe.Stop();
    EXPECT_TRUE(pipe.holdCount == 0 && !pipe.sounding);
    EXPECT_EQ(rig.pool->CountInUse(), 3);

    EXPECT_EQ(Left(rig.Render(8, 8)),
              (Values{1, 2, 3 + 1, 4 + 2 + 1, 5 + 3 + 2, 6 + 4 + 3, 5 + 4, 6 + 5}));
    EXPECT_EQ(rig.pool->CountInUse(), 1);
    EXPECT_EQ(Left(rig.Render(8, 16)), (Values{6, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.pool->CountInUse(), 0);
}

TEST(VoiceMix, PoolOf2048DropsFurtherStartsSilently) {
    MixRig rig(8, OutputMode::Mono);
    std::vector<Pipe*> pipes;
    for (int i = 0; i < kVoicePoolSize + 1; ++i) pipes.push_back(&rig.Looped({1, 1, 1, 1}, 0, 4));
    for (Pipe* pipe : pipes) pipe->Start();
    Pipe& last = *pipes.back();
    EXPECT_EQ(rig.pool->CountInUse(), 2048);
    EXPECT_TRUE(last.holdCount == 0 && !last.sounding && last.voice == nullptr);
    last.Stop();
    EXPECT_EQ(last.holdCount, 0u);
    EXPECT_EQ(Left(rig.Render(4, 8)), Values(4, 2048));

    // A freed slot is the next one claimed.
    pipes[0]->Cut();
    last.Start();
    EXPECT_EQ(last.voice, &(*rig.pool)[0]);
    EXPECT_EQ(rig.pool->CountInUse(), 2048);

    rig.pool->SilenceAllVoices();
    EXPECT_EQ(rig.pool->CountInUse(), 0);
    EXPECT_EQ(Left(rig.Render(4, 12)), Values(4, 0));
}

TEST(VoiceMix, APipeSilencedWithThePoolLeavesItsFormerSlotAlone) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& stopped = rig.Looped({1, 1}, 0, 2);
    Pipe& cut = rig.Looped({10, 10}, 0, 2);
    Pipe& second = rig.Looped({200, 200}, 0, 2);
    Pipe& fourth = rig.Looped({3000, 3000}, 0, 2);
    stopped.Start();
    cut.Start();
    rig.pool->SilenceAllVoices();  // the pipes still believe they sound
    second.Start();
    fourth.Start();
    ASSERT_EQ(second.voice, &(*rig.pool)[0]);
    ASSERT_EQ(fourth.voice, &(*rig.pool)[1]);

    stopped.Stop();
    cut.Cut();
    EXPECT_FALSE(stopped.sounding || cut.sounding);
    EXPECT_FALSE(second.voice->stopPending.load());
    EXPECT_TRUE(fourth.voice->inUse.load());
    EXPECT_EQ(Left(rig.Render(2, 8)), (Values{3200, 3200}));
}

TEST(VoiceMix, PipeWithoutAPlayableSampleDoesNotSound) {
    MixRig rig(8, OutputMode::Mono);
    Pipe& emptyLoop = rig.Looped({1, 2, 3}, 2, 2);
    Pipe& loopPastEnd = rig.Looped({1, 2, 3}, 1, 4);
    Pipe released;
    released.voicePool = rig.pool.get();
    for (Pipe* pipe : {&emptyLoop, &loopPastEnd, &released}) {
        pipe->Start();
        EXPECT_TRUE(pipe->holdCount == 0 && !pipe->sounding);
    }
    EXPECT_EQ(rig.pool->CountInUse(), 0);
}

TEST(VoiceMix, SumsAreClippedToPlusMinus32767) {
    MixRig rig(8, OutputMode::Stereo);
    Pipe& pipe = rig.Percussive({20000, -20000, -16384, 16383, 32767, -32767, 16000, -16000});
    pipe.Start();
    pipe.Start();
    auto out = rig.Render(4, 8);
    EXPECT_EQ(Left(out), (Values{32767, -32767, 32767, 32000}));
    EXPECT_EQ(Right(out), (Values{-32767, 32766, -32767, -32000}));
}

TEST(VoiceMix, MixUpwardsPansWithFloatSumsTruncatedTowardZero) {
    MixRig rig(8, OutputMode::MixUpwards);
    Pipe& a = rig.Percussive({-10, 1001});
    Pipe& b = rig.Percussive({5, 0});
    for (Pipe* pipe : {&a, &b}) {
        pipe->sample.leftGain = 0.5f;
        pipe->sample.rightGain = 0.3f;
        pipe->Start();
    }
    auto out = rig.Render(2, 8);
    // Left: -5, then -5 + 2.5 = -2.5 -> -2; right: -3, then -3 + 1.5 -> -1.
    EXPECT_EQ(Left(out), (Values{-2, 500}));
    EXPECT_EQ(Right(out), (Values{-1, 300}));
}

TEST(VoiceMix, MixUpwardsReleaseFadesInFloat) {
    MixRig rig(8, OutputMode::MixUpwards);
    Pipe& pipe = rig.Looped({1000, 1000, 1000, 1000, 0, 0, 0, 0, 0}, 2, 4);
    pipe.sample.rightGain = 0.5f;
    pipe.Start();
    pipe.Stop();
    auto out = rig.Render(3, 8);
    // f = 1, 1 - 32/32767, 1 - 2 x 32/32767.
    EXPECT_EQ(Left(out), (Values{1000, 999, 998}));
    EXPECT_EQ(Right(out), (Values{500, 499, 499}));
}

TEST(VoiceMix, GroupsAreSummedAndUnmixedGroupsStaySilent) {
    MixRig rig(8, OutputMode::Mono, 2);
    rig.Looped({3, 3}, 0, 2, 1).Start();
    rig.Looped({40, 40}, 0, 2, 2).Start();
    rig.Looped({500, 500}, 0, 2, 3).Start();  // group 3 is not mixed
    EXPECT_EQ(Left(rig.Render(2, 8)), (Values{43, 43}));
}

TEST(VoiceMix, RenderRefusesABlockLongerThanTheBuffer) {
    MixRig rig(8, OutputMode::Mono);
    rig.Looped({9, 9}, 0, 2).Start();
    std::vector<int16_t> out(18, 7);
    EXPECT_FALSE(rig.engine.RenderBlock(out, 9, 8));
    EXPECT_EQ(out, std::vector<int16_t>(18, 0));
    std::vector<int16_t> small(4, 7);
    EXPECT_FALSE(rig.engine.RenderBlock(small, 4, 8));
}

}  // namespace
}  // namespace tessaline
