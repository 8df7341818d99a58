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
    bool Read(const std::string& bytes) {
        path = dir.Write("sample.wav", bytes);
        return ReadSampleFile(buffer, path.c_str());
    }
    std::string Text(const char* id, uint32_t occurrence) const {
        auto chunk = FindChunk(buffer, id, occurrence);
        return chunk ? std::string(reinterpret_cast<const char*>(chunk->data), chunk->available)
                     : "(none)";
    }

    test::TempDir dir;
    RecordingErrorSink sink;
    SampleLoadingBuffer buffer;
    std::string path;
};

TEST_F(WavFileTest, FilesThatAreNoRiffWaveOrCannotBeReadAreReported) {
    for (const std::string& bytes : {std::string("RIFF"), "RIFX" + Le32(4) + "WAVE"}) {
        SCOPED_TRACE(bytes);
        sink.Clear();
        ASSERT_TRUE(Read(Riff(Chunk("junk", "12"))));
        EXPECT_FALSE(Read(bytes));
        EXPECT_FALSE(buffer.Valid());
        EXPECT_EQ(sink.Messages(), std::vector<std::string>{
                                       "The file " + path + " is not in Microsoft RIFF format."});
        EXPECT_EQ(sink.Errors()[0].attemptedAction, "Loading a sample.");
    }
    sink.Clear();
    const std::string missing = dir.File("none.wav");
    const std::string folder = dir.File("folder.wav");
    const std::string fifo = dir.File("pipe.wav");
    std::filesystem::create_directories(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The named pipe is refused without waiting for a writer.
    for (const std::string& name : {missing, folder, fifo})
        EXPECT_FALSE(ReadSampleFile(buffer, name.c_str()));
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{
                                   "The sample file " + missing + " could not be opened.",
                                   "The sample file " + folder + " could not all be read successfully.",
                                   "The file " + fifo + " is not in Microsoft RIFF format."}));
}

TEST_F(WavFileTest, AbsentBufferIsReportedWhenCreatedAndWhenUsed) {
    SampleLoadingBuffer impossible(size_t{1} << 62);
    EXPECT_FALSE(impossible.Present());
    path = dir.Write("a.wav", Riff(""));
    EXPECT_FALSE(ReadSampleFile(impossible, path.c_str()));
    ASSERT_EQ(sink.Count(), 2u);
    EXPECT_EQ(sink.Errors()[0].message, "Memory could not be allocated for the sample buffer.");
    EXPECT_EQ(sink.Errors()[0].attemptedAction, "Creating sample loading buffer.");
    EXPECT_EQ(sink.Errors()[1].message,
              "Could not load sample " + path + " because memory had not been successfully allocated.");
}

TEST_F(WavFileTest, ChunkWalkSkipsPadBytesStepsIntoListsAndStopsAtTheFileEnd) {
    ASSERT_TRUE(Read(Riff(Chunk("odd ", "abc") + List("INFO", Chunk("INAM", "Flute")) +
                          Chunk("data", "first") +
                          List("adtl", Chunk("labl", "x") + Chunk("data", "second!")))));
    EXPECT_EQ(Text("odd ", 1), "abc");
    EXPECT_EQ(Text("INAM", 1), "Flute");
    EXPECT_EQ(Text("data", 2), "second!");
    EXPECT_EQ(Text("data", 3), "(none)");
    EXPECT_EQ(Text("DATA", 1), "(none)");

    ASSERT_TRUE(Read(Riff(ChunkDeclaring("data", 1000, "abcd"))));
    EXPECT_EQ(FindChunk(buffer, "data", 1)->size, 1000u);
    EXPECT_EQ(Text("data", 1), "abcd");
    // A skipped chunk that claims more than the file ends the walk; a chunk
    // header cut short is no chunk.
    ASSERT_TRUE(Read(Riff(ChunkDeclaring("junk", 0xFFFFFFF0u, "") + Chunk("data", "ab"))));
    EXPECT_EQ(Text("data", 1), "(none)");
    ASSERT_TRUE(Read(Riff(Chunk("junk", "ab") + "data" + std::string(3, '\0'))));
    EXPECT_EQ(Text("data", 1), "(none)");
}

// Counts and sizes that promise more than the chunks hold.
TEST_F(WavFileTest, RecordLookupsStayInsideTheirChunks) {
    test::WavBuilder liar;
    ASSERT_TRUE(Read(liar.Pattern(100).Loop(10, 20).DeclaredLoops(3).Cue(50)
                         .DeclaredCues(0xFFFFFFFFu).Build()));
    EXPECT_EQ(LoopRecord(buffer, 1)->end, 20u);
    EXPECT_FALSE(LoopRecord(buffer, 2));
    EXPECT_EQ(CuePoint(buffer, 1)->sampleOffset, 50u);
    EXPECT_FALSE(CuePoint(buffer, 2));
    EXPECT_FALSE(CuePoint(buffer, 0xFFFFFFFFu));

    ASSERT_TRUE(Read(Riff(Chunk("fmt ", std::string(14, '\1')) + Chunk("smpl", std::string(35, '\0')) +
                          ChunkDeclaring("cue ", 28, Le32(1) + "short"))));
    EXPECT_FALSE(FormatChunk(buffer)->complete);
    EXPECT_FALSE(LoopRecord(buffer, 1));
    EXPECT_FALSE(CuePoint(buffer, 1));
}

}  // namespace
}  // namespace tessaline
