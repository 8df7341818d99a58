#include "platform/ThreadTimer.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <thread>

namespace tessaline {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

int64_t Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * kNanosecondsPerSecond + t.tv_nsec;
}

void SleepUntil(int64_t deadline) {
    timespec t;
    t.tv_sec = static_cast<time_t>(deadline / kNanosecondsPerSecond);
    t.tv_nsec = static_cast<long>(deadline % kNanosecondsPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

class ThreadTimer : public PeriodicTimer {
public:
    ThreadTimer(int64_t periodNanoseconds, TimerTick& tick)
        : period(periodNanoseconds), tick(tick), thread([this] { Run(); }) {}

    // Waits at most one period: the thread notices the stop at its next deadline.
    ~ThreadTimer() override {
        stopping.store(true, std::memory_order_release);
        thread.join();
    }

private:
    void Run() {
        // Ask for real-time scheduling where the system allows it; without it
        // the timer still runs, only less punctually under load.
        sched_param param{};
        param.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

        int64_t deadline = Now() + period;
        // The first deadline still owed a tick: after an overrun the missed
        // deadlines are dropped, but the next tick is late from the first.
        int64_t owed = deadline;
        for (;;) {
            SleepUntil(deadline);
            if (stopping.load(std::memory_order_acquire)) return;
            tick.Tick(Now() - owed);
            deadline += period;
            owed = deadline;
            const int64_t now = Now();
            if (deadline <= now) deadline += ((now - deadline) / period + 1) * period;
        }
    }

    const int64_t period;
    TimerTick& tick;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

}  // namespace

std::unique_ptr<PeriodicTimer> ThreadTimerService::StartPeriodic(uint32_t delayMilliseconds,
                                                                 uint32_t resolutionMilliseconds,
                                                                 TimerTick& tick) {
    return std::make_unique<ThreadTimer>(
        TimerPeriodNanoseconds(delayMilliseconds, resolutionMilliseconds), tick);
}

}  // namespace tessaline
