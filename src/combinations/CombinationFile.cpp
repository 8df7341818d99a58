// Saving and loading the whole set of combinations: every divisional, the
// generals and the frame generals, in the section-and-key form of the
// definition file, read back by the same reader and loaders.

#include <cstdio>
#include <string>

#include "combinations/CombinationWriter.h"
#include "organ/DefinitionReader.h"
#include "organ/KeyReader.h"
#include "organ/Manual.h"
#include "organ/Organ.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kSaveAction = "Saving an organ combination file.";
constexpr const char* kLoadAction = "Loading an organ combination file.";
constexpr const char* kNotProperlyLoaded =
    "Cannot save combination when the combination is not properly loaded.";
constexpr const char* kValueNotWritten = "Failed to write a value to the combination file.";
constexpr size_t kChurchBuffer = 128;
constexpr size_t kVersionBuffer = 8;
constexpr size_t kNumberBuffer = 8;

template <typename List>
bool WriteEntries(CombinationWriter& writer, const char* stem, const List& list) {
    for (uint32_t i = 0; i < list.count; ++i) {
        const CombinationEntry& e = list.entries[i];
        if (!writer.Key(NumberedName(stem, static_cast<int>(i) + 1), FormatEntrySpecifier(e.index, e.engage)))
            return false;
    }
    return true;
}

// Entries whose manual number is written before their own number.
template <typename List>
bool WriteManualEntries(CombinationWriter& writer, const char* kind, const List& list) {
    std::string manualStem = std::string(kind) + "Manual";
    std::string numberStem = std::string(kind) + "Number";
    for (uint32_t i = 0; i < list.count; ++i) {
        const CombinationEntry& e = list.entries[i];
        int position = static_cast<int>(i) + 1;
        char manual[8];
        std::snprintf(manual, sizeof manual, "%03d", e.manual);
        if (!writer.Key(NumberedName(manualStem.c_str(), position), manual) ||
            !writer.Key(NumberedName(numberStem.c_str(), position), FormatEntrySpecifier(e.index, e.engage)))
            return false;
    }
    return true;
}

bool WriteDivisional(CombinationWriter& writer, const Divisional& d, bool storesTremulants) {
    return writer.Section(NumberedName("Divisional", static_cast<int>(d.number))) &&
           writer.Key("NumberOfStops", static_cast<int>(d.stops.count)) &&
           writer.Key("NumberOfCouplers", static_cast<int>(d.couplers.count)) &&
           (!storesTremulants || writer.Key("NumberOfTremulants", static_cast<int>(d.tremulants.count))) &&
           WriteEntries(writer, "Stop", d.stops) && WriteEntries(writer, "Coupler", d.couplers) &&
           WriteEntries(writer, "Tremulant", d.tremulants);
}

bool WriteGeneral(CombinationWriter& writer, const General& g, bool storesDivisionalCouplers) {
    return writer.Section(NumberedName("General", static_cast<int>(g.number))) &&
           writer.Key("NumberOfStops", static_cast<int>(g.stops.count)) &&
           writer.Key("NumberOfCouplers", static_cast<int>(g.couplers.count)) &&
           writer.Key("NumberOfTremulants", static_cast<int>(g.tremulants.count)) &&
           (!storesDivisionalCouplers ||
            writer.Key("NumberOfDivisionalCouplers", static_cast<int>(g.divisionalCouplers.count))) &&
           WriteManualEntries(writer, "Stop", g.stops) && WriteManualEntries(writer, "Coupler", g.couplers) &&
           WriteEntries(writer, "TremulantNumber", g.tremulants) &&
           WriteEntries(writer, "DivisionalCouplerNumber", g.divisionalCouplers);
}

// Reports one of the general's failures; false.
bool SaveGeneral(CombinationWriter& writer, const General& g, int entry, bool storesDivisionalCouplers) {
    if (!g.combinationLoaded) {
        ReportError(kNotProperlyLoaded, "Saving a general combination.");
    } else if (g.Empty()) {
        return true;
    } else if (!WriteGeneral(writer, g, storesDivisionalCouplers)) {
        ReportError(kValueNotWritten, "Saving a general combination.");
    } else {
        return true;
    }
    ReportError("General combination %d failed to save.", kSaveAction, entry + 1);
    return false;
}

}  // namespace

bool Manual::SaveDivisionals(CombinationWriter& writer) {
    constexpr const char* kManualAction = "Saving combinations for a manual.";
    if (!loaded) {
        ReportError("Attempt to save manual %d divisional combinations whilst no organ is loaded.",
                    kManualAction, index);
        return false;
    }
    for (int d = 0; d < numberOfDivisionals; ++d) {
        const Divisional& divisional = divisionals[static_cast<size_t>(d)];
        bool saved = false;
        if (!divisional.combinationLoaded)
            ReportError(kNotProperlyLoaded, "Saving a divisional combination.");
        else if (!WriteDivisional(writer, divisional, organ->divisionalsStoreTremulants))
            ReportError(kValueNotWritten, "Saving a divisional combination.");
        else
            saved = true;
        if (!saved) {
            ReportError("Failed to save divisional combination %d for manual %d.", kManualAction, d + 1, index);
            return false;
        }
    }
    return true;
}

bool Manual::ReloadDivisionals(const DefinitionFile& file) {
    constexpr const char* kManualAction = "Reloading combinations for a manual.";
    if (!loaded) {
        ReportError("Attempt to reload manual %d divisional combinations whilst no organ is loaded.",
                    kManualAction, index);
        return false;
    }
    for (int d = 0; d < numberOfDivisionals; ++d) {
        Divisional& divisional = divisionals[static_cast<size_t>(d)];
        if (!divisional.Load(file, static_cast<int>(divisional.number), false)) {
            ReportError("Failed to reload divisional combination %d for manual %d.", kManualAction, d + 1, index);
            return false;
        }
    }
    return true;
}

