#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "StreamRig.h"

namespace tessaline {
namespace {

using Messages = std::vector<std::string>;

// A back end that lists more devices than the table holds, then fails.
class CrowdedSystem : public AudioOutputSystem {
public:
    bool Enumerate(std::vector<AudioDeviceEntry>& entries, size_t) override {
        for (int i = 0; i < 40; ++i) entries.push_back({"id", "Card " + std::to_string(i), "m"});
        return false;
    }
    bool Create(const std::string&, std::unique_ptr<AudioOutputDevice>&) override { return false; }
};

TEST(AudioStreamStart, DeviceTableAndParametersAreChecked) {
    StreamRig rig;
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_FALSE(rig.stream.SetParameters(2, 42 * 128));
    EXPECT_FALSE(rig.stream.SetParameters(0, 3));
    EXPECT_FALSE(rig.stream.SetParameters(0, 2048 * 128 + 1));
    EXPECT_TRUE(rig.stream.SetParameters(0, 2048 * 128));
    ASSERT_TRUE(rig.Start(42 * 128));
    EXPECT_FALSE(rig.stream.SetParameters(0, 128));
    EXPECT_FALSE(rig.stream.StartPlayback());
    EXPECT_EQ(rig.stream.BufferFrames(), 42 * 128);
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"System parameters have not been set.",
                        "Invalid system parameters (audio device number 2).",
                        "Invalid system parameters (audio buffer of 3 frames).",
                        "Invalid system parameters (audio buffer of 262145 frames).",
                        "Attempt to set audio system paramters when system is running.",
                        "Attempt to play audio output when already playing."}));
    for (const auto& e : rig.errors.Errors()) EXPECT_EQ(e.attemptedAction, "Initialising audio system.");
    EXPECT_EQ(rig.renderer.allocations, 1);

    RecordingErrorSink errors;
    CrowdedSystem crowded;
    AudioStream stream(crowded, rig.timers, rig.renderer);
    EXPECT_EQ(stream.DeviceCount(), 32u);
    EXPECT_STREQ(stream.DeviceDescription(31), "Card 31");
    EXPECT_EQ(errors.Messages(), Messages{"Could not enumerate audio output devices."});
}

TEST(AudioStreamStart, OpensTheDeviceOnAFreshRingAndTimesTheTicksByTheBuffer) {
    // A tick every quarter buffer: 32, 192, 224 and 1344 frames.
    for (auto [blocks, delay, resolution] :
         {std::array<uint32_t, 3>{1, 0, 1}, {6, 4, 1}, {7, 5, 2}, {42, 30, 2}}) {
        SCOPED_TRACE(blocks);
        StreamRig rig;
        ASSERT_TRUE(rig.Start(blocks * 128));
        EXPECT_EQ(rig.timers.lastDelay, delay);
        EXPECT_EQ(rig.timers.lastResolution, resolution);
        EXPECT_EQ(rig.renderer.allocatedFrames, blocks * 128);
        // A full lap of the fresh ring is silence.
        ASSERT_TRUE(rig.devices.Advance(blocks * 128));
        for (int16_t v : rig.devices.Captured()) ASSERT_EQ(v, 0);
    }
}

TEST(AudioStreamStart, EachFailingStepReportsAndReleasesWhatWasOpened) {
    using F = VirtualAudioFaults;
    const struct {
        std::atomic<bool> F::*fault;
        const char* message;
        bool mixBuffersMade;  // only after the stream buffer is read back
    } cases[] = {
        {&F::create, "Could not create audio output object.", false},
        {&F::createEmpty, "Audio output failed to start properly.", false},
        {&F::deviceCaps, "Could not read audio output device capabilities.", false},
        {&F::mono8Bit, "The audio output device does not support 16-bit stereo audio.", false},
        {&F::setFormat, "Could not set audio output primary control buffer format.", false},
        {&F::createBuffer, "Could not create audio output buffer.", false},
        {&F::bufferCaps, "Could not read audio output buffer capabilities.", false},
        {&F::bufferFormat, "Could not read audio output buffer format.", false},
        {&F::lock, "Could not lock audio output buffer.", true},
        {&F::unlock, "Could not unlock audio output buffer.", true},
        {&F::play, "Could not start audio output buffer playback.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StreamRig rig;
        (rig.devices.faults.*c.fault) = true;
        EXPECT_FALSE(rig.Start(128));
        EXPECT_EQ(rig.errors.Messages(), Messages{c.message});
        EXPECT_EQ(rig.errors.Errors()[0].attemptedAction, "Initialising audio system.");
        rig.ExpectReleased();
        EXPECT_EQ(rig.renderer.allocations, c.mixBuffersMade ? 1 : 0);
        // The failure is not sticky: with the fault gone the same stream starts.
        (rig.devices.faults.*c.fault) = false;
        EXPECT_TRUE(rig.stream.StartPlayback());
    }

    StreamRig rig;
    rig.timers.refuse = true;
    EXPECT_FALSE(rig.Start(128));
    rig.ExpectReleased();
    rig.timers.refuse = false;
    rig.renderer.allocation = {MixBufferAllocation::Status::GroupFailed, 7};
    EXPECT_FALSE(rig.stream.StartPlayback());
    rig.ExpectReleased();
    rig.renderer.allocation = {MixBufferAllocation::Status::MasterFailed, 0};
    EXPECT_FALSE(rig.stream.StartPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"Could not start audio output timer.",
                        "Memory could not be allocated for the audio buffer for manual 7.",
                        "Memory could not be allocated for the main output audio buffer."}));
}

TEST(AudioStreamStop, ReleasesEverythingAndAStartBeginsAFreshClock) {
    StreamRig rig;
    ASSERT_TRUE(rig.Start(128));
    rig.Play(100);
    rig.Play(60);
    ASSERT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
    const AudioStream::Clock c = rig.stream.ClockState();
    EXPECT_EQ((std::array<int64_t, 4>{c.lapBase, c.playPosition, c.writePosition, c.lastCursor}),
              (std::array<int64_t, 4>{0, 0, 0, 0}));
    EXPECT_FALSE(rig.stream.StopPlayback());
    rig.renderer.calls.clear();
    ASSERT_TRUE(rig.stream.StartPlayback());
    rig.Play(20);
    EXPECT_EQ(rig.renderer.calls, (std::vector<RenderCall>{{0, 20}}));

    // A device that will not stop stays playing, without its timer.
    rig.devices.faults.stop = true;
    EXPECT_FALSE(rig.stream.StopPlayback());
    EXPECT_TRUE(rig.stream.IsPlaying());
    EXPECT_FALSE(rig.timers.Running());
    rig.devices.faults.stop = false;
    EXPECT_TRUE(rig.stream.StopPlayback());
    rig.ExpectReleased();
    EXPECT_EQ(rig.errors.Messages(),
              (Messages{"Attempt to stop playing audio output when not playing.",
                        "Could not stop audio output buffer playback"}));
    for (const auto& e : rig.errors.Errors()) EXPECT_EQ(e.attemptedAction, "Stopping audio system.");

    // Destroyed while playing, a stream lets go of the device and its timer.
    {
        AudioStream playing(rig.devices, rig.timers, rig.renderer);
        ASSERT_TRUE(playing.SetParameters(0, 1024));
        ASSERT_TRUE(playing.StartPlayback());
    }
    rig.ExpectReleased();
}

}  // namespace
}  // namespace tessaline
