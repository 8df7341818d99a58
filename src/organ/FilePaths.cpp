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

// The entry of `directory` whose name equals `name` ignoring case, the first
// in name order when several do; empty when none does.
std::string MatchIgnoringCase(const fs::path& directory, const std::string& name) {
    std::vector<std::string> matches;
    std::error_code error;
    fs::directory_iterator entries(directory.empty() ? fs::path(".") : directory, error);
    if (error) return {};
    for (auto it = entries; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        std::string entry = it->path().filename().string();
        if (EqualsIgnoreCase(entry, name)) matches.push_back(std::move(entry));
    }
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

std::string ResolveOrganFilePath(std::string_view baseDirectory, std::string_view specifier) {
    std::string written(specifier);
    std::replace(written.begin(), written.end(), '\\', '/');
    bool absolute = !written.empty() && written.front() == '/';
    fs::path root = absolute ? fs::path("/") : fs::path(baseDirectory);
    fs::path asWritten = absolute || baseDirectory.empty() ? fs::path(written) : root / written;
    if (written.empty() || Exists(asWritten)) return asWritten.string();

    // Folder by folder: keep each part that exists as written, else take the
    // entry that matches it ignoring case.
    fs::path found = root;
    size_t start = 0;
    while (start <= written.size()) {
        size_t slash = written.find('/', start);
        if (slash == std::string::npos) slash = written.size();
        std::string part = written.substr(start, slash - start);
        start = slash + 1;
        if (part.empty()) continue;
        if (part == "." || part == ".." || Exists(found / part)) {
            found /= part;
            continue;
        }
        std::string match = MatchIgnoringCase(found, part);
        if (match.empty()) return asWritten.string();
        found /= match;
    }
    return found.string();
}

}  // namespace tessaline
