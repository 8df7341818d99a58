#pragma once
// A divisional combination: a button of one manual that sets that manual's
// stops, couplers and tremulants. Its lists hold what the organ's store
// settings allow; recall brings each listed object to its stored state and
// leaves the others alone, capture rebuilds the lists from the manual.
//
// Threads: Load and Clear run on the UI thread while the organ is not
// active; Recall and Capture on the MIDI or UI thread, under the action lock.

#include <cstdint>

#include "combinations/CombinationEntry.h"
#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class DefinitionFile;
class KeyReader;
class Manual;

class Divisional : public Button {
public:
    // UI: the manual that owns the divisional (and its organ), set once.
    void AttachManual(Manual& owner);

    // OFF, UI. From the definition file (fromDefinition): clears, takes
    // `divisionalNumber`, loads the button and then the contents of
    // Divisional%03d; a failure clears the divisional. From a combination
    // file: the contents of the section of its own number; a section without
    // NumberOfStops changes nothing, and a failure leaves what was read.
    bool Load(const DefinitionFile& file, int divisionalNumber, bool fromDefinition);
    // OFF, UI.
    void Clear();

    // MIDI or UI, under the action lock; nothing unless loaded.
    void Recall();
    void Capture();

    uint32_t number = 0;  // of its Divisional%03d section
    Manual* manual = nullptr;
    EntryList<kMaxStopsPerManual> stops;
    EntryList<kMaxManualCouplers> couplers;
    EntryList<kMaxManualTremulants> tremulants;
    // The combination's contents are valid (Control::loaded is the button's).
    bool combinationLoaded = false;

private:
    bool LoadContents(const DefinitionFile& file);
    bool ReadStop(const KeyReader& section, uint32_t i);
    bool ReadCoupler(const KeyReader& section, uint32_t i);
    bool ReadTremulant(const KeyReader& section, uint32_t i);
};

}  // namespace tessaline
