#include "organ/Organ.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
        LoadStage::Generals,    LoadStage::ReversiblePistons,
    };
    int n = 0;
    for (LoadStage stage : kUnloadOrder)
        if (stage <= failed) order[static_cast<size_t>(n++)] = stage;
    return n;
}

Organ::Organ(ConsoleView& consoleView, LoadingProgress& loadingProgress, const SetupInfo& info)
    : view(consoleView), progress(loadingProgress), setup(info),
      dataDirectory(DefaultDataDirectory()) {
    for (Manual& manual : manuals) manual.Attach(*this);
    for (Label& label : labels) label.Attach(*this);
}

// Manuals loaded on their own (outside a whole load) still hold stops; they
// go before the sample memory and the counters they refer to.
Organ::~Organ() {
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
    stagesBuilt &= ~Bit(stage);
}

bool Organ::ClearMidiAssignments() { return true; }

// WindchestGroup%03d (i + 1) into entry i + 1, then entry 0 as the implicit
// empty group; "Windchest group %d failed to load.".
bool Organ::LoadWindchestGroups(const DefinitionFile&) { return true; }

// Enclosure%03d (i + 1), its panel at layout.EnclosurePanel(i, count);
// "Enclosure %d failed to load.".
bool Organ::LoadEnclosures(const DefinitionFile&) { return true; }

bool Organ::LoadLabels(const DefinitionFile& file) {
    for (uint32_t i = 0; i < numberOfLabels; ++i) {
        if (!labels[i].Load(file, static_cast<int>(i))) {
            ReportError("Label %d failed to load.", kLoadingAction, static_cast<int>(i + 1));
            return false;
        }
    }
    return true;
}

// Tremulant%03d (i + 1); "Tremulant %d failed to load.".
bool Organ::LoadTremulants(const DefinitionFile&) { return true; }

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
    return true;
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

// Divisional couplers, generals and reversible pistons have no model yet; an
// organ that has them is refused rather than loaded without them.
bool Organ::LoadDivisionalCouplers(const DefinitionFile&) {
    if (numberOfDivisionalCouplers == 0) return true;
    ReportError("Divisional couplers are not supported by this version of Tessaline.",
                kLoadingAction);
    ReportError("Divisional coupler %d failed to load.", kLoadingAction, 1);
    return false;
}

bool Organ::LoadGenerals(const DefinitionFile&) {
    if (numberOfGenerals == 0) return true;
    ReportError("General combinations are not supported by this version of Tessaline.",
                kLoadingAction);
    ReportError("General combination %d failed to load.", kLoadingAction, 1);
    return false;
}

bool Organ::LoadReversiblePistons(const DefinitionFile&) {
    if (numberOfReversiblePistons == 0) return true;
    ReportError("Reversible pistons are not supported by this version of Tessaline.",
                kLoadingAction);
    ReportError("Reversible piston %d failed to load.", kLoadingAction, 1);
    return false;
}

bool Organ::PublishVoiceBounds() { return true; }

// Entries 99..610; "Frame general combination %d failed to initialise." with
// e + 1 and the action "Clearing frame general organ combinations.".
bool Organ::InitialiseFrameGenerals() { return true; }

// Every pipe is gone once the manuals are, so the sample memory goes with them.
bool Organ::UnloadManuals() {
    for (Manual& manual : manuals)
        if (!manual.Unload()) return false;
    sampleMemory.Clear();
    return true;
}

bool Organ::UnloadLabels() {
    for (Label& label : labels) label.Clear();
    return true;
}

// Order: manuals, tremulants, windchest groups (entry 0 included), reversible
// pistons, generals, frame generals, labels, enclosures, divisional couplers,
// the registration-frame and stop-control MIDI controls; then capture mode and
// the test note off. Each kind joins here as it joins the model.
bool Organ::UnloadObjects() {
    if (!UnloadManuals() || !UnloadLabels()) return false;
    stagesBuilt = 0;
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
