#include "midi/DivisionalCoupler.h"

#include <string>

#include "organ/KeyReader.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kDivisionalCouplerAction = "Loading an organ divisional coupler.";
constexpr size_t kNumberBuffer = 8;

}  // namespace

bool DivisionalCoupler::Load(const DefinitionFile& file, int number) {
    Clear();
    if (!Drawstop::Load(file, "DivisionalCoupler", number)) return false;
    if (!ReadKeys(file, number)) {
        Clear();
        return false;
    }
    divisionalCouplerLoaded = true;
    return true;
}

bool DivisionalCoupler::ReadKeys(const DefinitionFile& file, int number) {
    std::string sectionName = NumberedName("DivisionalCoupler", number);
    const char* s = sectionName.c_str();
    KeyReader section(file, sectionName, kDivisionalCouplerAction);
    uint32_t count = 0;
    if (!section.Whole("NumberOfManuals", kNumberBuffer, 1, kMaxDivisionalCouplerManuals, count,
                       "The number of manuals is not specified in the organ definition file for %s, or the section is missing.",
                       "An invalid number of manuals is specified in the organ definition file for %s.", s))
        return false;
    uint32_t lowest = organ->hasPedals ? 0 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        std::string key = NumberedName("Manual", static_cast<int>(i + 1));
        uint32_t manual = 0;
        if (!section.Whole(key.c_str(), kNumberBuffer, lowest, organ->numberOfManuals, manual,
                           "The manual %d number is not specified in the organ definition file for %s.",
                           "Manual specifier %d is invalid in the organ definition file for %s.",
                           static_cast<int>(i + 1), s))
            return false;
        manuals[i] = static_cast<int>(manual);
    }
    if (!section.Flag("BiDirectionalCoupling", biDirectional,
                      "The BiDirectionalCoupling setting is not specified in the organ definition file for %s.",
                      "An invalid BiDirectionalCoupling setting is specified in the organ definition file for %s (Y/N).",
                      s))
        return false;
    numberOfManuals = static_cast<int>(count);
    return true;
}

void DivisionalCoupler::Clear() {
    Drawstop::Clear();
    manuals.fill(0);
    numberOfManuals = 0;
    biDirectional = false;
    divisionalCouplerLoaded = false;
}

int DivisionalCoupler::CoupledManuals(int m, std::array<int, kMaxDivisionalCouplerManuals>& out) const {
    if (!divisionalCouplerLoaded || !Engaged()) return 0;
    bool listed = false;
    for (int i = 0; i < numberOfManuals; ++i) listed = listed || manuals[static_cast<size_t>(i)] == m;
    if (!listed) return 0;
    int n = 0;
    bool seen = false;
    for (int i = 0; i < numberOfManuals; ++i) {
        int x = manuals[static_cast<size_t>(i)];
        if (x == m)
            seen = true;
        else if (biDirectional || seen)
            out[static_cast<size_t>(n++)] = x;
    }
    return n;
}

}  // namespace tessaline
