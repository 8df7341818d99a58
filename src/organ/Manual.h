#pragma once
// A manual: one keyboard division of the organ, the pedal (manual 0) or one of
// the hand keyboards (1 to 5). It owns its stops, knows its tremulants and
// lays its reachable keys out on the console when it is displayed.
//
// Logical keys count from 0 to numberOfLogicalKeys - 1; MIDI note n addresses
// logical key n - midiNoteOfKey0.
//
// Threads: Load, LoadSecondPass and Unload run on the UI thread while the
// organ is not active; GetStop is read by the key action afterwards.

#include <array>
#include <cstdint>
#include <string>

#include "combinations/Divisional.h"
#include "console/ConsoleLayout.h"
#include "organ/Constants.h"

namespace tessaline {

class CombinationWriter;
class DefinitionFile;
class KeyReader;
class Organ;
class Stop;

// One logical key of a manual.
struct ManualKey {
    // Reachable by the player: a direct press is admitted and the key is drawn.
    bool playable = false;
    bool pressed = false;
    int32_t midiNote = -1;  // of a playable key
    Point position;         // top-left corner on the console, of a playable key
    KeyShape shape = KeyShape::Plain;
};

class Manual {
public:
    Manual() = default;
    ~Manual() { Unload(); }
    Manual(const Manual&) = delete;
    Manual& operator=(const Manual&) = delete;

    // UI: the organ the manual belongs to, set once; its divisionals with it.
    void Attach(Organ& owner);

    // OFF, UI. First pass for section Manual%03d (m): keys, tremulants,
    // stops with their pipes; a displayed manual takes keyboard slot `slot`.
    // displayedOut receives Displayed as soon as it is read. False after
    // reporting, with everything built so far taken down.
    bool Load(const DefinitionFile& file, int m, uint32_t slot, bool& displayedOut);
    // OFF, UI. Resolves the shared pipes of every stop; run once every
    // manual's first pass has succeeded.
    bool LoadSecondPass(const DefinitionFile& file);
    // OFF, UI. Destroys the stops (and so their owned pipes), clears the
    // divisionals and the manual. Always true while no coupler can refuse.
    bool Unload();

    // UI, under the action lock. Writes section Divisional%03d of every
    // divisional, in order, to a combination file; reports and fails at the
    // first that cannot be written.
    bool SaveDivisionals(CombinationWriter& writer);
    // OFF or under the action lock, UI. Reads every divisional again from a
    // combination file (a section without NumberOfStops keeps its divisional).
    bool ReloadDivisionals(const DefinitionFile& file);

    // The stop in slot s, or none when the manual is not loaded or s is out
    // of range. Any thread once loaded.
    Stop* GetStop(int s) const;

    int index = 0;
    bool loaded = false;
    std::string name;  // up to 31 characters
    int numberOfLogicalKeys = 0;
    int numberOfAccessibleKeys = 0;
    int firstAccessibleKey = 0;  // logical key, from 0
    int firstAccessibleKeyMidiNote = 0;
    int midiNoteOfKey0 = 0;
    int midiInput = 0;  // 0..5
    bool displayed = false;
    bool keyColourInverted = false;
    int numberOfStops = 0;
    int numberOfCouplers = 0;
    int numberOfDivisionals = 0;
    int numberOfTremulants = 0;
    std::string comments;  // up to 255
    std::array<ManualKey, kMaxLogicalKeys> keys{};
    // Owned; slot s is the stop named by Stop%03d (s + 1).
    std::array<Stop*, kMaxStopsPerManual> stops{};
    // Organ tremulant numbers from 0.
    std::array<int, kMaxManualTremulants> tremulants{};
    // Slot d is the divisional named by Divisional%03d (d + 1).
    std::array<Divisional, kMaxManualDivisionals> divisionals;
    uint32_t keyboardSlot = 0;
    Rect keyboardRect;  // the displayed keyboard's reach on the console

private:
    bool ReadKeys(const KeyReader& section, bool& displayedOut);
    bool ReadCounts(const KeyReader& section);
    bool LoadTremulants(const KeyReader& section);
    bool LoadStops(const DefinitionFile& file, const KeyReader& section);
    bool LoadCouplers(const KeyReader& section);
    bool LoadDivisionals(const DefinitionFile& file, const KeyReader& section);
    // Fill coupler slot c from section Coupler%03d (couplerNumber).
    bool LoadCoupler(int c, int couplerNumber);
    void LayOutKeys(uint32_t slot);
    void DestroyStops();

    Organ* organ = nullptr;
};

}  // namespace tessaline
