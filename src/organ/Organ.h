#pragma once
// The organ: what the [Organ] section of a definition file says, the console
// layout, and (as they join the model) the tables of manuals, stops, controls
// and combinations, which live as long as the Organ and are filled by Load and
// emptied by Unload.
//
// Threads: Load and Unload run on the UI thread while the organ is not active
// (the audio and MIDI threads do not touch it meanwhile).
//
// The action lock: the key action, the drawstop states of stops, couplers
// and divisional couplers, the test note and the combinations have no lock of
// their own. The MIDI thread and the UI thread take the organ's one action
// lock around every entry into them, each entry running to completion with
// its recursion through couplers; the audio thread never takes it. The
// entries below marked "takes the action lock" do so themselves; functions
// marked "under the action lock" (the Manual key action, the ...Locked
// functions here) expect the caller to hold it already, for example the MIDI
// routing, which takes it once per message with LockAction().

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "audio/Enclosure.h"
#include "audio/Tremulant.h"
#include "audio/WindchestGroup.h"
#include "combinations/CombinationBridge.h"
#include "combinations/General.h"
#include "combinations/ReversiblePiston.h"
#include "console/ConsoleLayout.h"
#include "console/Label.h"
#include "midi/MidiInputSystem.h"
#include "midi/MidiRouting.h"
#include "organ/Constants.h"
#include "midi/DivisionalCoupler.h"
#include "organ/Manual.h"
#include "organ/SetupInfo.h"
#include "platform/ConsoleView.h"
#include "platform/LoadingProgress.h"
#include "samples/PipeSample.h"
#include "samples/SampleLoader.h"
#include "samples/SampleMemory.h"
#include "samples/WavFile.h"

namespace tessaline {

class AudioEngine;
class DefinitionFile;
class KeyReader;
class VoicePool;

// The stages of the second pass, in the order they run.
enum class LoadStage : uint8_t {
    ClearMidiAssignments,
    WindchestGroups,
    Enclosures,
    Labels,
    Tremulants,
    Manuals,
    ManualsSecondPass,
    DivisionalCouplers,
    Generals,
    ReversiblePistons,
    PublishVoiceBounds,
    FrameGenerals,
};
inline constexpr int kLoadStages = static_cast<int>(LoadStage::FrameGenerals) + 1;

// The stages whose objects a failed second pass unloads, in unloading order,
// given the stage that failed (its own objects are unloaded too). Returns the
// number written to order.
int RollBackOrder(LoadStage failed, std::array<LoadStage, kLoadStages>& order);

class Organ : public MidiMessageTarget {
public:
    // The view is the console window; progress plays the loading dialog; setup
    // gives the load-wide sample settings.
    Organ(ConsoleView& view, LoadingProgress& progress, const SetupInfo& setup = SetupInfo{});
    ~Organ() override;
    Organ(const Organ&) = delete;
    Organ& operator=(const Organ&) = delete;

    // OFF: only while the organ is not active. UI.
    // Unloads any organ, then loads fileName completely; false after
    // reporting the failure, with no organ loaded.
    bool Load(const std::string& fileName);
    // OFF, UI. Takes the organ down; false when an object refused to unload.
    bool Unload(bool quiet);
    // UI, during the load: one pipe loaded; false once the player cancelled.
    bool StepLoadingProgress() { return progress.StepLoadingProgress(); }
    // OFF, UI: the setup that the next load takes its sample settings from.
    void SetSetupInfo(const SetupInfo& info) { setup = info; }
    const SetupInfo& Setup() const { return setup; }
    // OFF, UI: the folder of the shortcut-key file (by default the installed
    // data directory; tools and tests may point elsewhere).
    void SetDataDirectory(const std::string& directory) { dataDirectory = directory; }
    const std::string& DataDirectory() const { return dataDirectory; }
    // OFF, UI: the engine update, after the engine's parameters are set.
    // Every windchest group, tremulant link and enclosure link takes the
    // engine (the links its buffer length too), the voices play through it,
    // and the engine mixes this organ's groups, voices, tremulants and
    // enclosures in the organ's output mode. The engine must outlive the
    // organ or be attached to no organ before it goes. False, after
    // reporting, when no organ is loaded.
    bool AttachEngine(AudioEngine& engine);
    AudioEngine* Engine() const { return engine; }

