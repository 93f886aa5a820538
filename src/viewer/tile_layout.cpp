#include "viewer/tile_layout.h"

#include <cmath>
#include <cstring>

namespace {

// Tile (i, j) counts from the real tile: i to the right, j downwards.
Tile TileAt(RepeatMode mode, int w, int h, int i, int j) {
    Tile t;
    t.left = double(i) * w;
    t.right = t.left + w;
    t.top = -double(j) * h;
    t.bottom = t.top - h;
    const bool flipS = mode == RepeatMode::Mirrored && (i % 2 != 0);
    const bool flipT = mode == RepeatMode::Mirrored && (j % 2 != 0);
    t.s0 = flipS ? 1.0f : 0.0f;
    t.s1 = flipS ? 0.0f : 1.0f;
    t.t0 = flipT ? 1.0f : 0.0f;
    t.t1 = flipT ? 0.0f : 1.0f;
    return t;
}

bool Covered(RepeatMode mode, int i, int j) {
    if (i < -2 || i > 1 || j < -2 || j > 1) return false;
    if (mode == RepeatMode::Across) return j == 0;
    if (mode == RepeatMode::Down) return i == 0;
    return true;
}

int Wrap(long long v, int n) { return static_cast<int>(((v % n) + n) % n); }

}  // namespace

std::vector<Tile> LayOutTiles(RepeatMode mode, int w, int h) {
    std::vector<Tile> tiles;
    for (int j = -2; j <= 1; ++j)
        for (int i = -2; i <= 1; ++i)
            if (Covered(mode, i, j)) tiles.push_back(TileAt(mode, w, h, i, j));
    return tiles;
}

bool TexelAt(RepeatMode mode, int w, int h, double x, double y, int* texelX, int* texelY) {
    if (w <= 0 || h <= 0) return false;
    const long long cx = static_cast<long long>(std::floor(x));
    const long long cy = static_cast<long long>(std::floor(-y));  // rows downwards from the centre
    const int i = static_cast<int>(std::floor(double(cx) / w));
    const int j = static_cast<int>(std::floor(double(cy) / h));
    if (!Covered(mode, i, j)) return false;
    int tx = Wrap(cx, w), ty = Wrap(cy, h);
    if (mode == RepeatMode::Mirrored) {
        if (i % 2 != 0) tx = w - 1 - tx;
        if (j % 2 != 0) ty = h - 1 - ty;
    }
    *texelX = tx;
    *texelY = ty;
    return true;
}

RepeatMode NextRepeatMode(RepeatMode mode) {
    switch (mode) {
        case RepeatMode::Grid: return RepeatMode::Across;
        case RepeatMode::Across: return RepeatMode::Down;
        case RepeatMode::Down: return RepeatMode::Mirrored;
        case RepeatMode::Mirrored: break;
    }
    return RepeatMode::Grid;
}

const char* RepeatModeName(RepeatMode mode) {
    switch (mode) {
        case RepeatMode::Grid: return "grid";
        case RepeatMode::Across: return "across";
        case RepeatMode::Down: return "down";
        case RepeatMode::Mirrored: return "mirrored";
    }
    return "grid";
}

bool RepeatModeFromName(const char* name, RepeatMode* mode) {
    for (RepeatMode m : {RepeatMode::Grid, RepeatMode::Across, RepeatMode::Down, RepeatMode::Mirrored})
        if (name && std::strcmp(name, RepeatModeName(m)) == 0) {
            *mode = m;
            return true;
        }
    return false;
}
