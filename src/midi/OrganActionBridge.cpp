#include "midi/OrganActionBridge.h"

#include "midi/Coupler.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

void OrganActionBridge::BeginAction() { held = organ.LockAction(); }

void OrganActionBridge::EndAction() { held.unlock(); }

void OrganActionBridge::KeyDown(int manual, int note, uint32_t source) {
    if (Manual* m = organ.ManualAt(manual))
        m->KeyDown(note, true, static_cast<int>(source), kAllCouplerPermissions);
}

void OrganActionBridge::KeyUp(int manual, int note, uint32_t source) {
    if (Manual* m = organ.ManualAt(manual))
        m->KeyUp(note, true, static_cast<int>(source), kAllCouplerPermissions);
}

bool OrganActionBridge::HeldDirectlyBy(int manual, int key, uint32_t source) const {
    const Manual* m = organ.ManualAt(manual);
    if (!m || key < 0 || key >= m->numberOfLogicalKeys || source >= 32) return false;
    return (m->keys[static_cast<size_t>(key)].directMask >> source & 1u) != 0;
}

void OrganActionBridge::ResetNotes(int manual) {
    if (Manual* m = organ.ManualAt(manual)) m->ResetNotes();
}

void OrganActionBridge::StopControl(int note, bool on) { organ.StopControlLocked(note, on); }

void OrganActionBridge::ResetOrgan() {
    organ.ResetActionLocked();
    organ.midiRouting.ResetRedirectableInputs();
}

}  // namespace tessaline
