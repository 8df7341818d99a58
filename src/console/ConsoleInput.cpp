// Clicks and keys on the console: which controls a click or a shortcut key
// reaches, in the order of ForEachConsoleControl, and capture mode.

#include "console/ConsoleControls.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

// What a click or a shortcut key does to a control: through the key action,
// so that held keys follow the change; each toggle takes the action lock.
void ActOn(Organ& organ, const ControlRef& ref) {
    switch (ref.kind) {
        case ControlKind::Stop: organ.StopToggle(ref.manual, ref.index); break;
        case ControlKind::Coupler: organ.CouplerToggle(ref.manual, ref.index); break;
        case ControlKind::DivisionalCoupler: organ.DivisionalCouplerToggle(ref.index); break;
    }
}

}  // namespace

void Organ::OnLeftButtonDown(int32_t x, int32_t y) {
    if (!loaded) return;
    // Every control under the point acts, not only the first: overlapping
    // controls all answer.
    ForEachConsoleControl(*this, [&](const ControlRef& ref) {
        if (ref.Face().Hit(x, y)) ActOn(*this, ref);
    });
}

void Organ::OnKeyDown(uint32_t keyCode) {
    if (!loaded) return;
    // Hidden controls answer their shortcut keys too.
    ForEachConsoleControl(*this, [&](const ControlRef& ref) {
        if (ref.Face().MatchesKey(keyCode)) ActOn(*this, ref);
    });
}

void Organ::SetCaptureMode(bool on) {
    if (!loaded) return;
    captureMode.store(on, std::memory_order_release);
}

}  // namespace tessaline
