// Work on decoded images before upload: colour key with hole fill, mip
// levels and resizing to what the GL context accepts.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "glpng/png_decode.h"

namespace glpng {
namespace {

// Alpha values that double as the hole fill's state while it runs.
constexpr std::uint8_t kHole = 0;     // keyed, no colour yet
constexpr std::uint8_t kQueued = 1;   // keyed, in the ring being filled
constexpr std::uint8_t kFilled = 2;   // keyed, coloured by the last ring
constexpr std::uint8_t kOpaque = 255;

// The 8 neighbours of texel `index`, wrapping round the edges.
struct Neighbours {
    std::uint32_t at[8];

    Neighbours(std::uint32_t index, unsigned width, unsigned height) {
        const unsigned x = index % width, y = index / width;
        const unsigned xs[3] = {x == 0 ? width - 1 : x - 1, x, x + 1 == width ? 0 : x + 1};
        const unsigned ys[3] = {y == 0 ? height - 1 : y - 1, y, y + 1 == height ? 0 : y + 1};
        // Narrow images repeat neighbours (or the texel itself); that only
        // weights the average and never points outside the image.
        int n = 0;
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                if (j != 1 || i != 1) at[n++] = ys[j] * width + xs[i];
    }
};

// Sets a queued texel to the average colour of its coloured neighbours.
void FillFromNeighbours(std::uint8_t* rgba, std::uint32_t index, unsigned width,
                        unsigned height) {
    unsigned sum[3] = {0, 0, 0}, count = 0;
    for (std::uint32_t n : Neighbours(index, width, height).at) {
        const std::uint8_t* p = rgba + std::size_t(n) * 4;
        if (p[3] < kFilled) continue;
        sum[0] += p[0];
        sum[1] += p[1];
        sum[2] += p[2];
        ++count;
    }
    std::uint8_t* p = rgba + std::size_t(index) * 4;
    for (int c = 0; c < 3; ++c) p[c] = std::uint8_t((sum[c] + count / 2) / count);
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

// Sets alpha from the key on one row of RGBA8 texels; returns how many
// matched. Used by ApplyColorKey and by the loader while rows are in cache.
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

// The hole fill after keying. `rowHasKey`, when given, flags the rows
// holding keyed texels so the others are not searched for seeds.
void FillHoles(std::uint8_t* rgba, unsigned width, unsigned height, std::uint32_t keyed,
               const std::uint8_t* rowHasKey) {
    const std::uint32_t count = width * height;
    if (keyed == 0) return;
    if (keyed == count) {
        for (std::uint32_t i = 0; i < count; ++i) std::fill_n(rgba + std::size_t(i) * 4, 3, 0);
        return;
    }

    // Fill the holes ring by ring, starting with the texels that touch an
    // opaque one. Alpha marks the state; a ring only reads the ring before
    // it (or opaque texels), so that one is reset to 0 once the next is done.
    std::vector<std::uint32_t> previous, current, next;
    for (unsigned y = 0; y < height; ++y) {
        if (rowHasKey && !rowHasKey[y]) continue;
        for (std::uint32_t i = y * width, end = i + width; i < end; ++i) {
            if (rgba[std::size_t(i) * 4 + 3] != kHole) continue;
            for (std::uint32_t n : Neighbours(i, width, height).at) {
                if (rgba[std::size_t(n) * 4 + 3] == kOpaque) {
                    rgba[std::size_t(i) * 4 + 3] = kQueued;
                    current.push_back(i);
                    break;
                }
            }
        }
    }
    while (!current.empty()) {
        for (std::uint32_t i : current) FillFromNeighbours(rgba, i, width, height);
        for (std::uint32_t i : current) rgba[std::size_t(i) * 4 + 3] = kFilled;
        next.clear();
        for (std::uint32_t i : current) {
            for (std::uint32_t n : Neighbours(i, width, height).at) {
                std::uint8_t& a = rgba[std::size_t(n) * 4 + 3];
                if (a != kHole) continue;
                a = kQueued;
                next.push_back(n);
            }
        }
        for (std::uint32_t i : previous) rgba[std::size_t(i) * 4 + 3] = kHole;
        previous.swap(current);
        current.swap(next);
    }
    for (std::uint32_t i : previous) rgba[std::size_t(i) * 4 + 3] = kHole;
}

// HalveBox on raw rows. `dest` may be `source`: every texel is written
// after all reads at or before its place, so the loader halves in place.
void HalveBoxInto(const std::uint8_t* source, unsigned width, unsigned height,
                  std::uint8_t* dest) {
    const unsigned dw = std::max(1u, width / 2), dh = std::max(1u, height / 2);
    if (width % 2 == 0 && height % 2 == 0) {
        // The common case: plain 2 x 2 blocks.
        for (unsigned y = 0; y < dh; ++y) {
            const std::uint8_t* r0 = source + std::size_t(2 * y) * width * 4;
            const std::uint8_t* r1 = r0 + std::size_t(width) * 4;
            std::uint8_t* out = dest + std::size_t(y) * dw * 4;
            for (unsigned x = 0; x < dw; ++x, r0 += 8, r1 += 8, out += 4)
                for (int c = 0; c < 4; ++c)
                    out[c] = std::uint8_t((r0[c] + r0[c + 4] + r1[c] + r1[c + 4] + 2) >> 2);
        }
        return;
    }
    // Destination texel d covers source [d * s / ds, (d + 1) * s / ds).
    std::vector<unsigned> xStart(dw + 1);
    for (unsigned x = 0; x <= dw; ++x) xStart[x] = unsigned(std::uint64_t(x) * width / dw);
    for (unsigned y = 0; y < dh; ++y) {
        const unsigned y0 = unsigned(std::uint64_t(y) * height / dh);
        const unsigned y1 = unsigned(std::uint64_t(y + 1) * height / dh);
        for (unsigned x = 0; x < dw; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            for (unsigned sy = y0; sy < y1; ++sy) {
                const std::uint8_t* p = source + (std::size_t(sy) * width + xStart[x]) * 4;
                for (unsigned sx = xStart[x]; sx < xStart[x + 1]; ++sx, p += 4)
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
            const unsigned n = (xStart[x + 1] - xStart[x]) * (y1 - y0);
            std::uint8_t* out = dest + (std::size_t(y) * dw + x) * 4;
            for (int c = 0; c < 4; ++c) out[c] = std::uint8_t((sum[c] + n / 2) / n);
        }
    }
}

void ApplyColorKey(Image& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (image.empty()) return;
    std::uint32_t keyed = 0;
    for (unsigned y = 0; y < image.height; ++y)
        keyed += KeyRow(image.At(0, y), image.width, red, green, blue);
    FillHoles(image.rgba.data(), image.width, image.height, keyed, nullptr);
}

Image HalveBox(const Image& source) {
    Image dest;
    if (source.empty()) return dest;
    dest.width = std::max(1u, source.width / 2);
    dest.height = std::max(1u, source.height / 2);
    dest.rgba.resize(std::size_t(dest.width) * dest.height * 4);
    HalveBoxInto(source.rgba.data(), source.width, source.height, dest.rgba.data());
    return dest;
}

std::vector<Image> BuildMipChain(Image level0) {
    std::vector<Image> chain;
    if (level0.empty()) return chain;
    chain.push_back(std::move(level0));
    while (chain.back().width > 1 || chain.back().height > 1)
        chain.push_back(HalveBox(chain.back()));
    return chain;
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

Image ResizeBilinear(const Image& source, unsigned width, unsigned height) {
    Image dest;
    if (source.empty() || width == 0 || height == 0) return dest;
    dest.width = width;
    dest.height = height;
    dest.rgba.resize(std::size_t(width) * height * 4);
    const std::vector<Tap> xs = Taps(source.width, width);
    const std::vector<Tap> ys = Taps(source.height, height);
    for (unsigned y = 0; y < height; ++y) {
        const Tap& ty = ys[y];
        for (unsigned x = 0; x < width; ++x) {
            const Tap& tx = xs[x];
            const std::uint8_t* a = source.At(tx.first, ty.first);
            const std::uint8_t* b = source.At(tx.second, ty.first);
            const std::uint8_t* c = source.At(tx.first, ty.second);
            const std::uint8_t* d = source.At(tx.second, ty.second);
            std::uint8_t* out = dest.At(x, y);
            for (int k = 0; k < 4; ++k) {
                const unsigned top = a[k] * (256 - tx.weight) + b[k] * tx.weight;
                const unsigned bottom = c[k] * (256 - tx.weight) + d[k] * tx.weight;
                out[k] = std::uint8_t((top * (256 - ty.weight) + bottom * ty.weight + 32768) >> 16);
            }
        }
    }
    return dest;
}

void FitTextureSize(Image& image, bool npotSupported, unsigned maxTextureSize) {
    if (image.empty()) return;
    const TextureSize size =
        ChooseTextureSize(image.width, image.height, npotSupported, maxTextureSize);
    if (size.width != image.width || size.height != image.height)
        image = ResizeBilinear(image, size.width, size.height);
}

}  // namespace glpng
