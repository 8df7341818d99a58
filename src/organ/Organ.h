#pragma once
// The organ: what the [Organ] section of a definition file says, the console
// layout, and (as they join the model) the tables of manuals, stops, controls
// and combinations, which live as long as the Organ and are filled by Load and
// emptied by Unload.
//
// Threads: Load and Unload run on the UI thread while the organ is not active
// (the audio and MIDI threads do not touch it meanwhile).

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "console/ConsoleLayout.h"
#include "console/Label.h"
#include "organ/Constants.h"
#include "organ/Manual.h"
#include "organ/SetupInfo.h"
#include "platform/ConsoleView.h"
#include "platform/LoadingProgress.h"
#include "samples/PipeSample.h"
#include "samples/SampleLoader.h"
#include "samples/SampleMemory.h"
#include "samples/WavFile.h"

namespace tessaline {

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

class Organ {
public:
    // The view is the console window; progress plays the loading dialog; setup
    // gives the load-wide sample settings.
    Organ(ConsoleView& view, LoadingProgress& progress, const SetupInfo& setup = SetupInfo{});
    ~Organ();
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
    // OFF, UI: the voice pool that pipes built from now on start their voices in.
    void SetVoicePool(VoicePool* pool) { voicePool = pool; }
    // UI: the console window the organ draws in.
    ConsoleView& View() const { return view; }
    // OFF, UI: what every pipe of this load needs to build its sample.
    SampleLoadContext SampleContext() {
        return {sampleBuffer,       sampleMemory,   highestSampleFormat,
                memorySampleFormat, simulateStereo, amplitudeLevel};
    }
    // Sample memory of the loaded pipes (emptied when the manuals unload).
    const SampleMemory& Samples() const { return sampleMemory; }

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

    // Written by Load and Unload only; read by everyone else.
    bool loaded = false;
    // Set when a load succeeds; the console's next full repaint brings the
    // window forward once and clears it. UI.
    bool firstPaintAfterLoad = false;
    // Combination capture mode: set by the UI (shift, menu), read by the
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
    // Pipes that stops own now (shared references not counted).
    uint32_t pipesLoaded = 0;
    // Where pipes start their voices; none until the application gives one.
    VoicePool* voicePool = nullptr;

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
    // nothing, and those of divisional couplers, generals and reversible
    // pistons refuse an organ that has any.
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
    void ClearSettings();

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
};

}  // namespace tessaline
