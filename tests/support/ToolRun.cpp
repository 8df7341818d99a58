#include "support/ToolRun.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace tessaline::test {
namespace {

// The output of the command and its raw wait status.
int Capture(const std::string& command, std::string& output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    return ::pclose(pipe);
}

}  // namespace

ToolRun RunTool(const std::string& program, const std::string& arguments) {
    ToolRun run;
    int raw = Capture(Quote(program) + " " + arguments + " 2>&1", run.output);
    run.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    Capture(command, output);
    return output;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tessaline::test
