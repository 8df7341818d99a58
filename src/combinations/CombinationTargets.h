#pragma once
// The objects that combinations store and set: stops and couplers of a
// manual, the organ's tremulants and divisional couplers. Combinations reach
// them only through these functions, which hand each change to the action
// that owns the object (so held keys sound or fall silent as a drawstop
// changes) and do nothing for an object that does not exist.
//
// Threads: the queries and changes run on the MIDI or UI thread, under the
// organ's action lock.

#include <cstdint>

namespace tessaline {

class Manual;
class Organ;

// What a combination needs to know of one object.
struct TargetState {
    bool exists = false;
    bool displayed = false;
    bool engaged = false;
};

TargetState StopState(const Manual& manual, int s);
TargetState CouplerState(const Manual& manual, int c);
// A coupler whose destination is another manual.
bool CouplerIsIntermanual(const Manual& manual, int c);
TargetState TremulantState(const Organ& organ, int t);
TargetState DivisionalCouplerState(const Organ& organ, int i);

void SetStop(Manual& manual, int s, bool on);
void ToggleStop(Manual& manual, int s);
void SetCoupler(Manual& manual, int c, bool on);
void ToggleCoupler(Manual& manual, int c);
// Entry t of the manual's tremulant list, which names an organ tremulant.
void SetManualTremulant(Organ& organ, const Manual& manual, int t, bool on);
void SetTremulant(Organ& organ, int t, bool on);
void ToggleTremulant(Organ& organ, int t);
void SetDivisionalCoupler(Organ& organ, int i, bool on);

}  // namespace tessaline
