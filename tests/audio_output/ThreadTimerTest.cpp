#include "platform/ThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/TimedLock.h"

namespace tessaline {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class RecordingTick : public TimerTick {
public:
    void Tick(int64_t) override {
        std::lock_guard lock(mutex);
        starts.push_back(Clock::now());
        if (starts.size() == 2) std::this_thread::sleep_for(overrun);
    }
    std::vector<Clock::time_point> Starts() {
        std::lock_guard lock(mutex);
        return starts;
    }
    std::chrono::milliseconds overrun{0};

private:
    std::mutex mutex;
    std::vector<Clock::time_point> starts;
};

TEST(ThreadTimer, TicksAtThePeriodAndNeverAfterItIsDestroyed) {
    // The period is the delay, or the resolution when the delay is zero.
    EXPECT_EQ(TimerPeriodNanoseconds(30, 2), 30000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 2), 2000000);
    EXPECT_EQ(TimerPeriodNanoseconds(0, 0), 1000000);

    ThreadTimerService service;
    RecordingTick tick;
    const auto begin = Clock::now();
    auto timer = service.StartPeriodic(10, 1, tick);
    ASSERT_NE(timer, nullptr);
    std::this_thread::sleep_for(205ms);
    timer.reset();
    const auto stopped = Clock::now();
    const size_t count = tick.Starts().size();
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(tick.Starts().size(), count);
    EXPECT_LE(tick.Starts().back(), stopped);
    // Deadlines are absolute: 20 periods fit, and a busy machine may lose some.
    EXPECT_LE(count, 21u);
    EXPECT_GE(count, 10u);
    EXPECT_GE(tick.Starts().front() - begin, 9ms);
}

TEST(ThreadTimer, OverrunningTickDropsTheDeadlinesItMissed) {
    ThreadTimerService service;
    RecordingTick tick;
    tick.overrun = 45ms;
    auto timer = service.StartPeriodic(10, 1, tick);
    std::this_thread::sleep_for(125ms);
    timer.reset();
    const auto starts = tick.Starts();
    ASSERT_GE(starts.size(), 4u);
    // The missed ticks are not made up back to back: no three start within a
    // millisecond.
    for (size_t i = 0; i + 2 < starts.size(); ++i) EXPECT_GE(starts[i + 2] - starts[i], 1ms) << i;
    EXPECT_LE(starts.size(), 10u);
}

TEST(TimedLock, TakerGivesUpAfterItsWaitAndGetsAFreedLock) {
    TimedLock lock;
    lock.lock();
    std::thread other([&] {
        const auto begin = Clock::now();
        EXPECT_FALSE(lock.try_lock_for(30ms));
        EXPECT_GE(Clock::now() - begin, 30ms);
    });
    other.join();
    std::thread late([&] {
        std::this_thread::sleep_for(10ms);
        lock.unlock();
    });
    EXPECT_TRUE(lock.try_lock_for(2s));
    late.join();
    lock.unlock();
}

}  // namespace
}  // namespace tessaline
