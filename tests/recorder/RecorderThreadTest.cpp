// The audio thread against the writer and the UI: a full ring, and a stop
// that races the appends.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/virtual/MemoryFileSystem.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "recorder/RecorderTestSupport.h"

namespace tessaline::test {
namespace {

std::string DropMessage(unsigned count) {
    return "Could not record all of the audio output because the audio output file could not be "
           "written quickly enough.\n" +
           std::to_string(count) + " blocks of audio were left out of the recording.";
}

void WaitForWriteCalls(const MemoryFileSystem& files, uint64_t calls) {
    WaitUntil([&] { return files.WriteCalls() >= calls; }, "the writer made no further write");
}

TEST(RecorderThreads, AFullRingDropsBlocksAndEachBurstIsReportedOnce) {
    RecordingErrorSink errors;
    MemoryFileSystem files;
    Recorder recorder(files);
    FixedDirectory directory("/rec");
    ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));

    std::vector<uint64_t> accepted;  // first frames of the blocks taken, in order
    uint64_t frame = 0;
    auto append = [&] {
        bool queued = recorder.WriteRecordedBlock(PatternBlock(frame, kTickFrames));
        if (queued) accepted.push_back(frame);
        frame += kTickFrames;
        return queued;
    };

    // The writer is stuck in a slow write; the ring fills behind it.
    files.HoldWrites();
    ASSERT_TRUE(append());
    WaitForWriteCalls(files, 2);  // the header, then the held block
    int queued = 0;
    while (append()) ++queued;
    for (int i = 0; i < 9; ++i) EXPECT_FALSE(append());
    // Two seconds of audio at least wait in the ring.
    EXPECT_GE(queued * kTickBytes, 2u * 176400u);
    EXPECT_EQ(recorder.DroppedBlocks(), 10u);
    EXPECT_EQ(errors.Count(), 0u);  // never from the audio thread

    // The burst ends with the next block that fits; the writer reports it.
    files.ReleaseWrites();
    WaitForWriter(recorder, accepted.size());
    AppendWithRoom(recorder, PatternBlock(frame, kTickFrames));
    accepted.push_back(frame);
    frame += kTickFrames;
    WaitForWriter(recorder, accepted.size());
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Errors()[0].message, DropMessage(10));
    EXPECT_EQ(errors.Errors()[0].attemptedAction, "Recording audio output.");

    // A burst still going on when the recording stops is reported at the stop.
    files.HoldWrites();
    ASSERT_TRUE(append());
    WaitForWriteCalls(files, accepted.size() + 1);
    while (append()) {
    }
    EXPECT_FALSE(append());
    EXPECT_FALSE(append());
    files.ReleaseWrites();
    ASSERT_TRUE(recorder.StopRecording(kActiveOrgan));
    ASSERT_EQ(errors.Count(), 2u);
    EXPECT_EQ(errors.Errors()[1].message, DropMessage(3));
    EXPECT_EQ(recorder.DroppedBlocks(), 13u);

    std::vector<uint8_t> expected;
    for (uint64_t first : accepted) {
        auto bytes = AsBytes(PatternBlock(first, kTickFrames));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    auto bytes = files.Bytes(recorder.FilePath());
    ASSERT_EQ(bytes.size(), 48 + expected.size());
    EXPECT_EQ(ReadLe32(bytes, 44), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 48));
}

// Every block the audio thread got in is in the file, whole and in order,
// however the stop falls between its appends.
TEST(RecorderThreads, AStopDuringAppendsKeepsEveryQueuedBlockWhole) {
    RecordingErrorSink errors;
    MemoryFileSystem files;
    FixedDirectory directory("/rec");
    constexpr uint32_t kFrames = 8192;

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        Recorder recorder(files);
        ASSERT_TRUE(recorder.StartRecording(kActiveOrgan, directory));
        std::atomic<bool> done{false};
        uint64_t acceptedCount = 0;
        std::thread audio([&] {
            std::vector<int16_t> block(kFrames * 2);
            uint32_t sequence = 0;
            while (!done.load(std::memory_order_acquire)) {
                // Mostly blocks that fit, so that the stop tends to fall inside a copy.
                if (sequence % 8 != 0 && recorder.FreeRingBytes() < block.size() * 2) {
                    std::this_thread::yield();
                    continue;
                }
                for (uint32_t f = 0; f < kFrames; ++f) {
                    block[2 * f] = static_cast<int16_t>(sequence & 0xFFFF);
                    block[2 * f + 1] = static_cast<int16_t>(sequence >> 16);
                }
                if (recorder.WriteRecordedBlock(block)) ++acceptedCount;
                ++sequence;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + round * 3));
        bool stopped = recorder.StopRecording(kActiveOrgan);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        done.store(true, std::memory_order_release);
        audio.join();
        ASSERT_TRUE(stopped);

        auto bytes = files.Bytes(recorder.FilePath());
        ASSERT_GE(bytes.size(), 48u);
        uint64_t data = bytes.size() - 48;
        ASSERT_EQ(data % (kFrames * 4), 0u);
        EXPECT_EQ(ReadLe32(bytes, 44), data);
        EXPECT_EQ(ReadLe32(bytes, 4), data + 40);
        EXPECT_EQ(data / (kFrames * 4), acceptedCount);
        EXPECT_EQ(recorder.WrittenBlocks(), acceptedCount);

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
        EXPECT_LE(gaps, recorder.DroppedBlocks());
    }
}

}  // namespace
}  // namespace tessaline::test
