// Keyed texels coloured from their opaque neighbours, so that filtering
// and mip levels never pick up the key colour.
#pragma once

#include <cstdint>

namespace glpng {

// Keyed texels as many rings as this from the nearest opaque texel, or
// fewer, are filled ring by ring (FillHoles); farther ones are coloured
// from a coarser view of the image.
constexpr unsigned kExactFillRings = 64;

// After keying, keyed texels take the average colour of their nearest
// opaque texels (8-neighbours, wrapping round the edges as the texture
// repeats), spreading inwards ring by ring, so filtering and mip levels
// never pick up the key colour. Past kExactFillRings rings the spread
// goes on coarse to fine over blocks of texels instead, still wrapping,
// so that the fill costs about one pass over the image however few the
// opaque texels. A fully keyed image turns black. Keyed texels end with
// alpha 0. `rowKeyed` holds each row's count of keyed texels.
void FillHoles(std::uint8_t* rgba, unsigned width, unsigned height,
               const std::uint32_t* rowKeyed);

// The same fill on a band of rows cut from a taller image: rows do not
// wrap, and rings stop after `maxRing` (at most kExactFillRings). Texels
// of rows [centralBegin, centralEnd) get exactly FillHoles's colours when
// the band reaches `maxRing` rows beyond them both ways; returns false
// when one of them is farther than that from every opaque texel, as it
// cannot tell. Keyed texels of every row end with alpha 0, as after
// FillHoles.
bool FillHolesInBand(std::uint8_t* rgba, unsigned width, unsigned rows,
                     const std::uint32_t* rowKeyed, unsigned centralBegin, unsigned centralEnd,
                     unsigned maxRing);

}  // namespace glpng
