#include "samples/SampleLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/virtual/RecordingErrorSink.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::Chunk;
using test::ChunkDeclaring;
using test::Riff;
using test::WavBuilder;
using Values = std::vector<int16_t>;

// 9000 frames, loop 1000..5000, the release marker at 7000 after a cue point
// at the loop start.
WavBuilder StandardPipe(uint16_t channels = 1) {
    WavBuilder wav;
    wav.Channels(channels).Pattern(9000).Loop(1000, 5000).Cue(1000).Cue(7000);
    return wav;
}

// 9000 frames with the given loop and no cue points.
WavBuilder Looped(uint32_t start, uint32_t end) {
    WavBuilder wav;
    wav.Pattern(9000).Loop(start, end);
    return wav;
}

WavBuilder Stereo(const Values& left, const Values& right) {
    Values values;
    for (size_t i = 0; i < left.size(); ++i) values.insert(values.end(), {left[i], right[i]});
    WavBuilder wav;
    wav.Channels(2).Values(values);
    return wav;
}

class SampleLoaderTest : public ::testing::Test {
protected:
    bool Load(const WavBuilder& wav, bool percussive = false, uint32_t volume = 100,
              double stopLevel = 1.0) {
        return LoadBytes(wav.Build(), percussive, volume, stopLevel);
    }
    bool LoadBytes(const std::string& bytes, bool percussive = false, uint32_t volume = 100,
                   double stopLevel = 1.0) {
        fileName = dir.Write("pipe.wav", bytes);
        return LoadPipeSample(context, sample, fileName.c_str(), volume, percussive, stopLevel);
    }
    Values Memory() const {
        const int64_t channels = context.memorySampleFormat == SampleFormat::Stereo ? 2 : 1;
        return {sample.memory, sample.memory + sample.end * channels};
    }
    // Exactly one report: the message with %s filled by the file name.
    void ExpectOnlyReport(const std::string& format) const {
        std::string message = format;
        message.replace(message.find("%s"), 2, fileName);
        ASSERT_EQ(sink.Count(), 1u);
        EXPECT_EQ(sink.Errors()[0].message, message);
        EXPECT_EQ(sink.Errors()[0].attemptedAction, "Loading an organ pipe.");
    }

    test::TempDir dir;
    RecordingErrorSink sink;
    SampleLoadingBuffer buffer;
    SampleMemory memory;
    SampleLoadContext context{buffer, memory, SampleFormat::Stereo, SampleFormat::Mono, false, 1.0};
    PipeSample sample;
    std::string fileName;
};

// One file per message shape; a file with two faults reports the one checked
// first.
TEST_F(SampleLoaderTest, EveryCheckRefusesWithItsOwnMessageAndReleasesTheSample) {
    const WavBuilder good = StandardPipe();
    const std::pair<const char*, std::string> refusals[] = {
        {"Could not find the format chunk information in the sample %s.",
         Riff(good.DataChunk() + good.SamplerChunk())},
        {"The cue points (markers) chunk information in the sample %s is incomplete.",
         Riff(good.FormatChunk() + good.DataChunk() + good.SamplerChunk() + Chunk("cue ", "ab"))},
        {"The sample %s has an unsupported number of channels - only mono/stereo samples are "
         "allowed.", StandardPipe(3).Bits(8).Build()},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid bytes/sec).",
         StandardPipe().BytesPerSecond(88201).FormatTag(3).Build()},
        {"The sample %s is compressed.", StandardPipe().FormatTag(3).Build()},
        {"The wave data chunk could not be found in the sample %s.",
         Riff(good.FormatChunk() + good.SamplerChunk())},
        {"The wave data chunk in the sample %s extends beyond the end of the file.",
         Riff(good.FormatChunk() + ChunkDeclaring("data", 18002, std::string(18000, '\0')))},
        {"The sample %s has no loop points defined.", StandardPipe().DeclaredLoops(0).Build()},
        {"Information for the first sample loop in the sample %s could not be found.",
         WavBuilder().Pattern(9000).DeclaredLoops(1).Cue(7000).Build()},
        {"The first sample loop is of zero length in sample %s.", Looped(0, 0).Cue(7000).Build()},
        {"The first sample loop starts after its end in sample %s.",
         Looped(5001, 5000).Cue(7000).Build()},
        {"The first sample loop extends beyond the wave data in sample %s.",
         Looped(1000, 9000).Cue(7000).Build()},
        {"Information for cue point number 3 (marker) in the sample %s could not be found.",
         Looped(1000, 5000).Cue(1000).Cue(1000).DeclaredCues(3).Build()},
        {"No cue points (markers) were found that aren't equal to the start of the sample loop in "
         "the sample %s.", Looped(1000, 5000).Cue(1000).Cue(1000).Build()},
        {"The first cue point (marker) that isn't equal to the sample loop in the sample %s is "
         "invalid.", Looped(1000, 5000).Cue(9001).Build()},
    };
    for (const auto& [message, file] : refusals) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(Load(good));
        sink.Clear();
        EXPECT_FALSE(LoadBytes(file));
        ExpectOnlyReport(message);
        EXPECT_FALSE(sample.Present());
        EXPECT_EQ(sample.end, 0);
        EXPECT_EQ(sample.releaseStart, PipeSample::kNoFrame);
    }
    // Stereo in an organ whose samples are at most mono: refused before the
    // data is looked for.
    context.highestSampleFormat = SampleFormat::Mono;
    sink.Clear();
    EXPECT_FALSE(LoadBytes(Riff(StandardPipe(2).FormatChunk())));
    ExpectOnlyReport("The sample %s has a greater number of channels than the HighestSampleFormat "
                     "specified for the organ allows.");
}

