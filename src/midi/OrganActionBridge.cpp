#include "midi/OrganActionBridge.h"

#include "midi/Coupler.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

void OrganActionBridge::BeginAction() { held = organ.LockAction(); }

// The lock leaves `held` before it is released: unlocking in place would
// mark `held` empty only after the mutex is free, when the next MIDI thread
// may already have put its own lock there.
void OrganActionBridge::EndAction() { std::unique_lock<std::mutex> releasing(std::move(held)); }

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

// The parts of the organ reset that the organ has: capture mode and the
// registration frame join when the combinations do.
void OrganActionBridge::ResetOrgan() {
    organ.ResetActionLocked();
    organ.ResetEnclosures();
    organ.ResetTremulants();
    organ.SilenceAllVoices();
    organ.midiRouting.ResetRedirectableInputs();
}

std::span<Enclosure> OrganActionBridge::Enclosures() { return organ.Enclosures(); }

}  // namespace tessaline
