// Recordings on the in-memory file system (faults on demand) and on the real
// one (read back by libsndfile), with the audio thread racing the writer.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "audio/Recorder.h"
#include "platform/virtual/MemoryFileSystem.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace tessaline::test {
namespace {

constexpr OrganState kActiveOrgan{true, true};
constexpr uint32_t kTickFrames = 1344;  // a tick of the default 42-block buffer
constexpr uint32_t kTickBytes = kTickFrames * 4;

// The stored OutputRecDir; Choose stores `chosen` (empty: the player cancelled).
struct FixedDirectory : RecordingDirectory {
    explicit FixedDirectory(std::string dir, std::string choice = "")
        : stored(std::move(dir)), chosen(std::move(choice)) {}
    std::string Read() override { return stored; }
    void Choose() override {
        ++chooseCalls;
        stored = chosen;
    }
    std::string stored;
    std::string chosen;
    int chooseCalls = 0;
};

// Samples over the whole 16-bit range, different in neighbouring frames and
// between the channels.
std::vector<int16_t> PatternBlock(uint64_t firstFrame, uint32_t frames) {
    std::vector<int16_t> block(size_t{frames} * 2);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<int16_t>((firstFrame + i / 2) * 40503u + (i % 2) * 7919u);
    return block;
}

// Waits (up to 20 s, then fails the test) until `done` holds.
template <class Condition>
void WaitUntil(Condition done, const char* what) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << what;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Waits until the writer has taken `blocks` blocks (written or failed).
void WaitForWriter(const Recorder& recorder, uint64_t blocks) {
    WaitUntil([&] { return recorder.WrittenBlocks() + recorder.FailedBlocks() >= blocks; },
              "the writer did not take the blocks");
}

// Appends a block as the audio thread would, first waiting for room so that
// the test decides which blocks are dropped.
void AppendWithRoom(Recorder& recorder, const std::vector<int16_t>& block) {
    WaitUntil([&] { return recorder.FreeRingBytes() >= block.size() * 2; },
              "the ring never had room");
    ASSERT_TRUE(recorder.WriteRecordedBlock(block));
}

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
           uint32_t{bytes[at + 3]} << 24;
}

constexpr std::time_t kStart = 1053205449;  // 17 May 2003, 21:04:09 UTC
const std::string kFileName = "TessalineOutput-2003-05-17-21-04-09.wav";
const std::string kWriteFailed =
    "Could not write to the audio output file.\nPlease check that the disk is not full.";

// The little-endian bytes of the blocks of kTickFrames at these first frames.
std::vector<uint8_t> DataOf(const std::vector<uint64_t>& firstFrames) {
    std::vector<uint8_t> bytes;
    for (uint64_t first : firstFrames)
        for (int16_t v : PatternBlock(first, kTickFrames)) {
            bytes.push_back(static_cast<uint8_t>(v));
            bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        }
    return bytes;
}

// Appends the ticks [from, to) and returns their samples.
std::vector<int16_t> AppendTicks(Recorder& recorder, uint64_t from, uint64_t to) {
    std::vector<int16_t> samples;
    for (uint64_t i = from; i < to; ++i) {
        auto block = PatternBlock(i * kTickFrames, kTickFrames);
        AppendWithRoom(recorder, block);
        samples.insert(samples.end(), block.begin(), block.end());
    }
    return samples;
}

// Every sample of the file as libsndfile reads it (the header's bytes are
// checked on the in-memory file system).
std::vector<int16_t> ReadWithSndfile(const std::string& path, sf_count_t expectedFrames) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    if (!sf) return {};
    EXPECT_EQ(info.frames, expectedFrames);
    std::vector<int16_t> samples(static_cast<size_t>(info.frames) * 2);
    EXPECT_EQ(sf_readf_short(sf, samples.data(), info.frames), info.frames);
    sf_close(sf);
    return samples;
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    std::vector<uint8_t> FileBytes() const { return files.Bytes(recorder.FilePath()); }
    void ExpectError(size_t at, const std::string& message, const char* action) const {
        auto all = errors.Errors();
        ASSERT_EQ(all.size(), at + 1);
        EXPECT_EQ(all[at].message, message);
        EXPECT_EQ(all[at].attemptedAction, action);
    }

    RecordingErrorSink errors;
    MemoryFileSystem files;
    Recorder recorder{files, [] { return kStart; }};
    FixedDirectory directory{"/rec"};
    TempDir dir;
    PosixFileSystem disk;
    Recorder onDisk{disk, [] { return kStart; }};
};

