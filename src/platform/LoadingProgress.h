#pragma once
// The loading dialog as the organ loader sees it. Real back end: the Qt
// "Loading Organ" dialog; test back end: CountingLoadingProgress.

#include <cstdint>

namespace tessaline {

class LoadingProgress {
public:
    virtual ~LoadingProgress() = default;
    // Called once the progress total (one step per pipe) is known.
    virtual void Begin(uint32_t total) = 0;
    // One pipe loaded: advance the bar. False once the player has cancelled.
    virtual bool StepLoadingProgress() = 0;
    // True once the player has pressed Cancel during this load; the load then
    // fails even when every object was built.
    virtual bool Cancelled() const = 0;
};

// Counts the steps; cancels (answers false) from step cancelAfter + 1 on,
// reporting the cancel as the dialog does, once.
class CountingLoadingProgress : public LoadingProgress {
public:
    explicit CountingLoadingProgress(uint32_t cancelAfter = UINT32_MAX) : cancelAfter(cancelAfter) {}
    // A new dialog: the bar starts at 0 and the cancelled flag is clear.
    void Begin(uint32_t totalSteps) override {
        total = totalSteps;
        steps = 0;
        cancelled = false;
    }
    bool StepLoadingProgress() override;
    bool Cancelled() const override { return cancelled; }

    uint32_t total = 0;
    uint32_t steps = 0;
    uint32_t cancelAfter;
    bool cancelled = false;
};

}  // namespace tessaline
