#include "samples/SampleLoader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/virtual/RecordingErrorSink.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::Chunk;
using test::ChunkDeclaring;
using test::List;
using test::Riff;
using test::WavBuilder;

// The looped pipe most tests start from: 9000 frames, loop 1000..5000, the
// release marker at 7000 after a cue point at the loop start.
WavBuilder StandardPipe(uint16_t channels = 1) {
    WavBuilder wav;
    wav.Channels(channels).Pattern(9000).Loop(1000, 5000).Cue(1000).Cue(7000);
    return wav;
}

// Stereo frames from separate left and right values.
std::vector<int16_t> Interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right) {
    std::vector<int16_t> values;
    for (size_t i = 0; i < left.size(); ++i) {
        values.push_back(left[i]);
        values.push_back(right[i]);
    }
    return values;
}

class SampleLoaderTest : public ::testing::Test {
protected:
    bool Load(const std::string& bytes, bool percussive = false, uint32_t volumePercent = 100,
              double stopLevel = 1.0) {
        fileName = dir.Write("pipe.wav", bytes);
        return LoadPipeSample(context, sample, fileName.c_str(), volumePercent, percussive,
                              stopLevel);
    }
    size_t MemoryChannels() const {
        return context.memorySampleFormat == SampleFormat::Stereo ? 2 : 1;
    }
    std::vector<int16_t> Memory() const {
        return {sample.memory, sample.memory + sample.end * static_cast<int64_t>(MemoryChannels())};
    }
    void ExpectReleased() const {
        EXPECT_FALSE(sample.Present());
        EXPECT_EQ(sample.loopStart, PipeSample::kNoFrame);
        EXPECT_EQ(sample.releaseStart, PipeSample::kNoFrame);
        EXPECT_EQ(sample.end, 0);
        EXPECT_EQ(sample.leftGain, 1.0f);
        EXPECT_EQ(sample.rightGain, 1.0f);
        EXPECT_FALSE(sample.percussive);
    }
    // Exactly one report, the message format filled with the file name.
    void ExpectOnlyReport(const std::string& format) const {
        std::string message = format;
        message.replace(message.find("%s"), 2, fileName);
        auto errors = sink.Errors();
        ASSERT_EQ(errors.size(), 1u) << format;
        EXPECT_EQ(errors[0].message, message);
        EXPECT_EQ(errors[0].attemptedAction, "Loading an organ pipe.");
    }

    test::TempDir dir;
    RecordingErrorSink sink;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    SampleLoadContext context{buffer, memory, SampleFormat::Stereo, SampleFormat::Mono, false, 1.0};
    PipeSample sample;
    std::string fileName;
};

struct Refusal {
    const char* message;
    std::function<std::string()> file;
};

