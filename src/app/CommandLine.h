#pragma once
// The command line: tessaline [--help] [--version] [organ-file].

#include <string>
#include <vector>

namespace tessaline {

struct CommandLine {
    enum class Action { Run, Help, Version, Wrong };
    Action action = Action::Run;
    std::string organPath;  // as given; empty when none
    std::string problem;    // for Wrong: what was wrong
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

inline constexpr const char* kUsage =
    "Usage: tessaline [--help] [--version] [organ-file]\n"
    "  organ-file  an organ definition file to load and activate at start-up\n"
    "              (\".organ\" is added when the name does not end in it)\n"
    "  --help      show this text\n"
    "  --version   show the program version\n";

}  // namespace tessaline
