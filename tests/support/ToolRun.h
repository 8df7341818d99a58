#pragma once
// Runs the project's programs as a user would, through the shell, and reads
// back the files they write.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace tessaline::test {

struct ToolRun {
    int status = -1;     // the exit status; -1 when the program did not exit normally
    std::string output;  // stdout and stderr together
};

// Runs a whole shell command and returns its standard output alone, as bytes.
inline std::string CommandOutput(const std::string& command, int* waitStatus = nullptr) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t n; pipe != nullptr && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    int raw = pipe != nullptr ? ::pclose(pipe) : -1;
    if (waitStatus != nullptr) *waitStatus = raw;
    return output;
}

// A path single-quoted for the shell (the test paths hold no quotes).
inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

// Runs `program arguments`; the arguments are passed to the shell as written.
inline ToolRun RunTool(const std::string& program, const std::string& arguments) {
    ToolRun run;
    int raw = -1;
    run.output = CommandOutput(Quote(program) + " " + arguments + " 2>&1", &raw);
    run.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// The whole file, or nothing when it cannot be read.
inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tessaline::test
