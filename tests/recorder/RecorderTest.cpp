// Starting, failing and finishing recordings, on the in-memory file system.

#include <gtest/gtest.h>

#include "platform/virtual/MemoryFileSystem.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "recorder/RecorderTestSupport.h"

namespace tessaline::test {
namespace {

constexpr std::time_t kStart = 1053205449;
constexpr const char* kWriteFailed =
    "Could not write to the audio output file.\nPlease check that the disk is not full.";

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    std::vector<uint8_t> FileBytes() const { return files.Bytes(recorder.FilePath()); }
    // The data of the blocks at these frame positions, in order.
    static std::vector<uint8_t> DataOf(std::initializer_list<uint64_t> firstFrames) {
        std::vector<uint8_t> data;
        for (uint64_t first : firstFrames) {
            auto bytes = AsBytes(PatternBlock(first, kTickFrames));
            data.insert(data.end(), bytes.begin(), bytes.end());
        }
        return data;
    }
    void ExpectOnlyError(const char* message, const char* action, size_t at = 0) const {
        auto all = errors.Errors();
        ASSERT_EQ(all.size(), at + 1);
        EXPECT_EQ(all[at].message, message);
        EXPECT_EQ(all[at].attemptedAction, action);
    }

    RecordingErrorSink errors;
    MemoryFileSystem files;
    Recorder recorder{files, [] { return kStart; }};
    FixedDirectory directory{"/rec"};
};

TEST_F(RecorderTest, StartAndStopNeedALoadedActiveOrganAndSayNothingOtherwise) {
    for (OrganState organ :
         {OrganState{false, false}, OrganState{true, false}, OrganState{false, true}}) {
        EXPECT_FALSE(recorder.StartRecording(organ, directory));
    }
    EXPECT_TRUE(files.CreatedPaths().empty());
    EXPECT_EQ(directory.chooseCalls, 0);

    // Appending while nothing is recorded neither writes nor counts a drop.
    EXPECT_FALSE(recorder.WriteRecordedBlock(PatternBlock(0, kTickFrames)));
    EXPECT_EQ(recorder.DroppedBlocks(), 0u);

    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_EQ(files.CreatedPaths().size(), 1u);
    EXPECT_FALSE(recorder.StopRecording({true, false}));
    EXPECT_FALSE(recorder.StopRecording({false, true}));
    EXPECT_TRUE(recorder.IsRecording());

    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_FALSE(recorder.StopRecording(kActiveOrgan));
    EXPECT_FALSE(recorder.WriteRecordedBlock(PatternBlock(0, kTickFrames)));
    EXPECT_EQ(FileBytes().size(), 48u);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(RecorderTest, TheHeaderIsWrittenAtStartWithBothSizesZero) {
    directory.stored = "/rec/";  // used as stored: no separator removed
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_EQ(recorder.FilePath(), "/rec//TessalineOutput-2003-05-17-21-04-09.wav");
    const std::vector<uint8_t> header = {
        'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
        20,  0,   0,   0,   1, 0, 2, 0, 0x44, 0xAC, 0,   0,   0x10, 0xB1, 0x02, 0x00,
        4,   0,   16,  0,   0, 0, 0, 0, 'd',  'a',  't', 'a', 0,    0,    0,    0};
    EXPECT_EQ(FileBytes(), header);

    // An empty recording is finished with a RIFF size of 40.
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    auto bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(ReadLe32(bytes, 4), 40u);
    EXPECT_EQ(ReadLe32(bytes, 44), 0u);
    EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
}

TEST_F(RecorderTest, AMissingDirectoryIsAskedForOnceThenReported) {
    FixedDirectory cancelled{"", ""};
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, cancelled));
    EXPECT_EQ(cancelled.chooseCalls, 1);
    ExpectOnlyError(
        "Could not start recording because no directory has been specified for audio files.\n"
        "Please set the directory from the File menu.",
        "Starting audio output recording.");
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_TRUE(files.CreatedPaths().empty());

    FixedDirectory chosen{"", "/chosen"};
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, chosen));
    EXPECT_EQ(chosen.chooseCalls, 1);
    EXPECT_EQ(files.CreatedPaths(),
              std::vector<std::string>{"/chosen/TessalineOutput-2003-05-17-21-04-09.wav"});
}

TEST_F(RecorderTest, AHeaderThatCannotBeWrittenFailsTheStart) {
    files.SetRoom(20);
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, directory));
    ExpectOnlyError(kWriteFailed, "Starting audio output recording.");
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
}

