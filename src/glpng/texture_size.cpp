#include "glpng/texture_size.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace glpng {
namespace {

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
