#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "JackTest.h"
#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Organ.h"
#include "organ/Pipe.h"
#include "organ/Stop.h"
#include "platform/ThreadTimer.h"
#include "platform/rtaudio/RtAudioOutput.h"
#include "support/OrganRig.h"
#include "support/OrganSections.h"
#include "support/WavBuilder.h"

namespace tessaline::e2e {
namespace {

// 441 Hz: exactly 100 frames a period, so a loop of whole periods is seamless.
constexpr double kPitchHz = 441.0;
constexpr uint32_t kPeriodFrames = 100;
constexpr uint32_t kLoopStart = 1000;
constexpr uint32_t kLoopEnd = kLoopStart + 300 * kPeriodFrames - 1;  // last frame of the loop
constexpr uint32_t kReleaseMarker = 31000;
constexpr uint32_t kSampleFrames = 33000;  // 2000 frames of release
constexpr int64_t kBuffer = 42 * 128;

std::string WriteSinePipe(const test::TempDir& dir) {
    std::vector<int16_t> values(kSampleFrames);
    for (uint32_t i = 0; i < kSampleFrames; ++i)
        values[i] = static_cast<int16_t>(std::lround(
            16000.0 * std::sin(2.0 * std::numbers::pi * i / kPeriodFrames)));
    test::WavBuilder wav;
    wav.Values(values).Loop(kLoopStart, kLoopEnd).Cue(kReleaseMarker);
    dir.Write("sine.wav", wav.Build());
    return "sine.wav";
}

using OrganPipeOnJack = JackTest;

TEST_F(OrganPipeOnJack, APipeSoundsOneBufferAfterItsStartAtItsPitchAndReleasesAfterItsStop) {
    test::OrganRig rig;
    test::OrganFileBuilder b = test::OrganFileBuilder::MinimalOrgan();
    test::SetManual(b, 1, 1, {1});
    test::SetStop(b, 1, {WriteSinePipe(rig.dir)});
    ASSERT_TRUE(rig.Load(b));

    RtAudioOutputSystem devices;
    ThreadTimerService timers;
    AudioEngine engine(devices, timers);
    ASSERT_NO_FATAL_FAILURE(UseJackDevice(engine, kBuffer));
    ASSERT_TRUE(rig.organ.AttachEngine(engine));
    ASSERT_TRUE(engine.StartPlayback());
    Stop& stop = *rig.organ.manuals[1].GetStop(0);
    stop.Engage();
    Pipe& pipe = *stop.GetPipe(0);

    JackCapture capture;
    ASSERT_NO_FATAL_FAILURE(StartCapture(capture, 4));

    const size_t startedAt = capture.CallInNextCycle([&] { stop.PipeOn(0); });
    ASSERT_NE(startedAt, JackCapture::kNever);
    constexpr size_t kPieces = 15;
    const size_t window = kPieces * kJackRate / 10;
    ASSERT_TRUE(capture.WaitForFrames(startedAt + kBuffer + kJackPeriod + window, 20))
        << "the JACK server stalled";
    const size_t stoppedAt = capture.CallInNextCycle([&] { stop.PipeOff(0); });
    ASSERT_NE(stoppedAt, JackCapture::kNever);
    ASSERT_TRUE(capture.WaitForFrames(stoppedAt + kBuffer + kJackPeriod + 4000, 20));
    capture.Stop();
    ASSERT_TRUE(engine.StopPlayback());
    EXPECT_EQ(rig.errors.Count(), 0u);
    EXPECT_FALSE(pipe.sounding);
    EXPECT_EQ(rig.organ.Voices().CountInUse(), 0);

    const std::vector<float>& left = capture.Left();
    const std::vector<float>& right = capture.Right();
    const size_t frames = capture.Frames();
    // The sine starts at its zero crossing: its second frame is the first loud one.
    const size_t first = FirstSound(left, startedAt, frames, 0.01f);
    ASSERT_LT(first, frames) << "the pipe was never heard";
    const auto delay = static_cast<int64_t>(first - 1 - startedAt);
    EXPECT_GE(delay, kBuffer);
    EXPECT_LE(delay, kBuffer + kJackPeriod);
    RecordProperty("start_delay_frames", static_cast<int>(delay));

    const double hz = MedianFrequency(left, first, kPieces);
    EXPECT_LT(std::fabs(1200.0 * std::log2(hz / kPitchHz)), 1.0) << "measured " << hz << " Hz";
    const float peak = Peak(left, first, first + window);
    size_t sameOnBoth = 0;
    for (size_t i = first; i < first + window; ++i) sameOnBoth += left[i] == right[i];
    // 16000 at the setup's overall volume of 50 per cent.
    EXPECT_NEAR(peak, 8000.0f / 32768.0f, 0.002f);
    EXPECT_EQ(sameOnBoth, window);

    // After the stop the loop fades over 1024 frames while the 2000 frames
    // of release play; then silence. The release begins one buffer after the
    // stop, within the period that was playing then.
    const size_t releaseFrom = stoppedAt + kBuffer;
    EXPECT_NEAR(Peak(left, stoppedAt, releaseFrom), peak, 0.002f);
    EXPECT_EQ(Peak(left, releaseFrom + kJackPeriod + 2000, frames), 0.0f);
    const float releasing = Peak(left, releaseFrom + kJackPeriod, releaseFrom + 1000);
    EXPECT_GT(releasing, 0.01f);
    EXPECT_LT(releasing, peak);
}

}  // namespace
}  // namespace tessaline::e2e
