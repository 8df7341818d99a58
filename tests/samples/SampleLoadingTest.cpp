#include "samples/SampleLoader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/virtual/RecordingErrorSink.h"
#include "samples/WavFile.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::Chunk;
using test::Riff;
using test::WavBuilder;
using Values = std::vector<int16_t>;

// 9000 frames, loop 1000..5000, cue points at the loop start and at 7000.
WavBuilder StandardPipe(uint16_t channels = 1) {
    WavBuilder wav;
    wav.Channels(channels).Pattern(9000).Loop(1000, 5000).Cue(1000).Cue(7000);
    return wav;
}

WavBuilder Recording(uint16_t channels, Values values) {
    WavBuilder wav;
    wav.Channels(channels).Values(std::move(values));
    return wav;
}

class SampleLoaderTest : public ::testing::Test {
protected:
    bool Load(const std::string& bytes, bool percussive = false, uint32_t volume = 100,
              double stopLevel = 1.0) {
        fileName = dir.Write("pipe.wav", bytes);
        return LoadPipeSample(context, sample, fileName.c_str(), volume, percussive, stopLevel);
    }
    Values Memory() const {
        const int64_t channels = context.memorySampleFormat == SampleFormat::Stereo ? 2 : 1;
        return {sample.memory, sample.memory + sample.end * channels};
    }
    // The reports as "message [action]" lines, the file name shown as %s.
    std::vector<std::string> Reports() const {
        std::vector<std::string> lines;
        for (const auto& e : sink.Errors()) {
            std::string message = e.message;
            message.replace(message.find(fileName), fileName.size(), "%s");
            lines.push_back(message + " [" + e.attemptedAction + "]");
        }
        return lines;
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
// first. A refused load leaves the sample released.
TEST_F(SampleLoaderTest, EveryCheckRefusesWithItsOwnMessage) {
    const WavBuilder good = StandardPipe();
    auto looped = [](uint32_t start, uint32_t end) {
        WavBuilder wav;
        wav.Pattern(9000).Loop(start, end);
        return wav;
    };
    const std::pair<const char*, std::string> refusals[] = {
        {"Could not find the format chunk information in the sample %s.",
         Riff(good.DataChunk() + good.SamplerChunk())},
        {"The cue points (markers) chunk information in the sample %s is incomplete.",
         Riff(good.FormatChunk() + good.DataChunk() + good.SamplerChunk() + Chunk("cue ", "ab"))},
        {"The sample %s has an unsupported number of channels - only mono/stereo samples are "
         "allowed.", StandardPipe(3).Bits(8).Build()},
        {"The sample %s is not in 44.1 kHz 16-bit format (invalid bytes/sec).",
         StandardPipe().BytesPerSecond(88201).FormatTag(3).Build()},
        {"The wave data chunk in the sample %s extends beyond the end of the file.",
         Riff(good.FormatChunk() + test::ChunkDeclaring("data", 18002, std::string(18000, 0)))},
        {"The first sample loop starts after its end in sample %s.",
         looped(5001, 5000).Cue(7000).Build()},
        {"The first sample loop extends beyond the wave data in sample %s.",
         looped(1000, 9000).Cue(7000).Build()},
        {"Information for cue point number 3 (marker) in the sample %s could not be found.",
         looped(1000, 5000).Cue(1000).Cue(1000).DeclaredCues(3).Build()},
        {"No cue points (markers) were found that aren't equal to the start of the sample loop in "
         "the sample %s.", looped(1000, 5000).Cue(1000).Cue(1000).Build()},
        {"The first cue point (marker) that isn't equal to the sample loop in the sample %s is "
         "invalid.", looped(1000, 5000).Cue(9001).Build()},
    };
    for (const auto& [message, file] : refusals) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(Load(good.Build()));
        sink.Clear();
        EXPECT_FALSE(Load(file));
        EXPECT_EQ(Reports(),
                  std::vector<std::string>{std::string(message) + " [Loading an organ pipe.]"});
        EXPECT_FALSE(sample.Present());
        EXPECT_EQ(sample.end, 0);
    }
}

TEST_F(SampleLoaderTest, LoopedPipeHoldsAttackLoopThenFadedRelease) {
    const WavBuilder wav = StandardPipe();
    ASSERT_TRUE(Load(wav.Build()));
    EXPECT_EQ(sample.loopStart, 1000);
    EXPECT_EQ(sample.releaseStart, 5001);
    const Values& file = wav.SampleValues();
    const Values held = Memory();
    ASSERT_EQ(held.size(), 7001u);
    for (size_t f = 0; f <= 5000; ++f) ASSERT_EQ(held[f], file[f]) << f;
    // Release frame j of the first 1024 is scaled by 32j/32767, truncated.
    for (size_t j = 0; j < 2000; ++j) {
        const int fade = j < 1024 ? static_cast<int>(32 * j) : 32767;
        ASSERT_EQ(held[5001 + j], file[7000 + j] * fade / 32767) << j;
    }

    // The release marker is the first cue other than the loop start; one at
    // the very end leaves an empty release, and a release shorter than the
    // fade is faded over its whole length.
    WavBuilder empty, short_;
    ASSERT_TRUE(Load(empty.Pattern(3000).Loop(100, 1999).Cue(100).Cue(3000).Cue(2500).Build()));
    EXPECT_EQ(sample.end, 2000);
    ASSERT_TRUE(Load(short_.Pattern(3000).Loop(100, 1999).Cue(2990).Build()));
    EXPECT_EQ(sample.end, 2010);
    EXPECT_EQ(Memory()[2009], short_.SampleValues()[2999] * (32 * 9) / 32767);
}

TEST_F(SampleLoaderTest, GainIsTheProductOfTheThreeLevelsClampedAndTruncated) {
    const std::string bytes = Recording(1, {-32768, 32767, 0, -1, 1001, -1001, 3, -3}).Build();
    context.organAmplitudeLevel = 2.0;
    ASSERT_TRUE(Load(bytes, true, 50, 0.5));  // percussive: the whole file, unfaded
    EXPECT_EQ(Memory(), (Values{-16384, 16383, 0, 0, 500, -500, 1, -1}));

    // Every 16-bit value, in runs long enough for the vector path, converts
    // as the rule says: at least 32767 gives 32767, below -32767 gives
    // -32767, else truncation.
    Values all;
    for (int v = -32768; v <= 32767; ++v) all.push_back(static_cast<int16_t>(v));
    context.organAmplitudeLevel = 1.0;
    for (double stopLevel : {1.0, 0.7, 1.3}) {
        for (uint16_t channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << stopLevel << " x " << channels);
            context.memorySampleFormat = channels == 2 ? SampleFormat::Stereo : SampleFormat::Mono;
            ASSERT_TRUE(Load(Recording(channels, all).Loop(0, 6).Cue(7).Build(), false, 100,
                             stopLevel));
            const Values held = Memory();
            ASSERT_EQ(held.size(), all.size());
            for (size_t i = channels * 1031u; i < held.size(); ++i) {  // past the release fade
                const double x = all[i] * stopLevel;
                ASSERT_EQ(held[i], x >= 32767 ? 32767 : x < -32767 ? -32767 : static_cast<int>(x));
            }
        }
    }
}

