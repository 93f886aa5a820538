// Where the program finds its HUD images and keeps its settings, and what
// a command-line argument (or a dropped name) asks it to open.
#pragma once

#include <string>

struct InstallPaths {
    std::string systemDir;    // the HUD images
    std::string settingsDir;  // zintra.cfg and zintra.ini
    bool portable = true;     // settings beside the executable
};

// A portable copy (the build tree, an unpacked zip) has `system/` beside
// the executable and keeps its settings there. An installed copy finds
// the images in ../share/zintra/system and keeps its settings in the
// user's folder: $XDG_CONFIG_HOME/zintra (else ~/.config/zintra), or
// %APPDATA%\Zintra on Windows. Null or empty variables count as unset,
// and so does a relative $XDG_CONFIG_HOME.
InstallPaths ChooseInstallPaths(const std::string& exeDir, bool systemBeside,
                                const char* xdgConfigHome, const char* home, const char* appData);

struct OpenTarget {
    // NotImage: a file of a kind the folder would not list.
    enum Kind { Folder, File, Missing, NotImage } kind = Missing;
    std::string folder;  // absolute: the folder to show
    std::string file;    // absolute: the file to show first, or empty
};

// What `argument` names, taken as a path (never as an option, so a name
// may start with "-"); relative to the current folder. A file is taken
// when its folder's listing would hold it: any image the loader reads, or
// with `allImageTypes` off, PNG files only.
OpenTarget ResolveOpenTarget(const std::string& argument, bool allImageTypes = true);

bool IsFolder(const std::string& path);
// Makes the folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);
