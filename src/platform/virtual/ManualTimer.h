#pragma once
// Test back end of the periodic timer: nothing ticks until the test calls
// Fire. Remembers the delay and resolution it was started with and can be
// made to refuse to start.

#include "platform/PeriodicTimer.h"

namespace tessaline {

class ManualTimerService : public TimerService {
public:
    std::unique_ptr<PeriodicTimer> StartPeriodic(uint32_t delayMilliseconds,
                                                 uint32_t resolutionMilliseconds,
                                                 TimerTick& tick) override {
        if (refuse) return nullptr;
        lastDelay = delayMilliseconds;
        lastResolution = resolutionMilliseconds;
        return std::make_unique<Timer>(*this, tick);
    }

    // Runs one tick of the running timer; false when none runs.
    bool Fire(int64_t latenessNanoseconds = 0) {
        if (running == nullptr) return false;
        running->Tick(latenessNanoseconds);
        return true;
    }
    bool Running() const { return running != nullptr; }

    bool refuse = false;
    uint32_t lastDelay = 0;
    uint32_t lastResolution = 0;

private:
    class Timer : public PeriodicTimer {
    public:
        Timer(ManualTimerService& service, TimerTick& tick) : service(service) {
            service.running = &tick;
        }
        ~Timer() override { service.running = nullptr; }

    private:
        ManualTimerService& service;
    };

    TimerTick* running = nullptr;
};

}  // namespace tessaline