    // MIDI or UI, under the action lock. Tremulant t (from 0) of a loaded
    // organ: when it is off, TremulantOn queues a toggle in every link of the
    // tremulant, stamped one buffer length from now, and then engages its
    // drawstop; TremulantOff does the same when it is on and disengages the
    // drawstop; TremulantToggle calls the one that applies. A link whose ring
    // is full drops its toggle. False when nothing changed.
    bool TremulantOn(uint32_t t);
    bool TremulantOff(uint32_t t);
    bool TremulantToggle(uint32_t t);
    // MIDI or UI, under the action lock: every voice of the pool to silence
    // at once, without release.
    void SilenceAllVoices();
    // MIDI or UI, under the action lock (parts of the organ reset): every
    // enclosure back to full level with its rings emptied; every tremulant's
    // drawstop to its default and the tremulant's links stilled and set to
    // follow it.
    void ResetEnclosures();
    void ResetTremulants();

    // The loaded enclosures and tremulants, in order (empty with no organ).
    // Any thread; the tables do not move while the organ lives.
    std::span<Enclosure> Enclosures() { return {enclosures->data(), numberOfEnclosures}; }
    std::span<Tremulant> Tremulants() { return {tremulants->data(), numberOfTremulants}; }
    std::span<const Tremulant> Tremulants() const { return {tremulants->data(), numberOfTremulants}; }
    // The windchest groups: entry 0 is the implicit group, 1.. the file's.
    std::span<const WindchestGroup> WindchestGroups() const {
        return {windchestGroups.data(), numberOfWindchestGroups};
    }
    VoicePool& Voices() { return *voices; }
    // UI: the console window the organ draws in.
    ConsoleView& View() const { return view; }
    // OFF, UI: what every pipe of this load needs to build its sample.
    SampleLoadContext SampleContext() {
        return {sampleBuffer,       sampleMemory,   highestSampleFormat,
                memorySampleFormat, simulateStereo, amplitudeLevel};
    }
    // Sample memory of the loaded pipes (emptied when the manuals unload).
    const SampleMemory& Samples() const { return sampleMemory; }

    // Combinations. Presses come from the console and from MIDI program
    // changes; each does nothing (and reports nothing) with no organ loaded
    // or an index out of range. Each takes the action lock; the Locked
    // variants are for callers that hold it already. MIDI or UI.
    // General entry 0..98 (below numberOfGenerals) or frame general
    // 99..610; captures in capture mode, else recalls.
    void PressGeneral(int entry);
    void PressGeneralLocked(int entry);
    void CaptureGeneral(int entry);
    void CaptureGeneralLocked(int entry);
    // Divisional d of manual m: captures in capture mode; else recalls it and
    // the divisional of the same number on every manual an engaged
    // divisional coupler carries the press to.
    void PressDivisional(int m, int d);
    void PressDivisionalLocked(int m, int d);
    // Capture mode does not matter to a reversible piston.
    void PressReversiblePiston(int index);
    void PressReversiblePistonLocked(int index);
    // Step one frame (no wrap-around at 0 and 511) and press the frame
    // general reached.
    void NextFrame();
    void PreviousFrame();
    void NextFrameLocked();
    void PreviousFrameLocked();
    // OFF, or UI under the action lock: every frame general empty.
    bool ClearFrameGenerals();
    // UI; each takes the action lock. The whole set of combinations to and
    // from a combination file; false after reporting. A save replaces the
    // file at path only once the new one is completely written.
    bool SaveCombinationFile(const std::string& path);
    bool LoadCombinationFile(const std::string& path);

    // UI. Where a file name of the definition file points: a "\" is a directory
    // separator, and a relative name is relative to the organ's directory.
    std::string ResolvePath(const std::string& name) const;

    // UI: console layout operations, forwarded for the loaders of controls.
    const ConsoleLayout& Layout() const { return layout; }
    bool IsLeftJamb(uint32_t column) const { return layout.IsLeftJamb(column); }
    uint32_t DrawstopX(uint32_t row, uint32_t column) const { return layout.DrawstopX(row, column); }
    uint32_t DrawstopY(uint32_t row, uint32_t column) const { return layout.DrawstopY(row, column); }
    uint32_t DrawstopGridTop() const { return layout.DrawstopGridTop(); }
    uint32_t DrawstopGridBottom() const { return layout.DrawstopGridBottom(); }
    uint32_t ButtonX(uint32_t row, uint32_t column) const { return layout.ButtonX(row, column); }
    uint32_t ButtonY(uint32_t row) const { return layout.ButtonY(row); }
    uint32_t SlotTop(uint32_t slot) const { return layout.SlotTop(slot); }
    uint32_t TopSlotTop() const { return layout.TopSlotTop(); }

    // Console input (UI). A left click at (x, y) of the client area acts on
    // every control it hits; a key-down (any key but shift, auto-repeats
    // included) steps frames and acts on every control with that shortcut
    // key; shift sets and clears capture mode. Nothing without an organ.
    void OnLeftButtonDown(int32_t x, int32_t y);
    void OnKeyDown(uint32_t keyCode);
    void SetCaptureMode(bool on);

