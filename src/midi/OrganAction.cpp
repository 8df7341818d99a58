// The organ's entries into the key, stop and coupler action, each under the
// one action lock that keeps the MIDI thread and the UI thread from running
// the action at the same time.

#include "midi/CouplerPaths.h"
#include "organ/Organ.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

Manual* Organ::ManualAt(int m) {
    if (m < (hasPedals ? 0 : 1) || m > static_cast<int>(numberOfManuals) || m >= kMaxManuals)
        return nullptr;
    Manual& manual = manuals[static_cast<size_t>(m)];
    return manual.loaded ? &manual : nullptr;
}

bool Organ::CheckCouplerPaths() {
    CouplerPathStart path;
    if (!FindClosedCouplerPath(manuals, path)) return true;
    ReportError("Coupler %d on manual %d is part of a closed path of couplers that would carry a key "
                "back to itself without end.",
                "Loading an organ.", path.coupler + 1, path.manual);
    return false;
}

void Organ::KeyDown(int m, int note, int source) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->KeyDown(note, true, source, kAllCouplerPermissions);
}

void Organ::KeyUp(int m, int note, int source) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->KeyUp(note, true, source, kAllCouplerPermissions);
}

void Organ::StopOn(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->StopOn(i);
}

void Organ::StopOff(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->StopOff(i);
}

void Organ::StopToggle(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->StopToggle(i);
}

void Organ::CouplerOn(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->CouplerOn(i);
}

void Organ::CouplerOff(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->CouplerOff(i);
}

void Organ::CouplerToggle(int m, int i) {
    auto lock = LockAction();
    if (Manual* manual = ManualAt(m)) manual->CouplerToggle(i);
}

void Organ::DivisionalCouplerOnLocked(int i) {
    if (loaded && i >= 0 && i < static_cast<int>(numberOfDivisionalCouplers))
        divisionalCouplers[static_cast<size_t>(i)].Engage();
}

void Organ::DivisionalCouplerOffLocked(int i) {
    if (loaded && i >= 0 && i < static_cast<int>(numberOfDivisionalCouplers))
        divisionalCouplers[static_cast<size_t>(i)].Disengage();
}

void Organ::DivisionalCouplerOn(int i) {
    auto lock = LockAction();
    DivisionalCouplerOnLocked(i);
}

void Organ::DivisionalCouplerOff(int i) {
    auto lock = LockAction();
    DivisionalCouplerOffLocked(i);
}

void Organ::DivisionalCouplerToggle(int i) {
    auto lock = LockAction();
    if (!loaded || i < 0 || i >= static_cast<int>(numberOfDivisionalCouplers)) return;
    if (divisionalCouplers[static_cast<size_t>(i)].Engaged())
        DivisionalCouplerOffLocked(i);
    else
        DivisionalCouplerOnLocked(i);
}

void Organ::StopControlLocked(int note, bool on) {
    if (!loaded) return;
    for (int m = 0; m < kMaxManuals; ++m)
        if (Manual* manual = ManualAt(m)) manual->StopControl(note, on);
    std::span<Tremulant> all = Tremulants();
    for (uint32_t t = 0; t < all.size(); ++t) {
        if (all[t].drawstop.stopControlMidiKeyNumber != note) continue;
        if (on)
            TremulantOn(t);
        else
            TremulantOff(t);
    }
    for (int i = 0; i < static_cast<int>(numberOfDivisionalCouplers); ++i) {
        if (divisionalCouplers[static_cast<size_t>(i)].stopControlMidiKeyNumber != note) continue;
        if (on)
            DivisionalCouplerOnLocked(i);
        else
            DivisionalCouplerOffLocked(i);
    }
}

void Organ::StopControl(int note, bool on) {
    auto lock = LockAction();
    StopControlLocked(note, on);
}

void Organ::SetTestNoteLocked(bool on) {
    if (on == testNoteOn) return;
    testNoteOn = on;
    Manual* manual = ManualAt(kTestNoteManual);
    if (manual == nullptr) return;
    if (on)
        manual->KeyDown(kTestNoteMidiNote, true, kTestNoteSource, kAllCouplerPermissions);
    else
        manual->KeyUp(kTestNoteMidiNote, true, kTestNoteSource, kAllCouplerPermissions);
}

void Organ::SetTestNote(bool on) {
    auto lock = LockAction();
    SetTestNoteLocked(on);
}

void Organ::ResetNotesLocked() {
    if (!loaded) return;
    SetTestNoteLocked(false);
    for (int m = 0; m < kMaxManuals; ++m)
        if (Manual* manual = ManualAt(m)) manual->ResetNotes();
}

void Organ::ResetNotes() {
    auto lock = LockAction();
    ResetNotesLocked();
}

void Organ::ResetActionLocked() {
    if (!loaded) return;
    SetTestNoteLocked(false);
    for (int m = 0; m < kMaxManuals; ++m)
        if (Manual* manual = ManualAt(m)) manual->Reset();
    for (int i = 0; i < static_cast<int>(numberOfDivisionalCouplers); ++i)
        divisionalCouplers[static_cast<size_t>(i)].ResetToDefault();
}

void Organ::ResetAction() {
    auto lock = LockAction();
    ResetActionLocked();
}

}  // namespace tessaline
