#include "audio/AudioStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "organ/Constants.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kInitialising = "Initialising audio system.";
constexpr const char* kStopping = "Stopping audio system.";
constexpr const char* kRunning = "Running audio system.";

// positionLock taken with the clock's wait limit; a taker that times out
// goes on without touching the clock.
class TimedGuard {
public:
    explicit TimedGuard(TimedLock& m)
        : mutex(m), owns(m.try_lock_for(std::chrono::milliseconds(kPositionLockWaitMilliseconds))) {}
    ~TimedGuard() {
        if (owns) mutex.unlock();
    }
    TimedGuard(const TimedGuard&) = delete;
    TimedGuard& operator=(const TimedGuard&) = delete;
    bool Owns() const { return owns; }

private:
    TimedLock& mutex;
    const bool owns;
};

}  // namespace

AudioStream::AudioStream(AudioOutputSystem& system, TimerService& timers, AudioRenderer& renderer)
    : system(system), timers(timers), renderer(renderer) {
    devices.reserve(kMaxAudioDevices);
    if (!system.Enumerate(devices, kMaxAudioDevices)) {
        ReportError("Could not enumerate audio output devices.", kInitialising);
    }
    if (devices.size() > kMaxAudioDevices) devices.resize(kMaxAudioDevices);
}

AudioStream::~AudioStream() { Teardown(); }

const char* AudioStream::DeviceDescription(uint32_t index) const {
    return index < devices.size() ? devices[index].description.c_str() : nullptr;
}

int AudioStream::FindDevice(const char* description) const {
    if (description == nullptr) return -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].description == description) return static_cast<int>(i);
    }
    return -1;
}

bool AudioStream::SetParameters(uint32_t newDeviceIndex, int64_t newBufferFrames) {
    if (IsPlaying()) {
        ReportError("Attempt to set audio system paramters when system is running.", kInitialising);
        return false;
    }
    if (newDeviceIndex >= devices.size()) {
        ReportError("Invalid system parameters (audio device number %d).", kInitialising,
                    static_cast<int>(newDeviceIndex));
        return false;
    }
    // The ring's byte size must fit the device's 32-bit offsets, and a tick
    // needs at least one frame to refill.
    if (newBufferFrames < kMinBufferFrames || newBufferFrames > kMaxBufferFrames) {
        ReportError("Invalid system parameters (audio buffer of %lld frames).", kInitialising,
                    static_cast<long long>(newBufferFrames));
        return false;
    }
    deviceIndex = newDeviceIndex;
    bufferBytes = static_cast<uint32_t>(4 * newBufferFrames);
    bufferFrames = newBufferFrames;
    tickFrames = newBufferFrames / 4;
    return true;
}

bool AudioStream::StartFailed(const char* message) {
    ReportError("%s", kInitialising, message);
    Teardown();
    return false;
}

