#include "midi/Coupler.h"

#include <string>

#include "organ/KeyReader.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kCouplerAction = "Loading an organ coupler.";
constexpr size_t kNumberBuffer = 8;

struct SubsequentKey {
    const char* key;
    const char* missing;
    const char* invalid;
};

// In coupler-kind order.
constexpr SubsequentKey kSubsequentKeys[kCouplerKinds] = {
    {"CoupleToSubsequentUnisonIntermanualCouplers",
     "The CoupleToSubsequentUnisonIntermanualCouplers setting for coupler %d is not specified in the organ definition file.",
     "The CoupleToSubsequentUnisonIntermanualCouplers setting for coupler %d is invalid."},
    {"CoupleToSubsequentUpwardIntermanualCouplers",
     "The CoupleToSubsequentUpwardIntermanualCouplers setting for coupler %d is not specified in the organ definition file.",
     "The CoupleToSubsequentUpwardIntermanualCouplers setting for coupler %d is invalid."},
    {"CoupleToSubsequentDownwardIntermanualCouplers",
     "The CoupleToSubsequentDownwardIntermanualCouplers setting for coupler %d is not specified in the organ definition file.",
     "The CoupleToSubsequentDownwardIntermanualCouplers setting for coupler %d is invalid."},
    {"CoupleToSubsequentUpwardIntramanualCouplers",
     "The CoupleToSubsequentUpwardIntramanualCouplers setting for coupler %d is not specified in the organ definition file.",
     "The CoupleToSubsequentUpwardIntramanualCouplers setting for coupler %d is invalid."},
    {"CoupleToSubsequentDownwardIntramanualCouplers",
     "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler %d is not specified in the organ definition file.",
     "The CoupleToSubsequentDownwardIntramanualCouplers setting for coupler %d is invalid."},
};

}  // namespace

bool Coupler::Load(const DefinitionFile& file, int couplerNumber, int owner) {
    Clear();
    if (!Drawstop::Load(file, "Coupler", couplerNumber)) return false;
    ownerManual = owner;
    if (!ReadKeys(file, couplerNumber)) {
        Clear();
        return false;
    }
    couplerLoaded = true;
    return true;
}

bool Coupler::ReadKeys(const DefinitionFile& file, int couplerNumber) {
    KeyReader section(file, NumberedName("Coupler", couplerNumber), kCouplerAction);
    if (!section.Flag("UnisonOff", unisonOff,
                      "The UnisonOff setting for coupler %d is not specified in the organ definition file.",
                      "The unison off setting for coupler %d is invalid.", couplerNumber))
        return false;
    if (unisonOff) return true;

    uint32_t lowest = organ->hasPedals ? 0 : 1;
    uint32_t destination = 0;
    int32_t keyshift = 0;
    if (!section.Whole("DestinationManual", kNumberBuffer, lowest, organ->numberOfManuals, destination,
                       "The DestinationManual setting for coupler %d is not specified in the organ definition file.",
                       "An invalid destination manual number for the coupler %d is specified in the organ definition file.",
                       couplerNumber) ||
        !section.Signed("DestinationKeyshift", kNumberBuffer, -kMaxCouplerKeyshift, kMaxCouplerKeyshift,
                        keyshift,
                        "The DestinationKeyshift setting for coupler %d is not specified in the organ definition file.",
                        "An invalid DestinationKeyshift setting for coupler %d is specified in the organ definition file (max +/-24).",
                        couplerNumber))
        return false;
    for (int k = 0; k < kCouplerKinds; ++k) {
        const SubsequentKey& key = kSubsequentKeys[k];
        if (!section.Flag(key.key, coupleToSubsequent[static_cast<size_t>(k)], key.missing, key.invalid,
                          couplerNumber))
            return false;
    }
    destinationManual = static_cast<int>(destination);
    destinationKeyshift = keyshift;
    intermanual = destinationManual != ownerManual;
    unison = keyshift == 0;
    upward = keyshift > 0;
    downward = keyshift < 0;
    return true;
}

void Coupler::Clear() {
    Drawstop::Clear();
    ownerManual = 0;
    unisonOff = false;
    destinationManual = 0;
    destinationKeyshift = 0;
    intermanual = unison = upward = downward = false;
    coupleToSubsequent.fill(false);
    couplerLoaded = false;
}

int Coupler::Kind() const {
    if (!couplerLoaded || unisonOff) return -1;
    if (intermanual)
        return unison ? kUnisonIntermanual : upward ? kUpwardIntermanual : kDownwardIntermanual;
    if (unison) return -1;
    return upward ? kUpwardIntramanual : kDownwardIntramanual;
}

bool Coupler::Passes(CouplerPermissions permissions) const {
    int kind = Kind();
    return kind >= 0 && (permissions & (1u << kind)) != 0;
}

CouplerPermissions Coupler::Subsequent() const {
    CouplerPermissions permissions = 0;
    for (int k = 0; k < kCouplerKinds; ++k)
        if (coupleToSubsequent[static_cast<size_t>(k)]) permissions |= static_cast<CouplerPermissions>(1u << k);
    return permissions;
}

}  // namespace tessaline
