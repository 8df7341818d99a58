#pragma once
// The real periodic timer: one thread per timer that sleeps to absolute
// deadlines on the monotonic clock, so the period does not drift with the
// time the tick takes. A tick that overruns does not make the next ones pile
// up: deadlines that have already passed are dropped and the tick reports
// how late it started.

#include "platform/PeriodicTimer.h"

namespace tessaline {

class ThreadTimerService : public TimerService {
public:
    // A delay of 0 ms runs at the resolution (1 ms and up) instead: the
    // thread must never spin.
    std::unique_ptr<PeriodicTimer> StartPeriodic(uint32_t delayMilliseconds,
                                                 uint32_t resolutionMilliseconds,
                                                 TimerTick& tick) override;
};

// The period a timer of that delay and resolution runs at.
int64_t TimerPeriodNanoseconds(uint32_t delayMilliseconds, uint32_t resolutionMilliseconds);

}  // namespace tessaline
