#include "organ/Manual.h"

#include <algorithm>
#include <new>

#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"
#include "organ/Organ.h"
#include "organ/Stop.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kManualAction = "Loading an organ manual.";
constexpr const char* kSecondPassAction = "Loading an organ manual (second parse).";
constexpr size_t kNameBuffer = 32;
constexpr size_t kNumberBuffer = 8;
constexpr size_t kCommentsBuffer = 256;
constexpr size_t kSpecifierBuffer = 256;
constexpr uint32_t kMaxMidiNote = 127;
constexpr const char* kStopMissing =
    "Stop specifier %d for manual %d could not be found in the organ definition file.";

// The section number that entry n (from 1) of a manual's list names, as key
// <list>%03d gives it; reports `missing` with (n, manual) when the key is absent.
bool ReadSpecifier(const KeyReader& section, const char* list, int n, int manual, const char* missing,
                   int& number) {
    std::string key = NumberedName(list, n);
    std::string specifier = section.Text(key.c_str(), kSpecifierBuffer);
    if (specifier.empty()) {
        section.Report(missing, n, manual);
        return false;
    }
    number = ParseWholeNumber(specifier.c_str());
    return true;
}

}  // namespace

void Manual::Attach(Organ& owner) {
    organ = &owner;
    for (Coupler& coupler : couplers) coupler.Attach(owner);
    for (Divisional& divisional : divisionals) {
        divisional.Attach(owner);
        divisional.AttachManual(*this);
    }
}

bool Manual::Load(const DefinitionFile& file, int m, uint32_t slot, bool& displayedOut) {
    Unload();
    index = m;
    KeyReader section(file, NumberedName("Manual", m), kManualAction);
    if (!ReadKeys(section, displayedOut) || !LoadTremulants(section) ||
        !LoadStops(file, section) || !LoadCouplers(file, section) || !LoadDivisionals(file, section)) {
        Unload();
        return false;
    }
    for (ManualKey& key : keys) key = ManualKey{};
    if (displayed) LayOutKeys(slot);
    loaded = true;
    return true;
}

bool Manual::ReadKeys(const KeyReader& section, bool& displayedOut) {
    uint32_t logical = 0, accessible = 0, firstKey = 0, firstNote = 0, input = 0;
    if (!section.RequiredText("Name", kNameBuffer, name,
                              "The name of manual %d could not be found in the organ definition file or the manual section is missing.",
                              index) ||
        !section.Whole("NumberOfLogicalKeys", kNumberBuffer, 1, kMaxLogicalKeys, logical,
                       "The NumberOfLogicalKeys setting for manual %d could not be found in the organ definition file.",
                       "An NumberOfLogicalKeys setting for manual %d is specified in the organ definition file.",
                       index) ||
        !section.Whole("NumberOfAccessibleKeys", kNumberBuffer, 0,
                       std::min<uint32_t>(kMaxAccessibleKeys, logical), accessible,
                       "The NumberOfAccessibleKeys setting for manual %d could not be found in the organ definition file.",
                       "An invalid NumberOfAccessibleKeys setting for manual %d is specified in the organ definition file.",
                       index) ||
        // The accessible keys must end at or before the last logical key.
        !section.Whole("FirstAccessibleKeyLogicalKeyNumber", kNumberBuffer, 1,
                       logical - std::max<uint32_t>(accessible, 1) + 1, firstKey,
                       "The FirstAccessibleKeyLogicalKeyNumber setting for manual %d could not be found in the organ definition file.",
                       "An invalid FirstAccessibleKeyLogicalKeyNumber setting for manual %d is specified in the organ definition file.",
                       index) ||
        !section.Whole("FirstAccessibleKeyMIDINoteNumber", kNumberBuffer, 0, kMaxMidiNote, firstNote,
                       "The FirstAccessibleKeyMIDINoteNumber setting for manual %d could not be found in the organ definition file.",
                       "An invalid FirstAccessibleKeyMIDINoteNumber setting for manual %d is specified in the organ definition file (0-127).",
                       index) ||
        !section.Whole("MIDIInputNumber", kNumberBuffer, 1, kManualMidiInputs, input,
                       "The MIDI input number for manual %d could not be found in the organ definition file.",
                       "An invalid MIDI input number for manual %d is specified in the organ definition file.",
                       index))
        return false;
    numberOfLogicalKeys = static_cast<int>(logical);
    numberOfAccessibleKeys = static_cast<int>(accessible);
    firstAccessibleKey = static_cast<int>(firstKey) - 1;
    firstAccessibleKeyMidiNote = static_cast<int>(firstNote);
    midiNoteOfKey0 = firstAccessibleKeyMidiNote - firstAccessibleKey;
    midiInput = static_cast<int>(input) - 1;

    if (!section.Flag("Displayed", displayed,
                      "The Displayed setting for manual %d is not specified in the organ definition file.",
                      "The Displayed setting for manual %d is invalid (Y/N).", index))
        return false;
    displayedOut = displayed;
    return section.Flag("DispKeyColourInverted", keyColourInverted,
                        "The DispKeyColourInverted setting for manual %d is not specified in the organ definition file.",
                        "The DispKeyColourInverted setting for manual %d is invalid.", index) &&
           ReadCounts(section);
}