TEST_F(RecorderTest, WriteFailuresAreReportedOncePerBurstAndOnlyWrittenBlocksCount) {
    // Room for two blocks and part of a third.
    files.SetRoom(48 + 2 * kTickBytes + 100);
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    for (uint64_t i = 0; i < 5; ++i)
        AppendWithRoom(recorder, PatternBlock(i * kTickFrames, kTickFrames));
    WaitForWriter(recorder, 5);
    ExpectOnlyError(kWriteFailed, "Recording audio output.");
    EXPECT_TRUE(recorder.IsRecording());
    EXPECT_EQ(recorder.RecordedBytes(), 2u * kTickBytes);

    // Room again: the burst ends and the next block lands where the last
    // whole one ended, over the piece of the failed one.
    files.SetRoom(UINT64_MAX);
    AppendWithRoom(recorder, PatternBlock(5 * kTickFrames, kTickFrames));
    AppendWithRoom(recorder, PatternBlock(6 * kTickFrames, kTickFrames));
    WaitForWriter(recorder, 7);
    EXPECT_EQ(errors.Count(), 1u);

    // A second burst is reported again; it leaves part of a block behind.
    files.SetRoom(48 + 4 * kTickBytes + 8);
    AppendWithRoom(recorder, PatternBlock(7 * kTickFrames, kTickFrames));
    AppendWithRoom(recorder, PatternBlock(8 * kTickFrames, kTickFrames));
    WaitForWriter(recorder, 9);
    ExpectOnlyError(kWriteFailed, "Recording audio output.", 1);

    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_EQ(recorder.WrittenBlocks(), 4u);
    EXPECT_EQ(recorder.FailedBlocks(), 5u);
    auto bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 48u + 4 * kTickBytes);
    EXPECT_EQ(ReadLe32(bytes, 4), 4 * kTickBytes + 40);
    EXPECT_EQ(ReadLe32(bytes, 44), 4 * kTickBytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 48, bytes.end()),
              DataOf({0, kTickFrames, 5 * kTickFrames, 6 * kTickFrames}));
}

TEST_F(RecorderTest, AFailedRewriteOfTheSizesIsReportedAndTheFileStillClosed) {
    struct Case {
        void (MemoryFileSystem::*fault)(bool);
        const char* message;
    };
    for (Case c :
         {Case{&MemoryFileSystem::SetSeekFails, "Could not rewind the audio output file."},
          Case{&MemoryFileSystem::SetRewriteFails, "Could not write to the audio output file.."},
          Case{&MemoryFileSystem::SetCloseFails, "Could not close the audio output file."}}) {
        SCOPED_TRACE(c.message);
        errors.Clear();
        ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
        AppendWithRoom(recorder, PatternBlock(0, kTickFrames));
        WaitForWriter(recorder, 1);
        (files.*c.fault)(true);
        EXPECT_FALSE(recorder.StopRecording(kActiveOrgan));
        (files.*c.fault)(false);
        ExpectOnlyError(c.message, "Stopping audio output recording.");
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
        EXPECT_EQ(FileBytes().size(), 48u + kTickBytes);
    }
}

TEST_F(RecorderTest, ARecordingIsFinishedBeforeItPassesTheSizeLimit) {
    // The limit falls inside the eleventh block.
    Recorder limited(
        files, [] { return kStart; }, 10 * kTickBytes + 4);
    ASSERT_TRUE(limited.StartRecording(kActiveOrgan, directory));
    for (uint64_t i = 0; i < 11; ++i)
        AppendWithRoom(limited, PatternBlock(i * kTickFrames, kTickFrames));

    WaitUntil([&] { return files.IsClosed(limited.FilePath()); }, "the file was never closed");
    EXPECT_FALSE(limited.IsRecording());
    ExpectOnlyError(
        "The audio output file has reached the largest size that a WAV file can hold.\n"
        "The recording has been stopped and saved; start a new recording to go on.",
        "Recording audio output.");
    auto bytes = files.Bytes(limited.FilePath());
    ASSERT_EQ(bytes.size(), 48u + 10 * kTickBytes);
    EXPECT_EQ(ReadLe32(bytes, 4), 10 * kTickBytes + 40);
    EXPECT_EQ(ReadLe32(bytes, 44), 10 * kTickBytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - kTickBytes, bytes.end()),
              DataOf({9 * kTickFrames}));

    // Nothing more is taken, a stop has nothing to do, and a new recording starts.
    EXPECT_FALSE(limited.WriteRecordedBlock(PatternBlock(0, kTickFrames)));
    EXPECT_FALSE(limited.StopRecording(kActiveOrgan));
    EXPECT_EQ(errors.Count(), 1u);
    EXPECT_TRUE(limited.StartRecording(kActiveOrgan, directory));
    EXPECT_EQ(files.Bytes(limited.FilePath()).size(), 48u);
}

TEST_F(RecorderTest, DestroyingTheRecorderFinishesARunningRecording) {
    {
        Recorder running(files, [] { return kStart; });
        ASSERT_TRUE(running.StartRecording(kActiveOrgan, directory));
        AppendWithRoom(running, PatternBlock(0, kTickFrames));
    }
    auto bytes = files.Bytes("/rec/TessalineOutput-2003-05-17-21-04-09.wav");
    ASSERT_EQ(bytes.size(), 48u + kTickBytes);
    EXPECT_EQ(ReadLe32(bytes, 44), kTickBytes);
    EXPECT_TRUE(files.IsClosed("/rec/TessalineOutput-2003-05-17-21-04-09.wav"));
}

TEST_F(RecorderTest, BlocksThatAreNotWholeFramesAreRefused) {
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    int16_t samples[4] = {1, 2, 3, 4};
    EXPECT_FALSE(recorder.WriteRecordedBlock(samples, 6));
    EXPECT_FALSE(recorder.WriteRecordedBlock(std::span<const int16_t>(samples, 3)));
    EXPECT_FALSE(recorder.WriteRecordedBlock(nullptr, 8));
    EXPECT_TRUE(recorder.WriteRecordedBlock(samples, 8));
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    auto bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 48, bytes.end()),
              (std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 4, 0}));
}

}  // namespace
}  // namespace tessaline::test
