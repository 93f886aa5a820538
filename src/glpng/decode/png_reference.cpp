// Whole-image helpers over the loader's own steps, so that what tests and
// fuzzers check is the code pngBind runs. Decoding to an Image lives in
// png_decode.cpp, beside the rest of the libpng code.
#include "glpng/decode/png_reference.h"

#include <algorithm>
#include <utility>

#include "glpng/colour_key.h"
#include "glpng/hole_fill.h"
#include "glpng/mip_levels.h"
#include "glpng/texture_size.h"

namespace glpng {

void ApplyColorKey(Image& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (image.empty()) return;
    std::vector<std::uint32_t> rowKeyed(image.height);
    for (unsigned y = 0; y < image.height; ++y)
        rowKeyed[y] = KeyRow(image.At(0, y), image.width, red, green, blue);
    FillHoles(image.rgba.data(), image.width, image.height, rowKeyed.data());
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

Image ResizeBilinear(const Image& source, unsigned width, unsigned height) {
    Image dest;
    if (source.empty() || width == 0 || height == 0) return dest;
    dest.width = width;
    dest.height = height;
    dest.rgba.resize(std::size_t(width) * height * 4);
    ResizeBilinearInto(source.rgba.data(), source.width, source.height, dest.rgba.data(), width,
                       height);
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
