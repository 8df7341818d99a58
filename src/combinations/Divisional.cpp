#include "combinations/Divisional.h"

#include "combinations/CombinationLoad.h"
#include "combinations/CombinationTargets.h"
#include "organ/KeyReader.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kDivisionalAction = "Loading an organ divisional combination.";
constexpr size_t kNumberBuffer = 8;
constexpr size_t kSpecifierBuffer = 256;

// Reads specifier key `key` into entry i of list; reports the missing or
// invalid message with (i + 1, divisional number).
template <typename List>
bool ReadSpecifier(const KeyReader& section, const char* key, uint32_t i, uint32_t max, int number,
                   List& list, const char* missing, const char* invalid) {
    std::string text = section.Text(key, kSpecifierBuffer);
    int position = static_cast<int>(i) + 1;
    if (text.empty()) {
        section.Report(missing, position, number);
        return false;
    }
    CombinationEntry& entry = list.entries[i];
    entry = CombinationEntry{};
    if (!ParseEntrySpecifier(text, max, entry.index, entry.engage)) {
        section.Report(invalid, position, number);
        return false;
    }
    return true;
}

}  // namespace

void Divisional::AttachManual(Manual& owner) {
    manual = &owner;
}

void Divisional::Clear() {
    Button::Clear();
    number = 0;
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    combinationLoaded = false;
}

bool Divisional::Load(const DefinitionFile& file, int divisionalNumber, bool fromDefinition) {
    return LoadCombination(*this, file, "Divisional", static_cast<uint32_t>(divisionalNumber), fromDefinition,
                           [&] { return LoadContents(file); });
}

bool Divisional::LoadContents(const DefinitionFile& file) {
    const Organ& organ = *Control::organ;
    int n = static_cast<int>(number);
    KeyReader section(file, NumberedName("Divisional", n), kDivisionalAction);
    uint32_t stopCount = 0, couplerCount = 0, tremulantCount = 0;
    if (!section.Whole("NumberOfStops", kNumberBuffer, 0, static_cast<uint32_t>(manual->numberOfStops),
                       stopCount,
                       "The number of stops for the divisional %d is not specified in the organ definition file.",
                       "An invalid number of stops for the divisional %d is specified in the organ definition file.",
                       n))
        return false;
    if (organ.divisionalsStoreIntermanualCouplers || organ.divisionalsStoreIntramanualCouplers) {
        if (!section.Whole("NumberOfCouplers", kNumberBuffer, 0,
                           static_cast<uint32_t>(manual->numberOfCouplers), couplerCount,
                           "The number of couplers for the divisional %d is not specified in the organ definition file.",
                           "An invalid number of couplers for the divisional %d is specified in the organ definition file.",
                           n))
            return false;
    }
    if (organ.divisionalsStoreTremulants) {
        if (!section.Whole("NumberOfTremulants", kNumberBuffer, 0,
                           static_cast<uint32_t>(manual->numberOfTremulants), tremulantCount,
                           "The number of tremulants for the divisional %d is not specified in the organ definition file.",
                           "An invalid number of tremulants for the divisional %d is specified in the organ definition file.",
                           n))
            return false;
    }
    // The lists grow entry by entry: a load that fails part-way keeps what
    // it read and never a count beyond it.
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    for (uint32_t i = 0; i < stopCount; ++i)
        if (!ReadStop(section, i)) return false;
    for (uint32_t i = 0; i < couplerCount; ++i)
        if (!ReadCoupler(section, i)) return false;
    for (uint32_t i = 0; i < tremulantCount; ++i)
        if (!ReadTremulant(section, i)) return false;
    return true;
}

bool Divisional::ReadStop(const KeyReader& section, uint32_t i) {
    int n = static_cast<int>(number);
    std::string key = NumberedName("Stop", static_cast<int>(i) + 1);
    if (!ReadSpecifier(section, key.c_str(), i, static_cast<uint32_t>(manual->numberOfStops), n, stops,
                       "Stop specifier %d for the divisional %d could not be found in the organ definition file.",
                       "An invalid stop specifier %d for the divisional %d is specified in the organ definition file."))
        return false;
    TargetState state = StopState(*manual, stops.entries[i].index);
    if (!Control::organ->combinationsStoreNonDisplayedDrawstops && state.exists && !state.displayed) {
        section.Report("Stop specifier %d for the divisional %d is a non-displayed drawstop, which are not stored by divisionals for this organ.",
                       static_cast<int>(i) + 1, n);
        return false;
    }
    stops.count = i + 1;
    return true;
}

