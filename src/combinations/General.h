#pragma once
// A general combination: sets stops and couplers of every manual, the
// tremulants and, when the organ says so, the divisional couplers. Entries 0
// to 98 of the organ's table are the general buttons; entries 99 to 610 are
// the frame generals, which have no button and start loaded and empty.
//
// Threads: Load, Clear and InitFrame run on the UI thread while the organ is
// not active; Recall and Capture on the MIDI or UI thread, under the action
// lock.

#include <cstdint>

#include "combinations/CombinationEntry.h"
#include "console/Control.h"
#include "organ/Constants.h"

namespace tessaline {

class DefinitionFile;
class KeyReader;

// A general holds at most this many coupler entries, fewer than the 96
// couplers six manuals may have; capture keeps the first 64 in manual order.
inline constexpr int kMaxGeneralCouplers = 64;
inline constexpr int kMaxGeneralStops = 512;

class General : public Button {
public:
    // OFF, UI. From the definition file: clears, number = entry + 1, loads
    // the button and the contents of General%03d; a failure clears it. From
    // a combination file: the contents of the section of its own number; a
    // section without NumberOfStops changes nothing, and a failure leaves
    // what was read.
    bool Load(const DefinitionFile& file, int entry, bool fromDefinition);
    // OFF, UI.
    void Clear();
    // OFF, UI. An empty, loaded frame general for the entry.
    void InitFrame(int entry);

    // MIDI or UI, under the action lock; nothing unless loaded.
    void Recall();
    void Capture();

    bool Empty() const {
        return stops.count == 0 && couplers.count == 0 && tremulants.count == 0 &&
               divisionalCouplers.count == 0;
    }

    uint32_t number = 0;  // entry + 1
    bool isFrameGeneral = false;
    EntryList<kMaxGeneralStops> stops;  // manual, stop index, engage
    EntryList<kMaxGeneralCouplers> couplers;
    EntryList<kMaxTremulants> tremulants;
    EntryList<kMaxDivisionalCouplers> divisionalCouplers;
    // The combination's contents are valid (Control::loaded is the button's).
    bool combinationLoaded = false;

private:
    bool LoadContents(const DefinitionFile& file);
    bool ReadManualEntry(const KeyReader& section, const char* kind, uint32_t i, bool stop);
    bool ReadOrganEntry(const KeyReader& section, uint32_t i, bool tremulant);
    bool ValidManual(uint32_t m) const;
};

}  // namespace tessaline
