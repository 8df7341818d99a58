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
// loaded, so the tables are read directly.
TargetState StopState(const Manual& manual, int s) {
    if (s < 0 || s >= manual.numberOfStops) return {};
    return StateOf(manual.stops[static_cast<size_t>(s)]);
}

TargetState CouplerState(const Manual& manual, int c) {
    if (c < 0 || c >= manual.numberOfCouplers) return {};
    return StateOf(&manual.couplers[static_cast<size_t>(c)]);
}

bool CouplerIsIntermanual(const Manual& manual, int c) {
    return c >= 0 && c < manual.numberOfCouplers && manual.couplers[static_cast<size_t>(c)].intermanual;
}

TargetState TremulantState(const Organ& organ, int t) {
    std::span<const Tremulant> tremulants = organ.Tremulants();
    if (t < 0 || static_cast<size_t>(t) >= tremulants.size()) return {};
    return StateOf(&tremulants[static_cast<size_t>(t)].drawstop);
}

TargetState DivisionalCouplerState(const Organ& organ, int i) {
    if (i < 0 || static_cast<uint32_t>(i) >= organ.numberOfDivisionalCouplers) return {};
    return StateOf(&organ.divisionalCouplers[static_cast<size_t>(i)]);
}

void SetStop(Manual& manual, int s, bool on) {
    if (on)
        manual.StopOn(s);
    else
        manual.StopOff(s);
}

void ToggleStop(Manual& manual, int s) { manual.StopToggle(s); }

void SetCoupler(Manual& manual, int c, bool on) {
    if (on)
        manual.CouplerOn(c);
    else
        manual.CouplerOff(c);
}

void ToggleCoupler(Manual& manual, int c) { manual.CouplerToggle(c); }

void SetManualTremulant(Organ& organ, const Manual& manual, int t, bool on) {
    if (t >= 0 && t < manual.numberOfTremulants)
        SetTremulant(organ, manual.tremulants[static_cast<size_t>(t)], on);
}

// The organ ignores a tremulant number out of range (a negative one too).
void SetTremulant(Organ& organ, int t, bool on) {
    if (on)
        organ.TremulantOn(static_cast<uint32_t>(t));
    else
        organ.TremulantOff(static_cast<uint32_t>(t));
}

void ToggleTremulant(Organ& organ, int t) { organ.TremulantToggle(static_cast<uint32_t>(t)); }

void SetDivisionalCoupler(Organ& organ, int i, bool on) {
    if (on)
        organ.DivisionalCouplerOnLocked(i);
    else
        organ.DivisionalCouplerOffLocked(i);
}

}  // namespace tessaline
