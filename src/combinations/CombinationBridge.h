#pragma once
// The organ's combinations as the MIDI routing sees them: the program numbers
// of the divisional, general and reversible piston buttons, and their
// presses. The routing calls it under the action lock, so it uses the organ's
// ...Locked operations; a press captures or recalls as capture mode says.
//
// Threads: MIDI or UI, under the action lock.

#include <cstdint>

#include "midi/OrganActions.h"

namespace tessaline {

class Organ;

class CombinationBridge : public CombinationPresses {
public:
    explicit CombinationBridge(Organ& owner) : organ(owner) {}

    // Counts are those of the loaded organ (0 without one); a button that
    // is not loaded answers no program (-1).
    int DivisionalCount(int manual) const override;
    int32_t DivisionalProgram(int manual, int divisional) const override;
    int GeneralCount() const override;
    int32_t GeneralProgram(int general) const override;
    int ReversiblePistonCount() const override;
    int32_t ReversiblePistonProgram(int piston) const override;
    void PressDivisional(int manual, int divisional) override;
    void PressGeneral(int general) override;
    void PressReversiblePiston(int piston) override;
    void PreviousFrame() override;
    void NextFrame() override;

private:
    Organ& organ;
};

}  // namespace tessaline
