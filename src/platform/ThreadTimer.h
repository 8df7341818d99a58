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
    std::unique_ptr<PeriodicTimer> StartPeriodic(uint32_t delayMilliseconds,
                                                 uint32_t resolutionMilliseconds,
                                                 TimerTick& tick) override;
};

}  // namespace tessaline