bool Manual::ReadCounts(const KeyReader& section) {
    uint32_t stopCount = 0, couplers = 0, divisionalCount = 0, tremulantCount = 0;
    if (!section.Whole("NumberOfStops", kNumberBuffer, 0, kMaxStopsPerManual, stopCount,
                       "The number of stops for manual %d could not be found in the organ definition file.",
                       "An invalid number of stops for manual %d is specified in the organ definition file.",
                       index) ||
        !section.OptionalWhole("NumberOfCouplers", kNumberBuffer, 0, kMaxManualCouplers, couplers,
                               "An invalid number of couplers for manual %d is specified in the organ definition file.",
                               index) ||
        !section.OptionalWhole("NumberOfDivisionals", kNumberBuffer, 0, kMaxManualDivisionals, divisionalCount,
                               "An invalid number of divisional combinations for manual %d is specified in the organ definition file.",
                               index) ||
        !section.OptionalWhole("NumberOfTremulants", kNumberBuffer, 0, kMaxManualTremulants, tremulantCount,
                               "An invalid number of tremulants for manual %d is specified in the organ definition file.",
                               index))
        return false;
    numberOfStops = static_cast<int>(stopCount);
    numberOfCouplers = static_cast<int>(couplers);
    numberOfDivisionals = static_cast<int>(divisionalCount);
    numberOfTremulants = static_cast<int>(tremulantCount);
    comments = section.Text("Comments", kCommentsBuffer);
    return true;
}

bool Manual::LoadTremulants(const KeyReader& section) {
    for (int t = 0; t < numberOfTremulants; ++t) {
        std::string key = NumberedName("Tremulant", t + 1);
        uint32_t number = 0;
        if (!section.Whole(key.c_str(), kSpecifierBuffer, 1, organ->numberOfTremulants, number,
                           "Tremulant specifier %d for manual %d could not be found in the organ definition file.",
                           "Tremulant specifier %d for manual %d references an invalid tremulant in the organ definition file.",
                           t + 1, index))
            return false;
        tremulants[static_cast<size_t>(t)] = static_cast<int>(number) - 1;
    }
    return true;
}

bool Manual::LoadStops(const DefinitionFile& file, const KeyReader& section) {
    for (int s = 0; s < numberOfStops; ++s) {
        int number = 0;
        if (!ReadSpecifier(section, "Stop", s + 1, index, kStopMissing, number)) return false;
        Stop* stop = new (std::nothrow) Stop(*organ);
        if (stop == nullptr) {
            section.Report("Memory could not be allocated for stop %d, manual %d.", s + 1, index);
            return false;
        }
        stops[static_cast<size_t>(s)] = stop;
        if (!stop->Load(file, number)) {
            section.Report("Stop %d on manual %d failed to load.", s + 1, index);
            return false;
        }
    }
    return true;
}

