// Clicks and keys on the console: which controls a click or a shortcut key
// reaches, in the order of ForEachConsoleControl, the frame keys, the send
// keys of the redirectable inputs, and capture mode.

#include "console/ConsoleControls.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr uint32_t kLeftArrowKey = 37;
constexpr uint32_t kRightArrowKey = 39;
constexpr uint32_t kDownArrowKey = 40;
// F1-F4 choose the sends of redirectable input A, F5-F8 those of input B.
constexpr uint32_t kFirstSendKey = 112;

// What a click or a shortcut key does to a control: through the key action
// and the combinations, so that held keys follow the change. Each entry takes
// the action lock itself, except the tremulant's, which expects it held.
void ActOn(Organ& organ, const ControlRef& ref) {
    switch (ref.kind) {
        case ControlKind::Stop: organ.StopToggle(ref.manual, ref.index); break;
        case ControlKind::Coupler: organ.CouplerToggle(ref.manual, ref.index); break;
        case ControlKind::Divisional: organ.PressDivisional(ref.manual, ref.index); break;
        case ControlKind::General: organ.PressGeneral(ref.index); break;
        case ControlKind::ReversiblePiston: organ.PressReversiblePiston(ref.index); break;
        case ControlKind::Tremulant: {
            auto lock = organ.LockAction();
            organ.TremulantToggle(static_cast<uint32_t>(ref.index));
            break;
        }
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
    switch (keyCode) {
        case kLeftArrowKey: PreviousFrame(); break;
        case kRightArrowKey: NextFrame(); break;
        case kDownArrowKey:
            PressGeneral(kMaxGenerals + static_cast<int>(frameNumber.load(std::memory_order_acquire)));
            break;
        default: break;
    }
    // Hidden controls answer their shortcut keys too; an arrow key may be
    // one as well and then acts both ways.
    ForEachConsoleControl(*this, [&](const ControlRef& ref) {
        if (ref.Face().MatchesKey(keyCode)) ActOn(*this, ref);
    });
    constexpr uint32_t sends = SetupInfo::kSendKeys;
    constexpr uint32_t inputs = kRedirectableInputs;
    if (keyCode >= kFirstSendKey && keyCode < kFirstSendKey + inputs * sends) {
        uint32_t key = keyCode - kFirstSendKey;
        midiRouting.SelectSend(static_cast<int>(key / sends), key % sends);
    }
}

void Organ::SetCaptureMode(bool on) {
    if (!loaded) return;
    captureMode.store(on, std::memory_order_release);
}

}  // namespace tessaline