    // UI: opens the ports of every MIDI consumer (when the organ is
    // activated) and closes them (when it is deactivated).
    bool OpenMidiInputs() { return midiRouting.OpenMidiInputs(); }
    bool CloseMidiInputs() { return midiRouting.CloseMidiInputs(); }
    // MIDI: every short message of an open port, acted on by the routing.
    void OnMidiMessage(unsigned device, uint32_t message) override {
        midiRouting.OnMidiMessage(device, message);
    }

    // MIDI or UI: holds the action lock for as long as the result lives.
    [[nodiscard]] std::unique_lock<std::mutex> LockAction() {
        return std::unique_lock<std::mutex>(actionLock);
    }
    // Manual m when it is a valid, loaded manual of this organ; else none.
    // Any thread while the organ is loaded.
    Manual* ManualAt(int m);

    // Entries into the key action; each takes the action lock. MIDI or UI.
    // A direct press or release of MIDI note `note` on manual m from source
    // id `source`, passing through every kind of coupler.
    void KeyDown(int m, int note, int source);
    void KeyUp(int m, int note, int source);
    // Stop i and coupler i (from 0) of manual m.
    void StopOn(int m, int i);
    void StopOff(int m, int i);
    void StopToggle(int m, int i);
    void CouplerOn(int m, int i);
    void CouplerOff(int m, int i);
    void CouplerToggle(int m, int i);
    // Divisional coupler i (from 0): its drawstop state only.
    void DivisionalCouplerOn(int i);
    void DivisionalCouplerOff(int i);
    void DivisionalCouplerToggle(int i);
    // The stops and couplers of every manual, then the tremulants, then the
    // divisional couplers, whose stop-control MIDI key is note, engaged (on)
    // or disengaged.
    void StopControl(int note, bool on);
    // The test note: MIDI note 60 held on manual 1 from source 12.
    void SetTestNote(bool on);
    // Every manual's notes reset (the test note first let go).
    void ResetNotes();
    // The action's part of the organ reset: the test note off, every manual
    // reset (notes, stops, couplers) and every divisional coupler back to its
    // default.
    void ResetAction();

    // The same, for callers that hold the action lock already.
    void SetTestNoteLocked(bool on);
    void DivisionalCouplerOnLocked(int i);
    void DivisionalCouplerOffLocked(int i);
    void StopControlLocked(int note, bool on);
    void ResetNotesLocked();
    void ResetActionLocked();

    // Written by Load and Unload only; read by everyone else.
    bool loaded = false;
    // Set when a load succeeds; the console's next full repaint brings the
    // window forward once and clears it. UI.
    bool firstPaintAfterLoad = false;
    // Combination capture mode: presses of generals and divisionals capture
    // instead of recalling. Set by the UI (shift, menu), read by the
    // combination presses of the UI and MIDI threads.
    std::atomic<bool> captureMode{false};
    std::string churchName;      // up to 127 characters
    std::string churchAddress;   // up to 127
    std::string organBuilder;    // up to 127
    std::string organBuildDate;  // up to 127
    std::string organComments;     // up to 255
    std::string recordingDetails;  // up to 255
    std::string infoFilename;      // up to 255
    uint32_t numberOfManuals = 0;  // highest manual number; manual 0 is the pedal
    bool hasPedals = false;
    uint32_t numberOfEnclosures = 0;
    uint32_t numberOfTremulants = 0;
    uint32_t numberOfWindchestGroups = 0;  // the file's count plus the implicit group 0
    uint32_t numberOfGenerals = 0;
    uint32_t numberOfReversiblePistons = 0;
    uint32_t numberOfDivisionalCouplers = 0;
    uint32_t numberOfLabels = 0;
    bool divisionalsStoreTremulants = false;
    bool divisionalsStoreIntermanualCouplers = false;
    bool divisionalsStoreIntramanualCouplers = false;
    bool generalsStoreDivisionalCouplers = false;
    bool combinationsStoreNonDisplayedDrawstops = false;
    SampleFormat highestSampleFormat = SampleFormat::Mono;
    double amplitudeLevel = 0.0;  // gain factor, the file's per cent / 100

    // Load-wide sample settings, fixed right after HighestSampleFormat is read.
    SampleFormat memorySampleFormat = SampleFormat::Mono;
    bool simulateStereo = false;
    OutputMode outputMode = OutputMode::Mono;

