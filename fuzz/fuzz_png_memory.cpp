// The PNG loader from memory, then the colour key and the mip chain, as
// pngBind runs them before upload.
#include <algorithm>
#include <cstdint>

#include "fuzz_support.h"
#include "glpng/decode/png_decode.h"
#include "glpng/decode/png_reference.h"

namespace {

// Larger images are decoded and checked but not keyed: a hole fill over
// 64 Mi texels takes seconds under the sanitizers and finds nothing the
// same code does not find on a small image.
constexpr std::uint64_t kMaxKeyedPixels = std::uint64_t(1) << 20;

void CheckImage(const glpng::Image& image) {
    FUZZ_CHECK(!image.empty());
    FUZZ_CHECK(image.width <= glpng::kMaxSide && image.height <= glpng::kMaxSide);
    FUZZ_CHECK(std::uint64_t(image.width) * image.height <= glpng::kMaxPixels);
    FUZZ_CHECK(image.rgba.size() == std::size_t(image.width) * image.height * 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    glpng::Image image;
    glpng::PngHeader header;
    if (!glpng::DecodePngMemory(data, size, &image, &header)) {
        FUZZ_CHECK(image.rgba.empty() && image.width == 0 && image.height == 0);
        FUZZ_CHECK(header.width == 0 && header.height == 0);
        return 0;
    }
    CheckImage(image);
    FUZZ_CHECK(header.width == image.width && header.height == image.height);
    if (std::uint64_t(image.width) * image.height > kMaxKeyedPixels) return 0;

    // The key colour comes from the file so that keyed and opaque texels mix.
    const std::uint8_t* first = image.At(0, 0);
    glpng::ApplyColorKey(image, first[0], first[1], first[2]);
    for (std::size_t i = 3; i < image.rgba.size(); i += 4)
        FUZZ_CHECK(image.rgba[i] == 0 || image.rgba[i] == 255);
    FUZZ_CHECK(image.rgba[3] == 0);

    const unsigned width = image.width, height = image.height;
    const std::vector<glpng::Image> chain = glpng::BuildMipChain(std::move(image));
    FUZZ_CHECK(!chain.empty() && chain[0].width == width && chain[0].height == height);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        CheckImage(chain[i]);
        FUZZ_CHECK(chain[i].width == std::max(1u, chain[i - 1].width / 2));
        FUZZ_CHECK(chain[i].height == std::max(1u, chain[i - 1].height / 2));
    }
    FUZZ_CHECK(chain.back().width == 1 && chain.back().height == 1);
    return 0;
}
