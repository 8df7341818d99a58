#include "audio/AudioStream.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "StreamTestRenderer.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

constexpr const char* kInit = "Initialising audio system.";

struct Rig {
    RecordingErrorSink errors;
    VirtualAudioSystem devices{4096};
    ManualTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream{devices, timers, renderer};

    // Hand-driven device, 42 blocks.
    bool Start(int64_t frames = 42 * 128) {
        return stream.SetParameters(0, frames) && stream.StartPlayback();
    }
    // Nothing of the device, timer or mix buffers is left.
    void ExpectReleased() {
        EXPECT_FALSE(stream.IsPlaying());
        EXPECT_EQ(devices.OpenStreams(), 0);
        EXPECT_FALSE(timers.Running());
        EXPECT_EQ(renderer.frees, renderer.allocations);
    }
};

TEST(AudioStreamDevices, TableLookups) {
    Rig rig;
    EXPECT_EQ(rig.stream.DeviceCount(), 2u);
    EXPECT_STREQ(rig.stream.DeviceDescription(0), "Virtual: Hand-driven output");
    EXPECT_STREQ(rig.stream.DeviceDescription(1), "Virtual: Real-time output");
    EXPECT_EQ(rig.stream.DeviceDescription(2), nullptr);
    EXPECT_EQ(rig.stream.FindDevice("Virtual: Real-time output"), 1);
    EXPECT_EQ(rig.stream.FindDevice("virtual: real-time output"), -1);
    EXPECT_EQ(rig.stream.FindDevice("Virtual: Real-time"), -1);
    EXPECT_EQ(rig.stream.FindDevice(nullptr), -1);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

// A back end that lists more devices than the table holds, then fails.
class CrowdedSystem : public AudioOutputSystem {
public:
    bool Enumerate(std::vector<AudioDeviceEntry>& entries, size_t) override {
        for (int i = 0; i < 40; ++i) entries.push_back({"id", "Card " + std::to_string(i), "m"});
        return false;
    }
    bool Create(const std::string&, std::unique_ptr<AudioOutputDevice>&) override { return false; }
};

TEST(AudioStreamDevices, ListingKeepsAtMost32AndReportsAFailedEnumeration) {
    RecordingErrorSink errors;
    CrowdedSystem devices;
    ManualTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream(devices, timers, renderer);
    EXPECT_EQ(stream.DeviceCount(), 32u);
    EXPECT_STREQ(stream.DeviceDescription(31), "Card 31");
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Errors()[0].message, "Could not enumerate audio output devices.");
    EXPECT_EQ(errors.Errors()[0].attemptedAction, kInit);
}

TEST(AudioStreamParameters, RefusedWhilePlayingOrOutOfRange) {
    Rig rig;
    EXPECT_FALSE(rig.stream.SetParameters(2, 42 * 128));
    EXPECT_FALSE(rig.stream.SetParameters(0, 3));
    EXPECT_FALSE(rig.stream.SetParameters(0, 2048 * 128 + 1));
    EXPECT_TRUE(rig.stream.SetParameters(0, 2048 * 128));
    ASSERT_TRUE(rig.Start());
    EXPECT_FALSE(rig.stream.SetParameters(0, 128));
    EXPECT_EQ(rig.stream.BufferFrames(), 42 * 128);
    EXPECT_EQ(rig.errors.Messages(),
              (std::vector<std::string>{
                  "Invalid system parameters (audio device number 2).",
                  "Invalid system parameters (audio buffer of 3 frames).",
                  "Invalid system parameters (audio buffer of 262145 frames).",
                  "Attempt to set audio system paramters when system is running."}));
    for (const auto& e : rig.errors.Errors()) EXPECT_EQ(e.attemptedAction, kInit);
}

TEST(AudioStreamStart, BeforeParametersFailsAndOpensNothing) {
    Rig rig;
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_EQ(rig.errors.Messages(), std::vector<std::string>{"System parameters have not been set."});
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, kInit);
    EXPECT_EQ(rig.renderer.allocations, 0);
    rig.ExpectReleased();
}

