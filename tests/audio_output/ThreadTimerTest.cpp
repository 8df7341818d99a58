#include "platform/ThreadTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tessaline {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Notes when each tick starts (the timer's thread only); the second tick
// overruns by 45 ms.
struct OverrunningTick : TimerTick {
    void Tick(int64_t) override {
        starts.push_back(Clock::now());
        if (starts.size() == 2) std::this_thread::sleep_for(45ms);
        count.store(starts.size());
    }
    std::vector<Clock::time_point> starts;
    std::atomic<size_t> count{0};
};

TEST(ThreadTimer, TicksAtThePeriodDropsTheDeadlinesItMissedAndNeverTicksAfterItsEnd) {
    EXPECT_EQ(TimerPeriodNanoseconds(0, 0), 1000000);  // a zero delay ticks at the resolution
    ThreadTimerService service;
    OverrunningTick tick;
    auto timer = service.StartPeriodic(10, 1, tick);
    ASSERT_NE(timer, nullptr);
    std::this_thread::sleep_for(205ms);
    timer.reset();
    const size_t count = tick.count.load();
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(tick.count.load(), count);
    // Deadlines are absolute: 20 periods fit, less the 4 missed in the
    // overrun, and a busy machine may lose some. The missed ones are not made
    // up back to back: no three ticks start within a millisecond.
    EXPECT_LE(count, 17u);
    EXPECT_GE(count, 8u);
    for (size_t i = 0; i + 2 < count; ++i) EXPECT_GE(tick.starts[i + 2] - tick.starts[i], 1ms) << i;
}

}  // namespace
}  // namespace tessaline