TEST_F(RecorderTest, OnlyAnActiveOrganRecordsAndAnEmptyRecordingIsAHeaderWithItsSizes) {
    for (OrganState organ :
         {OrganState{false, false}, OrganState{true, false}, OrganState{false, true}})
        EXPECT_FALSE(recorder.StartRecording(organ, directory));
    // Appending while nothing is recorded neither writes nor counts a drop.
    EXPECT_FALSE(recorder.WriteRecordedBlock(PatternBlock(0, kTickFrames)));
    EXPECT_EQ(recorder.DroppedBlocks(), 0u);
    EXPECT_TRUE(files.CreatedPaths().empty());

    directory.stored = "/rec/";  // used as stored: no separator removed
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, directory));
    EXPECT_EQ(files.CreatedPaths(), std::vector<std::string>{"/rec//" + kFileName});
    std::vector<uint8_t> header = {'R',  'I',  'F', 'F', 0,    0,    0,    0,    'W', 'A', 'V', 'E',
                                   'f',  'm',  't', ' ', 20,   0,    0,    0,    1,   0,   2,   0,
                                   0x44, 0xAC, 0,   0,   0x10, 0xB1, 0x02, 0x00, 4,   0,   16,  0,
                                   0,    0,    0,   0,   'd',  'a',  't',  'a',  0,   0,   0,   0};
    EXPECT_EQ(FileBytes(), header);
    EXPECT_FALSE(recorder.StopRecording({true, false}));
    EXPECT_FALSE(recorder.StopRecording({false, true}));

    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    EXPECT_FALSE(recorder.StopRecording(kActiveOrgan));
    header[4] = 40;
    EXPECT_EQ(FileBytes(), header);
    EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
    EXPECT_EQ(errors.Count(), 0u);
}

TEST_F(RecorderTest, AFailedStartIsReportedAndRecordsNothing) {
    const char* starting = "Starting audio output recording.";
    FixedDirectory cancelled{"", ""};
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, cancelled));
    EXPECT_EQ(cancelled.chooseCalls, 1);
    ExpectError(0,
                "Could not start recording because no directory has been specified for audio "
                "files.\nPlease set the directory from the File menu.",
                starting);
    EXPECT_TRUE(files.CreatedPaths().empty());

    files.SetRoom(20);
    EXPECT_FALSE(recorder.StartRecording(kActiveOrgan, directory));
    ExpectError(1, kWriteFailed, starting);
    EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
    EXPECT_FALSE(recorder.IsRecording());

    FixedDirectory missing{(dir.Path() / "missing").string()};
    EXPECT_FALSE(onDisk.StartRecording(kActiveOrgan, missing));
    ExpectError(2,
                "Could not create the audio output file " + missing.stored + "/" + kFileName +
                    ".\nPlease check that a valid directory has been specified from the file "
                    "menu and that the directory can be written to.",
                starting);
    EXPECT_FALSE(onDisk.WriteRecordedBlock(PatternBlock(0, 4)));

    // A directory chosen when asked is used at once.
    files.SetRoom(UINT64_MAX);
    FixedDirectory chosen{"", "/chosen"};
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, chosen));
    EXPECT_EQ(files.CreatedPaths().back(), "/chosen/" + kFileName);
    EXPECT_EQ(errors.Count(), 3u);
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
        AppendTicks(recorder, 0, 1);
        WaitForWriter(recorder, 1);
        (files.*c.fault)(true);
        EXPECT_FALSE(recorder.StopRecording(kActiveOrgan));
        (files.*c.fault)(false);
        ExpectError(0, c.message, "Stopping audio output recording.");
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_TRUE(files.IsClosed(recorder.FilePath()));
        EXPECT_EQ(FileBytes().size(), 48u + kTickBytes);
    }
}

