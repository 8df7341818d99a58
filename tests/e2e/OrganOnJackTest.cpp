// The organ on a JACK server: a key played from a JACK MIDI client through
// the routing, and the server killed under the playing organ and started
// again.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JackTest.h"

namespace tessaline::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int64_t kBuffer = 16 * 128;

using OrganOnJack = JackTest;

TEST_F(OrganOnJack, AKeyPlaysAtItsPitchAndTheOrganOutlivesTheServer) {
    JackMidiSender keyboard;
    ASSERT_TRUE(keyboard.Open(server.Name()));
    JackOrgan organ;
    ASSERT_NO_FATAL_FAILURE(organ.FindKeyboards({&keyboard}));
    SetupInfo setup;
    setup.ManualMIDIInDevNumber.fill(organ.inputs.device[0]);
    const std::string path = organ.rig.dir.Write("jack.organ", SineOrgan(organ.rig.dir).Text());
    ASSERT_NO_FATAL_FAILURE(organ.Start(path, setup, kBuffer));
    auto holds = [&](int note) { return organ.rig.organ.manuals[1].keys[size_t(note - 60)].holds; };

    // Closed before the server goes: libjack cannot close a client of a
    // killed server once a new server runs.
    auto capture = std::make_unique<JackCapture>();
    ASSERT_NO_FATAL_FAILURE(StartCapture(*capture, 5));
    const size_t pressedAt = capture->Frames();
    ASSERT_TRUE(keyboard.Send({0x91, 69, 100}));
    ASSERT_TRUE(capture->WaitForFrames(pressedAt + 3 * kJackRate / 2, 20));
    const size_t releasedAt = capture->Frames();
    ASSERT_TRUE(keyboard.Send({0x81, 69, 0}));
    ASSERT_TRUE(capture->WaitForFrames(releasedAt + kJackRate / 2, 20));
    capture->Stop();
    const std::vector<float>& sound = capture->Left();
    EXPECT_LT(Peak(sound, pressedAt - kJackRate / 10, pressedAt), 0.001f) << "sound before the key";
    const size_t first = FirstSound(sound, pressedAt, releasedAt, 0.01f);
    // The MIDI and audio threads of a loaded machine may add to the buffer.
    ASSERT_LT(first, pressedAt + kJackRate / 2) << "the key sounded nothing in time";
    EXPECT_NEAR(MedianFrequency(sound, first + kJackRate / 10, 7), 441.0, 1.0);
    EXPECT_GT(Peak(sound, releasedAt, releasedAt + kBuffer), 0.05f);
    EXPECT_LT(Peak(sound, releasedAt + kJackRate / 4, releasedAt + kJackRate / 2), 0.001f)
        << "the pipe did not stop";
    capture.reset();

    // The server killed under a held key is reported once, however long the
    // ticks go on.
    ASSERT_TRUE(keyboard.Send({0x91, 64, 100}));
    ASSERT_TRUE(WaitFor([&] { return holds(64) == 1; }, 5000ms));
    server.Crash();
    keyboard.Close();  // a client left open would be closed after the server is back
    auto& errors = organ.rig.errors;
    ASSERT_TRUE(WaitFor([&] { return errors.Count() > 0; }, 5000ms))
        << "the lost server went unnoticed";
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_TRUE(organ.engine.Stream().DeviceLost());

    // The window's calls still return at once: keys, drawstops, the clock.
    Organ& o = organ.rig.organ;
    const auto begin = Clock::now();
    o.KeyDown(1, 62, 0);
    o.KeyUp(1, 62, 0);
    o.KeyUp(1, 64, 1);  // manual 1's path is source 1
    o.StopToggle(1, 0);
    o.StopToggle(1, 0);
    organ.engine.CurrentPlayPosition();
    EXPECT_LT(Clock::now() - begin, 200ms);
    EXPECT_EQ(holds(64), 0u);

    // Deactivated while the server is down, activated once it is back.
    const auto deactivating = Clock::now();
    EXPECT_TRUE(organ.Deactivate());
    EXPECT_LT(Clock::now() - deactivating, 2s);
    std::string whyNot;
    ASSERT_TRUE(server.Start(whyNot)) << whyNot;
    ASSERT_TRUE(keyboard.Open(server.Name()));
    ASSERT_TRUE(organ.Activate());
    EXPECT_FALSE(organ.engine.Stream().DeviceLost());

    // The keyboard's new client, found again by name, plays the organ, and
    // it sounds again.
    ASSERT_TRUE(keyboard.Send({0x91, 69, 100}));
    EXPECT_TRUE(WaitFor([&] { return holds(69) == 1; }, 5000ms));
    JackCapture again;
    ASSERT_NO_FATAL_FAILURE(StartCapture(again, 1));
    ASSERT_TRUE(again.WaitForFrames(kJackRate / 2, 10));
    again.Stop();
    EXPECT_GT(Peak(again.Left(), 0, again.Frames()), 0.05f);
    EXPECT_TRUE(organ.Deactivate());
    EXPECT_EQ(errors.Count(), 1u);
}

// The device period: a sixteenth of the ring, within 64 and 512 frames.
TEST(DevicePeriod, IsASixteenthOfTheRingWithinLimits) {
    EXPECT_EQ(DevicePeriodFrames(5376), 336u);
    EXPECT_EQ(DevicePeriodFrames(128), 64u);
    EXPECT_EQ(DevicePeriodFrames(262144), 512u);
}

}  // namespace
}  // namespace tessaline::e2e
