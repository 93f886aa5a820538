#include "glpng/ring_fill.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "glpng/fill_marks.h"

namespace glpng::fill {
namespace {

constexpr unsigned kNone = ~0u;

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

    // As FillRings.
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

}  // namespace

std::uint64_t FillRings(const FillRows& area, unsigned maxRing, bool keepMarks,
                        unsigned centralBegin, unsigned centralEnd, std::uint32_t* filledInRow) {
    return RingFill(area, maxRing, keepMarks).Run(centralBegin, centralEnd, filledInRow);
}

}  // namespace glpng::fill
