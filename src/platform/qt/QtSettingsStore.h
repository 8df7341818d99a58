#pragma once
// The settings store on QSettings: organisation and application "Tessaline",
// user scope, native format (an INI file under ~/.config on Linux). When the
// environment names a file in TESSALINE_SETTINGS, that INI file is used
// instead, by every program (tests and tools rely on it).

#include <QSettings>
#include <memory>

#include "platform/SettingsStore.h"

namespace tessaline {

class QtSettingsStore : public SettingsStore {
public:
    bool Open(bool& createdNew) override;
    bool Close() override;
    bool ReadString(const std::string& name, std::string& value) override;
    bool WriteString(const std::string& name, const std::string& value) override;

private:
    std::unique_ptr<QSettings> settings;  // while open
    bool unreadable = false;              // the open found a file it could not read
};

}  // namespace tessaline
