// The hole fill: rings first (ring_fill.h), then the far stage for what
// the rings do not reach (far_fill.h).
#include "glpng/hole_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "glpng/far_fill.h"
#include "glpng/fill_marks.h"
#include "glpng/ring_fill.h"

namespace glpng {
namespace {

// Every keyed texel to alpha 0, the colour kept.
void ClearKeyedAlpha(const fill::Texels& area, const std::uint32_t* rowKeyed) {
    const std::uint32_t alphaMask = fill::AlphaWord(255);
    for (unsigned y = 0; y < area.height; ++y) {
        if (rowKeyed[y] == 0) continue;
        std::uint8_t* p = area.Row(y);
        for (unsigned x = 0; x < area.width; ++x, p += 4) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            if ((v & alphaMask) != alphaMask) v &= ~alphaMask;
            std::memcpy(p, &v, 4);
        }
    }
}

}  // namespace

void FillHoles(std::uint8_t* rgba, unsigned width, unsigned height,
               const std::uint32_t* rowKeyed) {
    std::uint64_t keyed = 0;
    for (unsigned y = 0; y < height; ++y) keyed += rowKeyed[y];
    if (keyed == 0) return;
    if (keyed == std::uint64_t(width) * height) {
        for (std::size_t i = 0; i < keyed; ++i) std::fill_n(rgba + i * 4, 3, 0);
        return;
    }
    // The rings reach as many rows beyond the top and bottom as there are
    // rings, so those rows go above and below as copies, taken before any
    // is filled; the texture repeats.
    const unsigned margin = kExactFillRings, rows = height + 2 * margin;
    const std::size_t stride = std::size_t(width) * 4;
    std::unique_ptr<std::uint8_t[]> copies(new std::uint8_t[2 * margin * stride]);
    std::vector<std::uint8_t*> table(rows);
    std::vector<std::uint32_t> tableKeyed(rows);
    for (unsigned e = 0; e < rows; ++e) {
        const unsigned y = (e + height - margin % height) % height;
        table[e] = rgba + y * stride;
        if (e < margin || e >= margin + height) {
            std::uint8_t* copy = copies.get() + (e < margin ? e : e - height) * stride;
            std::memcpy(copy, table[e], stride);
            table[e] = copy;
        }
        tableKeyed[e] = rowKeyed[y];
    }
    std::vector<std::uint32_t> filledInRow(height, 0);
    const std::uint64_t filled =
        fill::FillRings(fill::FillRows{table.data(), tableKeyed.data(), width, rows},
                        kExactFillRings, true, margin, margin + height, filledInRow.data());
    const fill::Texels image = {rgba, width, height};
    if (filled == keyed)
        ClearKeyedAlpha(image, rowKeyed);
    else
        fill::FillFar(image, rowKeyed, filledInRow.data());
}

bool FillHolesInBand(std::uint8_t* rgba, unsigned width, unsigned rows,
                     const std::uint32_t* rowKeyed, unsigned centralBegin, unsigned centralEnd,
                     unsigned maxRing) {
    std::uint64_t centralKeyed = 0;
    for (unsigned y = centralBegin; y < centralEnd; ++y) centralKeyed += rowKeyed[y];
    if (centralKeyed == 0) return true;
    std::vector<std::uint8_t*> table(rows);
    for (unsigned y = 0; y < rows; ++y) table[y] = rgba + std::size_t(y) * width * 4;
    // Past kExactFillRings the whole-image fill is no longer ring by ring.
    return fill::FillRings(fill::FillRows{table.data(), rowKeyed, width, rows},
                           std::min(maxRing, kExactFillRings), false, centralBegin, centralEnd,
                           nullptr) == centralKeyed;
}

}  // namespace glpng
