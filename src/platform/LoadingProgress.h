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
};

// Counts the steps; cancels (answers false) from step cancelAfter + 1 on,
// reporting the cancel as the dialog does, once.
class CountingLoadingProgress : public LoadingProgress {
public:
    explicit CountingLoadingProgress(uint32_t cancelAfter = UINT32_MAX) : cancelAfter(cancelAfter) {}
    void Begin(uint32_t totalSteps) override { total = totalSteps; }
    bool StepLoadingProgress() override;

    uint32_t total = 0;
    uint32_t steps = 0;
    uint32_t cancelAfter;
    bool cancelled = false;
};

}  // namespace tessaline
