// Where the magnify keys anchor the view. The texel under the pointer
// stays under it when the pointer is over the texture; otherwise the
// window's centre keeps what it shows, moved onto the texture when that
// is none of it, so a magnified view always shows texture.
#pragma once

#include <cstdint>

#include "viewer/texel_pick.h"
#include "viewer/tile_layout.h"

struct MagnifyAnchor {
    int pixelX, pixelY;  // client pixel, from the top-left
    double x, y;         // the plane point it keeps, world units
};

// `pointer` is the client pixel under the pointer, or null when the
// pointer is not over the window; w x h is the texture's size.
MagnifyAnchor ChooseMagnifyAnchor(const CameraView& view, RepeatMode mode, int w, int h,
                                  const int* pointer);

// The whole pan offsets that put the anchor's point under its pixel in
// a flat view at the home distance with k pixels per texel.
void MagnifiedOffsets(const MagnifyAnchor& anchor, int width, int height, double k,
                      std::int16_t* offsetX, std::int16_t* offsetY);
