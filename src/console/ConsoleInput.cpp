// Clicks and keys on the console: which controls a click or a shortcut key
// reaches, in the order of ForEachConsoleControl, and capture mode.

#include "console/ConsoleControls.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

// What a click or a shortcut key does to a control.
void ActOn(const ControlRef& ref) {
    switch (ref.kind) {
        case ControlKind::Stop:
            // Until held keys exist, toggling a stop changes only its drawstop.
            if (ref.drawstop->Engaged())
                ref.drawstop->Disengage();
            else
                ref.drawstop->Engage();
            break;
    }
}

}  // namespace

void Organ::OnLeftButtonDown(int32_t x, int32_t y) {
    if (!loaded) return;
    // Every control under the point acts, not only the first: overlapping
    // controls all answer.
    ForEachConsoleControl(*this, [&](const ControlRef& ref) {
        if (ref.Face().Hit(x, y)) ActOn(ref);
    });
}

void Organ::OnKeyDown(uint32_t keyCode) {
    if (!loaded) return;
    // Hidden controls answer their shortcut keys too.
    ForEachConsoleControl(*this, [&](const ControlRef& ref) {
        if (ref.Face().MatchesKey(keyCode)) ActOn(ref);
    });
}

void Organ::SetCaptureMode(bool on) {
    if (!loaded) return;
    captureMode.store(on, std::memory_order_release);
}

}  // namespace tessaline
