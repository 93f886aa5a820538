#include "glpng/colour_key.h"

#include <cstddef>
#include <cstring>

namespace glpng {

// Run by the reader on each row while it is still in cache.
std::uint32_t KeyRow(std::uint8_t* row, unsigned width, std::uint8_t red, std::uint8_t green,
                     std::uint8_t blue) {
    // Whole texels as words: same bytes in, same bytes out on any endianness.
    const std::uint8_t keyBytes[4] = {red, green, blue, 0};
    const std::uint8_t maskBytes[4] = {255, 255, 255, 0};
    std::uint32_t key, mask;
    std::memcpy(&key, keyBytes, 4);
    std::memcpy(&mask, maskBytes, 4);
    std::uint32_t keyed = 0;
    for (unsigned x = 0; x < width; ++x) {
        std::uint32_t v;
        std::memcpy(&v, row + std::size_t(x) * 4, 4);
        const bool hit = (v & mask) == key;
        v = hit ? (v & mask) : (v | ~mask);
        std::memcpy(row + std::size_t(x) * 4, &v, 4);
        keyed += hit;
    }
    return keyed;
}

}  // namespace glpng