TEST_F(SampleLoaderTest, ChannelsFollowTheMemoryFormat) {
    context.memorySampleFormat = SampleFormat::Stereo;
    ASSERT_TRUE(Load(Recording(1, {100, -32768}).Build(), true));
    EXPECT_EQ(Memory(), (Values{100, 100, -32767, -32767}));
    // A looped stereo pipe fades both channels of its release.
    const WavBuilder stereo = StandardPipe(2);
    ASSERT_TRUE(Load(stereo.Build()));
    EXPECT_EQ(Memory()[2 * 5011], stereo.SampleValues()[2 * 7010] * 320 / 32767);
    EXPECT_EQ(Memory()[2 * 5011 + 1], stereo.SampleValues()[2 * 7010 + 1] * 320 / 32767);

    // Mono memory keeps the louder channel at the average of the two levels;
    // with simulated stereo it keeps the louder at full level and pans.
    const struct {
        bool simulate;
        Values file, held;
        float left, right;
    } rows[] = {
        {false, {1000, 500, -1000, -500}, {750, -750}, 1, 1},
        {false, {0, 0, 0, 0}, {0, 0}, 1, 1},
        {true, {1000, -500, -1000, 500}, {1000, -1000}, 1, 0.5f},
        {true, {250, 1000, 250, 1000}, {1000, 1000}, 0.25f, 1},
        {true, {0, 0, 0, 0}, {0, 0}, 1, 1},
    };
    context.memorySampleFormat = SampleFormat::Mono;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.simulate << " " << row.file[0]);
        context.simulateStereo = row.simulate;
        ASSERT_TRUE(Load(Recording(2, row.file).Build(), true));
        EXPECT_EQ(Memory(), row.held);
        EXPECT_EQ(sample.leftGain, row.left);
        EXPECT_EQ(sample.rightGain, row.right);
    }
}

