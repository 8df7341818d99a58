#include "organ/Organ.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "audio/AudioEngine.h"
#include "audio/PipeVoice.h"
#include "organ/Constants.h"
#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"
#include "organ/Stop.h"
#include "platform/DataDirectory.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kLoadingAction = "Loading an organ.";
constexpr size_t kNumberBuffer = 8;
constexpr size_t kSampleFormatBuffer = 16;

constexpr uint32_t Bit(LoadStage stage) { return 1u << static_cast<uint32_t>(stage); }

std::string WithSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace

int RollBackOrder(LoadStage failed, std::array<LoadStage, kLoadStages>& order) {
    static constexpr LoadStage kUnloadOrder[] = {
        LoadStage::Enclosures,  LoadStage::Labels,  LoadStage::Tremulants,
        LoadStage::WindchestGroups, LoadStage::Manuals, LoadStage::DivisionalCouplers,
        LoadStage::Generals,    LoadStage::ReversiblePistons, LoadStage::FrameGenerals,
    };
    int n = 0;
    for (LoadStage stage : kUnloadOrder)
        if (stage <= failed) order[static_cast<size_t>(n++)] = stage;
    return n;
}

Organ::Organ(ConsoleView& consoleView, LoadingProgress& loadingProgress, const SetupInfo& info)
    : view(consoleView), progress(loadingProgress), setup(info),
      dataDirectory(DefaultDataDirectory()),
      enclosures(std::make_unique<std::array<Enclosure, kMaxEnclosures>>()),
      tremulants(std::make_unique<std::array<Tremulant, kMaxTremulants>>()),
      voices(std::make_unique<VoicePool>()) {
    voicePool = voices.get();
    midiRouting.SetCombinations(&combinationBridge);
    for (Manual& manual : manuals) manual.Attach(*this);
    for (Label& label : labels) label.Attach(*this);
    for (General& general : generals) general.Attach(*this);
    for (ReversiblePiston& piston : reversiblePistons) piston.Attach(*this);
    for (DivisionalCoupler& coupler : divisionalCouplers) coupler.Attach(*this);
    for (Tremulant& tremulant : *tremulants) tremulant.drawstop.Attach(*this);
}

// Manuals loaded on their own (outside a whole load) still hold stops; they
// go before the sample memory and the counters they refer to. The organ is
// inactive by now and its engine may already be gone (the application makes
// the engine after the organ), so nothing here reaches for the engine.
Organ::~Organ() {
    engine = nullptr;
    voices->SetEngine(nullptr);
    Unload(true);
    UnloadManuals();
}

bool Organ::Load(const std::string& fileName) {
    Unload(false);
    if (!UseOrganDirectory(fileName)) return false;

    DefinitionFile file;
    file.Parse(WithSlashes(fileName));
    KeyReader organ(file, "Organ", kLoadingAction);
    if (!ReadOrganSection(organ) || !ManualPrePass(file) || !layout.ReadScreenSize(organ)) {
        Unload(false);
        return false;
    }
    if (!layout.FitsScreen(view.Screen())) {
        ReportError("The current screen display mode is not large enough to display this organ.\n"
                    "If your graphics card and monitor support it, please try to increase the "
                    "screen area (in the display settings of your desktop).",
                    kLoadingAction);
        Unload(false);
        return false;
    }
    PlaceWindow(layout.windowWidth, layout.windowHeight);
    view.RequestRedraw();
    layout.ComputeFixedPositions(view.ClientWidth(), view.ClientHeight());

    progress.Begin(progressTotal);
    bool built = SecondPass(file);
    if (built && progress.Cancelled()) {
        // Cancel pressed after the last pipe: every object was built, and all
        // of it must go again, since Unload only takes down a loaded organ.
        RollBack(LoadStage::FrameGenerals);
        built = false;
    }
    if (!built) {
        PlaceWindow(kDefaultWindowWidth, kDefaultWindowHeight);
        Unload(false);
        return false;
    }
    loaded = true;
    firstPaintAfterLoad = true;
    view.RequestRedraw();
    view.SetTitle("Tessaline Console - " + churchName);
    return true;
}