bool AudioStream::StartPlayback() {
    if (IsPlaying()) {
        ReportError("Attempt to play audio output when already playing.", kInitialising);
        return false;
    }
    if (bufferBytes == 0) return StartFailed("System parameters have not been set.");
    Teardown();

    if (!system.Create(devices[deviceIndex].identifier, device)) {
        return StartFailed("Could not create audio output object.");
    }
    if (!device) return StartFailed("Audio output failed to start properly.");
    if (!device->GetCaps(deviceCaps)) {
        return StartFailed("Could not read audio output device capabilities.");
    }
    if (!deviceCaps.sixteenBit || !deviceCaps.stereo) {
        return StartFailed("The audio output device does not support 16-bit stereo audio.");
    }
    const StreamFormat format = StreamFormat::Stereo16();
    if (!device->SetOutputFormat(format)) {
        return StartFailed("Could not set audio output primary control buffer format.");
    }
    streamBuffer = device->CreateStreamBuffer(format, bufferBytes);
    if (!streamBuffer) return StartFailed("Could not create audio output buffer.");
    if (!streamBuffer->GetCaps(bufferCaps)) {
        return StartFailed("Could not read audio output buffer capabilities.");
    }
    if (!streamBuffer->GetFormat(bufferFormat)) {
        return StartFailed("Could not read audio output buffer format.");
    }

    mixBuffersMade = true;
    MixBufferAllocation mix = renderer.AllocateMixBuffers(bufferFrames);
    if (mix.status == MixBufferAllocation::Status::GroupFailed) {
        ReportError("Memory could not be allocated for the audio buffer for manual %d.",
                    kInitialising, mix.group);
        Teardown();
        return false;
    }
    if (mix.status == MixBufferAllocation::Status::MasterFailed) {
        return StartFailed("Memory could not be allocated for the main output audio buffer.");
    }

    RingRegion first, second;
    if (!streamBuffer->Lock(0, bufferBytes, first, second)) {
        return StartFailed("Could not lock audio output buffer.");
    }
    if (first.data) std::memset(first.data, 0, first.bytes);
    if (second.data) std::memset(second.data, 0, second.bytes);
    if (!streamBuffer->Unlock(first, second)) {
        return StartFailed("Could not unlock audio output buffer.");
    }

    ResetClock();
    rendering.store(false, std::memory_order_release);
    deviceLost.store(false, std::memory_order_release);

    if (!streamBuffer->Play()) return StartFailed("Could not start audio output buffer playback.");

    timerDelay = static_cast<uint32_t>(static_cast<uint64_t>(tickFrames) * 1000u / kSampleRate);
    timerResolution = tickFrames < 200 ? 1 : 2;
    tickNanoseconds = TimerPeriodNanoseconds(timerDelay, timerResolution);
    timer = timers.StartPeriodic(timerDelay, timerResolution, *this);
    if (!timer) return StartFailed("Could not start audio output timer.");

    std::lock_guard lock(positionLock);
    playing.store(true, std::memory_order_release);
    return true;
}

bool AudioStream::StopPlayback() {
    if (!IsPlaying()) {
        ReportError("Attempt to stop playing audio output when not playing.", kStopping);
        return false;
    }
    // Joins the timer thread: no tick runs from here on, so the ring, the mix
    // buffers and writePosition can go without waiting periods out.
    timer.reset();
    if (!streamBuffer->Stop()) {
        ReportError("Could not stop audio output buffer playback", kStopping);
        return false;
    }
    {
        // Unbounded wait: a clock reader holding the lock may still be at the
        // stream, which goes away below.
        std::lock_guard lock(positionLock);
        playing.store(false, std::memory_order_release);
    }
    ResetClock();
    rendering.store(false, std::memory_order_release);
    deviceLost.store(false, std::memory_order_release);
    Teardown();
    return true;
}

void AudioStream::Teardown() {
    if (IsPlaying()) StopPlayback();
    timer.reset();
    {
        std::lock_guard lock(positionLock);
        playing.store(false, std::memory_order_release);
    }
    streamBuffer.reset();
    device.reset();
    if (mixBuffersMade) renderer.FreeMixBuffers();
    mixBuffersMade = false;
}

void AudioStream::ResetClock() {
    std::lock_guard lock(positionLock);
    lapBase.store(0, std::memory_order_relaxed);
    playPosition.store(0, std::memory_order_relaxed);
    lastCursor.store(0, std::memory_order_relaxed);
    writePosition = 0;
}

bool AudioStream::UpdateClock() {
    uint32_t cursorBytes = 0;
    if (!streamBuffer->GetCurrentPosition(cursorBytes)) return false;
    const int64_t cursor = cursorBytes / 4;
    TimedGuard guard(positionLock);
    if (!guard.Owns()) return false;
    const int64_t d = cursor - lastCursor.load(std::memory_order_relaxed);
    if (d >= 0) {
        playPosition.fetch_add(d, std::memory_order_relaxed);
    } else {
        // The cursor has wrapped; at most one wrap between two updates.
        playPosition.fetch_add(bufferFrames + d, std::memory_order_relaxed);
        lapBase.fetch_add(bufferFrames, std::memory_order_relaxed);
    }
    lastCursor.store(cursor, std::memory_order_relaxed);
    return true;
}

