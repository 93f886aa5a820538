// The tiles drawn in each repeat mode, in world units (one unit one
// texel, y upwards). The real tile is the one whose top-left corner lies
// at the centre of the view; every other tile is a copy placed around it.
#pragma once

#include <vector>

enum class RepeatMode { Grid, Across, Down, Mirrored };

struct Tile {
    double left, bottom, right, top;  // world units
    float s0, t0, s1, t1;             // texture coordinates at (left, top) and (right, bottom)
};

// The grid is 4 x 4 tiles of w x h around the centre; Across keeps the
// real tile's row, Down its column; Mirrored flips every other tile.
std::vector<Tile> LayOutTiles(RepeatMode mode, int w, int h);

// Which texel of the image a point of the plane shows, or false when no
// tile covers it. x and y are world units, y upwards.
bool TexelAt(RepeatMode mode, int w, int h, double x, double y, int* texelX, int* texelY);

// The next mode in the M cycle, and names for menus and the settings.
RepeatMode NextRepeatMode(RepeatMode mode);
const char* RepeatModeName(RepeatMode mode);
bool RepeatModeFromName(const char* name, RepeatMode* mode);
