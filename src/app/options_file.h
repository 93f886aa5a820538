// Options beyond the eight-line settings file, kept beside it in
// zintra.ini as key=value lines, so that file never changes shape.
#pragma once

#include <string>

#include "platform/files.h"

struct ViewOptions {
    bool readout = false;
    bool tileMarks = false;
    bool seamView = false;
    std::string repeat = "grid";
    bool allImageTypes = true;
};

// Unknown keys and bad values are skipped; false when there is no file
// (`status` says whether one is there but cannot be read). Read in the
// encodings the settings file is.
bool ReadOptionsFile(const std::string& path, ViewOptions* options,
                     files::OpenStatus* status = nullptr);
std::string FormatOptions(const ViewOptions& options);
bool WriteOptionsFile(const std::string& path, const ViewOptions& options);