TEST(AudioStreamStart, OpensTheDeviceClearsTheRingAndTimesTheTicks) {
    Rig rig;
    rig.renderer.onAllocate = [&] { EXPECT_EQ(rig.devices.OpenStreams(), 1); };
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.stream.IsPlaying());
    EXPECT_EQ(rig.renderer.allocatedFrames, 5376);
    EXPECT_EQ(rig.renderer.allocations, 1);
    EXPECT_TRUE(rig.timers.Running());
    EXPECT_EQ(rig.timers.lastDelay, 30u);
    EXPECT_EQ(rig.timers.lastResolution, 2u);
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 0);
    // A full lap of the fresh ring is silence.
    ASSERT_TRUE(rig.devices.Advance(5376));
    for (int16_t v : rig.devices.Captured()) ASSERT_EQ(v, 0);
    EXPECT_EQ(rig.errors.Count(), 0u);
}

TEST(AudioStreamStart, TimerDelayAndResolutionFollowTheBufferLength) {
    Rig rig;
    // A tick every quarter buffer: 32, 192 and 224 frames.
    for (auto [blocks, delay, resolution] : {std::array<uint32_t, 3>{1, 0, 1}, {6, 4, 1}, {7, 5, 2}}) {
        ASSERT_TRUE(rig.Start(blocks * 128));
        EXPECT_EQ(rig.timers.lastDelay, delay) << blocks;
        EXPECT_EQ(rig.timers.lastResolution, resolution) << blocks;
        ASSERT_TRUE(rig.stream.StopPlayback());
    }
}

TEST(AudioStreamStart, RefusedTimerReleasesTheDevice) {
    Rig rig;
    rig.timers.refuse = true;
    EXPECT_FALSE(rig.Start(128));
    EXPECT_EQ(rig.errors.Messages(), std::vector<std::string>{"Could not start audio output timer."});
    rig.ExpectReleased();
    EXPECT_EQ(rig.renderer.allocations, 1);
}

TEST(AudioStreamStart, SecondStartReportsAndLeavesTheStreamRunning) {
    Rig rig;
    ASSERT_TRUE(rig.Start(128));
    ASSERT_TRUE(rig.devices.Advance(10));
    ASSERT_TRUE(rig.timers.Fire());
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_EQ(rig.errors.Messages(),
              std::vector<std::string>{"Attempt to play audio output when already playing."});
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, kInit);
    EXPECT_TRUE(rig.stream.IsPlaying());
    EXPECT_EQ(rig.devices.OpenStreams(), 1);
    EXPECT_EQ(rig.renderer.allocations, 1);
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 10);
    ASSERT_TRUE(rig.devices.Advance(5));
    ASSERT_TRUE(rig.timers.Fire());
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 10}, {10, 5}}));
}

struct StartFailure {
    std::atomic<bool> VirtualAudioFaults::*fault;
    const char* message;
    bool mixBuffersMade;  // mix buffers come only after the stream buffer is read back
};

TEST(AudioStreamStart, EachFailingStepReportsAndReleasesWhatWasOpened) {
    const StartFailure cases[] = {
        {&VirtualAudioFaults::create, "Could not create audio output object.", false},
        {&VirtualAudioFaults::createEmpty, "Audio output failed to start properly.", false},
        {&VirtualAudioFaults::deviceCaps, "Could not read audio output device capabilities.", false},
        {&VirtualAudioFaults::mono8Bit, "The audio output device does not support 16-bit stereo audio.", false},
        {&VirtualAudioFaults::setFormat, "Could not set audio output primary control buffer format.", false},
        {&VirtualAudioFaults::createBuffer, "Could not create audio output buffer.", false},
        {&VirtualAudioFaults::bufferCaps, "Could not read audio output buffer capabilities.", false},
        {&VirtualAudioFaults::bufferFormat, "Could not read audio output buffer format.", false},
        {&VirtualAudioFaults::lock, "Could not lock audio output buffer.", true},
        {&VirtualAudioFaults::unlock, "Could not unlock audio output buffer.", true},
        {&VirtualAudioFaults::play, "Could not start audio output buffer playback.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Rig rig;
        (rig.devices.faults.*c.fault) = true;
        EXPECT_FALSE(rig.Start());
        ASSERT_EQ(rig.errors.Count(), 1u);
        EXPECT_EQ(rig.errors.Errors()[0].message, c.message);
        EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, kInit);
        rig.ExpectReleased();
        EXPECT_EQ(rig.renderer.allocations, c.mixBuffersMade ? 1 : 0);
        // The failure is not sticky: with the fault gone the same stream starts.
        (rig.devices.faults.*c.fault) = false;
        EXPECT_TRUE(rig.stream.StartPlayback());
    }
}