TEST_F(SampleLoaderTest, SizeBoundariesOfTheBufferAndTheMemory) {
    // 12 bytes of RIFF header, 24 of fmt, 8 of data header.
    const size_t frames = (kSampleLoadingBufferBytes - 44) / 2;
    WavBuilder full;
    const std::string bytes = full.Values(Values(frames, 9)).NoSampler().NoCues().Build();
    ASSERT_EQ(bytes.size(), kSampleLoadingBufferBytes);
    ASSERT_TRUE(Load(bytes, true));
    EXPECT_EQ(sample.end, static_cast<int64_t>(frames));
    EXPECT_FALSE(Load(bytes + "x", true));
    EXPECT_EQ(Reports(), (std::vector<std::string>{
                             "The sample %s exceeds the (fixed) maximum size. [Loading a sample.]",
                             "Failed to load organ pipe sample %s. [Loading an organ pipe.]"}));
    // An odd byte left over in the data chunk is no frame.
    const std::string odd = Riff(full.FormatChunk() + Chunk("data", std::string("\5\0\7\0\11", 5)));
    ASSERT_TRUE(Load(odd, true));
    EXPECT_EQ(Memory(), (Values{5, 7}));

    // A memory of 2048 frames: they fit, one more does not.
    SampleMemory small(4096, 4096);
    SampleLoadContext tight{buffer, small, SampleFormat::Mono, SampleFormat::Mono, false, 1.0};
    sink.Clear();
    for (uint32_t length : {2048, 1}) {
        WavBuilder wav;
        fileName = dir.Write("pipe" + std::to_string(length) + ".wav", wav.Pattern(length).Build());
        EXPECT_EQ(LoadPipeSample(tight, sample, fileName.c_str(), 100, true, 1.0), length == 2048);
    }
    EXPECT_EQ(Reports(), std::vector<std::string>{"Memory could not be allocated for the sample "
                                                  "storage of sample %s. "
                                                  "[Loading an organ pipe.]"});
    EXPECT_FALSE(sample.Present());
}

TEST_F(SampleLoaderTest, FilesThatAreNoRiffWaveOrCannotBeReadAreReported) {
    const std::string good = dir.Write("good.wav", Riff(""));
    const std::string cut = dir.Write("cut.wav", "RIFF");
    const std::string rifx = dir.Write("rifx.wav", "RIFX" + test::Le32(4) + "WAVE");
    const std::string missing = dir.File("none.wav");
    const std::string folder = dir.File("folder.wav");
    const std::string fifo = dir.File("pipe.wav");
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Each refusal leaves no file behind; the named pipe is refused without
    // waiting for a writer.
    for (const std::string& name : {cut, rifx, missing, folder, fifo}) {
        ASSERT_TRUE(ReadSampleFile(buffer, good.c_str()));
        EXPECT_FALSE(ReadSampleFile(buffer, name.c_str()));
        EXPECT_FALSE(buffer.Valid());
    }
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{
                                   "The file " + cut + " is not in Microsoft RIFF format.",
                                   "The file " + rifx + " is not in Microsoft RIFF format.",
                                   "The sample file " + missing + " could not be opened.",
                                   "The sample file " + folder +
                                       " could not all be read successfully.",
                                   "The file " + fifo + " is not in Microsoft RIFF format."}));
    EXPECT_EQ(sink.Errors()[0].attemptedAction, "Loading a sample.");
}

}  // namespace
}  // namespace tessaline
