#include "combinations/CombinationTargets.h"

#include "organ/Manual.h"
#include "organ/Organ.h"
#include "organ/Stop.h"

namespace tessaline {

namespace {

TargetState StateOf(const Drawstop* drawstop) {
    if (drawstop == nullptr || !drawstop->loaded) return {};
    return {true, drawstop->displayed, drawstop->Engaged()};
}

}  // namespace

// Also asked while the manual's own divisionals load, before it counts as
// loaded, so the stop table is read directly.
TargetState StopState(const Manual& manual, int s) {
    if (s < 0 || s >= manual.numberOfStops) return {};
    return StateOf(manual.stops[static_cast<size_t>(s)]);
}

// Couplers, tremulant objects and divisional couplers are not part of the
// model yet: an organ that lists couplers or divisional couplers does not
// load, and its tremulants have no drawstop, so none of them can be stored
// or set.
TargetState CouplerState(const Manual&, int) { return {}; }
bool CouplerIsIntermanual(const Manual&, int) { return false; }
TargetState TremulantState(const Organ&, int) { return {}; }
TargetState DivisionalCouplerState(const Organ&, int) { return {}; }

// Until the key action exists a stop's state is its drawstop alone: no key
// can be held, so no pipe has to follow the change.
void SetStop(Manual& manual, int s, bool on) {
    Stop* stop = manual.GetStop(s);
    if (stop == nullptr) return;
    if (on)
        stop->Engage();
    else
        stop->Disengage();
}

void ToggleStop(Manual& manual, int s) {
    TargetState state = StopState(manual, s);
    if (state.exists) SetStop(manual, s, !state.engaged);
}

void SetCoupler(Manual&, int, bool) {}
void ToggleCoupler(Manual&, int) {}
void SetManualTremulant(Manual&, int, bool) {}
void SetTremulant(Organ&, int, bool) {}
void ToggleTremulant(Organ&, int) {}
void SetDivisionalCoupler(Organ&, int, bool) {}

}  // namespace tessaline
