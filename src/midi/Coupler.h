#pragma once
// A coupler: a drawstop of a manual that, while engaged, carries every key
// held on its manual on to a key of its destination manual, shifted by its
// keyshift. A unison-off coupler instead stops its own manual's direct holds
// from sounding the manual's stops; it has no destination.
//
// Each coupler has one of five kinds (intermanual or intramanual, by
// direction). A hold passes through a coupler only when it arrived with
// permission for that kind; a hold carried by coupler J arrives at the
// destination with J's coupleToSubsequent flags as its permissions.
//
// Threads: Load and Clear run on the UI thread while the organ is not active;
// the fields are read by the key action under the organ's action lock.

#include <array>
#include <cstdint>

#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class DefinitionFile;

// The coupler kinds, in the order of the coupleToSubsequent flags and of a
// key's passHolds counters.
enum CouplerKind : int {
    kUnisonIntermanual = 0,
    kUpwardIntermanual = 1,
    kDownwardIntermanual = 2,
    kUpwardIntramanual = 3,
    kDownwardIntramanual = 4,
};

// Five permission bits, bit k for coupler kind k.
using CouplerPermissions = uint8_t;
inline constexpr CouplerPermissions kAllCouplerPermissions = (1u << kCouplerKinds) - 1;

class Coupler : public Drawstop {
public:
    // UI, OFF. Section Coupler%03d (couplerNumber), for manual ownerManual:
    // the drawstop, then its own keys. False after reporting, cleared.
    bool Load(const DefinitionFile& file, int couplerNumber, int ownerManual);
    // UI, OFF. Empty and not loaded; the organ attachment stays.
    void Clear();

    // The coupler's kind, or -1 for a unison-off or intramanual unison
    // coupler, which never carries a key.
    int Kind() const;
    // True when a hold that arrived with these permissions passes through.
    bool Passes(CouplerPermissions permissions) const;
    // The permissions a hold carries on from this coupler.
    CouplerPermissions Subsequent() const;

    int ownerManual = 0;
    bool unisonOff = false;
    int destinationManual = 0;
    int destinationKeyshift = 0;  // semitones, -24..24
    bool intermanual = false;
    bool unison = false;
    bool upward = false;
    bool downward = false;
    std::array<bool, kCouplerKinds> coupleToSubsequent{};
    bool couplerLoaded = false;

private:
    bool ReadKeys(const DefinitionFile& file, int couplerNumber);
};

}  // namespace tessaline
