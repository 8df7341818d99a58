#include "combinations/CombinationBridge.h"

#include "organ/Organ.h"

namespace tessaline {

namespace {

int32_t ProgramOf(const Button& button) { return button.loaded ? button.midiProgramChangeNumber : -1; }

}  // namespace

int CombinationBridge::DivisionalCount(int manual) const {
    const Manual* owner = organ.ManualAt(manual);
    return owner ? owner->numberOfDivisionals : 0;
}

int32_t CombinationBridge::DivisionalProgram(int manual, int divisional) const {
    const Manual* owner = organ.ManualAt(manual);
    if (!owner || divisional < 0 || divisional >= owner->numberOfDivisionals) return -1;
    return ProgramOf(owner->divisionals[static_cast<size_t>(divisional)]);
}

int CombinationBridge::GeneralCount() const {
    return organ.loaded ? static_cast<int>(organ.numberOfGenerals) : 0;
}

int32_t CombinationBridge::GeneralProgram(int general) const {
    if (general < 0 || general >= GeneralCount()) return -1;
    return ProgramOf(organ.generals[static_cast<size_t>(general)]);
}

int CombinationBridge::ReversiblePistonCount() const {
    return organ.loaded ? static_cast<int>(organ.numberOfReversiblePistons) : 0;
}

int32_t CombinationBridge::ReversiblePistonProgram(int piston) const {
    if (piston < 0 || piston >= ReversiblePistonCount()) return -1;
    return ProgramOf(organ.reversiblePistons[static_cast<size_t>(piston)]);
}

void CombinationBridge::PressDivisional(int manual, int divisional) {
    organ.PressDivisionalLocked(manual, divisional);
}

void CombinationBridge::PressGeneral(int general) { organ.PressGeneralLocked(general); }

void CombinationBridge::PressReversiblePiston(int piston) { organ.PressReversiblePistonLocked(piston); }

void CombinationBridge::PreviousFrame() { organ.PreviousFrameLocked(); }

void CombinationBridge::NextFrame() { organ.NextFrameLocked(); }

}  // namespace tessaline