TEST_F(SampleLoaderTest, LoopedPipeHoldsAttackLoopThenFadedRelease) {
    WavBuilder wav = StandardPipe();
    ASSERT_TRUE(Load(wav));
    EXPECT_EQ(sample.loopStart, 1000);
    EXPECT_EQ(sample.releaseStart, 5001);
    EXPECT_EQ(sample.end, 7001);
    const Values& file = wav.SampleValues();
    Values held = Memory();
    ASSERT_EQ(held.size(), 7001u);
    for (size_t f = 0; f <= 5000; ++f) ASSERT_EQ(held[f], file[f]) << f;
    // Release frame j of the first 1024 is scaled by 32j/32767, truncated.
    for (size_t j = 0; j < 1024; ++j)
        ASSERT_EQ(held[5001 + j], file[7000 + j] * static_cast<int>(32 * j) / 32767) << j;
    for (size_t j = 1024; j < 2000; ++j) ASSERT_EQ(held[5001 + j], file[7000 + j]) << j;

    // The release marker is the first cue other than the loop start; one at
    // the very end leaves an empty release.
    wav = WavBuilder();
    ASSERT_TRUE(Load(wav.Pattern(3000).Loop(100, 1999).Cue(100).Cue(3000).Cue(2500)));
    EXPECT_EQ(sample.releaseStart, 2000);
    EXPECT_EQ(sample.end, 2000);
    // A release shorter than the fade is faded over its whole length.
    wav = WavBuilder();
    ASSERT_TRUE(Load(wav.Pattern(3000).Loop(100, 1999).Cue(2990)));
    EXPECT_EQ(sample.end, 2010);
    EXPECT_EQ(Memory()[2009], wav.SampleValues()[2999] * (32 * 9) / 32767);
}

TEST_F(SampleLoaderTest, GainIsTheProductOfTheThreeLevelsClampedAndTruncated) {
    WavBuilder wav;
    wav.Values({-32768, 32767, 0, -1, 1001, -1001, 3, -3});
    ASSERT_TRUE(Load(wav, true));  // percussive: the whole file, unfaded
    EXPECT_EQ(sample.loopStart, PipeSample::kNoFrame);
    EXPECT_EQ(Memory(), (Values{-32767, 32767, 0, -1, 1001, -1001, 3, -3}));
    context.organAmplitudeLevel = 2.0;
    ASSERT_TRUE(Load(wav, true, 50, 0.5));  // 0.5 x 2.0 x 0.5
    EXPECT_EQ(Memory(), (Values{-16384, 16383, 0, 0, 500, -500, 1, -1}));
    context.organAmplitudeLevel = 100.0;
    ASSERT_TRUE(Load(wav, true));
    EXPECT_EQ(Memory(), (Values{-32767, 32767, 0, -100, 32767, -32767, 300, -300}));

    // Every 16-bit value, in runs long enough for the vector path, converts
    // as the rule says: at least 32767 gives 32767, below -32767 gives
    // -32767, else truncation.
    Values all;
    for (int v = -32768; v <= 32767; ++v) all.push_back(static_cast<int16_t>(v));
    context.organAmplitudeLevel = 1.0;
    for (double stopLevel : {0.7, 1.3, 2.0 / 3.0}) {
        for (uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << stopLevel << " x " << channels);
            context.memorySampleFormat = channels == 2 ? SampleFormat::Stereo : SampleFormat::Mono;
            wav = WavBuilder();
            ASSERT_TRUE(Load(wav.Channels(channels).Values(all).Loop(0, 6).Cue(7), false, 100,
                             stopLevel));
            Values held = Memory();
            ASSERT_EQ(held.size(), all.size());
            for (size_t i = channels * 1031u; i < held.size(); ++i) {  // past the release fade
                const double x = all[i] * stopLevel;
                const int expected = x >= 32767.0 ? 32767 : x < -32767.0 ? -32767 : static_cast<int>(x);
                ASSERT_EQ(held[i], expected) << i;
            }
        }
    }
}

