#pragma once
// Test back end of the settings store: values in a map, with failures a test
// can inject into opening, closing and writing a chosen value.

#include <map>
#include <string>

#include "platform/SettingsStore.h"

namespace tessaline {

class MemorySettingsStore : public SettingsStore {
public:
    bool Open(bool& createdNew) override {
        ++opens;
        if (failOpen) return false;
        createdNew = values.empty();
        isOpen = true;
        return true;
    }
    bool Close() override {
        isOpen = false;
        return !failClose;
    }
    bool ReadString(const std::string& name, std::string& value) override {
        auto found = values.find(name);
        if (!isOpen || found == values.end()) return false;
        value = found->second;
        return true;
    }
    bool WriteString(const std::string& name, const std::string& value) override {
        if (!isOpen || name == failWriteOf) return false;
        values[name] = value;
        return true;
    }

    std::map<std::string, std::string> values;
    bool failOpen = false;
    bool failClose = false;
    std::string failWriteOf;  // the one value that cannot be written
    bool isOpen = false;
    int opens = 0;
};

}  // namespace tessaline
