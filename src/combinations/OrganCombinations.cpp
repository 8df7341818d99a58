// The organ's combination presses and registration frames.

#include "organ/Organ.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

bool Organ::ValidManual(int m) const {
    return (m == 0 && hasPedals) || (m >= 1 && static_cast<uint32_t>(m) <= numberOfManuals);
}

void Organ::PressGeneral(int entry) {
    if (entry < 0 || entry >= kGeneralEntries) return;
    if (entry < kMaxGenerals && static_cast<uint32_t>(entry) >= numberOfGenerals) return;
    if (captureMode.load(std::memory_order_acquire))
        CaptureGeneral(entry);
    else
        generals[static_cast<size_t>(entry)].Recall();
}

void Organ::CaptureGeneral(int entry) {
    if (!loaded || entry < 0 || entry >= kGeneralEntries) return;
    generals[static_cast<size_t>(entry)].Capture();
}

void Organ::PressDivisional(int m, int d) {
    if (!loaded || !ValidManual(m)) return;
    Manual& manual = manuals[static_cast<size_t>(m)];
    if (d < 0 || d >= manual.numberOfDivisionals) return;
    Divisional& divisional = manual.divisionals[static_cast<size_t>(d)];
    if (captureMode.load(std::memory_order_acquire))
        divisional.Capture();
    else
        divisional.Recall();
}

void Organ::PressReversiblePiston(int index) {
    if (!loaded || index < 0 || static_cast<uint32_t>(index) >= numberOfReversiblePistons) return;
    reversiblePistons[static_cast<size_t>(index)].Press();
}

void Organ::NextFrame() { StepFrame(1); }
void Organ::PreviousFrame() { StepFrame(-1); }

void Organ::StepFrame(int step) {
    if (!loaded) return;
    int frame = static_cast<int>(frameNumber.load(std::memory_order_relaxed)) + step;
    if (frame < 0 || frame >= kFrameGenerals) return;
    frameNumber.store(static_cast<uint32_t>(frame), std::memory_order_relaxed);
    view.ShowFrame(static_cast<uint32_t>(frame) + 1);
    PressGeneral(kMaxGenerals + frame);
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
