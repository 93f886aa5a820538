// zintra --check [--json] PATH...: the seam score of every image named,
// and of every image a named folder lists, with no window and no display.
#pragma once

#include <string>
#include <vector>

// What the check tells its caller: every image tiles on both axes, some
// image has a seam, or some input could not be read (which wins).
enum CheckStatus { kCheckTiles = 0, kCheckSeam = 1, kCheckUnreadable = 2 };

// Writes one line per image (or a JSON array with `json`) to standard
// output, and what could not be read to standard error.
int RunSeamCheck(const std::vector<std::string>& paths, bool json);
