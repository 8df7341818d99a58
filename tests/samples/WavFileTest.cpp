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

// Lookups stay inside the file whatever sizes and counts it claims.
TEST(WavFile, LookupsStayInsideTheFile) {
    test::TempDir dir;
    SampleLoadingBuffer buffer;
    const std::string skipped = dir.Write(
        "a.wav", Riff(ChunkDeclaring("junk", 0xFFFFFFF0u, "") + Chunk("data", "ab")));
    ASSERT_TRUE(ReadSampleFile(buffer, skipped.c_str()));
    EXPECT_FALSE(FindChunk(buffer, "data", 1));
    test::WavBuilder liar;
    const std::string counts = dir.Write(
        "b.wav", liar.Pattern(100).Loop(10, 20).DeclaredLoops(3).DeclaredCues(0xFFFFFFFFu).Build());
    ASSERT_TRUE(ReadSampleFile(buffer, counts.c_str()));
    EXPECT_TRUE(LoopRecord(buffer, 1) && !LoopRecord(buffer, 2));
    EXPECT_FALSE(CuePoint(buffer, 0xFFFFFFFFu));
}

}  // namespace
}  // namespace tessaline
