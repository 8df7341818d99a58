#include "organ/DefinitionReader.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "organ/Constants.h"

namespace tessaline {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view StripQuotes(std::string_view s) {
    while (!s.empty() && s.front() == '"') s.remove_prefix(1);
    while (!s.empty() && s.back() == '"') s.remove_suffix(1);
    return s;
}

// Calls handle(line) for every trimmed, non-empty line piece, as a reader with
// room for 511 characters per read sees them: a CR LF counts as one line end,
// the line end belongs to the piece it ends, and a piece stops at a NUL.
template <typename Handler>
void ForEachLinePiece(std::string_view text, Handler handle) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = pos;
        size_t taken = 0;  // characters of the piece, line end included
        size_t contentEnd = pos;
        while (pos < text.size() && taken < kDefinitionLinePiece) {
            if (text[pos] == '\n' ||
                (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n')) {
                pos += text[pos] == '\r' ? 2 : 1;
                break;
            }
            ++pos;
            ++taken;
            contentEnd = pos;
        }
        std::string_view piece = text.substr(start, contentEnd - start);
        size_t nul = piece.find('\0');
        if (nul != std::string_view::npos) piece = piece.substr(0, nul);
        piece = Trim(piece);
        if (!piece.empty()) handle(piece);
    }
}

}  // namespace

bool DefinitionFile::Parse(const std::string& name) {
    fileName = name;
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        sections.clear();
        opened = false;
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ParseText(text);
    opened = true;
    return true;
}

void DefinitionFile::ParseText(std::string_view text) {
    sections.clear();
    opened = true;
    Section* current = nullptr;  // the section being filled, if it is a first one
    bool inSection = false;
    ForEachLinePiece(text, [&](std::string_view line) {
        if (line.front() == '[') {
            inSection = false;
            current = nullptr;
            if (line.size() >= 2 && line.back() == ']') {
                std::string name(line.substr(1, line.size() - 2));
                auto [it, inserted] = sections.try_emplace(std::move(name));
                inSection = true;
                current = inserted ? &it->second : nullptr;
            }
            return;
        }
        if (!inSection || current == nullptr || line.front() == ';') return;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) return;
        current->keys.try_emplace(std::string(line.substr(0, eq)),
                                  std::string(StripQuotes(line.substr(eq + 1))));
    });
}

const std::string* DefinitionFile::Find(std::string_view section, std::string_view key) const {
    auto s = sections.find(std::string(section));
    if (s == sections.end()) return nullptr;
    auto k = s->second.keys.find(std::string(key));
    if (k == s->second.keys.end()) return nullptr;
    return &k->second;
}

size_t DefinitionFile::Read(std::string_view section, std::string_view key, char* buffer,
                            size_t bufferSize) const {
    if (bufferSize == 0) return 0;
    buffer[0] = '\0';
    const std::string* value = Find(section, key);
    if (value == nullptr) return 0;
    size_t n = std::min(value->size(), bufferSize - 1);
    std::memcpy(buffer, value->data(), n);
    buffer[n] = '\0';
    // A value holding a NUL byte reads as text up to it.
    return std::strlen(buffer);
}

size_t ReadDefinitionValue(const char* section, const char* key, const char* defaultValue,
                           char* buffer, size_t bufferSize, const char* fileName) {
    // One parsed file is kept; it is parsed again when the file changes.
    struct Cached {
        DefinitionFile file;
        std::string name;
        bool valid = false;
        struct stat info {};
    };
    static Cached cache;

    if (bufferSize == 0) return 0;
    std::snprintf(buffer, bufferSize, "%s", defaultValue ? defaultValue : "");

    struct stat info {};
    if (::stat(fileName, &info) != 0) {
        cache.valid = false;
        return 0;
    }
    bool same = cache.valid && cache.name == fileName && cache.info.st_dev == info.st_dev &&
                cache.info.st_ino == info.st_ino && cache.info.st_size == info.st_size &&
                cache.info.st_mtim.tv_sec == info.st_mtim.tv_sec &&
                cache.info.st_mtim.tv_nsec == info.st_mtim.tv_nsec;
    if (!same) {
        cache.valid = cache.file.Parse(fileName);
        cache.name = fileName;
        cache.info = info;
        if (!cache.valid) return 0;
    }
    if (cache.file.Find(section, key) == nullptr) return 0;
    return cache.file.Read(section, key, buffer, bufferSize);
}

bool ParseFlag(const char* text, bool& value) {
    value = false;
    switch (text[0]) {
        case 'Y':
        case 'y':
            value = true;
            return true;
        case 'N':
        case 'n':
            return true;
        default:
            return false;
    }
}

int32_t ParseWholeNumber(const char* text) {
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        // Saturate instead of overflowing; a saturated value fails any range.
        if (value < INT64_C(1) << 40) value = value * 10 + (*p - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

double ParseRealNumber(const char* text) {
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Only decimal digits or a point may start the number (no inf, nan, hex).
    if (!((*p >= '0' && *p <= '9') || (*p == '.' && p[1] >= '0' && p[1] <= '9'))) return 0.0;
    double value = 0.0;
    const char* end = p + std::strlen(p);
    auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves value unchanged; follow strtod: huge or zero.
        const char* e = p;
        while (e < end && *e != 'e' && *e != 'E') ++e;
        value = (e < end && e[1] == '-') ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool ParseColourName(const char* text, Colour& colour) {
    static const struct {
        const char* name;
        Colour colour;
    } table[] = {
        {"BLACK", {0, 0, 0}},         {"BLUE", {0, 0, 255}},
        {"DARK BLUE", {0, 0, 128}},   {"GREEN", {0, 255, 0}},
        {"DARK GREEN", {0, 128, 0}},  {"CYAN", {0, 255, 255}},
        {"DARK CYAN", {0, 128, 128}}, {"RED", {255, 0, 0}},
        {"DARK RED", {128, 0, 0}},    {"MAGENTA", {255, 0, 255}},
        {"DARK MAGENTA", {128, 0, 128}}, {"YELLOW", {255, 255, 0}},
        {"DARK YELLOW", {128, 128, 0}},  {"DARK GREY", {128, 128, 128}},
        {"LIGHT GREY", {192, 192, 192}}, {"WHITE", {255, 255, 255}},
    };
    colour = Colour{};
    for (const auto& entry : table) {
        if (EqualsIgnoreCase(text, entry.name)) {
            colour = entry.colour;
            return true;
        }
    }
    return false;
}

std::string NumberedName(const char* stem, int number) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d", stem, number);
    return name;
}

}  // namespace tessaline
