// The window's title: the program's name, then what is on show.
#pragma once

#include <string>

struct ShownFile {
    const char* folder = nullptr;  // none: no folder chosen
    const char* path = nullptr;    // none: the folder holds no PNG file
    bool folderUnreadable = false; // with no path: the folder could not be listed
    bool allImageTypes = false;    // with no path: other formats were looked for too
    bool readable = false;
    unsigned width = 0, height = 0;
    int index = 0, count = 0;      // index from 0
    bool reloaded = false;         // a moment ago
    bool previous = false;         // the version before the last reload shows
    const char* readout = nullptr; // the texel under the pointer
    const char* seams = nullptr;   // the seam scores and verdicts, last
};

std::string WindowTitle(const ShownFile& shown);
