#include "platform/ThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace tessaline {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Notes when each tick starts; the second tick overruns by 45 ms.
class OverrunningTick : public TimerTick {
public:
    void Tick(int64_t) override {
        std::lock_guard lock(mutex);
        starts.push_back(Clock::now());
        if (starts.size() == 2) std::this_thread::sleep_for(45ms);
    }
    std::vector<Clock::time_point> Starts() {
        std::lock_guard lock(mutex);
        return starts;
    }
    std::mutex mutex;
    std::vector<Clock::time_point> starts;
};

TEST(ThreadTimer, TicksAtThePeriodDropsTheDeadlinesItMissedAndNeverTicksAfterItsEnd) {
    // The period is the delay, or the resolution when the delay is zero.
    EXPECT_EQ(TimerPeriodNanoseconds(30, 2), 30000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 2), 2000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 0), 1000000);

    ThreadTimerService service;
    OverrunningTick tick;
    const auto begin = Clock::now();
    auto timer = service.StartPeriodic(10, 1, tick);
    ASSERT_NE(timer, nullptr);
    std::this_thread::sleep_for(205ms);
    timer.reset();
    const auto stopped = Clock::now();
    const auto starts = tick.Starts();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(tick.Starts().size(), starts.size());
    EXPECT_LE(starts.back(), stopped);
    EXPECT_GE(starts.front() - begin, 9ms);
    // Deadlines are absolute: 20 periods fit, less the 4 missed in the
    // overrun, and a busy machine may lose some. The missed ones are not made
    // up back to back: no three ticks start within a millisecond.
    EXPECT_LE(starts.size(), 17u);
    EXPECT_GE(starts.size(), 8u);
    for (size_t i = 0; i + 2 < starts.size(); ++i) EXPECT_GE(starts[i + 2] - starts[i], 1ms) << i;
}

}  // namespace
}  // namespace tessaline
