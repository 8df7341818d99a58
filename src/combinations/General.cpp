#include "combinations/General.h"

#include <string>

#include "combinations/CombinationLoad.h"
#include "combinations/CombinationTargets.h"
#include "organ/KeyReader.h"
#include "organ/Manual.h"
#include "organ/Organ.h"

namespace tessaline {

namespace {

constexpr const char* kGeneralAction = "Loading an organ general combination.";
constexpr size_t kNumberBuffer = 8;
constexpr size_t kSpecifierBuffer = 256;

// The texts of one kind of manual entry: stops or couplers.
struct ManualEntryTexts {
    const char* manualMissing;
    const char* manualInvalid;
    const char* numberMissing;
    const char* numberInvalid;
    const char* hidden;
};

constexpr ManualEntryTexts kStopTexts{
    "Stop manual specifier %d for the general combination %d could not be found in the organ definition file.",
    "An invalid stop manual specifier %d for the general combination %d is specified in the organ definition file.",
    "Stop number specifier %d for the general combination %d could not be found in the organ definition file.",
    "An invalid stop number specifier %d for the general combination %d is specified in the organ definition file.",
    "Stop number specifier %d for the general combination %d is a non-displayed drawstop, which are not stored by general combinations for this organ.",
};

constexpr ManualEntryTexts kCouplerTexts{
    "Coupler manual specifier %d for the general combination %d could not be found in the organ definition file.",
    "An invalid coupler manual specifier %d for the general combination %d is specified in the organ definition file.",
    "Coupler number specifier %d for the general combination %d could not be found in the organ definition file.",
    "An invalid coupler number specifier %d for the general combination %d is specified in the organ definition file.",
    "Coupler number specifier %d for the general combination %d is a non-displayed drawstop, which are not stored by general combinations for this organ.",
};

}  // namespace

void General::Clear() {
    Button::Clear();
    number = 0;
    isFrameGeneral = false;
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    divisionalCouplers.Clear();
    combinationLoaded = false;
}

void General::InitFrame(int entry) {
    Clear();
    number = static_cast<uint32_t>(entry) + 1;
    isFrameGeneral = true;
    combinationLoaded = true;
}

bool General::Load(const DefinitionFile& file, int entry, bool fromDefinition) {
    return LoadCombination(*this, file, "General", static_cast<uint32_t>(entry) + 1, fromDefinition,
                           [&] { return LoadContents(file); });
}

bool General::LoadContents(const DefinitionFile& file) {
    const Organ& organ = *Control::organ;
    int n = static_cast<int>(number);
    KeyReader section(file, NumberedName("General", n), kGeneralAction);
    uint32_t stopCount = 0, couplerCount = 0, tremulantCount = 0, divisionalCouplerCount = 0;
    if (!section.Whole("NumberOfStops", kNumberBuffer, 0, kMaxGeneralStops, stopCount,
                       "The number of stops for the general combination %d is not specified in the organ definition file.",
                       "An invalid number of stops for the general combination %d is specified in the organ definition file.",
                       n))
        return false;
    if (!section.Whole("NumberOfCouplers", kNumberBuffer, 0, kMaxGeneralCouplers, couplerCount,
                       "The number of couplers for the general combination %d is not specified in the organ definition file.",
                       "An invalid number of couplers for the general combination %d is specified in the organ definition file.",
                       n))
        return false;
    if (!section.Whole("NumberOfTremulants", kNumberBuffer, 0, kMaxTremulants, tremulantCount,
                       "The number of tremulants for the general combination %d is not specified in the organ definition file.",
                       "An invalid number of tremulants for the general combination %d is specified in the organ definition file.",
                       n))
        return false;
    if (organ.generalsStoreDivisionalCouplers &&
        !section.Whole("NumberOfDivisionalCouplers", kNumberBuffer, 0, kMaxDivisionalCouplers,
                       divisionalCouplerCount,
                       "The number of divisional couplers for the general combination %d is not specified in the organ definition file.",
                       "An invalid number of divisional couplers for the general combination %d is specified in the organ definition file.",
                       n))
        return false;
    // The lists grow entry by entry: a load that fails part-way keeps what
    // it read and never a count beyond it.
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    divisionalCouplers.Clear();
    if (stopCount + couplerCount + tremulantCount + divisionalCouplerCount == 0) {
        section.Report("No objects are specified for the general combination in the organ definition file.");
        return false;
    }
    for (uint32_t i = 0; i < stopCount; ++i)
        if (!ReadManualEntry(section, "Stop", i, true)) return false;
    for (uint32_t i = 0; i < couplerCount; ++i)
        if (!ReadManualEntry(section, "Coupler", i, false)) return false;
    for (uint32_t i = 0; i < tremulantCount; ++i)
        if (!ReadOrganEntry(section, i, true)) return false;
    for (uint32_t i = 0; i < divisionalCouplerCount; ++i)
        if (!ReadOrganEntry(section, i, false)) return false;
    return true;
}

bool General::ValidManual(uint32_t m) const {
    const Organ& organ = *Control::organ;
    return (m == 0 && organ.hasPedals) || (m >= 1 && m <= organ.numberOfManuals);
}

bool General::ReadManualEntry(const KeyReader& section, const char* kind, uint32_t i, bool stop) {
    const ManualEntryTexts& texts = stop ? kStopTexts : kCouplerTexts;
    int position = static_cast<int>(i) + 1;
    int n = static_cast<int>(number);
    std::string manualKey = NumberedName((std::string(kind) + "Manual").c_str(), position);
    std::string numberKey = NumberedName((std::string(kind) + "Number").c_str(), position);
    std::string manualText = section.Text(manualKey.c_str(), kNumberBuffer);
    if (manualText.empty()) {
        section.Report(texts.manualMissing, position, n);
        return false;
    }
    uint32_t m = static_cast<uint32_t>(ParseWholeNumber(manualText.c_str()));
    if (!ValidManual(m)) {
        section.Report(texts.manualInvalid, position, n);
        return false;
    }
    std::string numberText = section.Text(numberKey.c_str(), kSpecifierBuffer);
    if (numberText.empty()) {
        section.Report(texts.numberMissing, position, n);
        return false;
    }
    const Manual& manual = Control::organ->manuals[m];
    uint32_t max = static_cast<uint32_t>(stop ? manual.numberOfStops : manual.numberOfCouplers);
    CombinationEntry& entry = (stop ? stops.entries[i] : couplers.entries[i]);
    entry = CombinationEntry{};
    entry.manual = static_cast<uint8_t>(m);
    if (!ParseEntrySpecifier(numberText, max, entry.index, entry.engage)) {
        section.Report(texts.numberInvalid, position, n);
        return false;
    }
    TargetState state = stop ? StopState(manual, entry.index) : CouplerState(manual, entry.index);
    if (!Control::organ->combinationsStoreNonDisplayedDrawstops && state.exists && !state.displayed) {
        section.Report(texts.hidden, position, n);
        return false;
    }
    if (stop)
        stops.count = i + 1;
    else
        couplers.count = i + 1;
    return true;
}

bool General::ReadOrganEntry(const KeyReader& section, uint32_t i, bool tremulant) {
    const Organ& organ = *Control::organ;
    int position = static_cast<int>(i) + 1;
    int n = static_cast<int>(number);
    std::string key = NumberedName(tremulant ? "TremulantNumber" : "DivisionalCouplerNumber", position);
    std::string text = section.Text(key.c_str(), kSpecifierBuffer);
    if (text.empty()) {
        section.Report(tremulant
                           ? "Tremulant number specifier %d for the general combination %d could not be found in the organ definition file."
                           : "Divisional coupler number specifier %d for the general combination %d could not be found in the organ definition file.",
                       position, n);
        return false;
    }
    CombinationEntry& entry = tremulant ? tremulants.entries[i] : divisionalCouplers.entries[i];
    entry = CombinationEntry{};
    uint32_t max = tremulant ? organ.numberOfTremulants : organ.numberOfDivisionalCouplers;
    if (!ParseEntrySpecifier(text, max, entry.index, entry.engage)) {
        section.Report(tremulant
                           ? "An invalid tremulant number specifier %d for the general combination %d is specified in the organ definition file."
                           : "An invalid divisional coupler number specifier %d for the general combination %d is specified in the organ definition file.",
                       position, n);
        return false;
    }
    TargetState state = tremulant ? TremulantState(organ, entry.index)
                                  : DivisionalCouplerState(organ, entry.index);
    if (!organ.combinationsStoreNonDisplayedDrawstops && state.exists && !state.displayed) {
        section.Report(tremulant
                           ? "Tremulant number specifier %d for the general combination %d is a non-displayed drawstop, which are not stored by general combinations for this organ."
                           : "Divisional coupler number specifier %d for the general combination %d is a non-displayed drawstop, which are not stored by general combinations for this organ.",
                       position, n);
        return false;
    }
    if (tremulant)
        tremulants.count = i + 1;
    else
        divisionalCouplers.count = i + 1;
    return true;
}

void General::Recall() {
    if (!combinationLoaded) return;
    Organ& organ = *Control::organ;
    for (const CombinationEntry& e : stops) SetStop(organ.manuals[e.manual], e.index, e.engage);
    for (const CombinationEntry& e : couplers) SetCoupler(organ.manuals[e.manual], e.index, e.engage);
    for (const CombinationEntry& e : tremulants) SetTremulant(organ, e.index, e.engage);
    for (const CombinationEntry& e : divisionalCouplers) SetDivisionalCoupler(organ, e.index, e.engage);
}

// Every manual's stops and then its couplers; a coupler beyond the 64th of
// the organ is not stored (only an organ with more than four full manuals of
// couplers has one).
void General::Capture() {
    if (!combinationLoaded) return;
    const Organ& organ = *Control::organ;
    bool hidden = organ.combinationsStoreNonDisplayedDrawstops;
    stops.Clear();
    couplers.Clear();
    tremulants.Clear();
    divisionalCouplers.Clear();
    for (uint32_t m = organ.hasPedals ? 0 : 1; m <= organ.numberOfManuals; ++m) {
        const Manual& manual = organ.manuals[m];
        for (int s = 0; s < manual.numberOfStops; ++s) {
            TargetState state = StopState(manual, s);
            if (state.exists && (state.displayed || hidden))
                stops.Add({static_cast<uint8_t>(m), static_cast<uint8_t>(s), state.engaged});
        }
        for (int c = 0; c < manual.numberOfCouplers; ++c) {
            TargetState state = CouplerState(manual, c);
            if (state.exists && (state.displayed || hidden))
                couplers.Add({static_cast<uint8_t>(m), static_cast<uint8_t>(c), state.engaged});
        }
    }
    for (uint32_t t = 0; t < organ.numberOfTremulants; ++t) {
        TargetState state = TremulantState(organ, static_cast<int>(t));
        if (state.exists && (state.displayed || hidden))
            tremulants.Add({0, static_cast<uint8_t>(t), state.engaged});
    }
    if (!organ.generalsStoreDivisionalCouplers) return;
    for (uint32_t i = 0; i < organ.numberOfDivisionalCouplers; ++i) {
        TargetState state = DivisionalCouplerState(organ, static_cast<int>(i));
        if (state.exists && (state.displayed || hidden))
            divisionalCouplers.Add({0, static_cast<uint8_t>(i), state.engaged});
    }
}

}  // namespace tessaline