    // The folder of the definition file; relative names resolve against it
    // (empty: the current directory).
    std::string organDirectory;
    // Steps of the loading dialog: NumberOfStops x NumberOfLogicalKeys summed
    // over the manuals.
    uint32_t progressTotal = 0;

    // Manual m is the section Manual%03d (m); 0 is the pedal.
    std::array<Manual, kMaxManuals> manuals;
    std::array<Label, kMaxLabels> labels;
    // Entries 0..98 the general buttons, 99..610 the frame generals.
    std::array<General, kGeneralEntries> generals;
    std::array<ReversiblePiston, kMaxReversiblePistons> reversiblePistons;
    // The registration frame, 0..511; 0 after every load, unload and reset.
    std::atomic<uint32_t> frameNumber{0};
    // Entry i is the section DivisionalCoupler%03d (i + 1).
    std::array<DivisionalCoupler, kMaxDivisionalCouplers> divisionalCouplers;
    // The test note is held; under the action lock.
    bool testNoteOn = false;
    // Pipes that stops own now (shared references not counted).
    uint32_t pipesLoaded = 0;
    // Where pipes start their voices: the organ's own pool.
    VoicePool* voicePool = nullptr;
    // The MIDI consumers and the dispatcher of incoming messages; program
    // changes press the combinations through the bridge, installed at
    // construction.
    MidiRouting midiRouting{*this};
    CombinationBridge combinationBridge{*this};

private:
    bool UseOrganDirectory(const std::string& fileName);
    bool ReadOrganSection(const KeyReader& organ);
    bool ReadCounts(const KeyReader& organ);
    bool ReadSampleFormat(const KeyReader& organ);
    bool ReadStoreFlags(const KeyReader& organ);
    bool ManualPrePass(const DefinitionFile& file);
    void PlaceWindow(uint32_t width, uint32_t height);

    // The second pass, run while the loading dialog is open.
    bool SecondPass(const DefinitionFile& file);
    bool RunStage(LoadStage stage, const DefinitionFile& file);
    void RollBack(LoadStage failed);
    void UnloadStage(LoadStage stage);

    // Stages. Each loads every object of its kind and reports the failing one
    // ("Windchest group %d failed to load." and the like, action "Loading an
    // organ."). The kinds join the model one by one: until a kind exists,
    // the stages of windchest groups, enclosures and tremulants build
    // nothing, and those of generals and reversible pistons refuse an organ
    // that has any.
    bool ClearMidiAssignments();
    bool LoadWindchestGroups(const DefinitionFile& file);
    bool LoadEnclosures(const DefinitionFile& file);
    bool LoadLabels(const DefinitionFile& file);
    bool LoadTremulants(const DefinitionFile& file);
    bool LoadManuals(const DefinitionFile& file);
    bool LoadManualsSecondPass(const DefinitionFile& file);
    bool LoadDivisionalCouplers(const DefinitionFile& file);
    bool LoadGenerals(const DefinitionFile& file);
    bool LoadReversiblePistons(const DefinitionFile& file);
    bool PublishVoiceBounds();
    bool InitialiseFrameGenerals();

    // Unloads every object, in the order Unload gives; false at the first
    // object that refuses.
    bool UnloadObjects();
    bool UnloadManuals();
    bool UnloadLabels();
    bool UnloadReversiblePistons();
    bool UnloadGenerals(int first, int end);
    bool UnloadDivisionalCouplers();
    // Refuses couplers that would carry a key back to itself for ever.
    bool CheckCouplerPaths();
    bool UnloadWindchestGroups();
    bool UnloadEnclosures();
    bool UnloadTremulants();
    void DetachEngine();
    void ClearSettings();
    void StepFrame(int step);

    ConsoleView& view;
    LoadingProgress& progress;
    SetupInfo setup;
    ConsoleLayout layout;
    std::string dataDirectory;
    // One loading buffer for every sample file, and the memory of the pipes'
    // samples, both for the Organ's lifetime.
    SampleLoadingBuffer sampleBuffer;
    SampleMemory sampleMemory;
    // Stages whose objects are (partly) built, one bit per LoadStage.
    uint32_t stagesBuilt = 0;
    std::mutex actionLock;

    // The tables of the sound of the organ, for the Organ's lifetime. The
    // enclosures' event rings alone take megabytes, hence the heap.
    std::array<WindchestGroup, kMaxWindchestGroups> windchestGroups;
    std::unique_ptr<std::array<Enclosure, kMaxEnclosures>> enclosures;
    std::unique_ptr<std::array<Tremulant, kMaxTremulants>> tremulants;
    std::unique_ptr<VoicePool> voices;
    // Set by AttachEngine; owned by the application.
    AudioEngine* engine = nullptr;
};

}  // namespace tessaline