TEST(AudioStreamStart, MixBufferFailuresNameTheGroupOrTheMaster) {
    Rig rig;
    rig.renderer.allocation = {MixBufferAllocation::Status::GroupFailed, 7};
    EXPECT_FALSE(rig.Start());
    rig.ExpectReleased();
    rig.renderer.allocation = {MixBufferAllocation::Status::MasterFailed, 0};
    EXPECT_FALSE(rig.stream.StartPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.errors.Messages(),
              (std::vector<std::string>{"Memory could not be allocated for the audio buffer for manual 7.",
                                        "Memory could not be allocated for the main output audio buffer."}));
    EXPECT_EQ(rig.renderer.frees, 2);
}

TEST(AudioStreamStop, ReleasesEverythingAndResetsTheClock) {
    Rig rig;
    ASSERT_TRUE(rig.Start(128));
    ASSERT_TRUE(rig.devices.Advance(100));
    ASSERT_TRUE(rig.timers.Fire());
    ASSERT_TRUE(rig.devices.Advance(60));
    ASSERT_TRUE(rig.timers.Fire());
    ASSERT_NE(rig.stream.ClockState().lapBase, 0);
    ASSERT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.stream.CurrentPlayPosition(), 0);
    AudioStream::Clock c = rig.stream.ClockState();
    EXPECT_EQ((std::array<int64_t, 4>{c.lapBase, c.playPosition, c.writePosition, c.lastCursor}),
              (std::array<int64_t, 4>{0, 0, 0, 0}));

    EXPECT_FALSE(rig.stream.StopPlayback());
    ASSERT_EQ(rig.errors.Count(), 1u);
    EXPECT_EQ(rig.errors.Errors()[0].message, "Attempt to stop playing audio output when not playing.");
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Stopping audio system.");

    // A restart begins a fresh clock at frame time 0.
    rig.renderer.calls.clear();
    ASSERT_TRUE(rig.stream.StartPlayback());
    ASSERT_TRUE(rig.devices.Advance(20));
    ASSERT_TRUE(rig.timers.Fire());
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 20}}));
}

TEST(AudioStreamStop, DeviceThatWillNotStopStaysPlayingWithoutItsTimer) {
    Rig rig;
    ASSERT_TRUE(rig.Start());
    rig.devices.faults.stop = true;
    EXPECT_FALSE(rig.stream.StopPlayback());
    EXPECT_EQ(rig.errors.Messages(), std::vector<std::string>{"Could not stop audio output buffer playback"});
    EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Stopping audio system.");
    EXPECT_TRUE(rig.stream.IsPlaying());
    EXPECT_FALSE(rig.timers.Running());
    rig.devices.faults.stop = false;
    EXPECT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
}

TEST(AudioStreamStop, DestructionWhilePlayingReleasesTheDevice) {
    RecordingErrorSink errors;
    VirtualAudioSystem devices;
    ManualTimerService timers;
    StreamTestRenderer renderer;
    {
        AudioStream stream(devices, timers, renderer);
        ASSERT_TRUE(stream.SetParameters(0, 1024));
        ASSERT_TRUE(stream.StartPlayback());
    }
    EXPECT_EQ(devices.OpenStreams(), 0);
    EXPECT_FALSE(timers.Running());
    EXPECT_EQ(renderer.frees, 1);
    EXPECT_EQ(errors.Count(), 0u);
}

}  // namespace
}  // namespace tessaline
