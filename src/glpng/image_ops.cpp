// Work on decoded images before upload: colour key with hole fill, mip
// levels and resizing to what the GL context accepts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "glpng/png_decode.h"

namespace glpng {
namespace {

// Alpha values that double as the hole fill's state while it runs.
constexpr std::uint8_t kHole = 0;     // keyed, no colour yet
constexpr std::uint8_t kQueued = 1;   // keyed, in the ring being filled
constexpr std::uint8_t kFilled = 2;   // keyed, coloured by the last ring
constexpr std::uint8_t kOpaque = 255;

// The neighbours of texel `index`, wrapping round the side edges, and
// round the top and bottom unless the rows are a band cut from an image.
struct Neighbours {
    std::uint32_t at[8];
    int count = 0;

    Neighbours(std::uint32_t index, unsigned width, unsigned height, bool wrapRows) {
        const unsigned x = index % width, y = index / width;
        const unsigned xs[3] = {x == 0 ? width - 1 : x - 1, x, x + 1 == width ? 0 : x + 1};
        const unsigned none = height;
        const unsigned ys[3] = {y > 0 ? y - 1 : wrapRows ? height - 1 : none, y,
                                y + 1 < height ? y + 1 : wrapRows ? 0 : none};
        // Narrow images repeat neighbours (or the texel itself); that only
        // weights the average and never points outside the image.
        for (int j = 0; j < 3; ++j) {
            if (ys[j] == none) continue;
            for (int i = 0; i < 3; ++i)
                if (j != 1 || i != 1) at[count++] = ys[j] * width + xs[i];
        }
    }
    const std::uint32_t* begin() const { return at; }
    const std::uint32_t* end() const { return at + count; }
};

struct FillArea {
    std::uint8_t* rgba;
    unsigned width, height;
    bool wrapRows;

    std::uint8_t& Alpha(std::uint32_t index) const { return rgba[std::size_t(index) * 4 + 3]; }
    Neighbours Around(std::uint32_t index) const {
        return Neighbours(index, width, height, wrapRows);
    }
};

// Sets a queued texel to the average colour of its coloured neighbours.
void FillFromNeighbours(const FillArea& area, std::uint32_t index) {
    unsigned sum[3] = {0, 0, 0}, count = 0;
    for (std::uint32_t n : area.Around(index)) {
        const std::uint8_t* p = area.rgba + std::size_t(n) * 4;
        if (p[3] < kFilled) continue;
        sum[0] += p[0];
        sum[1] += p[1];
        sum[2] += p[2];
        ++count;
    }
    std::uint8_t* p = area.rgba + std::size_t(index) * 4;
    for (int c = 0; c < 3; ++c) p[c] = std::uint8_t((sum[c] + count / 2) / count);
}

// Fills the holes ring by ring, starting with the texels that touch an
// opaque one, until every keyed texel of rows [centralBegin, centralEnd)
// has its colour or `maxRing` rings are done. Alpha marks the state; a
// ring only reads the ring before it (or opaque texels), so that one is
// reset to 0 once the next is done. Returns whether the central rows are
// all filled.
bool FillRings(const FillArea& area, const std::uint32_t* rowKeyed, unsigned centralBegin,
               unsigned centralEnd, unsigned maxRing) {
    std::uint32_t centralKeyed = 0;
    for (unsigned y = centralBegin; y < centralEnd; ++y) centralKeyed += rowKeyed[y];
    if (centralKeyed == 0) return true;

    const std::uint32_t centralFirst = centralBegin * area.width;
    const std::uint32_t centralLast = centralEnd * area.width;
    std::vector<std::uint32_t> previous, current, next;
    for (unsigned y = 0; y < area.height; ++y) {
        if (rowKeyed[y] == 0) continue;
        for (std::uint32_t i = y * area.width, end = i + area.width; i < end; ++i) {
            if (area.Alpha(i) != kHole) continue;
            for (std::uint32_t n : area.Around(i)) {
                if (area.Alpha(n) == kOpaque) {
                    area.Alpha(i) = kQueued;
                    current.push_back(i);
                    break;
                }
            }
        }
    }
    std::uint32_t centralFilled = 0;
    for (unsigned ring = 1; !current.empty() && ring <= maxRing && centralFilled < centralKeyed;
         ++ring) {
        for (std::uint32_t i : current) {
            FillFromNeighbours(area, i);
            centralFilled += i >= centralFirst && i < centralLast;
        }
        for (std::uint32_t i : current) area.Alpha(i) = kFilled;
        next.clear();
        for (std::uint32_t i : current) {
            for (std::uint32_t n : area.Around(i)) {
                std::uint8_t& a = area.Alpha(n);
                if (a != kHole) continue;
                a = kQueued;
                next.push_back(n);
            }
        }
        for (std::uint32_t i : previous) area.Alpha(i) = kHole;
        previous.swap(current);
        current.swap(next);
    }
    for (std::uint32_t i : previous) area.Alpha(i) = kHole;
    for (std::uint32_t i : current) area.Alpha(i) = kHole;
    return centralFilled == centralKeyed;
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
    FillRings(FillArea{rgba, width, height, true}, rowKeyed, 0, height, ~0u);
}

bool FillHolesInBand(std::uint8_t* rgba, unsigned width, unsigned rows,
                     const std::uint32_t* rowKeyed, unsigned centralBegin, unsigned centralEnd,
                     unsigned maxRing) {
    return FillRings(FillArea{rgba, width, rows, false}, rowKeyed, centralBegin, centralEnd,
                     maxRing);
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
