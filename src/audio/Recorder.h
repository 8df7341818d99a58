#pragma once
// Recording of the audio output into 16-bit stereo 44.1 kHz WAV files.
//
// Threading model
//  - UI thread: StartRecording and StopRecording (also from deactivation and
//    Reset All). They create and finish the file, start and join the writer
//    thread, and may report errors. They never run at the same time.
//  - Audio timer thread: WriteRecordedBlock, once per rendered block. It never
//    touches the file, never allocates, never waits and never reports: it
//    copies the block into a preallocated single-producer single-consumer
//    ring (head advanced with release, tail read with acquire) or, when the
//    ring has no room, drops the block and counts it.
//  - Writer thread (one per recording): takes the blocks off the ring in
//    order and writes each whole, or counts it as failed. It reports write
//    failures and ring overflows once per burst, and finishes the file itself
//    when the next block would pass the size a WAV header can describe.
// Stopping turns recording off first, waits until no append is under way
// (seq_cst flags on both sides, so an append either sees recording off or is
// waited for), then lets the writer drain the ring and joins it; only then are
// the sizes rewritten. The wait is bounded by the ring's few seconds of audio.
//
// The file: a 48-byte header (RIFF, a 20-byte PCM format chunk ending in four
// zero bytes, the data chunk header), then every block exactly as rendered.
// Both sizes are 0 until the recording is finished.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "organ/Constants.h"
#include "platform/BinaryFile.h"
#include "platform/RecordingDirectory.h"

namespace tessaline {

// The state of the organ that decides whether recording may start or stop.
struct OrganState {
    bool loaded = false;
    bool active = false;
};

// The header written when a recording starts, both sizes 0.
std::array<uint8_t, kRecordingHeaderBytes> BuildRecordingHeader();

// "TessalineOutput-%Y-%m-%d-%H-%M-%S.wav" for the local time of start, after
// the directory text as stored and a "/".
std::string RecordingFilePath(const std::string& directory, std::time_t start);

class Recorder {
public:
    using Clock = std::function<std::time_t()>;

    // clock gives the start time (the system clock when empty). dataLimit is
    // the most sample data one file takes before it is finished; tests lower
    // it to reach the limit without writing gigabytes.
    explicit Recorder(BinaryFileSystem& files, Clock clock = {},
                      uint64_t dataLimit = kMaxRecordedDataBytes);
    // Finishes a recording still running.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // UI: starts a recording in the stored directory (asking the player for
    // one when none is stored). False, with no message, when the organ is not
    // loaded and active or a recording runs already.
    bool StartRecording(OrganState organ, RecordingDirectory& directory);
    // UI: finishes the file with its sizes and closes it, also when rewriting
    // the sizes fails. False, with no message, when the organ is not loaded
    // and active or nothing is being recorded.
    bool StopRecording(OrganState organ);

    // RT: queues one rendered block of byteCount / 4 interleaved stereo
    // frames. True when queued; false when not recording, when byteCount is
    // not whole frames, or when the ring has no room (the block is dropped).
    bool WriteRecordedBlock(const int16_t* frames, uint32_t byteCount);
    bool WriteRecordedBlock(std::span<const int16_t> frames);
    // RT: the largest block the ring takes now.
    size_t FreeRingBytes() const;

    // Any thread.
    bool IsRecording() const { return recording.load(std::memory_order_acquire); }
    uint64_t RecordedBytes() const { return recordedBytes.load(std::memory_order_acquire); }
    uint64_t DroppedBlocks() const { return droppedBlocks.load(std::memory_order_acquire); }
    uint64_t WrittenBlocks() const { return writtenBlocks.load(std::memory_order_acquire); }
    uint64_t FailedBlocks() const { return failedBlocks.load(std::memory_order_acquire); }
    // UI: the file of the current or last recording.
    const std::string& FilePath() const { return filePath; }

private:
    struct BlockHeader {
        uint32_t byteCount;
        uint32_t droppedBefore;  // blocks dropped since the block queued before this one
    };

    void WriterLoop();
    void DrainRing();
    void WriteBlock(uint64_t dataPosition, uint32_t byteCount);
    void ReportDrops(uint32_t count);
    void ReachLimit();
    void WaitForAppendToEnd() const;
    bool FinishFile(const char* attemptedAction);
    void CopyIn(uint64_t position, const void* bytes, size_t count);
    void CopyOut(uint64_t position, void* bytes, size_t count) const;

    BinaryFileSystem& files;
    Clock clock;
    const uint64_t dataLimit;

    std::unique_ptr<BinaryFile> file;  // UI, or the writer while it runs
    std::string filePath;
    std::unique_ptr<uint8_t[]> ring;  // kRecorderRingBytes, made at the first start
    std::thread writer;

    std::atomic<bool> recording{false};
    std::atomic<bool> appending{false};
    std::atomic<uint64_t> head{0};          // producer: bytes queued since the start
    std::atomic<uint64_t> tail{0};          // writer: bytes taken
    std::atomic<uint32_t> pendingDrops{0};  // producer: drops since its last queued block

    std::atomic<uint64_t> recordedBytes{0};
    std::atomic<uint64_t> droppedBlocks{0};
    std::atomic<uint64_t> writtenBlocks{0};
    std::atomic<uint64_t> failedBlocks{0};

    // Writer-only state of one recording.
    bool inWriteFailure = false;
    bool needsReposition = false;
    bool limitReached = false;
    bool writerFinishes = false;

    std::mutex wakeMutex;
    std::condition_variable wake;
    std::atomic<bool> stopRequested{false};
};

}  // namespace tessaline
