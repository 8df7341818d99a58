#include "organ/FilePaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "organ/DefinitionReader.h"

namespace tessaline {

namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The entries of `directory` whose names equal `name` ignoring case: the
// exact spelling first, then the others in name order.
std::vector<std::string> MatchesIgnoringCase(const fs::path& directory, const std::string& name) {
    std::vector<std::string> matches;
    std::error_code error;
    fs::directory_iterator entries(directory.empty() ? fs::path(".") : directory, error);
    if (error) return matches;
    for (auto it = entries; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        std::string entry = it->path().filename().string();
        if (EqualsIgnoreCase(entry, name)) matches.push_back(std::move(entry));
    }
    std::sort(matches.begin(), matches.end(), [&name](const std::string& a, const std::string& b) {
        return (a == name) != (b == name) ? a == name : a < b;
    });
    return matches;
}

// Finds parts[index..] below `at`, trying every folder that matches a part,
// so that two folders differing only in case do not hide each other. The
// depth is bounded by the number of parts.
bool Walk(const fs::path& at, const std::vector<std::string>& parts, size_t index,
          fs::path& found) {
    if (index == parts.size()) {
        found = at;
        return true;
    }
    if (parts[index] == "..") return Walk(at / "..", parts, index + 1, found);
    for (const std::string& candidate : MatchesIgnoringCase(at, parts[index]))
        if (Walk(at / candidate, parts, index + 1, found)) return true;
    return false;
}

}  // namespace

std::string ResolveOrganFilePath(std::string_view baseDirectory, std::string_view specifier) {
    std::string written(specifier);
    std::replace(written.begin(), written.end(), '\\', '/');
    bool absolute = !written.empty() && written.front() == '/';
    fs::path root = absolute ? fs::path("/") : fs::path(baseDirectory);
    fs::path asWritten = absolute || baseDirectory.empty() ? fs::path(written) : root / written;
    if (written.empty() || Exists(asWritten)) return asWritten.string();

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= written.size()) {
        size_t slash = written.find('/', start);
        if (slash == std::string::npos) slash = written.size();
        std::string part = written.substr(start, slash - start);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = slash + 1;
    }
    fs::path found;
    return Walk(root, parts, 0, found) ? found.string() : asWritten.string();
}

}  // namespace tessaline
