#pragma once
// The two recent-file lists of the settings store: organ definition files
// ("OrganMRUFile00".."OrganMRUFile08") and combination files
// ("CombinationMRUFile00".."CombinationMRUFile08"), entry 00 the most recent.
// No two entries of a list are equal ignoring letter case. An empty or
// missing entry is a gap: the entries after it keep their numbers. Adding a
// path also stores its directory as the list's last path ("OrganLastPath",
// "CombinationLastPath"), where the next chooser of that kind starts.
//
// Threads: UI only (the settings store is UI only).

#include <array>
#include <string>

#include "organ/Constants.h"

namespace tessaline {

class SettingsStore;

enum class RecentKind { Organs, Combinations };

// The directory part of a path: everything before its last "/" (the root
// stays "/"); empty when the path has no "/".
std::string DirectoryOf(const std::string& path);

// The menu item of entry index: "&%d %s" with index + 1 and the path; entry
// 0 also shows its reopening key ("\tCtrl+N" for organs, "\tCtrl+M" for
// combination files).
std::string RecentItemText(RecentKind kind, int index, const std::string& path);

class RecentFiles {
public:
    using Entries = std::array<std::string, kRecentFileEntries>;

    // The store must outlive the list.
    RecentFiles(SettingsStore& store, RecentKind kind) : store(store), kind(kind) {}

    // "OrganMRUFile%02d" or "CombinationMRUFile%02d".
    std::string ValueName(int index) const;
    const char* LastPathValue() const;

    // Every entry (empty for a gap). All empty when the store cannot be
    // opened or holds no Tessaline values; a failing close is reported.
    Entries Read();
    // Puts path (made absolute) at the top, removes another entry equal to
    // it ignoring letter case (the oldest entry drops out otherwise) and
    // stores its directory as the last path. Nothing is written when the
    // store cannot be opened or holds no Tessaline values yet. True when
    // the list was written, so that its menu is rebuilt.
    bool Add(const std::string& path);
    // Entry index for reopening it; false after reporting why it cannot be
    // used (with the action of loading that kind of file).
    bool Entry(int index, std::string& path);

private:
    SettingsStore& store;
    RecentKind kind;
};

}  // namespace tessaline
