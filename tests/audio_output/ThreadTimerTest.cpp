#include "platform/ThreadTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace tessaline {
namespace {

using namespace std::chrono_literals;

// The second tick sleeps through four and a half periods.
class OverrunningTick : public TimerTick {
public:
    void Tick(int64_t latenessNanoseconds) override {
        std::lock_guard lock(mutex);
        lateness.push_back(latenessNanoseconds);
        if (lateness.size() == 2) std::this_thread::sleep_for(45ms);
    }
    std::vector<int64_t> Lateness() {
        std::lock_guard lock(mutex);
        return lateness;
    }

private:
    std::mutex mutex;
    std::vector<int64_t> lateness;
};

TEST(ThreadTimer, AnOverrunDropsTheMissedTicksButMakesTheNextOneLate) {
    ThreadTimerService service;
    OverrunningTick tick;
    auto timer = service.StartPeriodic(10, 1, tick);
    ASSERT_NE(timer, nullptr);
    std::this_thread::sleep_for(125ms);
    timer.reset();
    const std::vector<int64_t> lateness = tick.Lateness();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(tick.Lateness().size(), lateness.size()) << "a tick after destruction";

    // The missed deadlines are not made up back to back.
    ASSERT_GE(lateness.size(), 3u);
    EXPECT_LE(lateness.size(), 10u);
    // The tick after the overrun counts from the first deadline it missed,
    // more than a period before it started.
    EXPECT_GE(lateness[2], 30'000'000);
}

}  // namespace
}  // namespace tessaline