TEST_F(RecorderTest, ARecordingIsFinishedBeforeItPassesTheSizeLimit) {
    Recorder limited(
        files, [] { return kStart; }, 10 * kTickBytes + 4);  // inside block 11
    ASSERT_TRUE(limited.StartRecording(kActiveOrgan, directory));
    AppendTicks(limited, 0, 11);
    WaitUntil([&] { return files.IsClosed(limited.FilePath()); }, "the file was never closed");
    EXPECT_FALSE(limited.IsRecording());
    ExpectError(0,
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

TEST_F(RecorderTest, OnlyWholeFramesAreTakenAndDestroyingTheRecorderFinishesTheFile) {
    {
        Recorder running(files, [] { return kStart; });
        ASSERT_TRUE(running.StartRecording(kActiveOrgan, directory));
        int16_t samples[4] = {1, 2, 3, 4};
        EXPECT_FALSE(running.WriteRecordedBlock(samples, 6));
        EXPECT_FALSE(running.WriteRecordedBlock(std::span<const int16_t>(samples, 3)));
        EXPECT_FALSE(running.WriteRecordedBlock(nullptr, 8));
        EXPECT_TRUE(running.WriteRecordedBlock(samples, 8));
    }
    const std::string path = "/rec/" + kFileName;
    auto bytes = files.Bytes(path);
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_EQ(ReadLe32(bytes, 4), 48u);
    EXPECT_EQ(ReadLe32(bytes, 44), 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 48, bytes.end()),
              (std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 4, 0}));
    EXPECT_TRUE(files.IsClosed(path));
}

// The file size limit of the process makes write() fail part way with EFBIG,
// as a full disk fails with ENOSPC: the real back end's disk-full path.
void LimitFileSize(rlim_t bytes) {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

TEST_F(RecorderTest, AFullDiskIsReportedOncePerBurstAndOnlyWholeBlocksStay) {
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    FixedDirectory real{dir.Path().string()};
    // No ASSERT while the limit is set: it would stay for the tests after.
    LimitFileSize(48 + 2 * kTickBytes + 100);  // two blocks and part of a third
    EXPECT_TRUE(onDisk.StartRecording(kActiveOrgan, real));
    auto kept = AppendTicks(onDisk, 0, 2);
    AppendTicks(onDisk, 2, 5);
    WaitForWriter(onDisk, 5);
    EXPECT_EQ(errors.Count(), 1u);
    EXPECT_TRUE(onDisk.IsRecording());

    // Room again: the burst ends and the next block lands where the last
    // whole one ended, over the piece of the failed one.
    LimitFileSize(RLIM_INFINITY);
    auto after = AppendTicks(onDisk, 5, 7);
    kept.insert(kept.end(), after.begin(), after.end());
    WaitForWriter(onDisk, 7);
    EXPECT_EQ(errors.Count(), 1u);

    // A second burst is reported again; it leaves part of a block behind.
    LimitFileSize(48 + 4 * kTickBytes + 8);
    AppendTicks(onDisk, 7, 9);
    WaitForWriter(onDisk, 9);
    LimitFileSize(RLIM_INFINITY);
    std::signal(SIGXFSZ, handler);
    ASSERT_TRUE(onDisk.StopRecording(kActiveOrgan));

    ExpectError(1, kWriteFailed, "Recording audio output.");
    EXPECT_EQ(errors.Errors()[0].boxText, errors.Errors()[1].boxText);
    EXPECT_EQ(onDisk.WrittenBlocks(), 4u);
    EXPECT_EQ(onDisk.FailedBlocks(), 5u);
    // The piece of a block the second burst left is cut off.
    EXPECT_EQ(test::FileBytes(onDisk.FilePath()).size(), 48u + 4 * kTickBytes);
    EXPECT_EQ(ReadWithSndfile(onDisk.FilePath(), 4 * kTickFrames), kept);
}

std::string DropMessage(unsigned count) {
    return "Could not record all of the audio output because the audio output file could not be "
           "written quickly enough.\n" +
           std::to_string(count) + " blocks of audio were left out of the recording.";
}

TEST_F(RecorderTest, AFullRingDropsBlocksAndEachBurstIsReportedOnce) {
    std::vector<uint64_t> accepted;  // first frames of the blocks taken, in order
    uint64_t frame = 0;
    auto append = [&] {
        bool queued = recorder.WriteRecordedBlock(PatternBlock(frame, kTickFrames));
        if (queued) accepted.push_back(frame);
        frame += kTickFrames;
        return queued;
    };
    // The writer is stuck in a slow write; the ring fills behind it.
    auto fillBehindAHeldWrite = [&](int drops) {
        files.HoldWrites();
        ASSERT_TRUE(append());
        const uint64_t calls = accepted.size() + 1;  // the header and the held block
        WaitUntil([&] { return files.WriteCalls() >= calls; }, "the writer made no further write");
        int queued = 0;
        while (append()) ++queued;
        for (int i = 1; i < drops; ++i) EXPECT_FALSE(append());
        // Two seconds of audio at least wait in the ring.
        EXPECT_GE(queued * kTickBytes, 2u * 176400u);
        files.ReleaseWrites();
    };
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
    fillBehindAHeldWrite(10);
    EXPECT_EQ(recorder.DroppedBlocks(), 10u);
    EXPECT_EQ(errors.Count(), 0u);  // never from the audio thread

    // The burst ends with the next block that fits; the writer reports it.
    WaitForWriter(recorder, accepted.size());
    AppendWithRoom(recorder, PatternBlock(frame, kTickFrames));
    accepted.push_back(frame);
    frame += kTickFrames;
    WaitForWriter(recorder, accepted.size());
    ExpectError(0, DropMessage(10), "Recording audio output.");

    // A burst still going on when the recording stops is reported at the stop.
    fillBehindAHeldWrite(3);
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    ExpectError(1, DropMessage(3), "Recording audio output.");
    EXPECT_EQ(recorder.DroppedBlocks(), 13u);

    const std::vector<uint8_t> expected = DataOf(accepted);
    auto bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 48 + expected.size());
    EXPECT_EQ(ReadLe32(bytes, 44), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 48));
}

