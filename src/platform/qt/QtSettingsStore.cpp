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
    if (settings->status() == QSettings::AccessError) {
        settings.reset();
        return false;
    }
    createdNew = settings->allKeys().isEmpty();
    return true;
}

bool QtSettingsStore::Close() {
    if (!settings) return false;
    settings->sync();
    bool written = settings->status() == QSettings::NoError;
    settings.reset();
    return written;
}

bool QtSettingsStore::ReadString(const std::string& name, std::string& value) {
    QString key = QString::fromStdString(name);
    if (!settings || !settings->contains(key)) return false;
    value = settings->value(key).toString().toStdString();
    return true;
}

bool QtSettingsStore::WriteString(const std::string& name, const std::string& value) {
    if (!settings || !settings->isWritable()) return false;
    settings->setValue(QString::fromStdString(name), QString::fromStdString(value));
    return true;
}

}  // namespace tessaline