TEST_F(SampleLoaderTest, ChannelsFollowTheMemoryFormat) {
    context.memorySampleFormat = SampleFormat::Stereo;
    WavBuilder stereo;
    ASSERT_TRUE(Load(stereo.Channels(2).Values({100, -200, 300, -32768}), true, 50));
    EXPECT_EQ(Memory(), (Values{50, -100, 150, -16384}));
    WavBuilder mono;
    ASSERT_TRUE(Load(mono.Values({100, -32768}), true));
    EXPECT_EQ(Memory(), (Values{100, 100, -32767, -32767}));
    // A looped stereo pipe fades both channels of its release.
    const WavBuilder looped = StandardPipe(2);
    ASSERT_TRUE(Load(looped));
    const Values& file = looped.SampleValues();
    EXPECT_EQ(Memory()[2 * 5011], file[2 * 7010] * 320 / 32767);
    EXPECT_EQ(Memory()[2 * 5011 + 1], file[2 * 7010 + 1] * 320 / 32767);

    // Mono memory keeps the louder channel at the average of the two levels;
    // with simulated stereo it keeps the louder at full level and pans.
    struct Row {
        bool simulate;
        WavBuilder wav;
        Values held;
        float left, right;
    } rows[] = {
        {false, Stereo({1000, -1000}, {500, -500}), {750, -750}, 1, 1},
        {false, Stereo({200, 200}, {-1000, 1000}), {-600, 600}, 1, 1},
        {false, Stereo({400, 400}, {-400, -400}), {400, 400}, 1, 1},
        {false, Stereo({0, 0}, {0, 0}), {0, 0}, 1, 1},
        {true, Stereo({1000, -1000}, {-500, 500}), {1000, -1000}, 1, 0.5f},
        {true, Stereo({250, 250}, {1000, 1000}), {1000, 1000}, 0.25f, 1},
        {true, Stereo({0, 0}, {0, 0}), {0, 0}, 1, 1},
    };
    context.memorySampleFormat = SampleFormat::Mono;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(i);
        context.simulateStereo = row.simulate;
        ASSERT_TRUE(Load(row.wav, true));
        EXPECT_EQ(Memory(), row.held);
        EXPECT_EQ(sample.leftGain, row.left);
        EXPECT_EQ(sample.rightGain, row.right);
    }
}

TEST_F(SampleLoaderTest, LoopedLevelsWeighBothSegmentsByLengthAndSkipTheGap) {
    // Frames 0..99: left 1000, right 100. Frames 100..199 are cut out (right
    // at full scale must not count). Frames 200..499: left 0, right 600.
    // Levels: left 100000/400 = 250, right (10000 + 180000)/400 = 475, so the
    // right channel is kept with gain (250 + 475) / 2 / 475.
    Values left(500, 0), right(500, 600);
    std::fill_n(left.begin(), 100, 1000);
    std::fill_n(right.begin(), 100, 100);
    std::fill_n(right.begin() + 100, 100, 32767);
    WavBuilder wav = Stereo(left, right);
    ASSERT_TRUE(Load(wav.Loop(10, 99).Cue(10).Cue(200)));
    EXPECT_EQ(sample.end, 400);
    const Values held = Memory();
    EXPECT_EQ(held[99], 76);  // 100 x 0.7631...
    EXPECT_EQ(held[100], 0);  // the fade starts from silence
    EXPECT_EQ(held[399], 133);  // 457 x (32 x 299) / 32767
}

TEST_F(SampleLoaderTest, SizeBoundariesOfTheBufferAndTheMemory) {
    // 12 bytes of RIFF header, 24 of fmt, 8 of data header.
    const size_t frames = (kSampleLoadingBufferBytes - 44) / 2;
    WavBuilder wav;
    const std::string bytes = wav.Values(Values(frames, -32768)).NoSampler().NoCues().Build();
    ASSERT_EQ(bytes.size(), kSampleLoadingBufferBytes);
    ASSERT_TRUE(LoadBytes(bytes, true));
    EXPECT_EQ(Memory().back(), -32767);
    EXPECT_FALSE(LoadBytes(bytes + "x", true));
    EXPECT_EQ(sink.Messages(),
              (std::vector<std::string>{
                  "The sample " + fileName + " exceeds the (fixed) maximum size.",
                  "Failed to load organ pipe sample " + fileName + "."}));
    EXPECT_EQ(sink.Errors()[0].attemptedAction, "Loading a sample.");
    EXPECT_FALSE(sample.Present());
    // An odd byte left over in the data chunk is no frame.
    WavBuilder odd;
    odd.Values({1});
    ASSERT_TRUE(LoadBytes(Riff(odd.FormatChunk() + Chunk("data", std::string("\5\0\7\0\11", 5))),
                          true));
    EXPECT_EQ(Memory(), (Values{5, 7}));

    // The memory's capacity is 2048 frames: they fit, one more does not.
    SampleMemory small(4096, 4096);
    SampleLoadContext tight{buffer, small, SampleFormat::Mono, SampleFormat::Mono, false, 1.0};
    WavBuilder fits, tooLong;
    fileName = dir.Write("fits.wav", fits.Pattern(2048).Build());
    EXPECT_TRUE(LoadPipeSample(tight, sample, fileName.c_str(), 100, true, 1.0));
    sink.Clear();
    fileName = dir.Write("long.wav", tooLong.Pattern(1).Build());
    EXPECT_FALSE(LoadPipeSample(tight, sample, fileName.c_str(), 100, true, 1.0));
    ExpectOnlyReport("Memory could not be allocated for the sample storage of sample %s.");
    EXPECT_FALSE(sample.Present());
}

}  // namespace
}  // namespace tessaline