int64_t AudioStream::CurrentPlayPosition() {
    TimedGuard guard(positionLock);
    if (!guard.Owns()) {
        return IsPlaying() ? playPosition.load(std::memory_order_relaxed) : 0;
    }
    if (!IsPlaying()) return 0;
    uint32_t cursorBytes = 0;
    if (!streamBuffer->GetCurrentPosition(cursorBytes)) {
        return playPosition.load(std::memory_order_relaxed);
    }
    const int64_t d = int64_t{cursorBytes / 4} - lastCursor.load(std::memory_order_relaxed);
    const int64_t played = playPosition.load(std::memory_order_relaxed);
    return d >= 0 ? played + d : played + bufferFrames + d;
}

uint64_t AudioStream::DeviceXruns() {
    std::lock_guard lock(positionLock);
    return IsPlaying() ? streamBuffer->XrunCount() : 0;
}

AudioStream::Clock AudioStream::ClockState() const {
    return {lapBase.load(), playPosition.load(), writePosition, lastCursor.load()};
}

void AudioStream::Tick(int64_t latenessNanoseconds) {
    if (latenessNanoseconds > tickNanoseconds) lateTicks.fetch_add(1, std::memory_order_relaxed);
    if (rendering.exchange(true, std::memory_order_acquire)) {
        skippedTicks.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    RenderTick();
    rendering.store(false, std::memory_order_release);
}

bool AudioStream::RenderTick() {
    // A lost device plays nothing more: say so once and leave the ring alone
    // until the stream is stopped.
    if (deviceLost.load(std::memory_order_relaxed)) return false;
    if (streamBuffer->DeviceLost()) {
        deviceLost.store(true, std::memory_order_release);
        ReportError("The audio output device stopped playing.", kRunning);
        return false;
    }
    UpdateClock();  // when the cursor cannot be read the clock stays as it was
    const int64_t played = playPosition.load(std::memory_order_relaxed);
    const int64_t lap = lapBase.load(std::memory_order_relaxed);
    const int64_t w0 = writePosition;

    // The writer skips whole laps it has fallen behind.
    while (writePosition < lap - bufferFrames) writePosition += bufferFrames;

    // Tail of the previous lap. A writer that was more than a lap behind
    // writes nothing this tick and goes on from the advanced position next time.
    const int64_t tail = lap - w0;
    if (tail > 0) {
        if (tail > bufferFrames) return false;
        if (!FillRegion(bufferBytes - static_cast<uint32_t>(4 * tail), tail)) return false;
    }

    // The current lap, up to the play cursor.
    const int64_t current = played - writePosition;
    if (current <= 0) return true;
    return FillRegion(static_cast<uint32_t>(4 * (writePosition - lap)), current);
}

bool AudioStream::FillRegion(uint32_t offsetBytes, int64_t frames) {
    const auto bytes = static_cast<uint32_t>(4 * frames);
    RingRegion first, second;
    if (!streamBuffer->Lock(offsetBytes, bytes, first, second)) return false;
    if (first.bytes < bytes) {
        streamBuffer->Unlock(first, second);
        return false;
    }
    std::span<int16_t> out(first.data, static_cast<size_t>(frames) * 2);
    std::fill(out.begin(), out.end(), int16_t{0});
    renderer.RenderBlock(out, writePosition);
    if (AudioBlockHook* hook = blockHook.load(std::memory_order_acquire)) {
        hook->WriteRecordedBlock(out);
    }
    writePosition += frames;
    if (!streamBuffer->Unlock(first, second)) {
        ReportError("Could not unlock audio output stream buffer.", kRunning);
        return false;
    }
    return true;
}

}  // namespace tessaline
