#include "samples/WavFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/virtual/RecordingErrorSink.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

namespace tessaline {
namespace {

using test::Chunk;
using test::ChunkDeclaring;
using test::Le32;
using test::List;
using test::Riff;

class WavFileTest : public ::testing::Test {
protected:
    // Writes the bytes as a file and reads it into the buffer.
    bool Read(const std::string& bytes, const char* name = "sample.wav") {
        path = dir.Write(name, bytes);
        return ReadSampleFile(buffer, path.c_str());
    }
    std::string ChunkText(const WavChunk& chunk) const {
        return {reinterpret_cast<const char*>(chunk.data), chunk.available};
    }

    test::TempDir dir;
    RecordingErrorSink sink;
    SampleLoadingBuffer buffer;
    std::string path;
};

TEST_F(WavFileTest, ReadRefusesWhatIsNotARiffWaveFile) {
    const std::string valid = Riff(Chunk("junk", "12"));
    for (const std::string& bytes :
         {std::string("RIFF"), std::string("RIFX") + Le32(4) + "WAVE",
          std::string("riff") + Le32(4) + "WAVE", std::string("RIFF") + Le32(4) + "wave",
          std::string()}) {
        sink.Clear();
        ASSERT_TRUE(Read(valid));
        EXPECT_FALSE(Read(bytes));
        EXPECT_FALSE(buffer.Valid());
        ASSERT_EQ(sink.Count(), 1u) << bytes;
        EXPECT_EQ(sink.Errors()[0].message, "The file " + path + " is not in Microsoft RIFF format.");
        EXPECT_EQ(sink.Errors()[0].attemptedAction, "Loading a sample.");
    }
}

TEST_F(WavFileTest, ReadReportsFilesThatCannotBeOpenedOrRead) {
    std::string missing = dir.File("none.wav");
    EXPECT_FALSE(ReadSampleFile(buffer, missing.c_str()));
    std::filesystem::create_directories(dir.File("folder.wav"));
    std::string folder = dir.File("folder.wav");
    EXPECT_FALSE(ReadSampleFile(buffer, folder.c_str()));
    EXPECT_EQ(sink.Messages(),
              (std::vector<std::string>{
                  "The sample file " + missing + " could not be opened.",
                  "The sample file " + folder + " could not all be read successfully."}));
}

TEST_F(WavFileTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadSampleFile(buffer, fifo.c_str()));
    EXPECT_EQ(sink.Messages(),
              (std::vector<std::string>{"The file " + fifo + " is not in Microsoft RIFF format."}));
}

TEST_F(WavFileTest, FilesUpToTheBufferCapacityAreRead) {
    std::string payload(kSampleLoadingBufferBytes - 20, 'x');
    std::string exact = Riff(Chunk("junk", payload));
    ASSERT_EQ(exact.size(), kSampleLoadingBufferBytes);
    EXPECT_TRUE(Read(exact));
    EXPECT_EQ(buffer.File().size(), kSampleLoadingBufferBytes);
    EXPECT_EQ(sink.Count(), 0u);

    EXPECT_FALSE(Read(exact + "y"));
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"The sample " + path +
                                                         " exceeds the (fixed) maximum size."}));
}

TEST_F(WavFileTest, AbsentBufferIsReportedWhenCreatedAndWhenUsed) {
    SampleLoadingBuffer impossible(size_t{1} << 62);
    EXPECT_FALSE(impossible.Present());
    path = dir.Write("a.wav", Riff(""));
    EXPECT_FALSE(ReadSampleFile(impossible, path.c_str()));
    auto errors = sink.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].message, "Memory could not be allocated for the sample buffer.");
    EXPECT_EQ(errors[0].attemptedAction, "Creating sample loading buffer.");
    EXPECT_EQ(errors[1].message, "Could not load sample " + path +
                                     " because memory had not been successfully allocated.");
    EXPECT_EQ(errors[1].attemptedAction, "Loading a sample.");
}

TEST_F(WavFileTest, FindChunkSkipsPadBytesAndStepsIntoLists) {
    ASSERT_TRUE(Read(Riff(Chunk("odd ", "abc") + List("INFO", Chunk("INAM", "Flute")) +
                          Chunk("data", "first") +
                          List("adtl", Chunk("labl", "x") + Chunk("data", "second!")) +
                          Chunk("tail", ""))));
    auto odd = FindChunk(buffer, "odd ", 1);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->size, 3u);
    EXPECT_EQ(ChunkText(*odd), "abc");
    auto name = FindChunk(buffer, "INAM", 1);
    ASSERT_TRUE(name);
    EXPECT_EQ(ChunkText(*name), "Flute");
    auto first = FindChunk(buffer, "data", 1);
    auto second = FindChunk(buffer, "data", 2);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(ChunkText(*first), "first");
    EXPECT_EQ(ChunkText(*second), "second!");
    EXPECT_TRUE(FindChunk(buffer, "tail", 1));
    EXPECT_FALSE(FindChunk(buffer, "data", 3));
    EXPECT_FALSE(FindChunk(buffer, "dat", 1));
    EXPECT_FALSE(FindChunk(buffer, "DATA", 1));
}

