// The organ's combination presses and registration frames.

#include <array>

#include "organ/Organ.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

void Organ::PressGeneral(int entry) {
    auto lock = LockAction();
    PressGeneralLocked(entry);
}

void Organ::PressGeneralLocked(int entry) {
    if (entry < 0 || entry >= kGeneralEntries) return;
    if (entry < kMaxGenerals && static_cast<uint32_t>(entry) >= numberOfGenerals) return;
    if (captureMode.load(std::memory_order_acquire))
        CaptureGeneralLocked(entry);
    else
        generals[static_cast<size_t>(entry)].Recall();
}

void Organ::CaptureGeneral(int entry) {
    auto lock = LockAction();
    CaptureGeneralLocked(entry);
}

void Organ::CaptureGeneralLocked(int entry) {
    if (!loaded || entry < 0 || entry >= kGeneralEntries) return;
    generals[static_cast<size_t>(entry)].Capture();
}

void Organ::PressDivisional(int m, int d) {
    auto lock = LockAction();
    PressDivisionalLocked(m, d);
}

void Organ::PressDivisionalLocked(int m, int d) {
    Manual* manual = loaded ? ManualAt(m) : nullptr;
    if (manual == nullptr || d < 0) return;
    auto recall = [d](Manual& target) {
        if (d < target.numberOfDivisionals) target.divisionals[static_cast<size_t>(d)].Recall();
    };
    if (captureMode.load(std::memory_order_acquire)) {
        // Divisional couplers play no part in capture.
        if (d < manual->numberOfDivisionals) manual->divisionals[static_cast<size_t>(d)].Capture();
        return;
    }
    recall(*manual);
    std::array<int, kMaxDivisionalCouplerManuals> coupled{};
    for (uint32_t i = 0; i < numberOfDivisionalCouplers; ++i) {
        int n = divisionalCouplers[i].CoupledManuals(m, coupled);
        for (int j = 0; j < n; ++j)
            if (Manual* other = ManualAt(coupled[static_cast<size_t>(j)])) recall(*other);
    }
}

void Organ::PressReversiblePiston(int index) {
    auto lock = LockAction();
    PressReversiblePistonLocked(index);
}

void Organ::PressReversiblePistonLocked(int index) {
    if (!loaded || index < 0 || static_cast<uint32_t>(index) >= numberOfReversiblePistons) return;
    reversiblePistons[static_cast<size_t>(index)].Press();
}

void Organ::NextFrame() {
    auto lock = LockAction();
    StepFrame(1);
}

void Organ::PreviousFrame() {
    auto lock = LockAction();
    StepFrame(-1);
}

void Organ::NextFrameLocked() { StepFrame(1); }
void Organ::PreviousFrameLocked() { StepFrame(-1); }

void Organ::StepFrame(int step) {
    if (!loaded) return;
    int frame = static_cast<int>(frameNumber.load(std::memory_order_relaxed)) + step;
    if (frame < 0 || frame >= kFrameGenerals) return;
    frameNumber.store(static_cast<uint32_t>(frame), std::memory_order_relaxed);
    view.ShowFrame(static_cast<uint32_t>(frame) + 1);
    PressGeneralLocked(kMaxGenerals + frame);
}

bool Organ::ClearFrameGenerals() {
    for (int e = kMaxGenerals; e < kGeneralEntries; ++e) {
        General& general = generals[static_cast<size_t>(e)];
        general.InitFrame(e);
        if (!general.combinationLoaded) {
            ReportError("Frame general combination %d failed to initialise.",
                        "Clearing frame general organ combinations.", e + 1);
            return false;
        }
    }
    return true;
}

}  // namespace tessaline
