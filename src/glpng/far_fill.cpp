#include "glpng/far_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "glpng/fill_marks.h"

namespace glpng::fill {
namespace {

// The far fill works on blocks of texels, and a pyramid of them.
constexpr unsigned kFarBlock = 16;

struct Cell {
    float colour[3];
    float weight;  // coloured texels under the cell; 0 until the pull finds one
};

struct CellLevel {
    unsigned width, height;
    std::vector<Cell> cells;
    Cell& At(unsigned x, unsigned y) { return cells[std::size_t(y) * width + x]; }
    const Cell& At(unsigned x, unsigned y) const { return cells[std::size_t(y) * width + x]; }
};

// The two cells of the level above that a cell's centre falls between,
// wrapping round, and the weight of the first.
struct CoarseTaps {
    unsigned first, second;
    float weight;
};

CoarseTaps TapsAbove(unsigned i, unsigned coarse) {
    const unsigned half = i / 2;
    if (i % 2 == 0) return {half == 0 ? coarse - 1 : half - 1, half, 0.25f};
    return {half, half + 1 == coarse ? 0 : half + 1, 0.75f};
}

std::uint8_t ToByte(float v) { return std::uint8_t(std::min(255.0f, std::max(0.0f, v + 0.5f))); }

// Rows the rings left wholly keyed and unfilled: far texels only.
bool AllFar(unsigned y, unsigned width, const std::uint32_t* rowKeyed,
            const std::uint32_t* filledInRow) {
    return rowKeyed[y] == width && filledInRow[y] == 0;
}

// Block means of the coloured texels (filled or opaque); rows with none
// are skipped.
CellLevel BlockMeans(const Texels& area, const std::uint32_t* rowKeyed,
                     const std::uint32_t* filledInRow) {
    const unsigned width = area.width, height = area.height;
    CellLevel blocks = {(width + kFarBlock - 1) / kFarBlock, (height + kFarBlock - 1) / kFarBlock,
                        {}};
    blocks.cells.resize(std::size_t(blocks.width) * blocks.height);
    std::vector<std::uint32_t> sums(std::size_t(blocks.width) * 4);
    for (unsigned by = 0; by < blocks.height; ++by) {
        std::fill(sums.begin(), sums.end(), 0);
        for (unsigned y = by * kFarBlock; y < std::min(height, (by + 1) * kFarBlock); ++y) {
            if (AllFar(y, width, rowKeyed, filledInRow)) continue;
            const std::uint8_t* p = area.Row(y);
            for (unsigned x = 0; x < width; ++x, p += 4) {
                if (p[3] < kFilledEven) continue;
                std::uint32_t* s = &sums[std::size_t(x / kFarBlock) * 4];
                s[0] += p[0];
                s[1] += p[1];
                s[2] += p[2];
                ++s[3];
            }
        }
        for (unsigned bx = 0; bx < blocks.width; ++bx) {
            const std::uint32_t* s = &sums[std::size_t(bx) * 4];
            Cell& cell = blocks.At(bx, by);
            const float n = float(s[3]);
            cell.weight = n;
            for (int c = 0; c < 3; ++c) cell.colour[c] = s[3] ? float(s[c]) / n : 0.0f;
        }
    }
    return blocks;
}

// Pull: each level up holds the weighted means of 2 x 2 cells, up to a
// single cell.
void Pull(std::vector<CellLevel>& levels) {
    while (levels.back().width > 1 || levels.back().height > 1) {
        const CellLevel& fine = levels.back();
        CellLevel coarse = {(fine.width + 1) / 2, (fine.height + 1) / 2, {}};
        coarse.cells.resize(std::size_t(coarse.width) * coarse.height);
        for (unsigned y = 0; y < coarse.height; ++y)
            for (unsigned x = 0; x < coarse.width; ++x) {
                float sum[3] = {0, 0, 0}, weight = 0;
                for (unsigned fy = 2 * y; fy < std::min(fine.height, 2 * y + 2); ++fy)
                    for (unsigned fx = 2 * x; fx < std::min(fine.width, 2 * x + 2); ++fx) {
                        const Cell& f = fine.At(fx, fy);
                        for (int c = 0; c < 3; ++c) sum[c] += f.colour[c] * f.weight;
                        weight += f.weight;
                    }
                Cell& cell = coarse.At(x, y);
                cell.weight = weight;
                for (int c = 0; c < 3; ++c) cell.colour[c] = weight > 0 ? sum[c] / weight : 0.0f;
            }
        levels.push_back(std::move(coarse));
    }
}

// Push: cells with nothing coloured under them blend the four cells of
// the level above around their centre, wrapping round the edges. The top
// cell always has colour: some texel is opaque.
void Push(std::vector<CellLevel>& levels) {
    for (std::size_t l = levels.size() - 1; l-- > 0;) {
        CellLevel& fine = levels[l];
        const CellLevel& coarse = levels[l + 1];
        for (unsigned y = 0; y < fine.height; ++y) {
            const CoarseTaps ty = TapsAbove(y, coarse.height);
            for (unsigned x = 0; x < fine.width; ++x) {
                Cell& cell = fine.At(x, y);
                if (cell.weight > 0) continue;
                const CoarseTaps tx = TapsAbove(x, coarse.width);
                const Cell& a = coarse.At(tx.first, ty.first);
                const Cell& b = coarse.At(tx.second, ty.first);
                const Cell& c = coarse.At(tx.first, ty.second);
                const Cell& d = coarse.At(tx.second, ty.second);
                for (int k = 0; k < 3; ++k) {
                    const float upper = a.colour[k] * tx.weight + b.colour[k] * (1 - tx.weight);
                    const float lower = c.colour[k] * tx.weight + d.colour[k] * (1 - tx.weight);
                    cell.colour[k] = upper * ty.weight + lower * (1 - ty.weight);
                }
            }
        }
    }
}

// Far texels take their block's colour; every keyed texel alpha 0.
void PaintFar(const Texels& area, const std::uint32_t* rowKeyed,
              const std::uint32_t* filledInRow, const CellLevel& blocks) {
    const unsigned width = area.width;
    const std::uint32_t alphaMask = AlphaWord(255), filled = AlphaWord(kFilledEven);
    std::vector<std::uint32_t> blockWords(blocks.width);
    for (unsigned y = 0; y < area.height; ++y) {
        if (rowKeyed[y] == 0) continue;
        const unsigned by = y / kFarBlock;
        for (unsigned bx = 0; bx < blocks.width; ++bx) {
            const Cell& cell = blocks.At(bx, by);
            const std::uint8_t bytes[4] = {ToByte(cell.colour[0]), ToByte(cell.colour[1]),
                                           ToByte(cell.colour[2]), 0};
            std::memcpy(&blockWords[bx], bytes, 4);
        }
        std::uint8_t* p = area.Row(y);
        if (AllFar(y, width, rowKeyed, filledInRow)) {
            // Nothing to look at: a block's texels stored at once.
            std::uint32_t block[kFarBlock];
            for (unsigned x = 0; x < width; x += kFarBlock, p += 4 * kFarBlock) {
                const unsigned n = std::min(kFarBlock, width - x);
                std::fill_n(block, kFarBlock, blockWords[x / kFarBlock]);
                std::memcpy(p, block, 4 * n);
            }
            continue;
        }
        for (unsigned x = 0; x < width; ++x, p += 4) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            const std::uint32_t alpha = v & alphaMask;
            if (alpha == alphaMask) continue;
            v = alpha < filled ? blockWords[x / kFarBlock] : v & ~alphaMask;
            std::memcpy(p, &v, 4);
        }
    }
}

}  // namespace

void FillFar(const Texels& area, const std::uint32_t* rowKeyed, const std::uint32_t* filledInRow) {
    std::vector<CellLevel> levels;
    levels.push_back(BlockMeans(area, rowKeyed, filledInRow));
    Pull(levels);
    Push(levels);
    PaintFar(area, rowKeyed, filledInRow, levels[0]);
}

}  // namespace glpng::fill
