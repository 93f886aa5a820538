// The hole fill's far stage: keyed texels no ring reached take colour
// from a coarser view of the image (hole_fill.h gives the rules).
#pragma once

#include <cstddef>
#include <cstdint>

namespace glpng::fill {

// A whole image's rows, for the passes over all of it.
struct Texels {
    std::uint8_t* rgba;
    unsigned width, height;

    std::uint8_t* Row(unsigned y) const { return rgba + std::size_t(y) * width * 4; }
};

// Keyed texels no ring reached (alpha kHole or kQueued) get a colour from
// the filled and opaque ones around them: block means, then pull-push
// over a pyramid of blocks that wraps round the edges as the texture
// repeats, each far texel taking its block's colour. Linear in the
// texels; every keyed texel ends at alpha 0. `filledInRow` is each row's
// count of texels the rings filled.
void FillFar(const Texels& area, const std::uint32_t* rowKeyed, const std::uint32_t* filledInRow);

}  // namespace glpng::fill
