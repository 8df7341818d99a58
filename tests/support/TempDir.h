#pragma once
// A directory of its own for one test, removed with everything in it at the end.

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaline::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Writes a file (creating folders) and returns its full path.
    std::string Write(const std::string& relative, std::string_view bytes) const;
    std::string File(const std::string& relative) const { return (path / relative).string(); }

private:
    std::filesystem::path path;
};

}  // namespace tessaline::test