bool Organ::SaveCombinationFile(const std::string& path) {
    // Boxes come up once the lock is released, so that the MIDI thread plays
    // on while the player reads them.
    DeferredReports reports;
    CombinationWriter writer;
    std::unique_lock lock = LockAction();
    if (!loaded) {
        ReportError("Cannot save a combination file when no organ is loaded.", kSaveAction);
        return false;
    }
    if (!writer.Create(path)) {
        ReportError("Could not create the combination file. Check that the directory exits and is not read-only.",
                    kSaveAction);
        return false;
    }
    char version[16];
    std::snprintf(version, sizeof version, "%.2f", kSupportedFileFormatVersion);
    if (!writer.Section("Organ") || !writer.Key("ChurchName", churchName) ||
        !writer.Key("ChurchAddress", churchAddress) ||
        !writer.Key("TessalineOrganFileFormatVersion", version) ||
        !writer.Key("NumberOfFrameGenerals", kFrameGenerals)) {
        ReportError("Could not write a value to the combination file.", kSaveAction);
        return false;
    }
    for (uint32_t m = hasPedals ? 0 : 1; m <= numberOfManuals; ++m) {
        if (!manuals[m].SaveDivisionals(writer)) {
            ReportError("The divisional combinations for manual %d could not be written.", kSaveAction,
                        static_cast<int>(m));
            return false;
        }
    }
    for (uint32_t e = 0; e < numberOfGenerals; ++e)
        if (!SaveGeneral(writer, generals[e], static_cast<int>(e), generalsStoreDivisionalCouplers)) return false;
    for (int e = kMaxGenerals; e < kGeneralEntries; ++e)
        if (!SaveGeneral(writer, generals[static_cast<size_t>(e)], e, generalsStoreDivisionalCouplers))
            return false;
    // The file only replaces the previous one once all of it is on disk; the
    // wait for the disk happens without the lock.
    lock.unlock();
    if (!writer.Commit()) {
        ReportError("Could not write a value to the combination file.", kSaveAction);
        return false;
    }
    return true;
}

bool Organ::LoadCombinationFile(const std::string& path) {
    DeferredReports reports;
    // The file is read before the lock is taken: a slow disk holds up nobody.
    DefinitionFile file;
    file.Parse(path);
    auto lock = LockAction();
    if (!loaded) {
        ReportError("Cannot load a combination file when no organ is loaded.", kLoadAction);
        return false;
    }
    KeyReader section(file, "Organ", kLoadAction);
    std::string church = section.Text("ChurchName", kChurchBuffer);
    if (church.empty()) {
        section.Report("The name of the church could not be found in the combination file. The file is either inaccessible or invalid. Check that the file exists.");
        return false;
    }
    if (church != churchName) {
        section.Report("The name of the church in the combination file does not match that of the currently loaded organ. A combination file can only be used with the organ for which it was saved.");
        return false;
    }
    std::string address = section.Text("ChurchAddress", kChurchBuffer);
    if (address.empty()) {
        section.Report("The address of the church could not be found in the combination file. The file is invalid.");
        return false;
    }
    if (address != churchAddress) {
        section.Report("The address of the church in the combination file does not match that of the currently loaded organ. A combination file can only be used with the organ for which it was saved.");
        return false;
    }
    std::string version = section.Text("TessalineOrganFileFormatVersion", kVersionBuffer);
    if (version.empty()) {
        section.Report("The TessalineOrganFileFormatVersion setting for the organ could not be found in the combination file.");
        return false;
    }
    if (ParseWholeNumber(version.c_str()) < static_cast<int32_t>(kSupportedFileFormatVersion)) {
        section.Report("The organ combination file was created for an earlier version of Tessaline.\n"
                       "Please run the Tessaline file migration utility to convert to the file format for this version.");
        return false;
    }
    if (ParseRealNumber(version.c_str()) > kSupportedFileFormatVersion) {
        section.Report("The organ combination file requires a higher version of Tessaline.\n"
                       "Please upgrade Tessaline to the latest version in order to use this combination file.");
        return false;
    }
    uint32_t frames = 0;
    if (!section.Whole("NumberOfFrameGenerals", kNumberBuffer, 0, kFrameGenerals, frames,
                       "The NumberOfFrameGenerals setting for the organ could not be found in the combination file.",
                       "The NumberOfFrameGenerals setting is invalid in the combination file."))
        return false;

    for (uint32_t m = hasPedals ? 0 : 1; m <= numberOfManuals; ++m) {
        if (!manuals[m].ReloadDivisionals(file)) {
            section.Report("The divisional combinations for manual %d failed to reload.", static_cast<int>(m));
            return false;
        }
    }
    for (uint32_t e = 0; e < numberOfGenerals; ++e) {
        if (!generals[e].Load(file, static_cast<int>(e), false)) {
            section.Report("General combination %d failed to reload.", static_cast<int>(e + 1));
            return false;
        }
    }
    if (!ClearFrameGenerals()) return false;
    for (uint32_t e = kMaxGenerals; e < kMaxGenerals + frames; ++e) {
        if (!generals[e].Load(file, static_cast<int>(e), false)) {
            section.Report("Frame general combination %d failed to reload.", static_cast<int>(e + 1));
            return false;
        }
    }
    return true;
}

}  // namespace tessaline
