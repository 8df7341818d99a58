#include "platform/virtual/VirtualAudioOutput.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "organ/Constants.h"
#include "platform/StreamRing.h"

namespace tessaline {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
constexpr int64_t kClockStepNanoseconds = 1000000;  // the real-time device moves every 1 ms

int64_t Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * kNanosecondsPerSecond + t.tv_nsec;
}

}  // namespace

class VirtualAudioStream : public AudioOutputStream {
public:
    VirtualAudioStream(VirtualAudioSystem& system, uint32_t bufferBytes, bool realTime)
        : system(system), ring(bufferBytes), realTime(realTime) {
        system.openStreams.fetch_add(1);
        if (!realTime) system.handDriven.store(this);
    }

    ~VirtualAudioStream() override {
        StopClock();
        if (!realTime) system.handDriven.store(nullptr);
        system.openStreams.fetch_sub(1);
    }

    bool GetCaps(StreamBufferCaps& caps) override {
        if (system.faults.bufferCaps) return false;
        caps = {ring.Bytes(), realTime ? 44u : 0u};
        return true;
    }
    bool GetFormat(StreamFormat& format) override {
        if (system.faults.bufferFormat) return false;
        format = StreamFormat::Stereo16();
        return true;
    }
    bool Lock(uint32_t offsetBytes, uint32_t bytes, RingRegion& first, RingRegion& second) override {
        if (system.faults.lock) return false;
        if (!ring.Lock(offsetBytes, bytes, first, second)) return false;
        if (system.faults.shortLock && first.bytes >= 4) first.bytes -= 4;
        return true;
    }
    bool Unlock(const RingRegion& first, const RingRegion& second) override {
        if (system.faults.unlock) return false;
        return ring.Unlock(first, second);
    }
    bool Play() override {
        if (system.faults.play) return false;
        if (playing.exchange(true)) return true;
        if (realTime) clock = std::thread([this] { RunClock(); });
        return true;
    }
    bool Stop() override {
        if (system.faults.stop) return false;
        StopClock();
        playing.store(false);
        return true;
    }
    bool GetCurrentPosition(uint32_t& playCursorBytes) override {
        if (system.faults.position) return false;
        playCursorBytes = ring.CursorBytes();
        return true;
    }
    uint64_t XrunCount() const override { return 0; }
    bool DeviceLost() override { return playing.load() && system.faults.lost.load(); }

    bool Advance(uint32_t frames) {
        if (!playing.load() || system.faults.lost.load()) return false;
        constexpr uint32_t kChunk = 1024;
        int16_t chunk[kChunk * 2];
        while (frames > 0) {
            uint32_t n = std::min(frames, kChunk);
            ring.Play(chunk, n);
            system.Keep(chunk, n);
            frames -= n;
        }
        return true;
    }

private:
    void RunClock() {
        const int64_t start = Now();
        int64_t deadline = start;
        uint64_t played = 0;
        while (!stopping.load(std::memory_order_acquire)) {
            deadline += kClockStepNanoseconds;
            timespec t{static_cast<time_t>(deadline / kNanosecondsPerSecond),
                       static_cast<long>(deadline % kNanosecondsPerSecond)};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
            }
            auto due = static_cast<uint64_t>((Now() - start) * kSampleRate / kNanosecondsPerSecond);
            if (due > played) {
                Advance(static_cast<uint32_t>(due - played));
                played = due;
            }
        }
    }

    void StopClock() {
        stopping.store(true, std::memory_order_release);
        if (clock.joinable()) clock.join();
        stopping.store(false, std::memory_order_release);
    }

    VirtualAudioSystem& system;
    StreamRing ring;
    const bool realTime;
    std::atomic<bool> playing{false};
    std::atomic<bool> stopping{false};
    std::thread clock;
};

namespace {

class VirtualAudioDevice : public AudioOutputDevice {
public:
    VirtualAudioDevice(VirtualAudioSystem& system, bool realTime) : system(system), realTime(realTime) {}

    bool GetCaps(AudioDeviceCaps& caps) override {
        if (system.faults.deviceCaps) return false;
        bool full = !system.faults.mono8Bit;
        caps = {full, full, 44100};
        return true;
    }
    bool SetOutputFormat(const StreamFormat& format) override {
        return !system.faults.setFormat && format == StreamFormat::Stereo16();
    }
    std::unique_ptr<AudioOutputStream> CreateStreamBuffer(const StreamFormat& format,
                                                          uint32_t bufferBytes) override {
        if (system.faults.createBuffer || !(format == StreamFormat::Stereo16())) return nullptr;
        if (bufferBytes == 0 || bufferBytes % 4 != 0) return nullptr;
        return std::make_unique<VirtualAudioStream>(system, bufferBytes, realTime);
    }

private:
    VirtualAudioSystem& system;
    const bool realTime;
};

}  // namespace

VirtualAudioSystem::VirtualAudioSystem(size_t captureFrames, bool listHandDriven)
    : captureCapacity(captureFrames * 2), listHandDriven(listHandDriven) {
    captured.reserve(captureCapacity);
}

VirtualAudioSystem::~VirtualAudioSystem() = default;

bool VirtualAudioSystem::Enumerate(std::vector<AudioDeviceEntry>& entries, size_t maxEntries) {
    if (faults.enumerate) return false;
    const AudioDeviceEntry mine[] = {
        {kVirtualHandDrivenId, "Virtual: Hand-driven output", "virtual"},
        {kVirtualRealTimeId, "Virtual: Real-time output", "virtual"},
    };
    for (const auto& entry : mine) {
        if (entries.size() >= maxEntries) break;
        if (!listHandDriven && entry.identifier == kVirtualHandDrivenId) continue;
        entries.push_back(entry);
    }
    return true;
}

bool VirtualAudioSystem::Create(const std::string& identifier,
                                std::unique_ptr<AudioOutputDevice>& device) {
    device.reset();
    if (faults.create) return false;
    if (faults.createEmpty) return true;
    if (identifier == kVirtualHandDrivenId) {
        device = std::make_unique<VirtualAudioDevice>(*this, false);
    } else if (identifier == kVirtualRealTimeId) {
        device = std::make_unique<VirtualAudioDevice>(*this, true);
    } else {
        return false;
    }
    return true;
}

bool VirtualAudioSystem::Advance(uint32_t frames) {
    VirtualAudioStream* stream = handDriven.load();
    return stream != nullptr && stream->Advance(frames);
}

void VirtualAudioSystem::Keep(const int16_t* frames, uint32_t count) {
    playedFrames.fetch_add(count);
    std::lock_guard lock(captureMutex);
    size_t room = captureCapacity - captured.size();
    captured.insert(captured.end(), frames, frames + std::min(room, size_t{count} * 2));
}

std::vector<int16_t> VirtualAudioSystem::Captured() const {
    std::lock_guard lock(captureMutex);
    return captured;
}

void VirtualAudioSystem::ClearCaptured() {
    std::lock_guard lock(captureMutex);
    captured.clear();
}

}  // namespace tessaline
