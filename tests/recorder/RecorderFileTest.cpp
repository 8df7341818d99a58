// Recordings on the real file system, read back by libsndfile and sox.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "platform/virtual/RecordingErrorSink.h"
#include "recorder/RecorderTestSupport.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::test {
namespace {

// Every sample of the file as libsndfile reads it, with its format checked.
std::vector<int16_t> ReadWithSndfile(const std::string& path, sf_count_t expectedFrames) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    if (!sf) return {};
    EXPECT_EQ(info.frames, expectedFrames);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<int16_t> samples(static_cast<size_t>(info.frames) * 2);
    EXPECT_EQ(sf_readf_short(sf, samples.data(), info.frames), info.frames);
    sf_close(sf);
    return samples;
}

// A recorder on the real file system, started at 17 May 2003, 21:04:09 UTC.
class RecorderFile : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    TempDir dir;
    RecordingErrorSink errors;
    PosixFileSystem files;
    Recorder recorder{files, [] { return std::time_t{1053205449}; }};
    FixedDirectory directory{dir.Path().string()};
};

TEST_F(RecorderFile, TenSecondsAreRecordedSampleExactWithTheirSizes) {
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_TRUE(recorder.IsRecording());

    // Ticks of the default buffer, the last one shorter, as the timer renders them.
    constexpr uint64_t kFrames = 441000;
    std::vector<int16_t> expected;
    for (uint64_t frame = 0; frame < kFrames; frame += kTickFrames) {
        auto block = PatternBlock(
            frame, static_cast<uint32_t>(std::min<uint64_t>(kTickFrames, kFrames - frame)));
        expected.insert(expected.end(), block.begin(), block.end());
        AppendWithRoom(recorder, block);
    }
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(errors.Count(), 0u);
    EXPECT_EQ(recorder.RecordedBytes(), 1764000u);
    EXPECT_EQ(recorder.DroppedBlocks(), 0u);

    const std::string file = FileBytes(recorder.FilePath());
    const std::vector<uint8_t> bytes(file.begin(), file.end());
    ASSERT_EQ(bytes.size(), 1764048u);
    const std::vector<uint8_t> header = {
        'R', 'I', 'F', 'F', 0xC8, 0xEA, 0x1A, 0x00, 'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',
        20,  0,   0,   0,   1,    0,    2,    0,    0x44, 0xAC, 0,   0,   0x10, 0xB1, 0x02, 0x00,
        4,   0,   16,  0,   0,    0,    0,    0,    'd',  'a',  't', 'a', 0xA0, 0xEA, 0x1A, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 48), header);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 48, bytes.end()), AsBytes(expected));

    EXPECT_EQ(ReadWithSndfile(recorder.FilePath(), kFrames), expected);

    std::string quoted = "'" + recorder.FilePath() + "'";
    EXPECT_EQ(CommandOutput("sox --i -s " + quoted + " 2>&1"), "441000\n");
    const std::vector<uint8_t> raw = AsBytes(expected);
    EXPECT_EQ(CommandOutput("sox " + quoted + " -t raw - 2>/dev/null"), std::string(raw.begin(), raw.end()));
}

TEST_F(RecorderFile, StartsInTheSameSecondReplaceTheFileNamedAfterTheLocalTime) {
    const std::string expectedPath =
        dir.Path().string() + "/TessalineOutput-2003-05-17-21-04-09.wav";

    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_EQ(recorder.FilePath(), expectedPath);
    for (int i = 0; i < 3; ++i)
        AppendWithRoom(recorder, PatternBlock(uint64_t(i) * kTickFrames, kTickFrames));
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_EQ(std::filesystem::file_size(expectedPath), 48u + 3 * kTickBytes);

    auto second = PatternBlock(99999, 100);
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    AppendWithRoom(recorder, second);
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));

    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(ReadWithSndfile(expectedPath, 100), second);
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(RecorderFile, AFileThatCannotBeCreatedIsReportedWithItsPath) {
    directory.stored = (dir.Path() / "missing").string();

    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_FALSE(recorder.IsRecording());
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Errors()[0].message,
              "Could not create the audio output file " + recorder.FilePath() +
                  ".\nPlease check that a valid directory has been specified from the file menu "
                  "and that the directory can be written to.");
    EXPECT_EQ(errors.Errors()[0].attemptedAction, "Starting audio output recording.");
    EXPECT_FALSE(recorder.WriteRecordedBlock(PatternBlock(0, 4)));
}

// The file size limit of the process makes write() fail part way with EFBIG,
// as a full disk fails with ENOSPC: the real back end's disk-full path.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small = previous;
        small.rlim_cur = bytes;
        set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool set = false;

private:
    rlimit previous{};
    void (*handler)(int);
};

TEST_F(RecorderFile, AFullDiskKeepsTheWholeBlocksWrittenBeforeIt) {
    FileSizeLimit limit(48 + 5 * kTickBytes + 1000);  // five blocks and part of a sixth
    ASSERT_TRUE(limit.set);
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    std::vector<int16_t> expected;
    for (uint32_t i = 0; i < 9; ++i) {
        auto block = PatternBlock(uint64_t(i) * kTickFrames, kTickFrames);
        if (i < 5) expected.insert(expected.end(), block.begin(), block.end());
        AppendWithRoom(recorder, block);
    }
    WaitForWriter(recorder, 9);
    EXPECT_TRUE(recorder.IsRecording());
    EXPECT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_EQ(recorder.WrittenBlocks(), 5u);
    EXPECT_EQ(recorder.FailedBlocks(), 4u);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Errors()[0].message,
              "Could not write to the audio output file.\nPlease check that the disk is not full.");
    EXPECT_EQ(errors.Errors()[0].attemptedAction, "Recording audio output.");
    EXPECT_EQ(std::filesystem::file_size(recorder.FilePath()), 48u + 5 * kTickBytes);
    EXPECT_EQ(ReadWithSndfile(recorder.FilePath(), 5 * kTickFrames), expected);
}

}  // namespace
}  // namespace tessaline::test
