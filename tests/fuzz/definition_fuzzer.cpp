// Feeds arbitrary bytes to the definition file reader as a file's text and
// compares every lookup of the parsed file with a plain scan of the text from
// its first line, the way a reader without a parse would answer: the same
// value or the same absence, cut the same way for every buffer size. The
// looked-up names are the section headers and key names found in the text
// itself, so mutations that make or break headers are compared too. The
// values then go through the value conventions (flag, number, colour), which
// must not fault on any text.

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "fuzz/FuzzCommon.h"
#include "fuzz/FuzzOrgans.h"
#include "organ/DefinitionReader.h"

namespace tessaline::test {

// The dictionary supplies the reader's punctuation: quotes, comments,
// brackets and line ends.
std::vector<std::string> Seeds(const std::filesystem::path&) { return OrganSeeds(); }

}  // namespace tessaline::test

namespace {

using namespace tessaline;
using test::Check;

// The lines of the text as a reader with a 512-byte line buffer gets them:
// a piece holds at most 511 characters, its line end included; CR LF is one
// line end; C string handling ends a piece at a NUL; each piece trimmed.
std::vector<std::string> ReadLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string piece;
    size_t pos = 0;
    while (pos < text.size()) {
        piece.clear();
        while (pos < text.size() && piece.size() < 511) {
            char c = text[pos++];
            if (c == '\r' && pos < text.size() && text[pos] == '\n') c = text[pos++];
            piece.push_back(c);
            if (c == '\n') break;
        }
        const std::string line = piece.substr(0, piece.find('\0'));
        const size_t first = line.find_first_not_of(" \t\n\v\f\r");
        lines.push_back(first == std::string::npos
                            ? ""
                            : line.substr(first, line.find_last_not_of(" \t\n\v\f\r") - first + 1));
    }
    return lines;
}

// The scan of one lookup: the first section of the name, the first line of
// the key in it, quotes stripped.
std::optional<std::string> Scan(const std::vector<std::string>& lines, const std::string& section,
                                const std::string& key) {
    size_t i = 0;
    std::string header = "[" + section + "]";
    while (i < lines.size() && lines[i] != header) ++i;
    if (i == lines.size()) return std::nullopt;
    for (++i; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') return std::nullopt;
        size_t eq = line.find('=');
        if (eq == std::string::npos || line.compare(0, eq, key) != 0 || eq != key.size()) continue;
        std::string value = line.substr(eq + 1);
        size_t first = value.find_first_not_of('"');
        if (first == std::string::npos) return std::string();
        size_t last = value.find_last_not_of('"');
        return value.substr(first, last - first + 1);
    }
    return std::nullopt;
}

void CheckValueConventions(const char* text) {
    bool flag = true;
    bool valid = ParseFlag(text, flag);
    Check(valid == (std::strchr("YyNn", text[0]) != nullptr && text[0] != '\0'));
    Check(flag == (text[0] == 'Y' || text[0] == 'y'));
    (void)ParseWholeNumber(text);
    (void)ParseRealNumber(text);
    Colour colour{1, 2, 3};
    if (!ParseColourName(text, colour)) Check(colour == Colour{});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    DefinitionFile file;
    file.ParseText(text);
    std::vector<std::string> lines = ReadLines(text);

    std::set<std::string> sections = {"Organ", "Manual001"};
    std::set<std::string> keys = {"ChurchName", "NumberOfManuals", ""};
    for (const std::string& line : lines) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            sections.insert(line.substr(1, line.size() - 2));
        size_t eq = line.find('=');
        if (eq != std::string::npos) keys.insert(line.substr(0, eq));
        if (sections.size() > 16 && keys.size() > 16) break;
    }

    char buffer[600];
    int lookups = 0;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            if (++lookups > 64) return 0;
            std::optional<std::string> expected = Scan(lines, section, key);
            const std::string* found = file.Find(section, key);
            Check((found != nullptr) == expected.has_value());
            if (found != nullptr) Check(*found == *expected);
            std::string whole = expected ? expected->substr(0, expected->find('\0')) : "";
            for (size_t bufferSize : {size_t{1}, size_t{8}, size_t{128}, sizeof buffer}) {
                std::memset(buffer, 'x', sizeof buffer);
                size_t length = file.Read(section, key, buffer, bufferSize);
                std::string cut = whole.substr(0, std::min(whole.size(), bufferSize - 1));
                Check(length == cut.size() && std::strlen(buffer) == length);
                Check(std::memcmp(buffer, cut.data(), length) == 0);
            }
            CheckValueConventions(buffer);
        }
    }
    return 0;
}
