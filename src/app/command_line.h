// What the command line asks for: a folder or file to open, or only the
// usage or the version, answered without a window.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    bool help = false;
    bool version = false;
    bool check = false;  // seam scores of the paths, no window
    bool json = false;   // with check: as a JSON array
    std::vector<std::string> paths;  // folders or files, in order
};

// `arguments` without the program's own name. After "--" everything is a
// path, so a folder named "--help" can still be opened.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The texts for --help and --version, kept with the Help texts (ui/).
std::string UsageText();
std::string VersionText();
