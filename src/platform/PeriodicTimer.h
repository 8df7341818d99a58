#pragma once
// A periodic timer that calls its tick on a thread of its own, one tick at a
// time. The real one (ThreadTimer) sleeps to absolute deadlines; tests use a
// timer they fire by hand (virtual/ManualTimer).

#include <algorithm>
#include <cstdint>
#include <memory>

namespace tessaline {

class TimerTick {
public:
    virtual ~TimerTick() = default;
    // Timer thread. lateness: how far behind its deadline this tick started.
    virtual void Tick(int64_t latenessNanoseconds) = 0;
};

class PeriodicTimer {
public:
    // Stops the timer: when the destructor returns no tick is running and none
    // will run again.
    virtual ~PeriodicTimer() = default;
};

// The period a timer of that delay and resolution runs at: a delay of 0 ms
// runs at the resolution (1 ms and up), so that no timer ever spins.
inline int64_t TimerPeriodNanoseconds(uint32_t delayMilliseconds, uint32_t resolutionMilliseconds) {
    uint32_t ms = delayMilliseconds > 0 ? delayMilliseconds : std::max(resolutionMilliseconds, 1u);
    return int64_t{ms} * 1000000;
}

class TimerService {
public:
    virtual ~TimerService() = default;
    // UI. Starts calling tick.Tick() every TimerPeriodNanoseconds(delay,
    // resolution). Returns nullptr when the timer cannot start.
    virtual std::unique_ptr<PeriodicTimer> StartPeriodic(uint32_t delayMilliseconds,
                                                         uint32_t resolutionMilliseconds,
                                                         TimerTick& tick) = 0;
};

}  // namespace tessaline
