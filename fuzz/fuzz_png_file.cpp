// The PNG loader through a file path, as pngBind takes it: the bytes go to
// a real file, are decoded through the file reader and must give exactly
// what the memory reader gives; then the work pngBind does before upload
// (key, fit to the context's size rules, mip levels).
#include <cstdint>

#include "fuzz_support.h"
#include "glpng/png_decode.h"

namespace {

constexpr std::uint64_t kMaxProcessedPixels = std::uint64_t(1) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz::ScratchDir() + "/input.png";
    FUZZ_CHECK(fuzz::WriteFile(path, data, size));

    glpng::Image image, fromMemory;
    glpng::PngHeader header, headerFromMemory;
    const bool ok = glpng::DecodePngFile(path.c_str(), &image, &header);
    const bool okFromMemory = glpng::DecodePngMemory(data, size, &fromMemory, &headerFromMemory);
    FUZZ_CHECK(ok == okFromMemory);
    if (!ok) {
        FUZZ_CHECK(image.rgba.empty() && header.width == 0);
        return 0;
    }
    FUZZ_CHECK(image.width == fromMemory.width && image.height == fromMemory.height);
    FUZZ_CHECK(image.rgba == fromMemory.rgba);
    FUZZ_CHECK(header.bitDepth == headerFromMemory.bitDepth &&
               header.colorType == headerFromMemory.colorType &&
               header.interlaced == headerFromMemory.interlaced);
    if (std::uint64_t(image.width) * image.height > kMaxProcessedPixels) return 0;

    glpng::ApplyColorKey(image, 255, 0, 255);
    // Context rules vary with the input: old GL without non-power-of-two
    // textures and small maximum sizes make the resize run.
    const bool npot = size % 2 == 0;
    const unsigned maxSize = 64u << (size / 2 % 9);
    const glpng::TextureSize fit =
        glpng::ChooseTextureSize(image.width, image.height, npot, maxSize);
    glpng::FitTextureSize(image, npot, maxSize);
    FUZZ_CHECK(image.width == fit.width && image.height == fit.height);
    FUZZ_CHECK(image.width <= maxSize && image.height <= maxSize);
    FUZZ_CHECK(image.rgba.size() == std::size_t(image.width) * image.height * 4);
    if (!npot) FUZZ_CHECK((image.width & (image.width - 1)) == 0 &&
                          (image.height & (image.height - 1)) == 0);
    while (image.width > 1 || image.height > 1) {
        image = glpng::HalveBox(image);
        FUZZ_CHECK(image.rgba.size() == std::size_t(image.width) * image.height * 4);
    }
    return 0;
}
