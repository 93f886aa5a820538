// The settings file: eight text lines (editor, texture folder, Show HUD,
// Auto Refresh, the window's outer left, top, right, bottom).
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/platform.h"

// A line holds at most this many characters; a longer one ends the reading.
constexpr std::size_t kMaxSettingsLine = 511;

// Whether a path can be kept in its line: a line break would shift the
// lines after it (and a NUL would cut it).
bool StorableInSettings(const std::string& value);

struct Settings {
    std::optional<std::string> editorPath;  // none: "NULL"
    std::optional<std::string> textureDir;  // none: "NULL"
    bool showHud = true;
    bool autoRefresh = true;
    platform::Rect windowRect{100, 100, 612, 612};
};

// Reads values in order into `settings` and stops at the first one it
// cannot read: the fields after it keep what they held. An empty or
// "NULL" path leaves its field as it was. The text may be UTF-8 with a
// byte order mark or UTF-16 with one, as an editor may save it.
void ParseSettings(std::FILE* file, Settings* settings);
// False when the file cannot be opened (nothing changes then); `status`
// tells a missing file from one that is there but cannot be read.
bool ReadSettingsFile(const std::string& path, Settings* settings,
                      files::OpenStatus* status = nullptr);

// A path that cannot be stored is written as "NULL".
std::string FormatSettings(const Settings& settings);
// Replaces the file atomically, in UTF-8 without a mark whatever it was
// read in; false (and the old file kept) on failure.
bool WriteSettingsFile(const std::string& path, const Settings& settings);
