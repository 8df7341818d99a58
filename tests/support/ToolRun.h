#pragma once
// Runs the project's programs as a user would, through the shell, and reads
// back the files they write.

#include <string>

namespace tessaline::test {

struct ToolRun {
    int status = -1;     // the exit status; -1 when the program did not exit normally
    std::string output;  // stdout and stderr together
};

// Runs `program arguments`; the arguments are passed to the shell as written.
ToolRun RunTool(const std::string& program, const std::string& arguments);
// Runs a whole shell command and returns its standard output alone, as bytes.
std::string CommandOutput(const std::string& command);
// A path single-quoted for the shell (the test paths hold no quotes).
std::string Quote(const std::string& path);
// The whole file, or nothing when it cannot be read.
std::string FileBytes(const std::string& path);

}  // namespace tessaline::test
