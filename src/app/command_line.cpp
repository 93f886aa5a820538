#include "app/command_line.h"

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            line.help = true;
        } else if (options && argument == "--version") {
            line.version = true;
        } else if (options && argument == "--check") {
            line.check = true;
        } else if (options && argument == "--json") {
            line.json = true;
        } else {
            line.paths.push_back(argument);
        }
    }
    return line;
}