bool Organ::Unload(bool quiet) {
    if (loaded && !UnloadObjects()) return false;
    bool wasLoaded = loaded;
    ClearSettings();
    if (!quiet && wasLoaded) {
        PlaceWindow(kDefaultWindowWidth, kDefaultWindowHeight);
        view.RequestRedraw();
        view.SetTitle("Tessaline Console");
    }
    loaded = false;
    firstPaintAfterLoad = false;
    captureMode.store(false, std::memory_order_release);
    return true;
}

std::string Organ::ResolvePath(const std::string& name) const {
    std::string path = WithSlashes(name);
    if (organDirectory.empty() || (!path.empty() && path.front() == '/')) return path;
    if (organDirectory.back() == '/') return organDirectory + path;
    return organDirectory + "/" + path;
}

bool Organ::UseOrganDirectory(const std::string& fileName) {
    std::string path = WithSlashes(fileName);
    size_t slash = path.rfind('/');
    organDirectory = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
    if (organDirectory.empty()) return true;
    struct stat info {};
    if (::stat(organDirectory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        ::access(organDirectory.c_str(), X_OK) != 0) {
        ReportError("Could not change to the required working directory %s.", kLoadingAction,
                    organDirectory.c_str());
        organDirectory.clear();
        return false;
    }
    return true;
}

bool Organ::ReadOrganSection(const KeyReader& organ) {
    std::string version = organ.Text("TessalineOrganFileFormatVersion", kNumberBuffer);
    if (version.empty()) {
        organ.Report("The TessalineOrganFileFormatVersion setting for the organ could not be found in the organ definition file.");
        return false;
    }
    double number = ParseRealNumber(version.c_str());
    if (number < 1.0) {
        organ.Report("The organ definition file was created for an earlier version of Tessaline.\n"
                     "Please run the Tessaline file migration utility to convert to the file format for this version.");
        return false;
    }
    if (number > kSupportedFileFormatVersion) {
        organ.Report("The organ definition file requires a higher version of Tessaline.\n"
                     "Please upgrade Tessaline to the latest version in order to use the organ.");
        return false;
    }

    if (!organ.RequiredText("ChurchName", kOrganShortTextBuffer, churchName,
                            "The name of the church could not be found in the organ definition file. The file is either inaccessible or invalid. Check that the file exists."))
        return false;
    if (!organ.RequiredText("ChurchAddress", kOrganShortTextBuffer, churchAddress,
                            "The address of the church could not be found in the organ definition file."))
        return false;
    organBuilder = organ.Text("OrganBuilder", kOrganShortTextBuffer);
    organBuildDate = organ.Text("OrganBuildDate", kOrganShortTextBuffer);
    organComments = organ.Text("OrganComments", kOrganLongTextBuffer);
    recordingDetails = organ.Text("RecordingDetails", kOrganLongTextBuffer);
    infoFilename = organ.Text("InfoFilename", kOrganLongTextBuffer);

    if (!ReadCounts(organ) || !ReadStoreFlags(organ) || !layout.ReadFirstGroup(organ))
        return false;
    double percent = 0.0;
    if (!organ.Real("AmplitudeLevel", kNumberBuffer, 0.0, kMaxOrganAmplitudePercent, percent,
                    "The AmplitudeLevel setting for the organ is not specified in the organ definition file.",
                    "The AmplitudeLevel setting for the organ is invalid in the organ definition file (range 0-1000%%)."))
        return false;
    amplitudeLevel = percent / 100.0;
    return layout.ReadSecondGroup(organ, view);
}

bool Organ::ReadCounts(const KeyReader& organ) {
    if (!organ.Whole("NumberOfManuals", kNumberBuffer, 1, kMaxManualNumber, numberOfManuals,
                     "The number of manuals for the organ could not be found in the organ definition file.",
                     "An invalid number of manuals for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("NumberOfEnclosures", kNumberBuffer, 0, kMaxEnclosures, numberOfEnclosures,
                     "The number of enclosures for the organ could not be found in the organ definition file.",
                     "An invalid number of enclosures for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("NumberOfTremulants", kNumberBuffer, 0, kMaxTremulants, numberOfTremulants,
                     "The number of tremulants for the organ could not be found in the organ definition file.",
                     "An invalid number of tremulants for the organ is specified in the organ definition file."))
        return false;
    uint32_t groupsInFile = 0;
    if (!organ.Whole("NumberOfWindchestGroups", kNumberBuffer, 1, kMaxWindchestGroupsInFile, groupsInFile,
                     "The NumberOfWindchestGroups setting for the organ could not be found in the organ definition file.",
                     "An invalid NumberOfWindchestGroups setting for the organ is specified in the organ definition file."))
        return false;
    numberOfWindchestGroups = groupsInFile + 1;
    if (!organ.Flag("HasPedals", hasPedals,
                    "The pedal setting for the organ could not be found in the organ definition file.",
                    "The pedal setting for the organ is invalid in the organ definition file (Y/N)."))
        return false;
    if (!ReadSampleFormat(organ)) return false;
    if (!organ.Whole("NumberOfGenerals", kNumberBuffer, 0, kMaxGenerals, numberOfGenerals,
                     "The number of general combinations for the organ could not be found in the organ definition file.",
                     "An invalid number of general combinations for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("NumberOfReversiblePistons", kNumberBuffer, 0, kMaxReversiblePistons, numberOfReversiblePistons,
                     "The number of reversible pistons for the organ could not be found in the organ definition file.",
                     "An invalid number of reversible pistons for the organ is specified in the organ definition file."))
        return false;
    if (!organ.Whole("NumberOfDivisionalCouplers", kNumberBuffer, 0, kMaxDivisionalCouplers, numberOfDivisionalCouplers,
                     "The number of divisional couplers for the organ could not be found in the organ definition file.",
                     "An invalid number of divisional couplers for the organ is specified in the organ definition file."))
        return false;
    return organ.Whole("NumberOfLabels", kNumberBuffer, 0, kMaxLabels, numberOfLabels,
                       "The number of labels for the organ could not be found in the organ definition file.",
                       "An invalid number of labels for the organ is specified in the organ definition file.");
}

bool Organ::ReadSampleFormat(const KeyReader& organ) {
    std::string format = organ.Text("HighestSampleFormat", kSampleFormatBuffer);
    if (format.empty() || EqualsIgnoreCase(format, "Mono")) {
        highestSampleFormat = SampleFormat::Mono;
    } else if (EqualsIgnoreCase(format, "Stereo")) {
        highestSampleFormat = SampleFormat::Stereo;
    } else {
        organ.Report("The HighestSampleFormat setting for the organ is invalid in the organ definition file (Mono/Stereo).");
        return false;
    }
    bool stereoSamples = highestSampleFormat == SampleFormat::Stereo;
    bool stereoPreferred = setup.PreferredMemorySampleFormat == 1;
    memorySampleFormat = stereoSamples && stereoPreferred ? SampleFormat::Stereo : SampleFormat::Mono;
    simulateStereo = stereoSamples && !stereoPreferred && setup.MixUpwardsOnOutput;
    outputMode = memorySampleFormat == SampleFormat::Stereo ? OutputMode::Stereo
                 : simulateStereo                           ? OutputMode::MixUpwards
                                                            : OutputMode::Mono;
    return true;
}

bool Organ::ReadStoreFlags(const KeyReader& organ) {
    return organ.Flag("DivisionalsStoreTremulants", divisionalsStoreTremulants,
                      "The DivisionalsStoreTremulants setting for the organ could not be found in the organ definition file.",
                      "The DivisionalsStoreTremulants setting for the organ is invalid in the organ definition file (Y/N).") &&
           organ.Flag("DivisionalsStoreIntermanualCouplers", divisionalsStoreIntermanualCouplers,
                      "The DivisionalsStoreIntermanualCouplers setting for the organ could not be found in the organ definition file.",
                      "The DivisionalsStoreIntermanualCouplers setting for the organ is invalid in the organ definition file (Y/N).") &&
           organ.Flag("DivisionalsStoreIntramanualCouplers", divisionalsStoreIntramanualCouplers,
                      "The DivisionalsStoreIntramanualCouplers setting for the organ could not be found in the organ definition file.",
                      "The DivisionalsStoreIntramanualCouplers setting for the organ is invalid in the organ definition file (Y/N).") &&
           organ.Flag("GeneralsStoreDivisionalCouplers", generalsStoreDivisionalCouplers,
                      "The GeneralsStoreDivisionalCouplers setting for the organ could not be found in the organ definition file.",
                      "The GeneralsStoreDivisionalCouplers setting for the organ is invalid in the organ definition file (Y/N).") &&
           organ.Flag("CombinationsStoreNonDisplayedDrawstops", combinationsStoreNonDisplayedDrawstops,
                      "The CombinationsStoreNonDisplayedDrawstops setting for the organ could not be found in the organ definition file.",
                      "The CombinationsStoreNonDisplayedDrawstops setting for the organ is invalid in the organ definition file (Y/N).");
}

bool Organ::ManualPrePass(const DefinitionFile& file) {
    progressTotal = 0;
    layout.displayedManualCount = 0;
    for (uint32_t m = hasPedals ? 0 : 1; m <= numberOfManuals; ++m) {
        KeyReader manual(file, NumberedName("Manual", static_cast<int>(m)), kLoadingAction);
        int number = static_cast<int>(m);
        uint32_t keys = 0;
        uint32_t stops = 0;
        bool displayed = false;
        if (!manual.Whole("NumberOfLogicalKeys", kNumberBuffer, 1, kMaxLogicalKeys, keys,
                          "The NumberOfLogicalKeys setting for manual %d could not be found in the organ definition file or the manual section is missing.",
                          "An invalid NumberOfLogicalKeys setting for manual %d is specified in the organ definition file.",
                          number))
            return false;
        if (!manual.Whole("NumberOfStops", kNumberBuffer, 0, kMaxStopsPerManual, stops,
                          "The number of stops for manual %d could not be found in the organ definition file.",
                          "An invalid number of stops for manual %d is specified in the organ definition file.",
                          number))
            return false;
        progressTotal += stops * keys;
        if (!manual.Flag("Displayed", displayed,
                         "The Displayed setting for manual %d is not specified in the organ definition file.",
                         "The Displayed setting for manual %d is invalid (Y/N).", number))
            return false;
        if (displayed && m != 0) ++layout.displayedManualCount;
    }
    return true;
}

void Organ::PlaceWindow(uint32_t width, uint32_t height) {
    ScreenMetrics screen = view.Screen();
    uint32_t x = screen.width > width ? (screen.width - width) / 2 : 0;
    uint32_t y = screen.height > height ? (screen.height - height) / 2 : 0;
    view.PlaceWindow(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                     static_cast<int>(height));
}

bool Organ::SecondPass(const DefinitionFile& file) {
    for (int s = 0; s < kLoadStages; ++s) {
        LoadStage stage = static_cast<LoadStage>(s);
        stagesBuilt |= Bit(stage);
        if (!RunStage(stage, file)) {
            RollBack(stage);
            return false;
        }
    }
    return true;
}

bool Organ::RunStage(LoadStage stage, const DefinitionFile& file) {
    switch (stage) {
        case LoadStage::ClearMidiAssignments: return ClearMidiAssignments();
        case LoadStage::WindchestGroups: return LoadWindchestGroups(file);
        case LoadStage::Enclosures: return LoadEnclosures(file);
        case LoadStage::Labels: return LoadLabels(file);
        case LoadStage::Tremulants: return LoadTremulants(file);
        case LoadStage::Manuals: return LoadManuals(file);
        case LoadStage::ManualsSecondPass: return LoadManualsSecondPass(file);
        case LoadStage::DivisionalCouplers: return LoadDivisionalCouplers(file);
        case LoadStage::Generals: return LoadGenerals(file);
        case LoadStage::ReversiblePistons: return LoadReversiblePistons(file);
        case LoadStage::PublishVoiceBounds: return PublishVoiceBounds();
        case LoadStage::FrameGenerals: return InitialiseFrameGenerals();
    }
    return false;
}

void Organ::RollBack(LoadStage failed) {
    std::array<LoadStage, kLoadStages> order{};
    int n = RollBackOrder(failed, order);
    for (int i = 0; i < n; ++i) {
        LoadStage stage = order[static_cast<size_t>(i)];
        if (stagesBuilt & Bit(stage)) UnloadStage(stage);
    }
    stagesBuilt = 0;
}

// Each kind's objects unload here as the kind joins the model; the manuals
// stage's objects include what their second pass resolved.
void Organ::UnloadStage(LoadStage stage) {
    if (stage == LoadStage::Manuals) UnloadManuals();
    if (stage == LoadStage::Labels) UnloadLabels();
    if (stage == LoadStage::Generals) UnloadGenerals(0, kMaxGenerals);
    if (stage == LoadStage::ReversiblePistons) UnloadReversiblePistons();
    if (stage == LoadStage::FrameGenerals) UnloadGenerals(kMaxGenerals, kGeneralEntries);
    if (stage == LoadStage::DivisionalCouplers) UnloadDivisionalCouplers();
    if (stage == LoadStage::WindchestGroups) UnloadWindchestGroups();
    if (stage == LoadStage::Enclosures) UnloadEnclosures();
    if (stage == LoadStage::Tremulants) UnloadTremulants();
    stagesBuilt &= ~Bit(stage);
}

bool Organ::ClearMidiAssignments() {
    midiRouting.ClearAssignments();
    return true;
}

// The file's groups go into entries 1.., entry 0 is the implicit group that
// names no enclosure and no tremulant.
bool Organ::LoadWindchestGroups(const DefinitionFile& file) {
    for (uint32_t i = 0; i + 1 < numberOfWindchestGroups; ++i) {
        if (!windchestGroups[i + 1].Load(file, static_cast<int>(i), numberOfEnclosures,
                                         numberOfTremulants)) {
            ReportError("Windchest group %d failed to load.", kLoadingAction,
                        static_cast<int>(i + 1));
            return false;
        }
    }
    windchestGroups[0].Clear();
    windchestGroups[0].loaded = true;
    return true;
}

// Each enclosure's indicator panel sits in the row between the pedal and
// manual 1, the row centred on the console.
bool Organ::LoadEnclosures(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfEnclosures; ++i) {
        Point panel = layout.EnclosurePanel(i, numberOfEnclosures);
        if (!(*enclosures)[i].Load(file, static_cast<int>(i), static_cast<int>(panel.x),
                                   static_cast<int>(panel.y), WindchestGroups())) {
            ReportError("Enclosure %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

bool Organ::LoadLabels(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfLabels; ++i) {
        if (!labels[i].Load(file, static_cast<int>(i))) {
            ReportError("Label %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

// A tremulant's drawstop keys come first; either failing fails the tremulant.
bool Organ::LoadTremulants(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfTremulants; ++i) {
        Tremulant& tremulant = (*tremulants)[i];
        const int number = static_cast<int>(i + 1);
        if (!tremulant.drawstop.Load(file, "Tremulant", number) ||
            !tremulant.Load(file, number, WindchestGroups())) {
            tremulant.drawstop.Clear();
            ReportError("Tremulant %d failed to load.", kLoadingAction, number);
            return false;
        }
    }
    return true;
}

// Keyboard slots go up after the pedal and after every displayed manual, so
// hidden manuals leave no gap on the console.
bool Organ::LoadManuals(const DefinitionFile& file) {
    KeyboardSlots slots(hasPedals);
    for (uint32_t m = hasPedals ? 0 : 1; m <= numberOfManuals; ++m) {
        bool displayed = false;
        uint32_t slot = slots.Next();
        bool ok = manuals[m].Load(file, static_cast<int>(m), slot, displayed);
        slots.Place(m, displayed);
        if (!ok) {
            ReportError("Manual %d failed to load.", kLoadingAction, static_cast<int>(m));
            return false;
        }
    }
    return CheckCouplerPaths();
}

bool Organ::LoadManualsSecondPass(const DefinitionFile& file) {
    for (uint32_t m = hasPedals ? 0 : 1; m <= numberOfManuals; ++m) {
        if (!manuals[m].LoadSecondPass(file)) {
            ReportError("Manual %d failed to load.", "Loading an organ (second parse).",
                        static_cast<int>(m));
            return false;
        }
    }
    return true;
}

bool Organ::LoadDivisionalCouplers(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfDivisionalCouplers; ++i) {
        if (!divisionalCouplers[i].Load(file, static_cast<int>(i + 1))) {
            ReportError("Divisional coupler %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

bool Organ::LoadGenerals(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfGenerals; ++i) {
        if (!generals[i].Load(file, static_cast<int>(i), true)) {
            ReportError("General combination %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

bool Organ::LoadReversiblePistons(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfReversiblePistons; ++i) {
        if (!reversiblePistons[i].Load(file, static_cast<int>(i + 1))) {
            ReportError("Reversible piston %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

bool Organ::PublishVoiceBounds() { return true; }

bool Organ::InitialiseFrameGenerals() {
    frameNumber.store(0, std::memory_order_relaxed);
    return ClearFrameGenerals();
}

// Every pipe is gone once the manuals are, so the sample memory goes with
// them; no voice may go on reading it.
bool Organ::UnloadManuals() {
    voices->SilenceAllVoices();
    for (Manual& manual : manuals)
        if (!manual.Unload()) return false;
    sampleMemory.Clear();
    return true;
}

bool Organ::UnloadLabels() {
    for (Label& label : labels) label.Clear();
    return true;
}

bool Organ::UnloadReversiblePistons() {
    for (ReversiblePiston& piston : reversiblePistons) piston.Clear();
    return true;
}

bool Organ::UnloadGenerals(int first, int end) {
    for (int e = first; e < end; ++e) generals[static_cast<size_t>(e)].Clear();
    return true;
}

bool Organ::UnloadDivisionalCouplers() {
    for (DivisionalCoupler& coupler : divisionalCouplers) coupler.Clear();
    return true;
}

bool Organ::UnloadWindchestGroups() {
    for (WindchestGroup& group : windchestGroups) {
        group.Clear();
        group.engine = nullptr;
    }
    return true;
}

bool Organ::UnloadEnclosures() {
    for (Enclosure& enclosure : *enclosures) enclosure.Clear();
    return true;
}

bool Organ::UnloadTremulants() {
    for (Tremulant& tremulant : *tremulants) {
        tremulant.drawstop.Clear();
        tremulant.Clear();
    }
    return true;
}

// The engine keeps mixing nothing of this organ until it is attached again;
// it never holds spans over tables whose counts have gone.
void Organ::DetachEngine() {
    if (engine == nullptr) return;
    engine->SetSources(voices.get(), {}, {});
    engine->SetGroupCount(0);
}

bool Organ::AttachEngine(AudioEngine& playingEngine) {
    if (!loaded) {
        ReportError("No organ is loaded.", "Updating organ MIDI parameters.");
        return false;
    }
    engine = &playingEngine;
    for (WindchestGroup& group : windchestGroups) group.engine = engine;
    for (Tremulant& tremulant : Tremulants()) tremulant.AttachEngine(playingEngine);
    for (Enclosure& enclosure : Enclosures()) enclosure.AttachEngine(playingEngine);
    voices->SetEngine(engine);
    engine->SetOutputMode(outputMode);
    engine->SetGroupCount(static_cast<int>(numberOfWindchestGroups) - 1);
    engine->SetSources(voices.get(), Tremulants(), Enclosures());
    return true;
}

bool Organ::TremulantOn(uint32_t t) {
    if (!loaded || t >= numberOfTremulants) return false;
    Tremulant& tremulant = (*tremulants)[t];
    if (tremulant.drawstop.Engaged()) return false;
    tremulant.QueueToggle();
    tremulant.drawstop.Engage();
    return true;
}

bool Organ::TremulantOff(uint32_t t) {
    if (!loaded || t >= numberOfTremulants) return false;
    Tremulant& tremulant = (*tremulants)[t];
    if (!tremulant.drawstop.Engaged()) return false;
    tremulant.QueueToggle();
    tremulant.drawstop.Disengage();
    return true;
}

bool Organ::TremulantToggle(uint32_t t) {
    if (!loaded || t >= numberOfTremulants) return false;
    return (*tremulants)[t].drawstop.Engaged() ? TremulantOff(t) : TremulantOn(t);
}

void Organ::SilenceAllVoices() { voices->SilenceAllVoices(); }

void Organ::ResetEnclosures() {
    for (Enclosure& enclosure : Enclosures()) enclosure.Reset();
}

void Organ::ResetTremulants() {
    for (Tremulant& tremulant : Tremulants()) {
        tremulant.drawstop.ResetToDefault();
        tremulant.Reset(tremulant.drawstop.Engaged());
    }
}

// Order: manuals, tremulants, windchest groups (entry 0 included), reversible
// pistons, generals, frame generals, labels, enclosures, divisional couplers,
// the registration-frame and stop-control MIDI controls; then capture mode and
// the test note off. Each kind joins here as it joins the model.
bool Organ::UnloadObjects() {
    if (!UnloadManuals() || !UnloadTremulants() || !UnloadWindchestGroups() ||
        !UnloadReversiblePistons() || !UnloadGenerals(0, kMaxGenerals) ||
        !UnloadGenerals(kMaxGenerals, kGeneralEntries) || !UnloadLabels() || !UnloadEnclosures() ||
        !UnloadDivisionalCouplers())
        return false;
    testNoteOn = false;
    DetachEngine();
    stagesBuilt = 0;
    captureMode.store(false, std::memory_order_relaxed);
    frameNumber.store(0, std::memory_order_relaxed);
    return true;
}

void Organ::ClearSettings() {
    churchName.clear();
    churchAddress.clear();
    organBuilder.clear();
    organBuildDate.clear();
    organComments.clear();
    recordingDetails.clear();
    infoFilename.clear();
    numberOfManuals = 0;
    hasPedals = false;
    numberOfEnclosures = 0;
    numberOfTremulants = 0;
    numberOfWindchestGroups = 0;
    numberOfGenerals = 0;
    numberOfReversiblePistons = 0;
    numberOfDivisionalCouplers = 0;
    numberOfLabels = 0;
    divisionalsStoreTremulants = false;
    divisionalsStoreIntermanualCouplers = false;
    divisionalsStoreIntramanualCouplers = false;
    generalsStoreDivisionalCouplers = false;
    combinationsStoreNonDisplayedDrawstops = false;
    highestSampleFormat = SampleFormat::Mono;
    amplitudeLevel = 0.0;
    memorySampleFormat = SampleFormat::Mono;
    simulateStereo = false;
    outputMode = OutputMode::Mono;
    organDirectory.clear();
    progressTotal = 0;
    layout.Clear();
}

}  // namespace tessaline
