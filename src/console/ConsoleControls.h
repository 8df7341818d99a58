#pragma once
// The console's controls in the one order that clicks, shortcut keys and
// drawing walk them: for each loaded manual from the pedal up its stops' and
// couplers' drawstops and its divisionals' buttons; then the organ's own
// controls: the general buttons, the reversible pistons, the tremulants'
// drawstops and the divisional couplers' drawstops. Every kind of control
// joins the walk here, so that input and drawing never disagree about the
// order.
//
// Threads: UI (and the MIDI thread under the action lock, for look-ups).

#include <cstdint>
#include <span>

#include "audio/Tremulant.h"
#include "console/Control.h"
#include "organ/Manual.h"
#include "organ/Organ.h"
#include "organ/Stop.h"

namespace tessaline {

enum class ControlKind : uint8_t {
    Stop,
    Coupler,
    Divisional,
    General,
    ReversiblePiston,
    Tremulant,
    DivisionalCoupler,
};

// One control of the walk: its kind, its manual (-1 for the organ's own
// controls), its index among the controls of that kind and owner, and the
// drawstop or button that shows it (exactly one is set).
struct ControlRef {
    ControlKind kind = ControlKind::Stop;
    int manual = -1;
    int index = 0;
    Drawstop* drawstop = nullptr;
    Button* button = nullptr;

    Control& Face() const {
        return drawstop ? static_cast<Control&>(*drawstop) : static_cast<Control&>(*button);
    }
};

// The controls of one manual, in order: stops, couplers, divisionals.
// Nothing for a manual that is not loaded.
template <class Visit>
void ForEachManualControl(Manual& manual, Visit&& visit) {
    if (!manual.loaded) return;
    for (int s = 0; s < manual.numberOfStops; ++s)
        if (Stop* stop = manual.GetStop(s)) visit(ControlRef{ControlKind::Stop, manual.index, s, stop, nullptr});
    for (int c = 0; c < manual.numberOfCouplers; ++c)
        if (Coupler* coupler = manual.GetCoupler(c))
            visit(ControlRef{ControlKind::Coupler, manual.index, c, coupler, nullptr});
    for (int d = 0; d < manual.numberOfDivisionals && d < kMaxManualDivisionals; ++d)
        visit(ControlRef{ControlKind::Divisional, manual.index, d, nullptr,
                         &manual.divisionals[static_cast<size_t>(d)]});
}

// The organ's general buttons (the frame generals have none), in order.
template <class Visit>
void ForEachGeneralButton(Organ& organ, Visit&& visit) {
    for (uint32_t g = 0; g < organ.numberOfGenerals && g < kMaxGenerals; ++g)
        visit(ControlRef{ControlKind::General, -1, static_cast<int>(g), nullptr, &organ.generals[g]});
}

template <class Visit>
void ForEachReversiblePiston(Organ& organ, Visit&& visit) {
    for (uint32_t r = 0; r < organ.numberOfReversiblePistons && r < organ.reversiblePistons.size(); ++r)
        visit(ControlRef{ControlKind::ReversiblePiston, -1, static_cast<int>(r), nullptr,
                         &organ.reversiblePistons[r]});
}

template <class Visit>
void ForEachTremulantDrawstop(Organ& organ, Visit&& visit) {
    std::span<Tremulant> tremulants = organ.Tremulants();
    for (size_t t = 0; t < tremulants.size(); ++t)
        visit(ControlRef{ControlKind::Tremulant, -1, static_cast<int>(t), &tremulants[t].drawstop,
                         nullptr});
}

template <class Visit>
void ForEachDivisionalCouplerDrawstop(Organ& organ, Visit&& visit) {
    for (uint32_t i = 0; i < organ.numberOfDivisionalCouplers && i < organ.divisionalCouplers.size(); ++i)
        visit(ControlRef{ControlKind::DivisionalCoupler, -1, static_cast<int>(i),
                         &organ.divisionalCouplers[i], nullptr});
}

// Every control of the console, in order.
template <class Visit>
void ForEachConsoleControl(Organ& organ, Visit&& visit) {
    for (uint32_t m = 0; m <= organ.numberOfManuals && m < organ.manuals.size(); ++m)
        ForEachManualControl(organ.manuals[m], visit);
    ForEachGeneralButton(organ, visit);
    ForEachReversiblePiston(organ, visit);
    ForEachTremulantDrawstop(organ, visit);
    ForEachDivisionalCouplerDrawstop(organ, visit);
}

// The control at that address, when it is one of the organ's controls now
// (a redraw queued before an unload may name a control that is gone).
bool FindControl(Organ& organ, const Control* wanted, ControlRef& found);

}  // namespace tessaline
