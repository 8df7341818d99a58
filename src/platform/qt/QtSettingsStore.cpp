#include "platform/qt/QtSettingsStore.h"

#include <cstdlib>

namespace tessaline {

bool QtSettingsStore::Open(bool& createdNew) {
    const char* file = std::getenv("TESSALINE_SETTINGS");
    if (file != nullptr && file[0] != '\0')
        settings = std::make_unique<QSettings>(QString::fromLocal8Bit(file), QSettings::IniFormat);
    else
        settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                               "Tessaline", "Tessaline");
    // A file that exists but cannot be read (no permission, a folder in its
    // place) reads as an empty store: the player gets the defaults and the
    // setup, and only writing to it fails.
    unreadable = settings->status() == QSettings::AccessError;
    createdNew = unreadable || settings->allKeys().isEmpty();
    return true;
}

bool QtSettingsStore::Close() {
    if (!settings) return false;
    if (unreadable) {
        settings.reset();
        return true;
    }
    settings->sync();
    // A file that is not valid INI text reads as far as it parses; that is
    // no failure of the close, and a write replaces the file as a whole.
    bool written = settings->status() != QSettings::AccessError;
    settings.reset();
    return written;
}

bool QtSettingsStore::ReadString(const std::string& name, std::string& value) {
    QString key = QString::fromStdString(name);
    if (!settings || unreadable || !settings->contains(key)) return false;
    value = settings->value(key).toString().toStdString();
    return true;
}

bool QtSettingsStore::WriteString(const std::string& name, const std::string& value) {
    if (!settings || unreadable || !settings->isWritable()) return false;
    settings->setValue(QString::fromStdString(name), QString::fromStdString(value));
    return true;
}

}  // namespace tessaline
