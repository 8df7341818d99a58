#pragma once
// Reads the keys of one section of a definition file with the checks every
// loader shares: a key that is absent or empty gets its "missing" message, a
// value out of range its "invalid" message, both reported with the loader's
// attempted action. The message formats take the same arguments (a format
// that uses fewer of them ignores the rest), so one call serves both.

#include <cstdint>
#include <string>

#include "organ/DefinitionReader.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

class KeyReader {
public:
    KeyReader(const DefinitionFile& file, std::string section, const char* attemptedAction)
        : file(file), section(std::move(section)), action(attemptedAction) {}

    const std::string& Section() const { return section; }
    const char* Action() const { return action; }

    // The value cut to bufferSize - 1 characters; empty when absent.
    std::string Text(const char* key, size_t bufferSize) const {
        std::string buffer(bufferSize, '\0');
        size_t n = file.Read(section, key, buffer.data(), bufferSize);
        buffer.resize(n);
        return buffer;
    }

    template <typename... Args>
    void Report(const char* format, Args... args) const {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        ReportError(format, action, args...);
#pragma GCC diagnostic pop
    }

    // A required text: missing when empty.
    template <typename... Args>
    bool RequiredText(const char* key, size_t bufferSize, std::string& value, const char* missing,
                      Args... args) const {
        value = Text(key, bufferSize);
        if (value.empty()) {
            Report(missing, args...);
            return false;
        }
        return true;
    }

    // A required Y/N flag.
    template <typename... Args>
    bool Flag(const char* key, bool& value, const char* missing, const char* invalid,
              Args... args) const {
        std::string text = Text(key, 8);
        if (text.empty()) {
            Report(missing, args...);
            return false;
        }
        if (!ParseFlag(text.c_str(), value)) {
            Report(invalid, args...);
            return false;
        }
        return true;
    }

    // A required whole number in min..max, compared unsigned (a negative
    // number is out of range).
    template <typename... Args>
    bool Whole(const char* key, size_t bufferSize, uint32_t min, uint32_t max, uint32_t& value,
               const char* missing, const char* invalid, Args... args) const {
        std::string text = Text(key, bufferSize);
        if (text.empty()) {
            Report(missing, args...);
            return false;
        }
        value = static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
        if (value < min || value > max) {
            Report(invalid, args...);
            return false;
        }
        return true;
    }

    // An optional whole number in min..max: value is left as it was when the
    // key is absent or empty.
    template <typename... Args>
    bool OptionalWhole(const char* key, size_t bufferSize, uint32_t min, uint32_t max,
                       uint32_t& value, const char* invalid, Args... args) const {
        std::string text = Text(key, bufferSize);
        if (text.empty()) return true;
        uint32_t number = static_cast<uint32_t>(ParseWholeNumber(text.c_str()));
        if (number < min || number > max) {
            Report(invalid, args...);
            return false;
        }
        value = number;
        return true;
    }

    // A required signed whole number in min..max.
    template <typename... Args>
    bool Signed(const char* key, size_t bufferSize, int32_t min, int32_t max, int32_t& value,
                const char* missing, const char* invalid, Args... args) const {
        std::string text = Text(key, bufferSize);
        if (text.empty()) {
            Report(missing, args...);
            return false;
        }
        value = ParseWholeNumber(text.c_str());
        if (value < min || value > max) {
            Report(invalid, args...);
            return false;
        }
        return true;
    }

    // A required real number in min..max inclusive.
    template <typename... Args>
    bool Real(const char* key, size_t bufferSize, double min, double max, double& value,
              const char* missing, const char* invalid, Args... args) const {
        std::string text = Text(key, bufferSize);
        if (text.empty()) {
            Report(missing, args...);
            return false;
        }
        value = ParseRealNumber(text.c_str());
        if (!(value >= min && value <= max)) {
            Report(invalid, args...);
            return false;
        }
        return true;
    }

    // A required colour name.
    template <typename... Args>
    bool ColourName(const char* key, size_t bufferSize, Colour& value, const char* missing,
                    const char* invalid, Args... args) const {
        std::string text = Text(key, bufferSize);
        if (text.empty()) {
            Report(missing, args...);
            return false;
        }
        if (!ParseColourName(text.c_str(), value)) {
            Report(invalid, args...);
            return false;
        }
        return true;
    }

private:
    const DefinitionFile& file;
    std::string section;
    const char* action;
};

}  // namespace tessaline
