// The PNG loader through a file path, as pngBind takes it: the bytes go to
// a real file, are decoded through the file reader and must give exactly
// what the memory reader gives; the loader's own reader (whole, or band by
// band for tall images) must key and fill exactly as ApplyColorKey does;
// then the rest of the work pngBind does before upload (fit to the
// context's size rules, mip levels).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "glpng/decode/band_decode.h"
#include "glpng/decode/png_decode.h"
#include "glpng/decode/png_reference.h"
#include "glpng/texture_size.h"

namespace {

constexpr std::uint64_t kMaxProcessedPixels = std::uint64_t(1) << 20;
constexpr std::uint64_t kMaxBandPixels = std::uint64_t(1) << 22;
const std::uint8_t kKey[3] = {255, 0, 255};

// Level 0 in memory, standing in for the texture.
class MemorySink : public glpng::BandSink {
public:
    MemorySink(unsigned width, unsigned height) : width_(width), rgba_(std::size_t(width) * height * 4) {}
    void Rows(unsigned first, unsigned count, const std::uint8_t* rgba) override {
        const std::size_t stride = std::size_t(width_) * 4;
        FUZZ_CHECK((first + count) * stride <= rgba_.size());
        std::memcpy(rgba_.data() + first * stride, rgba, count * stride);
    }
    bool ReadBack(std::uint8_t* rgba) override {
        std::memcpy(rgba, rgba_.data(), rgba_.size());
        return true;
    }
    const std::vector<std::uint8_t>& rgba() const { return rgba_; }

private:
    unsigned width_;
    std::vector<std::uint8_t> rgba_;
};

void CheckLoaderReader(const std::string& path, const glpng::Image& keyed) {
    glpng::ImageReader reader;
    FUZZ_CHECK(reader.Open(path.c_str()));
    const std::size_t bytes = keyed.rgba.size();
    if (!glpng::SuitsBands(reader.header())) {
        glpng::PixelBuffer pixels(nullptr, std::free);
        FUZZ_CHECK(reader.ReadKeyedImage(kKey, &pixels));
        FUZZ_CHECK(std::memcmp(pixels.get(), keyed.rgba.data(), bytes) == 0);
        return;
    }
    MemorySink sink(keyed.width, keyed.height);
    glpng::BandResult result;
    FUZZ_CHECK(glpng::DecodeKeyedInBands(reader, kKey, true, sink, &result));
    if (result.whole) {
        FUZZ_CHECK(!result.level1);
        FUZZ_CHECK(std::memcmp(result.whole.get(), keyed.rgba.data(), bytes) == 0);
        return;
    }
    FUZZ_CHECK(sink.rgba() == keyed.rgba);
    const glpng::Image next = glpng::HalveBox(keyed);
    FUZZ_CHECK(result.level1 &&
               std::memcmp(result.level1.get(), next.rgba.data(), next.rgba.size()) == 0);
}

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
    const std::uint64_t pixels = std::uint64_t(image.width) * image.height;
    if (pixels > kMaxProcessedPixels && !(glpng::SuitsBands(header) && pixels <= kMaxBandPixels))
        return 0;

    glpng::ApplyColorKey(image, kKey[0], kKey[1], kKey[2]);
    CheckLoaderReader(path, image);
    if (pixels > kMaxProcessedPixels) return 0;
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
