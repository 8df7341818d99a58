#pragma once
// An AudioEngine on the hand-driven virtual output device with a timer that
// ticks only when the test fires it: time moves when the test plays frames.

#include <cstdint>

#include "audio/AudioEngine.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline::test {

struct EngineRig {
    // Parameters set (device 0 is the hand-driven one); not yet playing.
    explicit EngineRig(int64_t bufferFrames, size_t captureFrames = 0)
        : devices(captureFrames) {
        engine.SetParameters(0, bufferFrames);
    }
    // Moves the play cursor on by frames and runs one tick, as the device and
    // the timer do while the stream plays. False when the stream is stopped.
    bool Play(uint32_t frames) { return devices.Advance(frames) && timers.Fire(); }

    VirtualAudioSystem devices;
    ManualTimerService timers;
    AudioEngine engine{devices, timers};
};

}  // namespace tessaline::test
