#pragma once
// What the MIDI routing does to the rest of the organ. OrganActions: the key
// action, the drawstops that the stop-control input moves, the enclosures and
// the whole organ reset. CombinationPresses: the combination buttons that
// program changes press and the registration frames. The routing decides who
// acts on a message; these carry it out. The organ's own implementation of
// OrganActions is OrganActionBridge; the combinations install theirs of
// CombinationPresses; tests install recorders.
//
// Threads: every call except BeginAction/EndAction is made between them, on
// the MIDI thread (dispatch) or the UI thread (redirectable sends), one at a
// time. The reads (counts, program numbers, key holds) may also run on the UI
// thread while the organ is not active.

#include <cstdint>
#include <span>

namespace tessaline {

class Enclosure;

class OrganActions {
public:
    virtual ~OrganActions() = default;

    // Takes and gives back the organ's action lock, which keeps the MIDI
    // thread and the UI thread out of the key, stop and combination action at
    // the same time.
    virtual void BeginAction() = 0;
    virtual void EndAction() = 0;

    // A direct press or release of note on manual m by source, with every
    // coupler permission. Notes outside the manual's keys are ignored there.
    virtual void KeyDown(int manual, int note, uint32_t source) = 0;
    virtual void KeyUp(int manual, int note, uint32_t source) = 0;
    // Whether source holds logical key `key` of manual m directly.
    virtual bool HeldDirectlyBy(int manual, int key, uint32_t source) const = 0;
    // Silences manual m at once and clears its key holds.
    virtual void ResetNotes(int manual) = 0;
    // Engages (on) or disengages every drawstop whose stop-control note is
    // `note`: every manual's stops then couplers, the organ's tremulants, then
    // its divisional couplers.
    virtual void StopControl(int note, bool on) = 0;
    // The whole organ reset, with the console redrawn.
    virtual void ResetOrgan() = 0;

    // The organ's enclosures, in order (enclosure e is Enclosure%03d (e + 1)).
    virtual std::span<Enclosure> Enclosures() = 0;
};

// Called under the action lock, like OrganActions.
class CombinationPresses {
public:
    virtual ~CombinationPresses() = default;

    // Combination buttons and their program numbers (from 0; -1 for none).
    virtual int DivisionalCount(int manual) const = 0;
    virtual int32_t DivisionalProgram(int manual, int divisional) const = 0;
    virtual int GeneralCount() const = 0;
    virtual int32_t GeneralProgram(int general) const = 0;
    virtual int ReversiblePistonCount() const = 0;
    virtual int32_t ReversiblePistonProgram(int piston) const = 0;
    // Recalls (or captures) divisional d of manual m with its divisional couplers.
    virtual void PressDivisional(int manual, int divisional) = 0;
    virtual void PressGeneral(int general) = 0;
    virtual void PressReversiblePiston(int piston) = 0;
    virtual void PreviousFrame() = 0;
    virtual void NextFrame() = 0;
};

}  // namespace tessaline