bool Divisional::ReadCoupler(const KeyReader& section, uint32_t i) {
    const Organ& organ = *Control::organ;
    int n = static_cast<int>(number);
    int position = static_cast<int>(i) + 1;
    std::string key = NumberedName("Coupler", position);
    if (!ReadSpecifier(section, key.c_str(), i, static_cast<uint32_t>(manual->numberOfCouplers), n,
                       couplers,
                       "Coupler specifier %d for the divisional %d could not be found in the organ definition file.",
                       "An invalid coupler specifier %d for the divisional %d is specified in the organ definition file."))
        return false;
    int c = couplers.entries[i].index;
    bool intermanual = CouplerIsIntermanual(*manual, c);
    if (intermanual && !organ.divisionalsStoreIntermanualCouplers) {
        section.Report("Coupler specifier %d for the divisional %d is an inter-manual coupler, which are not stored by divisionals for this organ.",
                       position, n);
        return false;
    }
    if (!intermanual && !organ.divisionalsStoreIntramanualCouplers) {
        section.Report("Coupler specifier %d for the divisional %d is an intra-manual coupler, which are not stored by divisionals for this organ.",
                       position, n);
        return false;
    }
    TargetState state = CouplerState(*manual, c);
    if (!organ.combinationsStoreNonDisplayedDrawstops && state.exists && !state.displayed) {
        section.Report("Coupler specifier %d for the divisional %d is a non-displayed drawstop, which are not stored by divisionals for this organ.",
                       position, n);
        return false;
    }
    couplers.count = i + 1;
    return true;
}

bool Divisional::ReadTremulant(const KeyReader& section, uint32_t i) {
    int n = static_cast<int>(number);
    std::string key = NumberedName("Tremulant", static_cast<int>(i) + 1);
    if (!ReadSpecifier(section, key.c_str(), i, static_cast<uint32_t>(manual->numberOfTremulants), n,
                       tremulants,
                       "Tremulant specifier %d for the divisional %d could not be found in the organ definition file.",
                       "An invalid tremulant specifier %d for the divisional %d is specified in the organ definition file."))
        return false;
    int t = manual->tremulants[tremulants.entries[i].index];
    TargetState state = TremulantState(*Control::organ, t);
    if (!Control::organ->combinationsStoreNonDisplayedDrawstops && state.exists && !state.displayed) {
        section.Report("Tremulant specifier %d for the divisional %d is a non-displayed drawstop, which are not stored by divisionals for this organ.",
                       static_cast<int>(i) + 1, n);
        return false;
    }
    tremulants.count = i + 1;
    return true;
}

void Divisional::Recall() {
    if (!combinationLoaded) return;
    for (const CombinationEntry& e : stops) SetStop(*manual, e.index, e.engage);
    for (const CombinationEntry& e : couplers) SetCoupler(*manual, e.index, e.engage);
    for (const CombinationEntry& e : tremulants)
        SetManualTremulant(*Control::organ, *manual, e.index, e.engage);
}

void Divisional::Capture() {
    if (!combinationLoaded) return;
    const Organ& organ = *Control::organ;
    bool hidden = organ.combinationsStoreNonDisplayedDrawstops;
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    for (int s = 0; s < manual->numberOfStops; ++s) {
        TargetState state = StopState(*manual, s);
        if (state.exists && (state.displayed || hidden))
            stops.Add({0, static_cast<uint8_t>(s), state.engaged});
    }
    for (int c = 0; c < manual->numberOfCouplers; ++c) {
        TargetState state = CouplerState(*manual, c);
        if (!state.exists || !(state.displayed || hidden)) continue;
        bool intermanual = CouplerIsIntermanual(*manual, c);
        if (intermanual ? organ.divisionalsStoreIntermanualCouplers
                        : organ.divisionalsStoreIntramanualCouplers)
            couplers.Add({0, static_cast<uint8_t>(c), state.engaged});
    }
    if (!organ.divisionalsStoreTremulants) return;
    for (int t = 0; t < manual->numberOfTremulants; ++t) {
        TargetState state = TremulantState(organ, manual->tremulants[static_cast<size_t>(t)]);
        if (state.exists && (state.displayed || hidden))
            tremulants.Add({0, static_cast<uint8_t>(t), state.engaged});
    }
}

}  // namespace tessaline