// Every block the audio thread got in is in the file, whole and in order,
// however the stop falls between its appends.
TEST_F(RecorderTest, AStopDuringAppendsKeepsEveryQueuedBlockWhole) {
    constexpr uint32_t kFrames = 8192;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        Recorder racing(files);
        ASSERT_TRUE(racing.StartRecording(kActiveOrgan, directory));
        std::atomic<bool> done{false};
        uint64_t acceptedCount = 0;
        std::thread audio([&] {
            std::vector<int16_t> block(kFrames * 2);
            for (uint32_t sequence = 0; !done.load(std::memory_order_acquire);) {
                // Mostly blocks that fit, so that the stop tends to fall inside a copy.
                if (sequence % 8 != 0 && racing.FreeRingBytes() < block.size() * 2) {
                    std::this_thread::yield();
                    continue;
                }
                for (uint32_t f = 0; f < kFrames; ++f) {
                    block[2 * f] = static_cast<int16_t>(sequence & 0xFFFF);
                    block[2 * f + 1] = static_cast<int16_t>(sequence >> 16);
                }
                if (racing.WriteRecordedBlock(block)) ++acceptedCount;
                ++sequence;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + round * 3));
        bool stopped = racing.StopRecording(kActiveOrgan);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        done.store(true, std::memory_order_release);
        audio.join();
        ASSERT_TRUE(stopped);

        auto bytes = files.Bytes(racing.FilePath());
        ASSERT_GE(bytes.size(), 48u);
        uint64_t data = bytes.size() - 48;
        EXPECT_EQ(ReadLe32(bytes, 44), data);
        EXPECT_EQ(ReadLe32(bytes, 4), data + 40);
        ASSERT_EQ(data, acceptedCount * kFrames * 4);
        EXPECT_EQ(racing.WrittenBlocks(), acceptedCount);

        // Blocks are whole (one sequence number in every frame) and rising;
        // the gaps are drops, all counted.
        int64_t previous = -1;
        uint64_t gaps = 0;
        for (uint64_t b = 0; b < acceptedCount; ++b) {
            size_t at = 48 + b * kFrames * 4;
            uint32_t sequence = ReadLe32(bytes, at);
            for (uint32_t f = 1; f < kFrames; ++f) ASSERT_EQ(ReadLe32(bytes, at + f * 4), sequence);
            ASSERT_GT(int64_t{sequence}, previous);
            gaps += static_cast<uint64_t>(int64_t{sequence} - previous - 1);
            previous = sequence;
        }
        EXPECT_LE(gaps, racing.DroppedBlocks());
    }
}

}  // namespace
}  // namespace tessaline::test