TEST_F(SampleLoaderTest, EveryCheckRefusesWithItsOwnMessage) {
    const std::vector<Refusal> refusals = {
        {"Could not find the format chunk information in the sample %s.",
         [] { WavBuilder w = StandardPipe(); return Riff(w.DataChunk() + w.SamplerChunk() + w.CueChunk()); }},
        {"The format chunk information in the sample %s is incomplete.",
         [] { WavBuilder w = StandardPipe(); return Riff(Chunk("fmt ", std::string(14, '\1')) + w.DataChunk()); }},
        {"The sample %s has an unsupported number of channels - only mono/stereo samples are allowed.",
         [] { return StandardPipe(3).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid bit resolution).",
         [] { return StandardPipe().Bits(8).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid sample rate).",
         [] { return StandardPipe().Rate(48000).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid block alignment).",
         [] { return StandardPipe().BlockAlignment(4).BytesPerSecond(88200).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid bytes/sec).",
         [] { return StandardPipe().BytesPerSecond(88201).Build(); }},
        {"The sample %s is compressed.", [] { return StandardPipe().FormatTag(3).Build(); }},
        {"The wave data chunk could not be found in the sample %s.",
         [] { WavBuilder w = StandardPipe(); return Riff(w.FormatChunk() + w.SamplerChunk() + w.CueChunk()); }},
        {"The wave data chunk in the sample %s extends beyond the end of the file.",
         [] { WavBuilder w = StandardPipe(); return Riff(w.FormatChunk() + ChunkDeclaring("data", 18002, std::string(18000, '\0'))); }},
        {"Could not find the sampler (loop) chunk information in the sample %s.",
         [] { return StandardPipe().NoSampler().Build(); }},
        {"The sampler (loop) chunk information in the sample %s is incomplete.",
         [] { WavBuilder w = StandardPipe(); return Riff(w.FormatChunk() + w.DataChunk() + Chunk("smpl", std::string(35, '\0')) + w.CueChunk()); }},
        {"Could not find the cue points (markers) chunk information in the sample %s.",
         [] { return StandardPipe().NoCues().Build(); }},
        {"The cue points (markers) chunk information in the sample %s is incomplete.",
         [] { WavBuilder w = StandardPipe(); return Riff(w.FormatChunk() + w.DataChunk() + w.SamplerChunk() + Chunk("cue ", "ab")); }},
        {"The sample %s has no loop points defined.", [] { return StandardPipe().DeclaredLoops(0).Build(); }},
        {"Information for the first sample loop in the sample %s could not be found.",
         [] { WavBuilder w; return w.Pattern(9000).DeclaredLoops(1).Cue(7000).Build(); }},
        {"The first sample loop is not of the correct type in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000, 1).Cue(7000).Build(); }},
        {"The first sample loop does not repeat infinitely in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000, 0, 2).Cue(7000).Build(); }},
        {"The first sample loop is of zero length in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(0, 0).Cue(7000).Build(); }},
        {"The sample %s has no cue points (markers) defined.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000).Build(); }},
        {"Information for cue point number 3 (marker) in the sample %s could not be found.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000).Cue(1000).Cue(1000).DeclaredCues(3).Build(); }},
        {"No cue points (markers) were found that aren't equal to the start of the sample loop in the sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000).Cue(1000).Cue(1000).Build(); }},
        {"The first cue point (marker) that isn't equal to the sample loop in the sample %s is invalid.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 5000).Cue(9001).Build(); }},
        {"The first sample loop starts after its end in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(5001, 5000).Cue(7000).Build(); }},
        {"The first sample loop extends beyond the wave data in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(1000, 9000).Cue(7000).Build(); }},
    };
    for (const Refusal& refusal : refusals) {
        sink.Clear();
        ASSERT_TRUE(Load(StandardPipe().Build())) << "a good load first, so the refusal must release it";
        EXPECT_FALSE(Load(refusal.file())) << refusal.message;
        ExpectOnlyReport(refusal.message);
        ExpectReleased();
    }
}

TEST_F(SampleLoaderTest, ChecksRunInTheirOrder) {
    const std::vector<Refusal> firstWins = {
        {"The sample %s has an unsupported number of channels - only mono/stereo samples are allowed.",
         [] { return StandardPipe(0).Bits(8).Rate(48000).FormatTag(2).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid bit resolution).",
         [] { return StandardPipe().Bits(8).Rate(48000).FormatTag(2).Build(); }},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid sample rate).",
         [] { return StandardPipe().Rate(48000).FormatTag(2).Build(); }},
        {"The sample %s is compressed.",
         [] { WavBuilder w = StandardPipe(2).FormatTag(3); return Riff(w.FormatChunk()); }},
        {"Could not find the sampler (loop) chunk information in the sample %s.",
         [] { return StandardPipe().NoSampler().NoCues().Build(); }},
        {"The sample %s has no loop points defined.",
         [] { WavBuilder w; return w.Pattern(9000).DeclaredLoops(0).Build(); }},
        {"The first sample loop is not of the correct type in sample %s.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(0, 0, 1, 1).Build(); }},
        {"The sample %s has no cue points (markers) defined.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(9500, 9000).Build(); }},
        {"The first cue point (marker) that isn't equal to the sample loop in the sample %s is invalid.",
         [] { WavBuilder w; return w.Pattern(9000).Loop(9500, 9000).Cue(9001).Build(); }},
    };
    for (const Refusal& refusal : firstWins) {
        sink.Clear();
        EXPECT_FALSE(Load(refusal.file())) << refusal.message;
        ExpectOnlyReport(refusal.message);
    }

    // A stereo file in an organ whose samples are at most mono is refused
    // after its format checks, before the data is looked for.
    context.highestSampleFormat = SampleFormat::Mono;
    sink.Clear();
    WavBuilder stereo = StandardPipe(2);
    EXPECT_FALSE(Load(Riff(stereo.FormatChunk())));
    ExpectOnlyReport(
        "The sample %s has a greater number of channels than the HighestSampleFormat specified "
        "for the organ allows.");
}

TEST_F(SampleLoaderTest, LoopedPipeHoldsAttackLoopThenFadedRelease) {
    WavBuilder wav = StandardPipe();
    ASSERT_TRUE(Load(wav.Build()));
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(sample.loopStart, 1000);
    EXPECT_EQ(sample.releaseStart, 5001);
    EXPECT_EQ(sample.end, 7001);
    EXPECT_FALSE(sample.percussive);
    const std::vector<int16_t>& file = wav.SampleValues();
    std::vector<int16_t> held = Memory();
    ASSERT_EQ(held.size(), 7001u);
    for (size_t f = 0; f <= 5000; ++f) ASSERT_EQ(held[f], file[f]) << f;
    // Release frame j of the first 1024 is scaled by 32j/32767, truncated.
    EXPECT_EQ(held[5001], 0);
    EXPECT_EQ(held[5002], -29);      // file frame 7001: 1 x 60 - 30000 = -29940, x 32 / 32767
    EXPECT_EQ(held[5001 + 1023], -28592);        // file -28620 x 32736 / 32767
    for (size_t j = 0; j < 1024; ++j)
        ASSERT_EQ(held[5001 + j], file[7000 + j] * static_cast<int>(32 * j) / 32767) << j;
    for (size_t j = 1024; j < 2000; ++j) ASSERT_EQ(held[5001 + j], file[7000 + j]) << j;
}

TEST_F(SampleLoaderTest, MarkersMayStandInListsBesideOddSizedChunks) {
    WavBuilder wav = StandardPipe();
    wav.MarkersInList().Extra(Chunk("note", "odd")).Extra(List("INFO", Chunk("INAM", "Bourdon 8")));
    ASSERT_TRUE(Load(wav.Build()));
    EXPECT_EQ(sample.releaseStart, 5001);
    EXPECT_EQ(sample.end, 7001);
    EXPECT_EQ(Memory()[4000], wav.SampleValues()[4000]);
}

TEST_F(SampleLoaderTest, ShortReleasesAndFirstDifferingCue) {
    // The release marker is the first cue that differs from the loop start;
    // a marker at the very end leaves an empty release.
    WavBuilder wav;
    wav.Pattern(3000).Loop(100, 1999).Cue(100).Cue(3000).Cue(2500);
    ASSERT_TRUE(Load(wav.Build()));
    EXPECT_EQ(sample.releaseStart, 2000);
    EXPECT_EQ(sample.end, 2000);

    // A release shorter than the fade is faded over its whole length.
    WavBuilder shortRelease;
    shortRelease.Pattern(3000).Loop(100, 1999).Cue(2990);
    ASSERT_TRUE(Load(shortRelease.Build()));
    EXPECT_EQ(sample.end, 2010);
    std::vector<int16_t> held = Memory();
    for (size_t j = 0; j < 10; ++j)
        EXPECT_EQ(held[2000 + j], shortRelease.SampleValues()[2990 + j] * static_cast<int>(32 * j) / 32767);
}

TEST_F(SampleLoaderTest, PercussivePipeHoldsTheWholeFileUnfaded) {
    WavBuilder wav;
    wav.Pattern(2500);
    ASSERT_TRUE(Load(wav.Build(), true));
    EXPECT_TRUE(sample.percussive);
    EXPECT_EQ(sample.loopStart, PipeSample::kNoFrame);
    EXPECT_EQ(sample.releaseStart, PipeSample::kNoFrame);
    EXPECT_EQ(sample.end, 2500);
    EXPECT_EQ(Memory(), wav.SampleValues());

    // Loop markers do not matter to a percussive pipe; an odd byte left over
    // in the data chunk is no frame.
    WavBuilder odd;
    odd.Values({1, 2, 3});
    std::string bytes = Riff(odd.FormatChunk() + Chunk("data", std::string("\x05\x00\x07\x00\x09", 5)));
    ASSERT_TRUE(Load(bytes, true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{5, 7}));
}

TEST_F(SampleLoaderTest, GainIsTheProductOfTheThreeLevelsWithClampingAndTruncation) {
    WavBuilder wav;
    wav.Values({-32768, 32767, 0, -1, 1001, -1001, 3, -3});
    ASSERT_TRUE(Load(wav.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{-32767, 32767, 0, -1, 1001, -1001, 3, -3}));

    context.organAmplitudeLevel = 2.0;
    ASSERT_TRUE(Load(wav.Build(), true, 50, 0.5));  // 0.5 x 2.0 x 0.5
    EXPECT_EQ(Memory(), (std::vector<int16_t>{-16384, 16383, 0, 0, 500, -500, 1, -1}));

    context.organAmplitudeLevel = 10.0;
    ASSERT_TRUE(Load(wav.Build(), true, 100, 1.0));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{-32767, 32767, 0, -10, 10010, -10010, 30, -30}));
    context.organAmplitudeLevel = 100.0;
    ASSERT_TRUE(Load(wav.Build(), true, 100, 1.0));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{-32767, 32767, 0, -100, 32767, -32767, 300, -300}));
}

TEST_F(SampleLoaderTest, EveryValueConvertsAlikeWhereverItStandsInARun) {
    // Every 16-bit value, in runs long enough for the vector path and at
    // every alignment of the memory, against the rule as written: at least
    // 32767 gives 32767, below -32767 gives -32767, else truncation.
    std::vector<int16_t> all;
    for (int v = -32768; v <= 32767; ++v) all.push_back(static_cast<int16_t>(v));
    for (double stopLevel : {1.0, 0.7, 1.3, 2.0 / 3.0, 0.001}) {
        for (uint16_t channels : {1, 2}) {
            context.memorySampleFormat = channels == 2 ? SampleFormat::Stereo : SampleFormat::Mono;
            WavBuilder wav;
            wav.Channels(channels).Values(all).Loop(0, 6).Cue(7);
            ASSERT_TRUE(Load(wav.Build(), false, 100, stopLevel));
            std::vector<int16_t> held = Memory();
            ASSERT_EQ(held.size(), all.size());
            // Memory frame f holds file frame f; the release fade covers
            // frames 7 .. 1030.
            auto expected = [stopLevel](int16_t value) {
                double x = value * stopLevel;
                return x >= 32767.0 ? 32767 : x < -32767.0 ? -32767 : static_cast<int>(x);
            };
            for (size_t i = 0; i < held.size(); ++i) {
                bool faded = i >= channels * 7u && i < channels * 1031u;
                if (faded) continue;
                ASSERT_EQ(held[i], expected(all[i])) << all[i] << " x " << stopLevel;
            }
        }
    }
}

TEST_F(SampleLoaderTest, StereoAndMonoFilesInStereoMemory) {
    context.memorySampleFormat = SampleFormat::Stereo;
    WavBuilder stereo;
    stereo.Channels(2).Values({100, -200, 300, -32768, 5, 6});
    ASSERT_TRUE(Load(stereo.Build(), true, 50));
    EXPECT_EQ(sample.end, 3);
    EXPECT_EQ(Memory(), (std::vector<int16_t>{50, -100, 150, -16384, 2, 3}));

    WavBuilder mono;
    mono.Values({100, -32768, 7});
    ASSERT_TRUE(Load(mono.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{100, 100, -32767, -32767, 7, 7}));
    EXPECT_EQ(sample.leftGain, 1.0f);
    EXPECT_EQ(sample.rightGain, 1.0f);

    // A looped stereo pipe fades both channels of its release.
    WavBuilder looped = StandardPipe(2);
    ASSERT_TRUE(Load(looped.Build()));
    std::vector<int16_t> held = Memory();
    ASSERT_EQ(held.size(), 2u * 7001u);
    const std::vector<int16_t>& file = looped.SampleValues();
    EXPECT_EQ(held[2 * 5000 + 1], file[2 * 5000 + 1]);
    EXPECT_EQ(held[2 * 5001], 0);
    EXPECT_EQ(held[2 * 5001 + 1], 0);
    EXPECT_EQ(held[2 * 5011], file[2 * 7010] * 320 / 32767);
    EXPECT_EQ(held[2 * 5011 + 1], file[2 * 7010 + 1] * 320 / 32767);
}

TEST_F(SampleLoaderTest, StereoFileInMonoMemoryKeepsTheLouderChannelAtTheAverageLevel) {
    WavBuilder leftLouder;
    leftLouder.Channels(2).Values(Interleave({1000, -1000, 1000}, {500, -500, 500}));
    ASSERT_TRUE(Load(leftLouder.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{750, -750, 750}));  // gain x 750 / 1000
    EXPECT_EQ(sample.leftGain, 1.0f);
    EXPECT_EQ(sample.rightGain, 1.0f);

    WavBuilder rightLouder;
    rightLouder.Channels(2).Values(Interleave({200, 200}, {-1000, 1000}));
    ASSERT_TRUE(Load(rightLouder.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{-600, 600}));

    WavBuilder tie;
    tie.Channels(2).Values(Interleave({400, 400}, {-400, -400}));
    ASSERT_TRUE(Load(tie.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{400, 400}));
}

TEST_F(SampleLoaderTest, LoopedLevelsWeighBothSegmentsByLengthAndSkipTheGap) {
    // Frames 0..99 (attack and loop): left 1000, right 100. Frames 100..199
    // are cut out (right at full scale must not count). Frames 200..499
    // (release): left 0, right 600. Levels: left (1000x100)/400 = 250, right
    // (100x100 + 600x300)/400 = 475, so the right channel is kept with gain
    // (250 + 475) / 2 / 475.
    std::vector<int16_t> left(500, 0), right(500, 0);
    for (int f = 0; f < 100; ++f) left[f] = 1000, right[f] = 100;
    for (int f = 100; f < 200; ++f) right[f] = 32767;
    for (int f = 200; f < 500; ++f) right[f] = 600;
    WavBuilder wav;
    wav.Channels(2).Values(Interleave(left, right)).Loop(10, 99).Cue(10).Cue(200);
    ASSERT_TRUE(Load(wav.Build()));
    EXPECT_EQ(sample.end, 400);
    std::vector<int16_t> held = Memory();
    EXPECT_EQ(held[0], 76);   // 100 x 0.7631...
    EXPECT_EQ(held[99], 76);
    EXPECT_EQ(held[100], 0);  // fade starts from silence
    EXPECT_EQ(held[399], 457 * (32 * 299) / 32767);
    EXPECT_EQ(held[399], 133);
}

TEST_F(SampleLoaderTest, SimulatedStereoSetsGainsFromTheChannelLevels) {
    context.simulateStereo = true;
    WavBuilder leftLouder;
    leftLouder.Channels(2).Values(Interleave({1000, -1000}, {-500, 500}));
    ASSERT_TRUE(Load(leftLouder.Build(), true));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{1000, -1000}));
    EXPECT_EQ(sample.leftGain, 1.0f);
    EXPECT_EQ(sample.rightGain, 0.5f);

    WavBuilder rightLouder;
    rightLouder.Channels(2).Values(Interleave({250, 250}, {1000, 1000}));
    ASSERT_TRUE(Load(rightLouder.Build(), true, 50));
    EXPECT_EQ(Memory(), (std::vector<int16_t>{500, 500}));
    EXPECT_EQ(sample.leftGain, 0.25f);
    EXPECT_EQ(sample.rightGain, 1.0f);

    // Mono recordings keep centred gains.
    WavBuilder mono;
    mono.Values({10, 20});
    ASSERT_TRUE(Load(mono.Build(), true));
    EXPECT_EQ(sample.leftGain, 1.0f);
    EXPECT_EQ(sample.rightGain, 1.0f);
}

TEST_F(SampleLoaderTest, SilentStereoRecordingKeepsUnitGains) {
    WavBuilder silent;
    silent.Channels(2).Values(std::vector<int16_t>(8, 0));
    for (bool simulate : {false, true}) {
        context.simulateStereo = simulate;
        ASSERT_TRUE(Load(silent.Build(), true));
        EXPECT_EQ(Memory(), std::vector<int16_t>(4, 0));
        EXPECT_EQ(sample.leftGain, 1.0f);
        EXPECT_EQ(sample.rightGain, 1.0f);
    }
}

TEST_F(SampleLoaderTest, ExactlyFullBufferLoadsAndOneByteMoreIsRefused) {
    // 12 bytes of RIFF header, 24 of fmt, 8 of data header.
    const size_t frames = (kSampleLoadingBufferBytes - 44) / 2;
    WavBuilder wav;
    wav.Values(std::vector<int16_t>(frames, -32768)).NoSampler().NoCues();
    std::string bytes = wav.Build();
    ASSERT_EQ(bytes.size(), kSampleLoadingBufferBytes);
    ASSERT_TRUE(Load(bytes, true));
    EXPECT_EQ(sample.end, static_cast<int64_t>(frames));
    EXPECT_EQ(Memory().back(), -32767);

    // A read failure is followed by the pipe's own report.
    EXPECT_FALSE(Load(bytes + "x", true));
    auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].message, "The sample " + fileName + " exceeds the (fixed) maximum size.");
    EXPECT_EQ(errors[0].attemptedAction, "Loading a sample.");
    EXPECT_EQ(errors[1].message, "Failed to load organ pipe sample " + fileName + ".");
    EXPECT_EQ(errors[1].attemptedAction, "Loading an organ pipe.");
    ExpectReleased();
}

TEST_F(SampleLoaderTest, RefusedAllocationIsReported) {
    SampleMemory small(4096, 4096);
    SampleLoadContext tight{buffer, small, SampleFormat::Mono, SampleFormat::Mono, false, 1.0};
    WavBuilder fits, tooLong;
    fits.Pattern(2048);
    tooLong.Pattern(2049);
    fileName = dir.Write("fits.wav", fits.Build());
    EXPECT_TRUE(LoadPipeSample(tight, sample, fileName.c_str(), 100, true, 1.0));
    fileName = dir.Write("long.wav", tooLong.Build());
    PipeSample other;
    EXPECT_FALSE(LoadPipeSample(tight, other, fileName.c_str(), 100, true, 1.0));
    ExpectOnlyReport("Memory could not be allocated for the sample storage of sample %s.");
    EXPECT_FALSE(other.Present());
}

}  // namespace
}  // namespace tessaline
