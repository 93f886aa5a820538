// The colour key the loader applies to each row as it arrives.
#pragma once

#include <cstdint>

namespace glpng {

// Colour key on one row: alpha becomes 0 where R, G, B equal the key and
// 255 elsewhere. Returns how many texels it keyed.
std::uint32_t KeyRow(std::uint8_t* row, unsigned width, std::uint8_t red, std::uint8_t green,
                     std::uint8_t blue);

}  // namespace glpng
