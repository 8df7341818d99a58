#pragma once
// The output side of the audio engine: the device table, the looping stream
// buffer on the chosen device, the periodic timer that refills what the
// device has played, and the 64-bit frame clock that voices are scheduled by.
//
// Threads:
//   UI          construction, SetParameters, StartPlayback, StopPlayback,
//               destruction; may block (it joins the timer thread on stop).
//   timer       Tick: updates the clock and renders into the ring. Never
//               allocates; waits only on positionLock, at most 200 ms.
//   MIDI or UI  CurrentPlayPosition (voice start and stop times).
// positionLock guards the clock (lapBase, playPosition, lastCursor) and the
// playing flag as the clock readers see it; writePosition belongs to the tick
// and is reset only while no tick runs.
//
// Frame time T is always kept at byte offset 4 × (T mod bufferFrames) of the
// ring and is heard when the play cursor next reaches it, one buffer length
// after it was written.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/AudioRenderer.h"
#include "audio/TimedLock.h"
#include "platform/AudioOutput.h"
#include "platform/PeriodicTimer.h"

namespace tessaline {

class AudioStream : private TimerTick {
public:
    // UI. Lists the devices (at most 32) once.
    AudioStream(AudioOutputSystem& system, TimerService& timers, AudioRenderer& renderer);
    // UI. Stops if playing and releases everything.
    ~AudioStream() override;
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // UI.
    uint32_t DeviceCount() const { return static_cast<uint32_t>(devices.size()); }
    const char* DeviceDescription(uint32_t index) const;  // nullptr past the end
    int FindDevice(const char* description) const;         // -1 when not listed

    // UI, only while not playing.
    bool SetParameters(uint32_t deviceIndex, int64_t bufferFrames);
    bool StartPlayback();
    bool StopPlayback();

    // Any thread.
    int64_t CurrentPlayPosition();
    bool IsPlaying() const { return playing.load(std::memory_order_acquire); }
    int64_t BufferFrames() const { return bufferFrames; }

    // RT: the recorder's hook (nullptr: none). Any thread may set it.
    void SetBlockHook(AudioBlockHook* hook) { blockHook.store(hook, std::memory_order_release); }

    // Counters for the UI and tests, any thread.
    uint64_t SkippedTicks() const { return skippedTicks.load(std::memory_order_relaxed); }
    uint64_t LateTicks() const { return lateTicks.load(std::memory_order_relaxed); }
    uint64_t DeviceXruns();
    // The device ended the stream on its own while playing (reported once,
    // by the tick that noticed) and until StopPlayback, which then succeeds;
    // a new StartPlayback opens the device afresh. Any thread.
    bool DeviceLost() const { return deviceLost.load(std::memory_order_acquire); }

    struct Clock {
        int64_t lapBase, playPosition, writePosition, lastCursor;
    };
    // For tests and diagnostics: call only while no tick runs.
    Clock ClockState() const;
    uint32_t TimerDelayMilliseconds() const { return timerDelay; }
    uint32_t TimerResolutionMilliseconds() const { return timerResolution; }

private:
    // The timer's tick. A tick that starts more than a period late is counted.
    void Tick(int64_t latenessNanoseconds) override;
    bool RenderTick();
    bool UpdateClock();
    bool FillRegion(uint32_t offsetBytes, int64_t frames);
    bool StartFailed(const char* message);
    void ResetClock();
    void Teardown();

    AudioOutputSystem& system;
    TimerService& timers;
    AudioRenderer& renderer;

    std::vector<AudioDeviceEntry> devices;
    uint32_t deviceIndex = 0;
    int64_t bufferFrames = 0;
    uint32_t bufferBytes = 0;  // 0: no parameters set
    int64_t tickFrames = 0;

    std::unique_ptr<AudioOutputDevice> device;
    std::unique_ptr<AudioOutputStream> streamBuffer;
    std::unique_ptr<PeriodicTimer> timer;
    AudioDeviceCaps deviceCaps;
    StreamBufferCaps bufferCaps;
    StreamFormat bufferFormat;
    bool mixBuffersMade = false;
    uint32_t timerDelay = 0;
    uint32_t timerResolution = 0;
    int64_t tickNanoseconds = 0;

    std::atomic<bool> playing{false};
    std::atomic<bool> rendering{false};

    // The clock. Atomic so that a reader never sees a torn value; taken
    // together they are consistent only under positionLock.
    TimedLock positionLock;
    std::atomic<int64_t> lapBase{0};
    std::atomic<int64_t> playPosition{0};
    std::atomic<int64_t> lastCursor{0};
    int64_t writePosition = 0;

    std::atomic<AudioBlockHook*> blockHook{nullptr};
    std::atomic<uint64_t> skippedTicks{0};
    std::atomic<uint64_t> lateTicks{0};
    std::atomic<bool> deviceLost{false};
};

}  // namespace tessaline
