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
using test::Riff;

TEST(WavFile, FilesThatAreNoRiffWaveOrCannotBeReadAreReported) {
    test::TempDir dir;
    RecordingErrorSink sink;
    SampleLoadingBuffer buffer;
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

// Chunk and record lookups stay inside the file and inside their chunks,
// whatever sizes and counts the file claims.
TEST(WavFile, LookupsStayInsideTheFileAndTheirChunks) {
    test::TempDir dir;
    SampleLoadingBuffer buffer;
    auto read = [&](const std::string& bytes) {
        const std::string path = dir.Write("sample.wav", bytes);
        return ReadSampleFile(buffer, path.c_str());
    };
    ASSERT_TRUE(read(Riff(Chunk("odd ", "abc") + test::List("adtl", Chunk("data", "inside")) +
                          ChunkDeclaring("tail", 1000, "abcd"))));
    auto data = FindChunk(buffer, "data", 1);  // past the pad byte, inside the list
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->data), data->available), "inside");
    EXPECT_EQ(FindChunk(buffer, "tail", 1)->available, 4u);
    // A skipped chunk that claims more than the file ends the walk; a chunk
    // header cut short is no chunk.
    ASSERT_TRUE(read(Riff(ChunkDeclaring("junk", 0xFFFFFFF0u, "") + Chunk("data", "ab"))));
    EXPECT_FALSE(FindChunk(buffer, "data", 1));
    ASSERT_TRUE(read(Riff(Chunk("junk", "ab") + "data" + std::string(3, '\0'))));
    EXPECT_FALSE(FindChunk(buffer, "data", 1));

    test::WavBuilder liar;
    ASSERT_TRUE(read(liar.Pattern(100).Loop(10, 20).DeclaredLoops(3).Cue(50)
                         .DeclaredCues(0xFFFFFFFFu).Build()));
    EXPECT_EQ(LoopRecord(buffer, 1)->end, 20u);
    EXPECT_FALSE(LoopRecord(buffer, 2));
    EXPECT_EQ(CuePoint(buffer, 1)->sampleOffset, 50u);
    EXPECT_FALSE(CuePoint(buffer, 2));
    EXPECT_FALSE(CuePoint(buffer, 0xFFFFFFFFu));
    ASSERT_TRUE(read(Riff(Chunk("fmt ", std::string(14, '\1')) + Chunk("smpl", std::string(35, 0)) +
                          ChunkDeclaring("cue ", 28, test::Le32(1) + "short"))));
    EXPECT_FALSE(FormatChunk(buffer)->complete);
    EXPECT_FALSE(LoopRecord(buffer, 1));
    EXPECT_FALSE(CuePoint(buffer, 1));
}

}  // namespace
}  // namespace tessaline