bool Manual::LoadCouplers(const DefinitionFile& file, const KeyReader& section) {
    bool unisonOffSeen = false;
    for (int c = 0; c < numberOfCouplers; ++c) {
        int number = 0;
        if (!ReadSpecifier(section, "Coupler", c + 1, index,
                           "Coupler specifier %d for manual %d could not be found in the organ definition file.",
                           number))
            return false;
        if (!LoadCoupler(file, c, number)) {
            section.Report("Coupler %d on manual %d failed to load.", c + 1, index);
            return false;
        }
        if (couplers[static_cast<size_t>(c)].unisonOff) {
            if (unisonOffSeen) {
                section.Report("There are two or more unison off couplers specified for manual %d.", index);
                return false;
            }
            unisonOffSeen = true;
        }
    }
    return true;
}

bool Manual::LoadDivisionals(const DefinitionFile& file, const KeyReader& section) {
    for (int d = 0; d < numberOfDivisionals; ++d) {
        int number = 0;
        if (!ReadSpecifier(section, "Divisional", d + 1, index,
                           "Divisional combination specifier %d for manual %d could not be found in the organ definition file.",
                           number))
            return false;
        if (!divisionals[static_cast<size_t>(d)].Load(file, number, true)) {
            section.Report("Divisional combination %d on manual %d failed to load.", d + 1, index);
            return false;
        }
    }
    return true;
}

bool Manual::LoadCoupler(const DefinitionFile& file, int c, int couplerNumber) {
    return couplers[static_cast<size_t>(c)].Load(file, couplerNumber, index);
}

void Manual::LayOutKeys(uint32_t slot) {
    const ConsoleLayout& layout = organ->Layout();
    keyboardSlot = slot;
    uint32_t firstNote = static_cast<uint32_t>(firstAccessibleKeyMidiNote);
    uint32_t count = static_cast<uint32_t>(numberOfAccessibleKeys);
    KeyboardPlacement keyboard = layout.Keyboard(slot, firstNote, count);
    keyboardRect = {keyboard.left, keyboard.keyTop, keyboard.left + keyboard.width,
                    keyboard.keyTop + kKeyStripHeight};
    for (uint32_t k = 0; k < count; ++k) {
        ManualKey& key = keys[static_cast<size_t>(firstAccessibleKey) + k];
        uint32_t note = firstNote + k;
        key.playable = true;
        key.midiNote = static_cast<int32_t>(note);
        key.position = layout.KeyPosition(keyboard, firstNote, note);
        key.shape = ShapeOfKey(note, k == 0, k + 1 == count);
    }
}

bool Manual::LoadSecondPass(const DefinitionFile& file) {
    KeyReader section(file, NumberedName("Manual", index), kSecondPassAction);
    for (int s = 0; s < numberOfStops; ++s) {
        int number = 0;
        if (!ReadSpecifier(section, "Stop", s + 1, index, kStopMissing, number)) return false;
        if (!stops[static_cast<size_t>(s)]->ResolveSharedPipes(file, number)) {
            section.Report("Reference stop %d for manual %d could not be loaded.", s + 1, index);
            return false;
        }
    }
    return true;
}

void Manual::ClearCouplers() {
    for (Coupler& coupler : couplers) coupler.Clear();
    unisonOff = false;
}

void Manual::DestroyStops() {
    for (Stop*& stop : stops) {
        delete stop;
        stop = nullptr;
    }
}

bool Manual::Unload() {
    DestroyStops();
    ClearCouplers();
    for (Divisional& divisional : divisionals) divisional.Clear();
    name.clear();
    comments.clear();
    numberOfLogicalKeys = numberOfAccessibleKeys = firstAccessibleKey = 0;
    firstAccessibleKeyMidiNote = midiNoteOfKey0 = midiInput = 0;
    displayed = keyColourInverted = false;
    numberOfStops = numberOfCouplers = numberOfDivisionals = numberOfTremulants = 0;
    keys.fill(ManualKey{});
    tremulants.fill(0);
    keyboardSlot = 0;
    keyboardRect = Rect{};
    loaded = false;
    return true;
}

Stop* Manual::GetStop(int s) const {
    if (!loaded || s < 0 || s >= numberOfStops) return nullptr;
    return stops[static_cast<size_t>(s)];
}

Coupler* Manual::GetCoupler(int c) {
    if (!loaded || c < 0 || c >= numberOfCouplers) return nullptr;
    return &couplers[static_cast<size_t>(c)];
}

}  // namespace tessaline
