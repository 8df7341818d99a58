#include "audio/Recorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>

#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kStartAction = "Starting audio output recording.";
constexpr const char* kRecordAction = "Recording audio output.";
constexpr const char* kStopAction = "Stopping audio output recording.";
constexpr const char* kWriteFailed =
    "Could not write to the audio output file.\nPlease check that the disk is not full.";

constexpr uint64_t kRingMask = kRecorderRingBytes - 1;
static_assert(kMaxRecordedDataBytes + 40 <= 0xFFFFFFFFu && kMaxRecordedDataBytes % 4 == 0,
              "the largest recording fits the header's 32-bit sizes in whole frames");
static_assert((kRecorderRingBytes & kRingMask) == 0, "the ring size is a power of two");

void PutLe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool WriteLe32(BinaryFile& file, uint32_t value) {
    uint8_t bytes[4];
    PutLe32(bytes, value);
    return file.Write(bytes, sizeof bytes);
}

}  // namespace

std::array<uint8_t, kRecordingHeaderBytes> BuildRecordingHeader() {
    std::array<uint8_t, kRecordingHeaderBytes> header{};
    uint8_t* h = header.data();
    std::memcpy(h, "RIFF", 4);
    // The RIFF size at 4 and the data size at 44 stay 0 until the recording is
    // finished.
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    PutLe32(h + 16, 20);  // four bytes longer than PCM needs; they stay zero
    PutLe16(h + 20, 1);
    PutLe16(h + 22, 2);
    PutLe32(h + 24, static_cast<uint32_t>(kSampleRate));
    PutLe32(h + 28, static_cast<uint32_t>(kSampleRate) * 4);
    PutLe16(h + 32, 4);
    PutLe16(h + 34, 16);
    std::memcpy(h + 40, "data", 4);
    return header;
}

