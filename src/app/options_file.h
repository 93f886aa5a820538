// Options beyond the eight-line settings file, kept beside it in
// zintra.ini as key=value lines, so that file never changes shape.
#pragma once

#include <string>

struct ViewOptions {
    bool readout = false;
    bool tileMarks = false;
    std::string repeat = "grid";
};

// Unknown keys and bad values are skipped; false when there is no file.
bool ReadOptionsFile(const std::string& path, ViewOptions* options);
std::string FormatOptions(const ViewOptions& options);
bool WriteOptionsFile(const std::string& path, const ViewOptions& options);
