#include "platform/ThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace tessaline {
namespace {

using Clock = std::chrono::steady_clock;

class RecordingTick : public TimerTick {
public:
    void Tick(int64_t) override {
        std::lock_guard lock(mutex);
        starts.push_back(Clock::now());
        if (starts.size() == overrunAt) std::this_thread::sleep_for(overrun);
    }
    std::vector<Clock::time_point> Starts() {
        std::lock_guard lock(mutex);
        return starts;
    }

    size_t overrunAt = 0;
    std::chrono::milliseconds overrun{0};

private:
    std::mutex mutex;
    std::vector<Clock::time_point> starts;
};

TEST(ThreadTimer, PeriodIsTheDelayOrTheResolutionWhenTheDelayIsZero) {
    EXPECT_EQ(TimerPeriodNanoseconds(30, 2), 30000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 1), 1000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 2), 2000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 0), 1000000);
}

TEST(ThreadTimer, TicksAtThePeriodAndNeverAfterItIsDestroyed) {
    ThreadTimerService service;
    RecordingTick tick;
    auto begin = Clock::now();
    auto timer = service.StartPeriodic(10, 1, tick);
    ASSERT_NE(timer, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(205));
    timer.reset();
    auto stopped = Clock::now();
    size_t count = tick.Starts().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(tick.Starts().size(), count);
    for (auto t : tick.Starts()) EXPECT_LE(t, stopped);
    // Deadlines are absolute: 20 periods fit, and a busy machine may lose some.
    EXPECT_LE(count, 21u);
    EXPECT_GE(count, 10u);
    EXPECT_GE(tick.Starts().front() - begin, std::chrono::milliseconds(9));
}

TEST(ThreadTimer, ZeroDelayDoesNotSpin) {
    ThreadTimerService service;
    RecordingTick tick;
    auto timer = service.StartPeriodic(0, 1, tick);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    timer.reset();
    EXPECT_LE(tick.Starts().size(), 51u);
    EXPECT_GE(tick.Starts().size(), 5u);
}

TEST(ThreadTimer, OverrunningTickDropsTheDeadlinesItMissed) {
    ThreadTimerService service;
    RecordingTick tick;
    tick.overrunAt = 2;
    tick.overrun = std::chrono::milliseconds(45);
    auto timer = service.StartPeriodic(10, 1, tick);
    std::this_thread::sleep_for(std::chrono::milliseconds(125));
    timer.reset();
    auto starts = tick.Starts();
    ASSERT_GE(starts.size(), 4u);
    // The ticks missed during the overrun are not made up back to back: no
    // three ticks start within a millisecond.
    for (size_t i = 0; i + 2 < starts.size(); ++i) {
        EXPECT_GE(starts[i + 2] - starts[i], std::chrono::milliseconds(1)) << i;
    }
    EXPECT_LE(starts.size(), 10u);
}

}  // namespace
}  // namespace tessaline
