#pragma once
// Virtual audio output devices: no sound card, the same ring and cursor rules
// as a real device. Two devices are listed:
//   "Virtual: Hand-driven output"  the play cursor moves only when a test calls Advance;
//   "Virtual: Real-time output"    a clock thread moves it at 44100 frames per second.
// Every played frame can be kept (up to a capacity chosen at construction) so
// tests can check what the device was given. Each operation can be made to
// fail through faults, to exercise the engine's failure paths.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioOutput.h"

namespace tessaline {

struct VirtualAudioFaults {
    std::atomic<bool> enumerate{false};
    std::atomic<bool> create{false};
    std::atomic<bool> createEmpty{false};  // Create says yes but yields no device
    std::atomic<bool> deviceCaps{false};
    std::atomic<bool> mono8Bit{false};  // the device offers neither 16 bits nor stereo
    std::atomic<bool> setFormat{false};
    std::atomic<bool> createBuffer{false};
    std::atomic<bool> bufferCaps{false};
    std::atomic<bool> bufferFormat{false};
    std::atomic<bool> lock{false};
    std::atomic<bool> shortLock{false};  // Lock hands out a first region one frame short
    std::atomic<bool> unlock{false};
    std::atomic<bool> play{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> position{false};
    // The device goes away while playing: the cursor halts and the stream
    // says it is lost.
    std::atomic<bool> lost{false};
};

inline constexpr const char* kVirtualHandDrivenId = "virtual:hand-driven";
inline constexpr const char* kVirtualRealTimeId = "virtual:real-time";

class VirtualAudioStream;

class VirtualAudioSystem : public AudioOutputSystem {
public:
    // The real device list shows only the real-time device: nothing would
    // move a hand-driven cursor there.
    explicit VirtualAudioSystem(size_t captureFrames = 0, bool listHandDriven = true);
    ~VirtualAudioSystem() override;

    bool Enumerate(std::vector<AudioDeviceEntry>& entries, size_t maxEntries) override;
    bool Create(const std::string& identifier, std::unique_ptr<AudioOutputDevice>& device) override;

    // Test thread: moves the cursor of the open hand-driven stream on by
    // frames, keeping what it plays. False when no such stream is playing.
    bool Advance(uint32_t frames);
    // The frames played so far (interleaved left/right), up to the capacity.
    std::vector<int16_t> Captured() const;
    void ClearCaptured();
    // Stream buffers that exist now (0 once the engine has released its device).
    int OpenStreams() const { return openStreams.load(); }
    uint64_t PlayedFrames() const { return playedFrames.load(); }

    VirtualAudioFaults faults;

private:
    friend class VirtualAudioStream;
    void Keep(const int16_t* frames, uint32_t count);

    const size_t captureCapacity;
    const bool listHandDriven;
    mutable std::mutex captureMutex;
    std::vector<int16_t> captured;
    std::atomic<int> openStreams{0};
    std::atomic<uint64_t> playedFrames{0};
    std::atomic<VirtualAudioStream*> handDriven{nullptr};
};

}  // namespace tessaline
