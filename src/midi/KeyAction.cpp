// The key action of a manual: how a held key reaches the pipes of the
// manual's drawn stops and, through the engaged couplers, the keys of other
// manuals; and what drawing or retiring a stop or coupler does to keys that
// are already held.
//
// A key counts its holds, so a pipe sounds exactly while some path still
// holds its key. Presses and releases walk the same couplers in the same
// order, so each release takes back exactly what its press placed. Closed
// paths of couplers that would bring a key back to itself are refused when
// the organ loads (CouplerPaths), which bounds the recursion here.
//
// Everything here runs under the organ's action lock.

#include <array>

#include "midi/Coupler.h"
#include "organ/Manual.h"
#include "organ/Organ.h"
#include "organ/Stop.h"

namespace tessaline {

bool Manual::Sounding(int k) const {
    if (!ValidKey(k)) return false;
    const ManualKey& key = keys[static_cast<size_t>(k)];
    return unisonOff ? key.directHolds < key.holds : key.holds > 0;
}

KeyHeld Manual::HeldState(int k) const {
    if (!ValidKey(k)) return KeyHeld::No;
    const ManualKey& key = keys[static_cast<size_t>(k)];
    if (key.directHolds > 0) return KeyHeld::Directly;
    return key.holds > 0 ? KeyHeld::ThroughCouplers : KeyHeld::No;
}

void Manual::StopsOn(int k) {
    for (int s = 0; s < numberOfStops; ++s) stops[static_cast<size_t>(s)]->PipeOn(k);
}

void Manual::StopsOff(int k) {
    for (int s = 0; s < numberOfStops; ++s) stops[static_cast<size_t>(s)]->PipeOff(k);
}

void Manual::RedrawKey(int k) { organ->View().RequestKeyRedraw(index, k); }

Manual* Manual::Destination(const Coupler& coupler) const {
    return organ->ManualAt(coupler.destinationManual);
}

void Manual::Couple(int k, bool down, CouplerPermissions permissions) {
    int note = midiNoteOfKey0 + k;
    for (int c = 0; c < numberOfCouplers; ++c) {
        const Coupler& coupler = couplers[static_cast<size_t>(c)];
        if (!coupler.Engaged() || !coupler.Passes(permissions)) continue;
        Manual* destination = Destination(coupler);
        if (destination == nullptr) continue;
        int shifted = note + coupler.destinationKeyshift;
        if (down)
            destination->KeyDown(shifted, false, 0, coupler.Subsequent());
        else
            destination->KeyUp(shifted, false, 0, coupler.Subsequent());
    }
}

void Manual::KeyDown(int note, bool direct, int source, CouplerPermissions permissions) {
    int k = note - midiNoteOfKey0;
    if (!ValidKey(k)) return;
    ManualKey& key = keys[static_cast<size_t>(k)];
    uint32_t bit = source >= 0 && source < 32 ? 1u << source : 0;
    if (direct && (bit == 0 || (key.directMask & bit) != 0 || !key.playable)) return;

    bool wasSounding = Sounding(k);
    bool redraw = key.holds == 0;
    ++key.holds;
    if (direct) {
        redraw = redraw || key.directHolds == 0;
        key.directMask |= bit;
        ++key.directHolds;
    }
    for (int kind = 0; kind < kCouplerKinds; ++kind)
        if (permissions & (1u << kind)) ++key.passHolds[static_cast<size_t>(kind)];
    if (redraw) RedrawKey(k);
    if (!wasSounding && Sounding(k)) StopsOn(k);
    Couple(k, true, permissions);
}

// A coupled release that finds the key without holds (its manual's notes
// were reset while another manual still held it) leaves the counts at zero
// but still passes on, so holds the key had placed further down the chain
// are not left behind.
void Manual::KeyUp(int note, bool direct, int source, CouplerPermissions permissions) {
    int k = note - midiNoteOfKey0;
    if (!ValidKey(k)) return;
    ManualKey& key = keys[static_cast<size_t>(k)];
    uint32_t bit = source >= 0 && source < 32 ? 1u << source : 0;
    if (direct && (bit == 0 || (key.directMask & bit) == 0 || !key.playable)) return;

    if (key.holds > 0) {
        bool wasSounding = Sounding(k);
        --key.holds;
        bool redraw = key.holds == 0;
        if (direct) {
            key.directMask &= ~bit;
            --key.directHolds;
            redraw = redraw || key.directHolds == 0;
        }
        for (int kind = 0; kind < kCouplerKinds; ++kind) {
            uint32_t& pass = key.passHolds[static_cast<size_t>(kind)];
            if ((permissions & (1u << kind)) && pass > 0) --pass;
            // A hold that arrived without this permission may be the one
            // going; the count can never exceed the holds left.
            if (pass > key.holds) pass = key.holds;
        }
        if (redraw) RedrawKey(k);
        if (wasSounding && !Sounding(k)) StopsOff(k);
    }
    Couple(k, false, permissions);
}

void Manual::StopOn(int i) {
    Stop* stop = GetStop(i);
    if (stop == nullptr || stop->Engaged()) return;
    stop->Engage();
    for (int k = 0; k < numberOfLogicalKeys; ++k)
        if (Sounding(k)) stop->PipeOn(k);
}

void Manual::StopOff(int i) {
    Stop* stop = GetStop(i);
    if (stop == nullptr || !stop->Engaged()) return;
    for (int k = 0; k < numberOfLogicalKeys; ++k)
        if (Sounding(k)) stop->PipeOff(k);
    stop->Disengage();
}

void Manual::StopToggle(int i) {
    Stop* stop = GetStop(i);
    if (stop == nullptr) return;
    if (stop->Engaged())
        StopOff(i);
    else
        StopOn(i);
}

void Manual::CouplerOn(int i) {
    SetCoupler(i, true);
}

void Manual::CouplerOff(int i) {
    SetCoupler(i, false);
}

// The holds that may pass through the coupler are noted before the first
// press, so holds that the presses add to this manual themselves (an
// intramanual coupler feeding its own manual) are not carried twice: they
// went through the coupler in their own recursion.
void Manual::SetCoupler(int i, bool on) {
    Coupler* coupler = GetCoupler(i);
    if (coupler == nullptr || !coupler->couplerLoaded || coupler->Engaged() == on) return;
    if (on)
        coupler->Engage();
    else
        coupler->Disengage();
    if (coupler->unisonOff) {
        unisonOff = on;
        for (int k = 0; k < numberOfLogicalKeys; ++k) {
            const ManualKey& key = keys[static_cast<size_t>(k)];
            if (key.holds == 0 || key.directHolds < key.holds) continue;
            if (on)
                StopsOff(k);
            else
                StopsOn(k);
        }
        return;
    }
    PassHolds(*coupler, on);
}

void Manual::PassHolds(const Coupler& coupler, bool on) {
    int kind = coupler.Kind();
    Manual* destination = Destination(coupler);
    if (kind < 0 || destination == nullptr) return;
    std::array<uint32_t, kMaxLogicalKeys> counts{};
    for (int k = 0; k < numberOfLogicalKeys; ++k)
        counts[static_cast<size_t>(k)] = keys[static_cast<size_t>(k)].passHolds[static_cast<size_t>(kind)];
    for (int k = 0; k < numberOfLogicalKeys; ++k) {
        int note = midiNoteOfKey0 + k + coupler.destinationKeyshift;
        for (uint32_t n = 0; n < counts[static_cast<size_t>(k)]; ++n) {
            if (on)
                destination->KeyDown(note, false, 0, coupler.Subsequent());
            else
                destination->KeyUp(note, false, 0, coupler.Subsequent());
        }
    }
}

void Manual::CouplerToggle(int i) {
    if (Coupler* coupler = GetCoupler(i)) SetCoupler(i, !coupler->Engaged());
}

void Manual::TremulantOn(int i) {
    if (loaded && i >= 0 && i < numberOfTremulants)
        organ->TremulantOn(static_cast<uint32_t>(tremulants[static_cast<size_t>(i)]));
}

void Manual::TremulantOff(int i) {
    if (loaded && i >= 0 && i < numberOfTremulants)
        organ->TremulantOff(static_cast<uint32_t>(tremulants[static_cast<size_t>(i)]));
}

void Manual::StopControl(int note, bool on) {
    if (!loaded || note < 0) return;
    for (int s = 0; s < numberOfStops; ++s) {
        if (stops[static_cast<size_t>(s)]->stopControlMidiKeyNumber != note) continue;
        if (on)
            StopOn(s);
        else
            StopOff(s);
    }
    for (int c = 0; c < numberOfCouplers; ++c) {
        if (couplers[static_cast<size_t>(c)].stopControlMidiKeyNumber == note) SetCoupler(c, on);
    }
}

void Manual::ResetNotes() {
    if (!loaded) return;
    if (index == kTestNoteManual) organ->SetTestNoteLocked(false);
    // What the keys passed on through engaged couplers is let go first: a
    // reset of this keyboard alone (a channel's all-notes-off) must not leave
    // its notes held, and sounding, on the manuals it is coupled to.
    for (int c = 0; c < numberOfCouplers; ++c) {
        const Coupler& coupler = couplers[static_cast<size_t>(c)];
        if (coupler.couplerLoaded && coupler.Engaged() && !coupler.unisonOff)
            PassHolds(coupler, false);
    }
    for (int k = 0; k < numberOfLogicalKeys; ++k) {
        ManualKey& key = keys[static_cast<size_t>(k)];
        key.holds = key.directMask = key.directHolds = 0;
        key.passHolds.fill(0);
        RedrawKey(k);
        for (int s = 0; s < numberOfStops; ++s) stops[static_cast<size_t>(s)]->PipeCut(k);
    }
}

// unisonOff follows the unison-off coupler's resulting state, so that a
// coupler that defaults to engaged silences direct holds from the start and
// disengaging it later does not start pipes a second time.
void Manual::Reset() {
    if (!loaded) return;
    ResetNotes();
    for (int s = 0; s < numberOfStops; ++s) stops[static_cast<size_t>(s)]->ResetToDefault();
    unisonOff = false;
    for (int c = 0; c < numberOfCouplers; ++c) {
        Coupler& coupler = couplers[static_cast<size_t>(c)];
        coupler.ResetToDefault();
        if (coupler.unisonOff && coupler.Engaged()) unisonOff = true;
    }
}

}  // namespace tessaline
