// The hole fill's exact stage: keyed texels filled ring by ring from the
// opaque ones (hole_fill.h gives the rules it serves).
#pragma once

#include <cstdint>

namespace glpng::fill {

// Rows to fill, as a table: a band's rows, or an image's with copies of
// the rows beyond its top and bottom, as the texture repeats. Columns
// wrap round; rows end at the table's ends.
struct FillRows {
    std::uint8_t* const* row;
    const std::uint32_t* keyed;  // each row's count of keyed texels
    unsigned width, height;

    unsigned Left(unsigned x) const { return x == 0 ? width - 1 : x - 1; }
    unsigned Right(unsigned x) const { return x + 1 == width ? 0 : x + 1; }
};

// Fills rings 1 to `maxRing` in one pass down the rows. Returns how many
// keyed texels of rows [centralBegin, centralEnd) it filled, adding each
// row's count to filledInRow[row - centralBegin] when given. With
// `keepMarks`, filled texels keep their marks (the far fill needs them);
// else every keyed texel ends at alpha 0.
std::uint64_t FillRings(const FillRows& area, unsigned maxRing, bool keepMarks,
                        unsigned centralBegin, unsigned centralEnd, std::uint32_t* filledInRow);

}  // namespace glpng::fill
