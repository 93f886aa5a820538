// Work on decoded images before upload: colour key with hole fill, mip
// levels and resizing to what the GL context accepts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "glpng/png_decode.h"

namespace glpng {
namespace {

// Alpha values that double as the hole fill's state while it runs.
constexpr std::uint8_t kHole = 0;    // keyed, not reached yet
constexpr std::uint8_t kQueued = 1;  // keyed, in the next ring
// Keyed and coloured. Rings alternate between the two, so a ring tells
// the ring before it from its own texels without a pass in between.
constexpr std::uint8_t kFilledEven = 2;
constexpr std::uint8_t kFilledOdd = 3;
constexpr std::uint8_t kOpaque = 255;

constexpr unsigned kNone = ~0u;

std::uint8_t FilledMark(unsigned ring) { return ring % 2 ? kFilledOdd : kFilledEven; }

// Alpha as a whole-texel mask, and a mark in alpha's place, the same on
// any endianness. A masked texel compares as its alpha does.
std::uint32_t AlphaWord(std::uint8_t alpha) {
    const std::uint8_t bytes[4] = {0, 0, 0, alpha};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Bytes {r, g, b, a} as the word that memcpy makes of them.
std::uint32_t ChannelsWord(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    const std::uint8_t bytes[4] = {r, g, b, a};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Where byte `c` of a texel sits in the word memcpy makes of it.
unsigned ByteShift(int c) {
    const std::uint32_t probe = ChannelsWord(c == 0, c == 1, c == 2, c == 3);
    unsigned shift = 0;
    while ((probe >> shift) != 1) shift += 8;
    return shift;
}

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

// (n * kReciprocal[c]) >> 16 is n / c for every n up to 8 * 255 + 4.
constexpr std::uint32_t kReciprocal[9] = {0, 65536 / 1 + 1, 65536 / 2 + 1,
                                          65536 / 3 + 1, 65536 / 4 + 1, 65536 / 5 + 1,
                                          65536 / 6 + 1, 65536 / 7 + 1, 65536 / 8 + 1};

// The columns of one ring's texels in one row.
struct RingRow {
    unsigned row = kNone;
    std::size_t count = 0;
    std::vector<std::uint32_t> xs;  // the first `count` used

    // Room after the columns kept for `most` more, written whether or not
    // they are kept so that the loops that find them need not branch.
    std::uint32_t* Room(std::size_t most) {
        if (xs.size() < count + most) xs.resize(count + most);
        return xs.data() + count;
    }
};

// The hole fill's rings: ring 1 is the keyed texels that touch an opaque
// one, ring n + 1 the keyed texels not yet reached that touch ring n, and
// each texel of ring n takes the average colour of its neighbours in ring
// n - 1 (or opaque ones). Ring n's texels are those n texels from the
// nearest opaque one, so a ring's neighbours lie in the rings either side
// of it and its colours depend on nothing more than n rows away.
//
// One pass down the rows does every ring, ring n of row y at step y + 2n:
// by then rings up to n - 1 are done in rows y - 1 to y + 1, so ring n's
// texels there are all known, and every hole ring n queues as ring n + 1
// is one no earlier ring can reach. The rows in use stay in cache however
// many rings there are, where a pass per ring would fetch the image again
// for each.
class RingFill {
public:
    RingFill(const FillRows& area, unsigned maxRing, bool keepMarks)
        : area_(area),
          maxRing_(maxRing),
          keepMarks_(keepMarks),
          lists_(std::size_t(maxRing) * kSlots),
          near_(area.width),
          blank_(std::size_t(area.width) * 4, kQueued) {}

    // Fills rings up to maxRing. Returns how many keyed texels of rows
    // [centralBegin, centralEnd) it filled, adding each row's count to
    // filledInRow[row - centralBegin] when given. With keepMarks, filled
    // texels keep their marks (the far fill needs them); else every keyed
    // texel ends at alpha 0.
    std::uint64_t Run(unsigned centralBegin, unsigned centralEnd, std::uint32_t* filledInRow) {
        if (maxRing_ == 0) return 0;
        std::uint64_t filled = 0;
        for (unsigned step = 0; step < area_.height + 2 * maxRing_; ++step) {
            if (step < area_.height) FirstRing(step);
            for (unsigned ring = 1; ring <= maxRing_ && 2 * ring <= step; ++ring) {
                const unsigned y = step - 2 * ring;
                if (y >= area_.height) continue;
                const RingRow& list = List(ring, y);
                if (list.row != y || list.count == 0) continue;
                if (ring < maxRing_)
                    FillRow<true>(ring, list);
                else
                    FillRow<false>(ring, list);
                if (y >= centralBegin && y < centralEnd) {
                    filled += list.count;
                    if (filledInRow) filledInRow[y - centralBegin] += std::uint32_t(list.count);
                }
            }
        }
        if (!keepMarks_)
            for (RingRow& list : lists_) Reset(list);
        return filled;
    }

private:
    // A row's list of ring n is written from step y + 2n - 3 and read up to
    // step y + 2n + 3, when ring n + 1 is done beside it; a slot is free
    // again two steps later.
    static constexpr unsigned kSlots = 8;

    RingRow& List(unsigned ring, unsigned y) {
        return lists_[std::size_t(ring - 1) * kSlots + y % kSlots];
    }

    // Ring `ring`'s list for row y, emptied of an older row's first.
    RingRow& Open(unsigned ring, unsigned y) {
        RingRow& list = List(ring, y);
        if (list.row != y) {
            Reset(list);
            list.row = y;
        }
        return list;
    }

    // Ring 1 in row y. Rows with no opaque texel in or next to them are
    // passed over on their counts alone.
    void FirstRing(unsigned y) {
        const unsigned width = area_.width, last = area_.height - 1;
        const std::uint32_t* keyed = area_.keyed;
        if (keyed[y] == 0) return;
        if (keyed[y] == width && (y == 0 || keyed[y - 1] == width) &&
            (y == last || keyed[y + 1] == width))
            return;
        const std::uint8_t* up = y > 0 ? area_.row[y - 1] : blank_.data();
        std::uint8_t* mid = area_.row[y];
        const std::uint8_t* down = y < last ? area_.row[y + 1] : blank_.data();
        RingRow& list = Open(1, y);
        std::uint32_t* out = list.Room(width);
        std::size_t added = 0;
        if (keyed[y] < width / 8) {
            // Few holes: look round each.
            for (unsigned x = 0; x < width; ++x) {
                std::uint8_t& alpha = mid[std::size_t(x) * 4 + 3];
                if (alpha != kHole) continue;
                bool touches = false;
                for (unsigned t : {area_.Left(x), x, area_.Right(x)}) {
                    const std::size_t a = std::size_t(t) * 4 + 3;
                    touches = touches || up[a] == kOpaque || mid[a] == kOpaque ||
                              down[a] == kOpaque;
                }
                if (!touches) continue;
                alpha = kQueued;
                out[added++] = x;
            }
        } else {
            // Columns with an opaque texel in any of the three rows, then
            // the holes beside one, without branches.
            for (unsigned x = 0; x < width; ++x) {
                const std::size_t a = std::size_t(x) * 4 + 3;
                near_[x] = std::uint8_t((up[a] == kOpaque) | (mid[a] == kOpaque) |
                                        (down[a] == kOpaque));
            }
            for (unsigned x = 0; x < width; ++x) {
                std::uint8_t& alpha = mid[std::size_t(x) * 4 + 3];
                const std::uint8_t take = std::uint8_t(
                    (alpha == kHole) & (near_[area_.Left(x)] | near_[x] | near_[area_.Right(x)]));
                alpha |= take;  // kHole to kQueued
                out[added] = x;
                added += take;
            }
        }
        list.count += added;
    }

    // Sets each texel of ring `ring` in one row to the average colour of
    // its neighbours that are opaque or of the ring before, and marks it;
    // with kQueue, the holes among those neighbours are queued as the next
    // ring. Narrow images repeat neighbours (or the texel itself); that
    // only weights the average and never points outside the image. No
    // branches on the marks: they vary from texel to texel.
    template <bool kQueue>
    void FillRow(unsigned ring, const RingRow& list) {
        const unsigned y = list.row, last = area_.height - 1;
        std::uint8_t* rows[3] = {y > 0 ? area_.row[y - 1] : blank_.data(), area_.row[y],
                                 y < last ? area_.row[y + 1] : blank_.data()};
        const std::uint8_t before = ring == 1 ? kOpaque : FilledMark(ring - 1);
        const std::uint8_t mark = FilledMark(ring);
        // The next ring in rows y - 1 to y + 1; past the ends nothing is a
        // hole, so nothing lands in `spare_`.
        RingRow* next[3] = {&spare_, &spare_, &spare_};
        std::uint32_t* out[3] = {nullptr, nullptr, nullptr};
        std::size_t added[3] = {0, 0, 0};
        if (kQueue) {
            // Each column is written before it is known to be a hole: one
            // past the most that can be kept.
            const std::size_t most = std::min<std::size_t>(3 * list.count, area_.width) + 1;
            spare_.count = 0;
            if (y > 0) next[0] = &Open(ring + 1, y - 1);
            next[1] = &Open(ring + 1, y);
            if (y < last) next[2] = &Open(ring + 1, y + 1);
            for (int j = 0; j < 3; ++j) out[j] = next[j]->Room(most);
        }
        // Whole texels as words: channels summed two to a 64-bit word, 16
        // bits apart (8 texels' worth needs 11), and marks compared in
        // alpha's place.
        const std::uint32_t alphaMask = AlphaWord(255), beforeWord = AlphaWord(before);
        const std::uint32_t evenMask = ChannelsWord(255, 0, 255, 0);  // red, blue
        const std::uint32_t oddMask = ChannelsWord(0, 255, 0, 0);     // green
        const std::uint32_t queued = AlphaWord(kQueued);
        const unsigned shifts[3] = {ByteShift(0), ByteShift(1), ByteShift(2)};
        const std::uint32_t* xs = list.xs.data();
        for (std::size_t i = 0; i < list.count; ++i) {
            const unsigned x = xs[i];
            const unsigned cols[3] = {area_.Left(x), x, area_.Right(x)};
            std::uint64_t even = 0, odd = 0;
            std::uint32_t count = 0;
            for (int k = 0; k < 9; ++k) {
                if (k == 4) continue;
                const int j = k / 3;
                std::uint8_t* p = rows[j] + std::size_t(cols[k % 3]) * 4;
                std::uint32_t v;
                std::memcpy(&v, p, 4);
                const std::uint32_t alpha = v & alphaMask;
                const std::uint32_t take =
                    std::uint32_t(alpha == alphaMask) | std::uint32_t(alpha == beforeWord);
                const std::uint32_t mask = 0u - take;
                even += v & evenMask & mask;
                odd += v & oddMask & mask;
                count += take;
                if (kQueue) {
                    const std::uint32_t hole = alpha == 0;
                    v |= queued & (0u - hole);  // kHole to kQueued
                    std::memcpy(p, &v, 4);
                    out[j][added[j]] = cols[k % 3];
                    added[j] += hole;
                }
            }
            const std::uint32_t reciprocal = kReciprocal[count];
            const std::uint32_t sums[3] = {std::uint32_t(even >> shifts[0]) & 0xfff,
                                           std::uint32_t(odd >> shifts[1]) & 0xfff,
                                           std::uint32_t(even >> shifts[2]) & 0xfff};
            std::uint8_t* p = rows[1] + std::size_t(x) * 4;
            for (int c = 0; c < 3; ++c)
                p[c] = std::uint8_t(((sums[c] + count / 2) * reciprocal) >> 16);
            p[3] = mark;
        }
        if (kQueue)
            for (int j = 0; j < 3; ++j) next[j]->count += added[j];
    }

    // Back to alpha 0 once no ring reads the marks.
    void Reset(RingRow& list) {
        if (!keepMarks_ && list.row != kNone) {
            std::uint8_t* row = area_.row[list.row];
            for (std::size_t i = 0; i < list.count; ++i)
                row[std::size_t(list.xs[i]) * 4 + 3] = kHole;
        }
        list.row = kNone;
        list.count = 0;
    }

    const FillRows area_;
    const unsigned maxRing_;
    const bool keepMarks_;
    std::vector<RingRow> lists_;
    RingRow spare_;
    std::vector<std::uint8_t> near_;
    std::vector<std::uint8_t> blank_;  // past the first and last rows: never a hole, never counted
};

// A whole image's rows, for the passes over all of it.
struct Texels {
    std::uint8_t* rgba;
    unsigned width, height;

    std::uint8_t* Row(unsigned y) const { return rgba + std::size_t(y) * width * 4; }
};

// Every keyed texel to alpha 0, the colour kept.
void ClearKeyedAlpha(const Texels& area, const std::uint32_t* rowKeyed) {
    const std::uint32_t alphaMask = AlphaWord(255);
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

// Keyed texels no ring reached (alpha kHole or kQueued) get a colour from
// the filled and opaque ones around them: block means, then pull-push
// over a pyramid of blocks that wraps round the edges as the texture
// repeats, each far texel taking its block's colour. Linear in the
// texels; every keyed texel ends at alpha 0.
void FillFar(const Texels& area, const std::uint32_t* rowKeyed,
             const std::uint32_t* filledInRow) {
    const unsigned width = area.width, height = area.height;
    std::vector<CellLevel> levels(1);
    levels[0] = {(width + kFarBlock - 1) / kFarBlock, (height + kFarBlock - 1) / kFarBlock, {}};
    levels[0].cells.resize(std::size_t(levels[0].width) * levels[0].height);

    // Block means of the coloured texels; rows with none are skipped.
    std::vector<std::uint32_t> sums(std::size_t(levels[0].width) * 4);
    for (unsigned by = 0; by < levels[0].height; ++by) {
        std::fill(sums.begin(), sums.end(), 0);
        for (unsigned y = by * kFarBlock; y < std::min(height, (by + 1) * kFarBlock); ++y) {
            if (rowKeyed[y] == width && filledInRow[y] == 0) continue;
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
        for (unsigned bx = 0; bx < levels[0].width; ++bx) {
            const std::uint32_t* s = &sums[std::size_t(bx) * 4];
            Cell& cell = levels[0].At(bx, by);
            const float n = float(s[3]);
            cell.weight = n;
            for (int c = 0; c < 3; ++c) cell.colour[c] = s[3] ? float(s[c]) / n : 0.0f;
        }
    }

    // Pull: each level up holds the weighted means of 2 x 2 cells.
    while (levels.back().width > 1 || levels.back().height > 1) {
        const CellLevel& fine = levels.back();
        CellLevel coarse = {(fine.width + 1) / 2, (fine.height + 1) / 2, {}};
        coarse.cells.resize(std::size_t(coarse.width) * coarse.height);
        for (unsigned y = 0; y < coarse.height; ++y)
            for (unsigned x = 0; x < coarse.width; ++x) {
                float sum[3] = {0, 0, 0}, weight = 0;
                for (unsigned fy = 2 * y; fy < std::min(fine.height, 2 * y + 2); ++fy)
                    for (unsigned fx = 2 * x; fx < std::min(fine.width, 2 * x + 2); ++fx) {
                        const Cell& f = fine.cells[std::size_t(fy) * fine.width + fx];
                        for (int c = 0; c < 3; ++c) sum[c] += f.colour[c] * f.weight;
                        weight += f.weight;
                    }
                Cell& cell = coarse.At(x, y);
                cell.weight = weight;
                for (int c = 0; c < 3; ++c) cell.colour[c] = weight > 0 ? sum[c] / weight : 0.0f;
            }
        levels.push_back(std::move(coarse));
    }

    // Push: cells with nothing coloured under them blend the four cells
    // of the level above around their centre, wrapping round the edges.
    // The top cell always has colour: some texel is opaque.
    for (std::size_t l = levels.size() - 1; l-- > 0;) {
        CellLevel& fine = levels[l];
        CellLevel& coarse = levels[l + 1];
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

    // Far texels take their block's colour; every keyed texel alpha 0.
    const std::uint32_t alphaMask = AlphaWord(255), filled = AlphaWord(kFilledEven);
    std::vector<std::uint32_t> blockWords(levels[0].width);
    for (unsigned y = 0; y < height; ++y) {
        if (rowKeyed[y] == 0) continue;
        const unsigned by = y / kFarBlock;
        for (unsigned bx = 0; bx < levels[0].width; ++bx) {
            const Cell& cell = levels[0].At(bx, by);
            const std::uint8_t bytes[4] = {ToByte(cell.colour[0]), ToByte(cell.colour[1]),
                                           ToByte(cell.colour[2]), 0};
            std::memcpy(&blockWords[bx], bytes, 4);
        }
        std::uint8_t* p = area.Row(y);
        if (rowKeyed[y] == width && filledInRow[y] == 0) {
            // All far: nothing to look at, a block's texels stored at once.
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

unsigned NextPowerOfTwo(unsigned v) {
    unsigned p = 1;
    while (p < v && p < (1u << 31)) p <<= 1;
    return p;
}

unsigned FloorPowerOfTwo(unsigned v) {
    unsigned p = 1;
    while (p <= v / 2) p <<= 1;
    return p;
}

// Source position of each destination texel centre along one axis, in
// 1/256 texel, as the two texels to blend and the weight of the second.
struct Tap {
    unsigned first, second, weight;
};

std::vector<Tap> Taps(unsigned source, unsigned dest) {
    std::vector<Tap> taps(dest);
    for (unsigned d = 0; d < dest; ++d) {
        const std::int64_t pos =
            (std::int64_t(2 * d + 1) * source * 256) / (std::int64_t(2) * dest) - 128;
        std::int64_t whole = pos >= 0 ? pos / 256 : -((-pos + 255) / 256);
        const unsigned weight = unsigned(pos - whole * 256);
        whole %= std::int64_t(source);
        if (whole < 0) whole += source;
        taps[d] = {unsigned(whole), unsigned(whole + 1) % source, weight};
    }
    return taps;
}

}  // namespace

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
        RingFill(FillRows{table.data(), tableKeyed.data(), width, rows}, kExactFillRings, true)
            .Run(margin, margin + height, filledInRow.data());
    const Texels image = {rgba, width, height};
    if (filled == keyed)
        ClearKeyedAlpha(image, rowKeyed);
    else
        FillFar(image, rowKeyed, filledInRow.data());
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
    RingFill fill(FillRows{table.data(), rowKeyed, width, rows},
                  std::min(maxRing, kExactFillRings), false);
    return fill.Run(centralBegin, centralEnd, nullptr) == centralKeyed;
}

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

TextureSize ChooseTextureSize(unsigned width, unsigned height, bool npotSupported,
                              unsigned maxTextureSize) {
    unsigned limit = std::max(1u, maxTextureSize);
    if (!npotSupported) {
        width = NextPowerOfTwo(width);
        height = NextPowerOfTwo(height);
        limit = FloorPowerOfTwo(limit);
    }
    return {std::min(width, limit), std::min(height, limit)};
}

void ResizeBilinearInto(const std::uint8_t* source, unsigned sourceWidth,
                        unsigned sourceHeight, std::uint8_t* dest, unsigned width,
                        unsigned height) {
    if (sourceWidth == 0 || sourceHeight == 0 || width == 0 || height == 0) return;
    const std::vector<Tap> xs = Taps(sourceWidth, width);
    const std::vector<Tap> ys = Taps(sourceHeight, height);
    const std::size_t stride = std::size_t(sourceWidth) * 4;
    std::uint8_t* out = dest;
    for (unsigned y = 0; y < height; ++y) {
        const Tap& ty = ys[y];
        const std::uint8_t* top = source + ty.first * stride;
        const std::uint8_t* bottom = source + ty.second * stride;
        for (unsigned x = 0; x < width; ++x, out += 4) {
            const Tap& tx = xs[x];
            const std::uint8_t* a = top + std::size_t(tx.first) * 4;
            const std::uint8_t* b = top + std::size_t(tx.second) * 4;
            const std::uint8_t* c = bottom + std::size_t(tx.first) * 4;
            const std::uint8_t* d = bottom + std::size_t(tx.second) * 4;
            for (int k = 0; k < 4; ++k) {
                const unsigned upper = a[k] * (256 - tx.weight) + b[k] * tx.weight;
                const unsigned lower = c[k] * (256 - tx.weight) + d[k] * tx.weight;
                out[k] = std::uint8_t((upper * (256 - ty.weight) + lower * ty.weight + 32768) >> 16);
            }
        }
    }
}

}  // namespace glpng