TEST_F(WavFileTest, ChunksRunningPastTheFileAreBoundedByIt) {
    ASSERT_TRUE(Read(Riff(Chunk("fmt ", "1234") + ChunkDeclaring("data", 1000, "abcd"))));
    auto data = FindChunk(buffer, "data", 1);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size, 1000u);
    EXPECT_EQ(data->available, 4u);
    EXPECT_FALSE(data->Complete());

    // A skipped chunk that claims more than the file ends the walk; a chunk
    // header cut short is no chunk.
    ASSERT_TRUE(Read(Riff(ChunkDeclaring("junk", 0xFFFFFFF0u, "") + Chunk("data", "ab"))));
    EXPECT_FALSE(FindChunk(buffer, "data", 1));
    ASSERT_TRUE(Read(Riff(Chunk("junk", "ab") + "data" + std::string(3, '\0'))));
    EXPECT_FALSE(FindChunk(buffer, "data", 1));
    EXPECT_TRUE(FindChunk(buffer, "junk", 1));
}

TEST_F(WavFileTest, RecordLookupsStayInsideTheirChunks) {
    test::WavBuilder wav;
    wav.Pattern(100).Loop(10, 20, 0, 0).Loop(30, 40, 1, 2).Cue(10).Cue(50);
    ASSERT_TRUE(Read(wav.Build()));
    auto format = FormatChunk(buffer);
    ASSERT_TRUE(format);
    EXPECT_TRUE(format->complete);
    EXPECT_EQ(format->channels, 1u);
    EXPECT_EQ(format->sampleRate, 44100u);
    EXPECT_EQ(format->averageBytesPerSecond, 88200u);
    EXPECT_EQ(format->blockAlignment, 2u);
    EXPECT_EQ(format->bitsPerSample, 16u);
    EXPECT_EQ(SamplerChunk(buffer)->numberOfLoops, 2u);
    auto loop2 = LoopRecord(buffer, 2);
    ASSERT_TRUE(loop2);
    EXPECT_EQ(loop2->start, 30u);
    EXPECT_EQ(loop2->end, 40u);
    EXPECT_EQ(loop2->type, 1u);
    EXPECT_EQ(loop2->playCount, 2u);
    EXPECT_FALSE(LoopRecord(buffer, 0));
    EXPECT_FALSE(LoopRecord(buffer, 3));
    EXPECT_EQ(CueChunk(buffer)->numberOfCuePoints, 2u);
    EXPECT_EQ(CuePoint(buffer, 2)->sampleOffset, 50u);
    EXPECT_FALSE(CuePoint(buffer, 0));
    EXPECT_FALSE(CuePoint(buffer, 3));

    // Counts that promise more records than the chunks hold.
    test::WavBuilder liar;
    liar.Pattern(100).Loop(10, 20).DeclaredLoops(3).Cue(50).DeclaredCues(0xFFFFFFFFu);
    ASSERT_TRUE(Read(liar.Build()));
    EXPECT_TRUE(LoopRecord(buffer, 1));
    EXPECT_FALSE(LoopRecord(buffer, 2));
    EXPECT_TRUE(CuePoint(buffer, 1));
    EXPECT_FALSE(CuePoint(buffer, 2));
    EXPECT_FALSE(CuePoint(buffer, 0xFFFFFFFFu));
}

TEST_F(WavFileTest, ShortOrCutChunksAreIncomplete) {
    ASSERT_TRUE(Read(Riff(Chunk("fmt ", std::string(14, '\1')) + Chunk("smpl", std::string(35, '\0')) +
                          ChunkDeclaring("cue ", 28, Le32(1) + "short"))));
    EXPECT_FALSE(FormatChunk(buffer)->complete);
    EXPECT_EQ(FormatChunk(buffer)->channels, 0u);
    EXPECT_FALSE(SamplerChunk(buffer)->complete);
    EXPECT_FALSE(CueChunk(buffer)->complete);
    EXPECT_FALSE(LoopRecord(buffer, 1));
    EXPECT_FALSE(CuePoint(buffer, 1));
    EXPECT_FALSE(DataChunk(buffer));
}

}  // namespace
}  // namespace tessaline
