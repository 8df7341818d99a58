// A device that ends the stream on its own while it plays (a sound server
// that dies, a device unplugged): reported once, the stream's callers keep
// getting answers, and stopping and starting again brings the sound back.

#include <gtest/gtest.h>

#include "StreamTestRenderer.h"
#include "audio/AudioStream.h"
#include "platform/virtual/ManualTimer.h"
#include "platform/virtual/RecordingErrorSink.h"
#include "platform/virtual/VirtualAudioOutput.h"

namespace tessaline {
namespace {

TEST(AudioDeviceLoss, IsReportedOnceAndTheStreamStopsAndStartsAgain) {
    RecordingErrorSink errors;
    VirtualAudioSystem devices(4096);
    ManualTimerService timers;
    StreamTestRenderer renderer;
    AudioStream stream(devices, timers, renderer);
    ASSERT_TRUE(stream.SetParameters(0, 256));
    ASSERT_TRUE(stream.StartPlayback());
    ASSERT_TRUE(devices.Advance(100));
    ASSERT_TRUE(timers.Fire());
    EXPECT_FALSE(stream.DeviceLost());

    devices.faults.lost = true;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(timers.Fire());
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.Errors()[0].boxText,
              "Message: The audio output device stopped playing.\n\n"
              "Attempted action: Running audio system.");
    EXPECT_TRUE(stream.DeviceLost());
    // Nothing more is rendered for a device that plays nothing; the clock
    // still answers, where the device left it.
    EXPECT_EQ(renderer.calls, (std::vector<RenderCall>{{0, 100}}));
    EXPECT_EQ(stream.CurrentPlayPosition(), 100);
    EXPECT_TRUE(stream.IsPlaying());

    ASSERT_TRUE(stream.StopPlayback());
    EXPECT_FALSE(stream.DeviceLost());
    EXPECT_EQ(devices.OpenStreams(), 0);

    devices.faults.lost = false;
    ASSERT_TRUE(stream.StartPlayback());
    EXPECT_FALSE(stream.DeviceLost());
    ASSERT_TRUE(devices.Advance(60));
    ASSERT_TRUE(timers.Fire());
    EXPECT_EQ(renderer.calls.back(), (RenderCall{0, 60}));
    EXPECT_EQ(errors.Count(), 1u);
    ASSERT_TRUE(stream.StopPlayback());
}

}  // namespace
}  // namespace tessaline
