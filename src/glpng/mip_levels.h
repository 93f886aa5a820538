// Mip levels by box filter, whole or a few rows at a time.
#pragma once

#include <cstdint>

namespace glpng {

// Next mip level: max(1, side / 2) per side. Each destination texel is
// the average of the source block it covers (2 x 2, or 3 wide/high at
// odd sizes), so every source texel counts exactly once. `dest` may be
// `source` (the level is built in place over the one before).
void HalveBoxInto(const std::uint8_t* source, unsigned width, unsigned height,
                  std::uint8_t* dest);

// Rows [destBegin, destEnd) of the next level of a width x height image.
// `source` holds the source rows they cover, starting at the first of
// them; `dest` receives the rows packed. Same results as HalveBoxInto.
void HalveBoxRows(const std::uint8_t* source, unsigned width, unsigned height,
                  unsigned destBegin, unsigned destEnd, std::uint8_t* dest);

// First source row of destination row `destRow` of the next level.
unsigned HalveSourceRow(unsigned height, unsigned destRow);

}  // namespace glpng
