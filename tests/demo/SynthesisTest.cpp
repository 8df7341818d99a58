// The building blocks of the demo organ's pipes: loop planning, the sound of
// each family, and the WAV encoding of a pipe.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Inspection.h"
#include "LoopPlan.h"
#include "PipeSynth.h"
#include "WavFile.h"
#include "support/TempDir.h"

namespace tessaline::demo {
namespace {

TEST(DemoLoopPlan, EqualTemperamentAndCents) {
    EXPECT_DOUBLE_EQ(EqualTemperament(69), 440.0);
    EXPECT_DOUBLE_EQ(EqualTemperament(57), 220.0);
    EXPECT_NEAR(EqualTemperament(60), 261.6255653, 1e-6);
    EXPECT_NEAR(EqualTemperament(69.06), 440.0 * std::exp2(6.0 / 1200.0), 1e-9);
    EXPECT_NEAR(CentsBetween(880.0, 440.0), 1200.0, 1e-9);
    EXPECT_NEAR(CentsBetween(440.0, 880.0), -1200.0, 1e-9);
}

// Single ranks are checked within a cent on every pipe the generator writes;
// here, three ranks that must share one loop.
TEST(DemoLoopPlan, ChordRanksShareALoopWithinOneCent) {
    const double ranks[] = {EqualTemperament(67), EqualTemperament(74), EqualTemperament(79)};
    LoopPlan plan;
    ASSERT_TRUE(PlanLoop(ranks, kMinLoopFrames, kMaxLoopFrames, kGoodEnoughCents, plan));
    EXPECT_GE(plan.loopFrames, kMinLoopFrames);
    EXPECT_LE(plan.loopFrames, kMaxLoopFrames);
    ASSERT_EQ(plan.periods.size(), 3u);
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_LT(std::fabs(CentsBetween(plan.Frequency(r), ranks[r])), 1.0) << r;
        EXPECT_NEAR(plan.Frequency(r), plan.periods[r] * 44100.0 / static_cast<double>(plan.loopFrames), 1e-9);
    }
    EXPECT_LT(plan.worstCents, kGoodEnoughCents);
}

TEST(DemoLoopPlan, RefusesPitchesTooLowForOnePeriod) {
    const double tooLow[] = {0.5};
    LoopPlan plan;
    EXPECT_FALSE(PlanLoop(tooLow, kMinLoopFrames, kMaxLoopFrames, kGoodEnoughCents, plan));
    EXPECT_EQ(plan.loopFrames, 0);
}

PipeSound Synthesise(Family family, double note, int channels = 1, uint64_t seed = 7) {
    PipeRecipe recipe;
    recipe.family = family;
    recipe.ranks = {{EqualTemperament(note), 1.0}};
    recipe.seed = seed;
    recipe.channels = channels;
    if (channels == 2) {
        recipe.leftGain = 1.0;
        recipe.rightGain = 0.6;
        recipe.rightDelay = 20;
    }
    PipeSound sound;
    EXPECT_TRUE(SynthesisePipe(recipe, sound));
    return sound;
}

// Harmonic h's amplitude measured on the loop of a synthesised pipe.
std::vector<double> Harmonics(const PipeSound& sound, int count) {
    test::TempDir dir;
    std::string path = dir.File("pipe.wav");
    EXPECT_TRUE(WriteFile(path, EncodeWav(sound, 60, 0.0)));
    test::WavInfo wav;
    std::string why;
    EXPECT_TRUE(test::ReadWav(path, wav, why)) << why;
    std::vector<double> h;
    for (int k = 1; k <= count; ++k)
        h.push_back(test::BinAmplitude(wav, 0, sound.loopStart, sound.plan.loopFrames, k * sound.plan.periods[0]));
    return h;
}

TEST(DemoPipeSynthesis, SegmentsJoinAtTheLoopAndTheReleaseFollowsIt) {
    PipeSound sound = Synthesise(Family::Principal, 57);
    EXPECT_EQ(sound.loopEnd - sound.loopStart + 1, sound.plan.loopFrames);
    EXPECT_EQ(sound.releaseMarker, sound.loopEnd + 1);
    EXPECT_GT(sound.Frames(), sound.releaseMarker + 44100 / 2);
    EXPECT_GE(sound.loopStart, kMaxChannelDelay);
    // The steady part repeats exactly: one loop length after the loop start
    // the waveform is where it began.
    EXPECT_EQ(sound.samples[static_cast<size_t>(sound.loopStart)],
              sound.samples[static_cast<size_t>(sound.loopStart + sound.plan.loopFrames)]);
    EXPECT_EQ(sound.samples.front(), 0);
    EXPECT_LT(std::abs(sound.samples.back()), 200);
}

TEST(DemoPipeSynthesis, SameRecipeSameSamplesOtherSeedOtherNoise) {
    PipeSound a = Synthesise(Family::OpenFlute, 72, 1, 7);
    PipeSound b = Synthesise(Family::OpenFlute, 72, 1, 7);
    PipeSound c = Synthesise(Family::OpenFlute, 72, 1, 8);
    EXPECT_EQ(a.samples, b.samples);
    EXPECT_NE(a.samples, c.samples);
    EXPECT_EQ(a.plan.loopFrames, c.plan.loopFrames);
}

TEST(DemoPipeSynthesis, FamiliesHaveTheirOwnSpectra) {
    auto principal = Harmonics(Synthesise(Family::Principal, 48), 10);
    auto gedackt = Harmonics(Synthesise(Family::StoppedFlute, 48), 10);
    auto string = Harmonics(Synthesise(Family::String, 48), 10);
    auto trumpet = Harmonics(Synthesise(Family::Trumpet, 48), 10);
    // A stopped flute: odd partials well above their even neighbours.
    EXPECT_GT(gedackt[2], 4.0 * gedackt[1]);
    EXPECT_GT(gedackt[4], 4.0 * gedackt[3]);
    // A principal has a real octave.
    EXPECT_GT(principal[1], 0.3 * principal[0]);
    // Strings and reeds are brighter than principals: more of the 6th-10th
    // harmonics relative to the fundamental.
    auto upper = [](const std::vector<double>& h) { return (h[5] + h[6] + h[7] + h[8] + h[9]) / h[0]; };
    EXPECT_GT(upper(string), 1.5 * upper(principal));
    EXPECT_GT(upper(trumpet), 1.5 * upper(principal));
    // A reed's middle harmonics outweigh its fundamental.
    EXPECT_GT(trumpet[3], trumpet[0]);
}

// Roughness of a stretch of sound: RMS of the frame-to-frame steps over the
// RMS of the values, which grows with high-frequency content.
double Roughness(const PipeSound& sound, int64_t from, int64_t frames) {
    double steps = 0.0, values = 0.0;
    for (int64_t t = from + 1; t < from + frames; ++t) {
        double v = sound.samples[static_cast<size_t>(t)];
        double step = v - sound.samples[static_cast<size_t>(t - 1)];
        steps += step * step;
        values += v * v;
    }
    return std::sqrt(steps / values);
}

TEST(DemoPipeSynthesis, FluesSpeakWithAChiffThatIsGoneByTheLoop) {
    const int64_t window = 44100 * 30 / 1000;
    PipeSound gedackt = Synthesise(Family::StoppedFlute, 48);
    EXPECT_GT(Roughness(gedackt, 0, window), 1.5 * Roughness(gedackt, gedackt.loopStart, window));
    // The attack never jumps above the steady tone.
    int attack = 0, loop = 0;
    for (int64_t t = 0; t < gedackt.Frames(); ++t) {
        int v = std::abs(gedackt.samples[static_cast<size_t>(t)]);
        int& peak = t < gedackt.loopStart ? attack : loop;
        peak = std::max(peak, v);
    }
    EXPECT_LE(attack, loop * 5 / 4);
}

TEST(DemoPipeSynthesis, StereoFarChannelIsSofterAndLater) {
    PipeSound sound = Synthesise(Family::Principal, 45, 2);
    ASSERT_EQ(sound.channels, 2);
    int64_t firstLeft = -1, firstRight = -1;
    double left = 0, right = 0;
    for (int64_t t = 0; t < sound.Frames(); ++t) {
        int l = sound.samples[static_cast<size_t>(2 * t)], r = sound.samples[static_cast<size_t>(2 * t + 1)];
        if (firstLeft < 0 && l != 0) firstLeft = t;
        if (firstRight < 0 && r != 0) firstRight = t;
        if (t >= sound.loopStart && t <= sound.loopEnd) {
            left += double(l) * l;
            right += double(r) * r;
        }
    }
    EXPECT_GE(firstRight - firstLeft, 19);
    EXPECT_NEAR(std::sqrt(right / left), 0.6, 0.01);
}

TEST(DemoPipeSynthesis, ChannelDelaysAreKeptWithinTheSteadyLead) {
    PipeRecipe recipe;
    recipe.ranks = {{220.0, 1.0}};
    recipe.channels = 2;
    recipe.leftDelay = -500;  // no reading ahead of the sound
    recipe.rightDelay = 500;  // nor a far channel whose loop reaches into the attack
    PipeSound sound;
    ASSERT_TRUE(SynthesisePipe(recipe, sound));
    PipeSound reference;
    recipe.leftDelay = 0;
    recipe.rightDelay = kMaxChannelDelay;
    ASSERT_TRUE(SynthesisePipe(recipe, reference));
    EXPECT_EQ(sound.samples, reference.samples);
}

TEST(DemoWavEncoding, ChunksCarryTheLoopAndTheReleaseMarker) {
    PipeSound sound;
    sound.channels = 1;
    sound.samples = {0, 1, -1, 2, -2, 3, -3, 4, -32767, 32767};
    sound.loopStart = 2;
    sound.loopEnd = 6;
    sound.releaseMarker = 7;
    std::vector<char> bytes = EncodeWav(sound, 61, 25.0);
    test::TempDir dir;
    std::string path = dir.Write("tiny.wav", std::string(bytes.begin(), bytes.end()));
    test::WavInfo wav;
    std::string why;
    ASSERT_TRUE(test::ReadWav(path, wav, why)) << why;
    EXPECT_EQ(wav.fileSize, 12u + 24u + 8u + 20u + 68u + 36u);
    EXPECT_EQ(wav.formatTag, 1);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.bytesPerSecond, 88200u);
    EXPECT_EQ(wav.blockAlign, 2);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.samples, sound.samples);
    EXPECT_EQ(wav.loops, 1u);
    EXPECT_EQ(wav.loopType, 0u);
    EXPECT_EQ(wav.loopStart, 2u);
    EXPECT_EQ(wav.loopEnd, 6u);
    EXPECT_EQ(wav.playCount, 0u);
    EXPECT_EQ(wav.unityNote, 61u);
    EXPECT_EQ(wav.cueOffsets, std::vector<uint32_t>{7});
    // The pitch fraction: a quarter of a semitone in 32-bit fixed point.
    uint32_t fraction;
    std::memcpy(&fraction, bytes.data() + 12 + 24 + 8 + 20 + 8 + 16, 4);
    EXPECT_EQ(fraction, 0x40000000u);
}

}  // namespace
}  // namespace tessaline::demo
