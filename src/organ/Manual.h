#pragma once
// A manual: one keyboard division of the organ, the pedal (manual 0) or one of
// the hand keyboards (1 to 5). It owns its stops, knows its tremulants and
// lays its reachable keys out on the console when it is displayed.
//
// Logical keys count from 0 to numberOfLogicalKeys - 1; MIDI note n addresses
// logical key n - midiNoteOfKey0.
//
// Threads: Load, LoadSecondPass and Unload run on the UI thread while the
// organ is not active; GetStop is read by the key action afterwards. The key
// action (KeyDown and KeyUp, the stop and coupler changes, the resets) and
// the hold fields of the keys belong to whoever holds the organ's action
// lock: the MIDI thread and the UI thread take it around every entry (see
// Organ), never the audio thread.

#include <array>
#include <cstdint>
#include <string>

#include "combinations/Divisional.h"
#include "console/ConsoleLayout.h"
#include "midi/Coupler.h"
#include "organ/Constants.h"

namespace tessaline {

class CombinationWriter;
class DefinitionFile;
class KeyReader;
class Organ;
class Stop;

// How a key shows on the console: not held, held by a direct source, or held
// only through couplers.
enum class KeyHeld : uint8_t { No, Directly, ThroughCouplers };

// One logical key of a manual.
struct ManualKey {
    // Reachable by the player: a direct press is admitted and the key is drawn.
    bool playable = false;
    // Holds from every path, direct and coupled, and the direct sources among
    // them (bit s for source id s). passHolds[kind] counts the holds that may
    // pass on through couplers of that kind. directHolds and each passHolds
    // never exceed holds. The console shows the key red while directHolds > 0,
    // blue while only couplers hold it.
    uint32_t holds = 0;
    uint32_t directMask = 0;
    uint32_t directHolds = 0;
    std::array<uint32_t, kCouplerKinds> passHolds{};
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

    // UI: the organ the manual belongs to, set once; its couplers and
    // divisionals with it.
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
    // The coupler in slot c, or none. Any thread once loaded.
    Coupler* GetCoupler(int c);

    // The key action. Every function here does nothing on a manual that is
    // not loaded or with an index out of range, and runs under the organ's
    // action lock (MIDI or UI thread).
    //
    // A hold on the key of MIDI note `note` (k = note - midiNoteOfKey0; other
    // notes are ignored). A direct press comes from source id `source` and
    // is refused when that source already holds the key or the key is not
    // playable; a coupled press (direct false) always counts. `permissions`
    // says through which kinds of coupler the hold passes on.
    void KeyDown(int note, bool direct, int source, CouplerPermissions permissions);
    // The mirror of KeyDown: a direct release from a source that does not
    // hold the key is refused.
    void KeyUp(int note, bool direct, int source, CouplerPermissions permissions);
    // Draw or retire a stop: keys already sounding start or stop its pipes.
    void StopOn(int i);
    void StopOff(int i);
    void StopToggle(int i);
    // Engage or disengage a coupler: holds already on the manual are carried
    // through it, or taken back, at once.
    void CouplerOn(int i);
    void CouplerOff(int i);
    void CouplerToggle(int i);
    // The organ tremulant that the manual's tremulant entry i names.
    void TremulantOn(int i);
    void TremulantOff(int i);
    // Every stop, then every coupler, whose stop-control MIDI key is note.
    void StopControl(int note, bool on);
    // Forgets every hold of the manual's keys and silences its pipes without
    // release; on manual 1 the test note is let go first. Holds the keys had
    // placed on other manuals through engaged couplers are released there.
    void ResetNotes();
    // ResetNotes, then every stop and coupler back to its default state,
    // without sounding anything.
    void Reset();
    // True when the manual's own stops speak for key k.
    bool Sounding(int k) const;
    // How key k shows on the console.
    KeyHeld HeldState(int k) const;

    int index = 0;
    bool loaded = false;
    std::string name;  // up to 31 characters
    int numberOfLogicalKeys = 0;
    int numberOfAccessibleKeys = 0;
    int firstAccessibleKey = 0;  // logical key, from 0
    int firstAccessibleKeyMidiNote = 0;
    int midiNoteOfKey0 = 0;
    int midiInput = 0;  // 0..5
    // The MIDI path this manual listens to, set by the MIDI routing from the
    // setup; the key shift is added to every incoming note.
    uint32_t midiDevice = 0;
    uint32_t midiChannel = 0;  // 0..15
    int32_t keyShift = 0;      // -24..24
    bool midiParametersLoaded = false;
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
    // Slot c is the coupler named by Coupler%03d (c + 1).
    std::array<Coupler, kMaxManualCouplers> couplers;
    // While the manual's unison-off coupler is engaged, direct holds alone no
    // longer sound the manual's stops. Always agrees with that coupler.
    bool unisonOff = false;
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
    bool LoadCouplers(const DefinitionFile& file, const KeyReader& section);
    bool LoadDivisionals(const DefinitionFile& file, const KeyReader& section);
    // Fill coupler slot c from section Coupler%03d (couplerNumber).
    bool LoadCoupler(const DefinitionFile& file, int c, int couplerNumber);
    void LayOutKeys(uint32_t slot);
    void DestroyStops();
    void ClearCouplers();
    bool ValidKey(int k) const { return loaded && k >= 0 && k < numberOfLogicalKeys; }
    void StopsOn(int k);
    void StopsOff(int k);
    // CouplerOn (on) or CouplerOff.
    void SetCoupler(int i, bool on);
    // Presses (on) or releases on the coupler's destination every hold of
    // this manual's keys that may pass through the coupler.
    void PassHolds(const Coupler& coupler, bool on);
    void RedrawKey(int k);
    // Carries a press or release of key k through every engaged coupler of
    // the manual that passes these permissions, in coupler order.
    void Couple(int k, bool down, CouplerPermissions permissions);
    // The manual that coupler J presses into; none when it has none.
    Manual* Destination(const Coupler& coupler) const;

    Organ* organ = nullptr;
};

}  // namespace tessaline
