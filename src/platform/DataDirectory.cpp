#include "platform/DataDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessaline {

std::string DefaultDataDirectory() {
    const char* fromEnvironment = std::getenv("TESSALINE_DATA_DIR");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;

    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::path folder = executable.parent_path();
        for (int up = 0; up < 3; ++up) {
            std::filesystem::path candidate = folder / "resources";
            if (std::filesystem::is_directory(candidate, error)) return candidate.string();
            folder = folder.parent_path();
        }
    }
    return "resources";
}

}  // namespace tessaline
