#pragma once
// The machine's settings for Tessaline: one set of named string values.
// Real back end: QSettings (platform/qt/QtSettingsStore.h); test back end:
// MemorySettingsStore. Every access opens the store, reads or writes some
// values and closes it again.
//
// Threads: UI only.

#include <string>

namespace tessaline {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens the store for reading and writing. createdNew tells whether the
    // store held no Tessaline values before this access. False when the store
    // cannot be reached.
    virtual bool Open(bool& createdNew) = 0;
    // Writes pending values out and closes; false when that failed.
    virtual bool Close() = 0;
    // False when the value does not exist. Only while open.
    virtual bool ReadString(const std::string& name, std::string& value) = 0;
    // False when the value could not be written. Only while open.
    virtual bool WriteString(const std::string& name, const std::string& value) = 0;
};

}  // namespace tessaline
