#include "organ/Stop.h"

#include <new>

#include "organ/DefinitionReader.h"
#include "organ/FilePaths.h"
#include "organ/KeyReader.h"
#include "organ/Manual.h"
#include "organ/Organ.h"
#include "organ/Pipe.h"
#include "samples/SampleLoader.h"

namespace tessaline {

namespace {

constexpr const char* kStopAction = "Loading an organ stop.";
constexpr size_t kNumberBuffer = 8;
constexpr size_t kShortTextBuffer = 128;
constexpr size_t kLongTextBuffer = 256;
constexpr size_t kPipeBuffer = 1024;
constexpr size_t kReferenceBuffer = 256;
constexpr double kMaxStopAmplitudePercent = 1000.0;

// REF:MM:SSS:PPP
constexpr size_t kReferenceLength = 14;
constexpr size_t kReferenceColons[] = {3, 6, 10};

bool IsReference(const std::string& specifier) {
    return specifier.size() >= 4 && EqualsIgnoreCase(std::string_view(specifier).substr(0, 4), "REF:");
}

int Field(const std::string& specifier, size_t start, size_t length) {
    return ParseWholeNumber(specifier.substr(start, length).c_str());
}

}  // namespace

bool Stop::Load(const DefinitionFile& file, int n) {
    Unload();
    if (!Drawstop::Load(file, "Stop", n)) return false;
    KeyReader section(file, NumberedName("Stop", n), kStopAction);
    ReadTexts(file, section);
    if (!ReadKeys(section, n) || !LoadPipes(section, n)) {
        Unload();
        return false;
    }
    stopLoaded = true;
    return true;
}

void Stop::ReadTexts(const DefinitionFile& file, const KeyReader& section) {
    KeyReader organSection(file, "Organ", kStopAction);
    auto text = [&](const char* key, size_t buffer) {
        std::string value = section.Text(key, buffer);
        return value.empty() ? organSection.Text(key, buffer) : value;
    };
    churchName = text("ChurchName", kShortTextBuffer);
    churchAddress = text("ChurchAddress", kShortTextBuffer);
    organBuilder = text("OrganBuilder", kShortTextBuffer);
    organBuildDate = text("OrganBuildDate", kShortTextBuffer);
    organComments = text("OrganComments", kLongTextBuffer);
    recordingDetails = text("RecordingDetails", kLongTextBuffer);
}

bool Stop::ReadKeys(const KeyReader& section, int n) {
    double percent = 0.0;
    uint32_t logical = 0, accessible = 0, firstPipe = 0, firstKey = 0, group = 0;
    if (!section.Real("AmplitudeLevel", kNumberBuffer, 0.0, kMaxStopAmplitudePercent, percent,
                      "The AmplitudeLevel setting for the stop is not specified in the organ definition file (global stop number %d).",
                      "The AmplitudeLevel setting for the stop is invalid in the organ definition file (global stop number %d) (range 0-1000%%).",
                      n) ||
        !section.Whole("NumberOfLogicalPipes", kNumberBuffer, 1, kMaxLogicalKeys, logical,
                       "The NumberOfLogicalPipes setting for the stop is not specified in the organ definition file (global stop number %d).",
                       "An invalid NumberOfLogicalPipes setting for the stop is specified in the organ definition file (global stop number %d).",
                       n) ||
        !section.Whole("NumberOfAccessiblePipes", kNumberBuffer, 1, logical, accessible,
                       "The NumberOfAccessiblePipes setting for the stop is not specified in the organ definition file (global stop number %d).",
                       "An invalid NumberOfAccessiblePipes setting for the stop is specified in the organ definition file (global stop number %d).",
                       n) ||
        !section.Whole("FirstAccessiblePipeLogicalPipeNumber", kNumberBuffer, 1, logical - accessible + 1,
                       firstPipe,
                       "The FirstAccessiblePipeLogicalPipeNumber setting for the stop is not specified in the organ definition file (global stop number %d).",
                       "An invalid FirstAccessiblePipeLogicalPipeNumber setting for the stop is specified in the organ definition file (global stop number %d).",
                       n) ||
        !section.Whole("FirstAccessiblePipeLogicalKeyNumber", kNumberBuffer, 1, kMaxLogicalKeys, firstKey,
                       "The FirstAccessiblePipeLogicalKeyNumber setting for the stop is not specified in the organ definition file (global stop number %d).",
                       "An invalid FirstAccessiblePipeLogicalKeyNumber setting for the stop is specified in the organ definition file (global stop number %d).",
                       n) ||
        // The organ counts its implicit group 0 in numberOfWindchestGroups;
        // the file's groups are 1 .. that count less one.
        !section.Whole("WindchestGroup", kNumberBuffer, 1, organ->numberOfWindchestGroups - 1, group,
                       "The WindchestGroup setting for the stop is not specified in the organ definition file (global stop number %d).",
                       "An invalid WindchestGroup setting for the stop is specified in the organ definition file (global stop number %d).",
                       n) ||
        !section.Flag("Percussive", percussive,
                      "The Percussive setting for the stop is not specified in the organ definition file (global stop number %d).",
                      "An invalid Percussive setting for the stop is specified in the organ definition file (global stop number %d).",
                      n))
        return false;
    amplitudeLevel = percent / 100.0;
    numberOfLogicalPipes = static_cast<int>(logical);
    numberOfAccessiblePipes = static_cast<int>(accessible);
    firstAccessiblePipe = static_cast<int>(firstPipe) - 1;
    firstAccessibleKey = static_cast<int>(firstKey) - 1;
    windchestGroup = static_cast<int>(group);
    return true;
}

bool Stop::LoadPipes(const KeyReader& section, int n) {
    SampleLoadContext context = organ->SampleContext();
    for (int p = 0; p < numberOfLogicalPipes; ++p) {
        std::string key = NumberedName("Pipe", p + 1);
        std::string specifier = section.Text(key.c_str(), kPipeBuffer);
        if (specifier.empty()) {
            section.Report("The pipe specifier for a pipe could not be found in the organ definition file (global stop number %d, pipe %d).",
                           n, p + 1);
            return false;
        }
        if (IsReference(specifier)) {
            shared[static_cast<size_t>(p)] = true;
        } else {
            Pipe* pipe = new (std::nothrow) Pipe;
            if (pipe == nullptr) {
                section.Report("Memory could not be allocated for a pipe (global stop number %d, pipe %d).",
                               n, p + 1);
                return false;
            }
            pipes[static_cast<size_t>(p)] = pipe;
            ++organ->pipesLoaded;
            pipe->organ = organ;
            pipe->windchestGroup = windchestGroup;
            pipe->voicePool = organ->voicePool;
            std::string path = ResolveOrganFilePath(organ->organDirectory, specifier);
            if (!pipe->LoadSample(context, path, organ->Setup().AmplitudeLevel, percussive,
                                  amplitudeLevel)) {
                section.Report("A pipe failed to load (global stop number %d, pipe %d).", n, p + 1);
                return false;
            }
        }
        if (!organ->StepLoadingProgress()) return false;
    }
    return true;
}

bool Stop::ResolveSharedPipes(const DefinitionFile& file, int n) {
    KeyReader section(file, NumberedName("Stop", n), kStopAction);
    for (int p = 0; p < numberOfLogicalPipes; ++p)
        if (shared[static_cast<size_t>(p)] && !ResolveSharedPipe(section, n, p)) return false;
    return true;
}

bool Stop::ResolveSharedPipe(const KeyReader& section, int n, int p) {
    std::string key = NumberedName("Pipe", p + 1);
    std::string specifier = section.Text(key.c_str(), kReferenceBuffer);
    if (specifier.empty()) {
        section.Report("The pipe specifier for a shared pipe could not be found in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    bool wellFormed = specifier.size() == kReferenceLength;
    for (size_t colon : kReferenceColons) wellFormed = wellFormed && specifier[colon] == ':';
    if (!wellFormed) {
        section.Report("The pipe specifier for a shared pipe has an invalid format (REF:MM:SSS:PPP) in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    int manualNumber = Field(specifier, 4, 2);
    int stopNumber = Field(specifier, 7, 3);
    int pipeNumber = Field(specifier, 11, 3);

    int lowestManual = organ->hasPedals ? 0 : 1;
    if (manualNumber < lowestManual || manualNumber > static_cast<int>(organ->numberOfManuals)) {
        section.Report("An invalid referenced manual number for a shared pipe is specified in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    if (stopNumber == 0) {
        section.Report("An invalid referenced stop number for a shared pipe is specified in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    // A negative field ("-01") is no stop or pipe at all: GetStop and
    // GetPipe answer none for any index out of their range.
    const Stop* target = organ->manuals[static_cast<size_t>(manualNumber)].GetStop(stopNumber - 1);
    if (target == nullptr) {
        section.Report("An invalid referenced stop for a shared pipe is specified in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    if (pipeNumber == 0) {
        section.Report("An invalid referenced pipe number for a shared pipe is specified in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    Pipe* pipe = target->GetPipe(pipeNumber - 1);
    if (pipe == nullptr) {
        section.Report("An invalid referenced pipe for a shared pipe is specified in the organ definition file (global stop number %d, pipe %d).",
                       n, p + 1);
        return false;
    }
    pipes[static_cast<size_t>(p)] = pipe;
    return true;
}

// Owned pipes are freed whether or not the first pass finished, so a stop
// that fails half-way leaves none behind.
void Stop::FreeOwnedPipes() {
    for (size_t p = 0; p < pipes.size(); ++p) {
        if (!shared[p] && pipes[p] != nullptr) {
            pipes[p]->ReleaseSample();
            delete pipes[p];
            --organ->pipesLoaded;
        }
        pipes[p] = nullptr;
        shared[p] = false;
    }
}

bool Stop::Unload() {
    FreeOwnedPipes();
    churchName.clear();
    churchAddress.clear();
    organBuilder.clear();
    organBuildDate.clear();
    organComments.clear();
    recordingDetails.clear();
    amplitudeLevel = 0.0;
    numberOfLogicalPipes = 0;
    numberOfAccessiblePipes = 0;
    firstAccessiblePipe = 0;
    firstAccessibleKey = 0;
    windchestGroup = 0;
    percussive = false;
    Drawstop::Clear();
    stopLoaded = false;
    return true;
}

Pipe* Stop::GetPipe(int p) const {
    if (!stopLoaded || p < 0 || p >= numberOfLogicalPipes || shared[static_cast<size_t>(p)])
        return nullptr;
    return pipes[static_cast<size_t>(p)];
}

int Stop::PipeForKey(int key) const {
    int index = key - firstAccessibleKey + firstAccessiblePipe;
    return index >= 0 && index < numberOfLogicalPipes ? index : -1;
}

void Stop::PipeOn(int key) {
    int index = PipeForKey(key);
    if (!Engaged() || index < 0) return;
    if (Pipe* pipe = pipes[static_cast<size_t>(index)]) pipe->Start();
}

void Stop::PipeOff(int key) {
    int index = PipeForKey(key);
    if (!Engaged() || index < 0) return;
    if (Pipe* pipe = pipes[static_cast<size_t>(index)]) pipe->Stop();
}

void Stop::PipeCut(int key) {
    int index = PipeForKey(key);
    if (!Engaged() || index < 0) return;
    if (Pipe* pipe = pipes[static_cast<size_t>(index)]) pipe->Cut();
}

}  // namespace tessaline
