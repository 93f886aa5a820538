#include "glpng/mip_levels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace glpng {

unsigned HalveSourceRow(unsigned height, unsigned destRow) {
    const unsigned dh = std::max(1u, height / 2);
    return unsigned(std::uint64_t(destRow) * height / dh);
}

void HalveBoxRows(const std::uint8_t* source, unsigned width, unsigned height,
                  unsigned destBegin, unsigned destEnd, std::uint8_t* dest) {
    const unsigned dw = std::max(1u, width / 2);
    const unsigned first = HalveSourceRow(height, destBegin);
    if (width % 2 == 0 && height % 2 == 0) {
        // The common case: plain 2 x 2 blocks.
        for (unsigned y = destBegin; y < destEnd; ++y) {
            const std::uint8_t* r0 = source + std::size_t(2 * y - first) * width * 4;
            const std::uint8_t* r1 = r0 + std::size_t(width) * 4;
            std::uint8_t* out = dest + std::size_t(y - destBegin) * dw * 4;
            for (unsigned x = 0; x < dw; ++x, r0 += 8, r1 += 8, out += 4)
                for (int c = 0; c < 4; ++c)
                    out[c] = std::uint8_t((r0[c] + r0[c + 4] + r1[c] + r1[c + 4] + 2) >> 2);
        }
        return;
    }
    // Destination texel d covers source [d * s / ds, (d + 1) * s / ds).
    std::vector<unsigned> xStart(dw + 1);
    for (unsigned x = 0; x <= dw; ++x) xStart[x] = unsigned(std::uint64_t(x) * width / dw);
    for (unsigned y = destBegin; y < destEnd; ++y) {
        const unsigned y0 = HalveSourceRow(height, y), y1 = HalveSourceRow(height, y + 1);
        for (unsigned x = 0; x < dw; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            for (unsigned sy = y0; sy < y1; ++sy) {
                const std::uint8_t* p = source + (std::size_t(sy - first) * width + xStart[x]) * 4;
                for (unsigned sx = xStart[x]; sx < xStart[x + 1]; ++sx, p += 4)
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
            const unsigned n = (xStart[x + 1] - xStart[x]) * (y1 - y0);
            std::uint8_t* out = dest + (std::size_t(y - destBegin) * dw + x) * 4;
            for (int c = 0; c < 4; ++c) out[c] = std::uint8_t((sum[c] + n / 2) / n);
        }
    }
}

// In place too: every texel is written after all reads at or before its
// place.
void HalveBoxInto(const std::uint8_t* source, unsigned width, unsigned height,
                  std::uint8_t* dest) {
    HalveBoxRows(source, width, height, 0, std::max(1u, height / 2), dest);
}

}  // namespace glpng