std::string RecordingFilePath(const std::string& directory, std::time_t start) {
    std::tm local{};
    localtime_r(&start, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H-%M-%S", &local);
    return directory + "/TessalineOutput-" + stamp + ".wav";
}

Recorder::Recorder(BinaryFileSystem& fileSystem, Clock startClock, uint64_t limit)
    : files(fileSystem),
      clock(startClock ? std::move(startClock) : Clock([] { return std::time(nullptr); })),
      dataLimit(std::min(limit, kMaxRecordedDataBytes)) {}

Recorder::~Recorder() {
    if (recording.load(std::memory_order_acquire)) StopRecording({true, true});
    if (writer.joinable()) writer.join();
}

bool Recorder::StartRecording(OrganState organ, RecordingDirectory& directory) {
    if (!organ.loaded || !organ.active || recording.load(std::memory_order_acquire)) return false;
    // A writer that finished its file at the size limit has ended or is ending.
    if (writer.joinable()) writer.join();

    std::string folder = directory.Read();
    if (folder.empty()) {
        directory.Choose();
        folder = directory.Read();
    }
    if (folder.empty()) {
        ReportError(
            "Could not start recording because no directory has been specified for audio "
            "files.\nPlease set the directory from the File menu.",
            kStartAction);
        return false;
    }

    if (!ring) {
        ring.reset(new (std::nothrow) uint8_t[kRecorderRingBytes]);
        if (!ring) {
            ReportError("Memory could not be allocated for recording the audio output.",
                        kStartAction);
            return false;
        }
    }
    filePath = RecordingFilePath(folder, clock());
    file = files.Create(filePath);
    if (!file) {
        ReportError(
            "Could not create the audio output file %s.\nPlease check that a valid directory has "
            "been specified from the file menu and that the directory can be written to.",
            kStartAction, filePath.c_str());
        return false;
    }
    auto header = BuildRecordingHeader();
    if (!file->Write(header.data(), header.size())) {
        // A file without its header is no recording: say so now rather than
        // record into it.
        ReportError(kWriteFailed, kStartAction);
        file->Close();
        file.reset();
        return false;
    }

    head.store(0, std::memory_order_relaxed);
    tail.store(0, std::memory_order_relaxed);
    pendingDrops.store(0, std::memory_order_relaxed);
    recordedBytes.store(0, std::memory_order_relaxed);
    droppedBlocks.store(0, std::memory_order_relaxed);
    writtenBlocks.store(0, std::memory_order_relaxed);
    failedBlocks.store(0, std::memory_order_relaxed);
    inWriteFailure = needsReposition = limitReached = writerFinishes = false;
    stopRequested.store(false, std::memory_order_relaxed);

    try {
        writer = std::thread(&Recorder::WriterLoop, this);
    } catch (const std::system_error&) {
        ReportError("Could not start writing the audio output file.", kStartAction);
        file->Close();
        file.reset();
        return false;
    }
    // Last: the audio thread appends only once the file and ring are ready.
    recording.store(true, std::memory_order_seq_cst);
    return true;
}

bool Recorder::StopRecording(OrganState organ) {
    if (!organ.loaded || !organ.active) return false;
    // Whoever turns recording off finishes the file: this call or the writer
    // at the size limit.
    if (!recording.exchange(false, std::memory_order_seq_cst)) return false;
    WaitForAppendToEnd();
    {
        std::lock_guard lock(wakeMutex);
        stopRequested.store(true, std::memory_order_release);
    }
    wake.notify_one();
    writer.join();
    return FinishFile(kStopAction);
}

bool Recorder::WriteRecordedBlock(const int16_t* frames, uint32_t byteCount) {
    if (byteCount % 4 != 0 || (byteCount > 0 && frames == nullptr)) return false;
    appending.store(true, std::memory_order_seq_cst);
    bool queued = false;
    if (recording.load(std::memory_order_seq_cst)) {
        uint64_t need = sizeof(BlockHeader) + uint64_t{byteCount};
        uint64_t h = head.load(std::memory_order_relaxed);
        uint64_t used = h - tail.load(std::memory_order_acquire);
        if (need <= kRecorderRingBytes - used) {
            BlockHeader record{byteCount, pendingDrops.load(std::memory_order_relaxed)};
            CopyIn(h, &record, sizeof record);
            CopyIn(h + sizeof record, frames, byteCount);
            head.store(h + need, std::memory_order_release);
            pendingDrops.store(0, std::memory_order_relaxed);
            queued = true;
        } else {
            uint32_t drops = pendingDrops.load(std::memory_order_relaxed);
            if (drops < std::numeric_limits<uint32_t>::max())
                pendingDrops.store(drops + 1, std::memory_order_relaxed);
            droppedBlocks.fetch_add(1, std::memory_order_release);
        }
    }
    appending.store(false, std::memory_order_seq_cst);
    return queued;
}

bool Recorder::WriteRecordedBlock(std::span<const int16_t> frames) {
    if (frames.size() > std::numeric_limits<uint32_t>::max() / 2) return false;
    return WriteRecordedBlock(frames.data(), static_cast<uint32_t>(frames.size() * 2));
}

size_t Recorder::FreeRingBytes() const {
    uint64_t used = head.load(std::memory_order_relaxed) - tail.load(std::memory_order_acquire);
    uint64_t free = kRecorderRingBytes - used;
    return free <= sizeof(BlockHeader) ? 0 : static_cast<size_t>(free - sizeof(BlockHeader));
}

void Recorder::WaitForAppendToEnd() const {
    // An append is a copy of one block: this wait is short.
    while (appending.load(std::memory_order_seq_cst)) std::this_thread::yield();
}

void Recorder::WriterLoop() {
    for (;;) {
        bool stopping = stopRequested.load(std::memory_order_acquire);
        DrainRing();
        if (writerFinishes) {
            WaitForAppendToEnd();
            DrainRing();
            FinishFile(kRecordAction);
            return;
        }
        if (stopping) break;
        // The audio thread never signals (that would be a system call on the
        // render path); the writer looks at the ring a few times per tick.
        std::unique_lock lock(wakeMutex);
        wake.wait_for(lock, std::chrono::milliseconds(kRecorderWriterPollMilliseconds),
                      [this] { return stopRequested.load(std::memory_order_acquire); });
    }
    // The producer has finished appending for good: its last drops are final.
    uint32_t trailing = pendingDrops.load(std::memory_order_relaxed);
    if (trailing > 0 && !limitReached) ReportDrops(trailing);
}

void Recorder::DrainRing() {
    uint64_t t = tail.load(std::memory_order_relaxed);
    uint64_t h = head.load(std::memory_order_acquire);
    while (t != h) {
        BlockHeader record;
        CopyOut(t, &record, sizeof record);
        if (record.droppedBefore > 0 && !limitReached) ReportDrops(record.droppedBefore);
        WriteBlock(t + sizeof record, record.byteCount);
        t += sizeof record + record.byteCount;
        tail.store(t, std::memory_order_release);
    }
}

void Recorder::WriteBlock(uint64_t dataPosition, uint32_t byteCount) {
    if (limitReached || byteCount == 0) return;
    uint64_t recorded = recordedBytes.load(std::memory_order_relaxed);
    if (recorded + byteCount > dataLimit) {
        ReachLimit();
        return;
    }
    bool written = true;
    // After a failed write the file may end in part of a block: write the next
    // one where the last whole block ended.
    if (needsReposition) written = file->Seek(kRecordingHeaderBytes + recorded);
    if (written) {
        size_t index = static_cast<size_t>(dataPosition & kRingMask);
        size_t first = std::min<size_t>(byteCount, kRecorderRingBytes - index);
        written = file->Write(ring.get() + index, first) &&
                  (first == byteCount || file->Write(ring.get(), byteCount - first));
    }
    if (!written) {
        needsReposition = true;
        failedBlocks.fetch_add(1, std::memory_order_release);
        if (!inWriteFailure) ReportError(kWriteFailed, kRecordAction);
        inWriteFailure = true;
        return;
    }
    needsReposition = false;
    inWriteFailure = false;
    recordedBytes.store(recorded + byteCount, std::memory_order_release);
    writtenBlocks.fetch_add(1, std::memory_order_release);
}

void Recorder::ReportDrops(uint32_t count) {
    ReportError(
        "Could not record all of the audio output because the audio output file could not be "
        "written quickly enough.\n%u blocks of audio were left out of the recording.",
        kRecordAction, count);
}

void Recorder::ReachLimit() {
    limitReached = true;
    ReportError(
        "The audio output file has reached the largest size that a WAV file can hold.\nThe "
        "recording has been stopped and saved; start a new recording to go on.",
        kRecordAction);
    writerFinishes = recording.exchange(false, std::memory_order_seq_cst);
}

bool Recorder::FinishFile(const char* attemptedAction) {
    auto data = static_cast<uint32_t>(recordedBytes.load(std::memory_order_acquire));
    bool finished = false;
    if (!file->Seek(4)) {
        ReportError("Could not rewind the audio output file.", attemptedAction);
    } else if (!WriteLe32(*file, data + 40)) {
        ReportError("Could not write to the audio output file..", attemptedAction);
    } else if (!file->Seek(44)) {
        ReportError("Could not rewind the audio output file.", attemptedAction);
    } else if (!WriteLe32(*file, data) || !file->Truncate(kRecordingHeaderBytes + data)) {
        // The cut drops any part of a block that a failed write left behind.
        ReportError("Could not write to the audio output file..", attemptedAction);
    } else {
        finished = true;
    }
    // Closed also when the sizes could not be written: an open handle would
    // outlive the recording and nothing would ever close it.
    bool closed = file->Close();
    file.reset();
    if (finished && !closed) {
        ReportError("Could not close the audio output file.", attemptedAction);
        finished = false;
    }
    return finished;
}

void Recorder::CopyIn(uint64_t position, const void* bytes, size_t count) {
    size_t index = static_cast<size_t>(position & kRingMask);
    size_t first = std::min(count, kRecorderRingBytes - index);
    std::memcpy(ring.get() + index, bytes, first);
    std::memcpy(ring.get(), static_cast<const uint8_t*>(bytes) + first, count - first);
}

void Recorder::CopyOut(uint64_t position, void* bytes, size_t count) const {
    size_t index = static_cast<size_t>(position & kRingMask);
    size_t first = std::min(count, kRecorderRingBytes - index);
    std::memcpy(bytes, ring.get() + index, first);
    std::memcpy(static_cast<uint8_t*>(bytes) + first, ring.get(), count - first);
}

}  // namespace tessaline
