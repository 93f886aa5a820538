// What size a texture is uploaded at, and the resize that takes an image
// there.
#pragma once

#include <cstdint>

namespace glpng {

// Texture size the image is uploaded at: its own size when non-power-of-two
// textures are supported, else the next power of two per side; either way
// at most maxTextureSize (rounded down to a power of two when needed).
struct TextureSize {
    unsigned width;
    unsigned height;
};
TextureSize ChooseTextureSize(unsigned width, unsigned height, bool npotSupported,
                              unsigned maxTextureSize);

// Bilinear resize of packed RGBA8 that wraps round the edges, as the
// texture repeats. `dest` holds width x height texels and is not `source`.
void ResizeBilinearInto(const std::uint8_t* source, unsigned sourceWidth,
                        unsigned sourceHeight, std::uint8_t* dest, unsigned width,
                        unsigned height);

}  // namespace glpng
