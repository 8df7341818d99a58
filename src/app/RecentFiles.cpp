#include "app/RecentFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/ErrorReporting.h"
#include "platform/SettingsStore.h"

namespace tessaline {

namespace {

constexpr const char* kSaveListAction = "Saving recent file list.";
constexpr const char* kCloseFailed = "Could not close settings store.";

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A path given relative to the working directory (on the command line, say)
// would name another file once the program runs elsewhere.
std::string FullPath(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.string();
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::string RecentItemText(RecentKind kind, int index, const std::string& path) {
    std::string text = "&" + std::to_string(index + 1) + " " + path;
    if (index == 0) text += kind == RecentKind::Organs ? "\tCtrl+N" : "\tCtrl+M";
    return text;
}

std::string RecentFiles::ValueName(int index) const {
    char name[32];
    std::snprintf(name, sizeof name,
                  kind == RecentKind::Organs ? "OrganMRUFile%02d" : "CombinationMRUFile%02d",
                  index);
    return name;
}

const char* RecentFiles::LastPathValue() const {
    return kind == RecentKind::Organs ? "OrganLastPath" : "CombinationLastPath";
}

RecentFiles::Entries RecentFiles::Read() {
    Entries entries;
    bool createdNew = false;
    if (!store.Open(createdNew)) return entries;
    if (!createdNew) {
        for (int i = 0; i < kRecentFileEntries; ++i)
            if (!store.ReadString(ValueName(i), entries[static_cast<size_t>(i)]))
                entries[static_cast<size_t>(i)].clear();
    }
    if (!store.Close())
        ReportError(kCloseFailed, kind == RecentKind::Organs
                                      ? "Reading Tessaline setup information."
                                      : "Reading recent file list.");
    return entries;
}

bool RecentFiles::Add(const std::string& path) {
    bool createdNew = false;
    if (!store.Open(createdNew)) return false;
    if (createdNew) {
        if (!store.Close()) ReportError(kCloseFailed, kSaveListAction);
        return false;
    }
    const std::string full = FullPath(path);
    // Slot 0 takes the new path and the stored entries move down one; the
    // tenth slot is never written, so the oldest entry drops out unless an
    // older copy of the new path is removed first.
    std::array<std::string, kRecentFileEntries + 1> slots;
    slots[0] = full;
    for (int i = 0; i < kRecentFileEntries; ++i)
        if (!store.ReadString(ValueName(i), slots[static_cast<size_t>(i) + 1]))
            slots[static_cast<size_t>(i) + 1].clear();
    for (size_t i = 1; i < kRecentFileEntries;) {
        if (EqualIgnoringCase(slots[i], full)) {
            std::move(slots.begin() + static_cast<long>(i) + 1, slots.end(),
                      slots.begin() + static_cast<long>(i));
            slots.back().clear();
        } else {
            ++i;
        }
    }
    // A value that cannot be written leaves its old text; the list stays usable.
    for (int i = 0; i < kRecentFileEntries; ++i)
        store.WriteString(ValueName(i), slots[static_cast<size_t>(i)]);
    store.WriteString(LastPathValue(), DirectoryOf(full));
    if (!store.Close()) {
        ReportError(kCloseFailed, kSaveListAction);
        return false;
    }
    return true;
}

bool RecentFiles::Entry(int index, std::string& path) {
    const char* action = kind == RecentKind::Organs ? "Loading Tessaline organ."
                                                    : "Loading Tessaline combination file.";
    path.clear();
    bool createdNew = false;
    if (!store.Open(createdNew)) {
        ReportError("Could not open settings store.", action);
        return false;
    }
    bool read = false;
    if (createdNew)
        ReportError("Could not read recent file list value - settings store not found.", action);
    else if (!(read = store.ReadString(ValueName(index), path)))
        ReportError("Could not read recent file list value.", action);
    if (!store.Close()) {
        ReportError(kCloseFailed, action);
        return false;
    }
    if (!read) return false;
    if (path.empty()) {
        ReportError("Invalid entry in recent file list.", action);
        return false;
    }
    return true;
}

}  // namespace tessaline
