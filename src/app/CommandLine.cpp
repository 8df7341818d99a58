#include "app/CommandLine.h"

namespace tessaline {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--help") {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (!optionsEnded && argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            line.action = CommandLine::Action::Wrong;
            line.problem = "unknown option " + argument;
            return line;
        } else if (line.organPath.empty()) {
            line.organPath = argument;
        } else {
            line.action = CommandLine::Action::Wrong;
            line.problem = "more than one organ file given";
            return line;
        }
    }
    return line;
}

}  // namespace tessaline
