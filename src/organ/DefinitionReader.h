#pragma once
// The reader of organ definition files, combination files and the shortcut-key
// file: named sections of key=value lines.
//
// A file is parsed once into its sections and keys; lookups then answer
// exactly as a scan of the file from its first line would:
//  - lines are read in pieces of 511 characters (line end included), each
//    piece trimmed of white space and handled as a line of its own;
//  - only the first section of a name is searched; it ends at any line that
//    starts with "[";
//  - lines starting with ";" are comments; the first line of a key wins;
//  - a key line is name=value with the name matched exactly (no trimming
//    around "="); all leading and trailing double quotes of the value go;
//  - the value is cut to the caller's buffer size - 1.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessaline {

class DefinitionFile {
public:
    // Reads and parses the file. False when it cannot be opened; the file
    // then behaves as one without sections (every lookup finds nothing).
    bool Parse(const std::string& fileName);
    // Parses text held in memory (used by tests and the fuzzer).
    void ParseText(std::string_view text);

    // The value of key in section, or nullptr when the section or the key is
    // absent. The value is whole: callers cut it with CopyValue.
    const std::string* Find(std::string_view section, std::string_view key) const;

    // As ReadDefinitionValue: copies the value cut to bufferSize - 1 into
    // buffer (always terminated) and returns its length; buffer holds the
    // empty text and the result is 0 when the key is absent.
    size_t Read(std::string_view section, std::string_view key, char* buffer,
                size_t bufferSize) const;

    bool Opened() const { return opened; }
    const std::string& FileName() const { return fileName; }

private:
    struct Section {
        std::unordered_map<std::string, std::string> keys;  // first line of a key wins
    };
    std::unordered_map<std::string, Section> sections;  // first section of a name wins
    std::string fileName;
    bool opened = false;
};

// Looks up one key of one section of a file. The file is parsed on the first
// lookup and the parse is kept for further lookups until the file changes on
// disk (size, time or identity) or another file is asked for.
size_t ReadDefinitionValue(const char* section, const char* key, const char* defaultValue,
                           char* buffer, size_t bufferSize, const char* fileName);

// Value conventions shared by every loader.

// First character Y/y is true, N/n false; anything else is invalid (false).
bool ParseFlag(const char* text, bool& value);
// Decimal: leading white space, one optional sign, digits up to the first
// non-digit; no digits give 0. Returned as the signed value; loaders hold
// counts unsigned so a negative value fails an upper-bound check.
int32_t ParseWholeNumber(const char* text);
// Decimal floating-point text; reading stops at the first character that does
// not fit; no number gives 0.0. Independent of the C locale.
double ParseRealNumber(const char* text);
// ASCII comparison without regard to case.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

struct Colour {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};
// Sets colour to black, then to the named colour of the sixteen; false (and
// black) for a name not in the table.
bool ParseColourName(const char* text, Colour& colour);

// "%03d" numbered section or key name: NumberedName("Stop", 12) is "Stop012".
std::string NumberedName(const char* stem, int number);

}  // namespace tessaline
