// Rows are read a batch at a time so that a cancelled prefetch stops
// within a few milliseconds, not at the end of a large file.
#include "glpng/prepared_texture.h"

#include <algorithm>
#include <utility>

#include "glpng/decode/image_reader.h"
#include "glpng/hole_fill.h"
#include "glpng/mip_levels.h"
#include "glpng/texture_size.h"

namespace glpng {
namespace {

constexpr unsigned kBatchRows = 64;

bool Cancelled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

}  // namespace

std::vector<TextureSize> MipLevels(TextureSize base, bool mipmaps) {
    std::vector<TextureSize> levels{base};
    while (mipmaps && (base.width > 1 || base.height > 1)) {
        base = {std::max(1u, base.width / 2), std::max(1u, base.height / 2)};
        levels.push_back(base);
    }
    return levels;
}

bool PrepareTexture(const char* path, const std::uint8_t* key, const TextureRules& rules,
                    const std::atomic<bool>* cancel, HeaderListener* onHeader,
                    PreparedTexture* out) {
    *out = PreparedTexture();
    ImageReader reader;
    if (!reader.Open(path)) return false;
    const PngHeader header = reader.header();
    const TextureSize size =
        ChooseTextureSize(header.width, header.height, rules.npotSupported, rules.maxTextureSize);
    if (onHeader) onHeader->HeaderRead(header, size);
    if (Cancelled(cancel)) return false;

    std::vector<TextureSize> levels = MipLevels(size, rules.mipmaps);
    std::vector<std::size_t> offsets;
    std::size_t total = 0;
    for (const TextureSize& level : levels) {
        offsets.push_back(total);
        total += std::size_t(level.width) * level.height * 4;
    }
    const bool fitted = size.width != header.width || size.height != header.height;
    const std::size_t stride = std::size_t(header.width) * 4;

    // Level 0 is decoded in place unless it has to be fitted first.
    PixelBuffer pixels = AllocatePixels(total);
    if (!pixels) return false;
    PixelBuffer decoded(nullptr, std::free);
    if (!reader.Streams()) {
        if (!reader.ReadKeyedImage(key, &decoded)) return false;
    } else {
        std::uint8_t* image = pixels.get();
        if (fitted) {
            decoded = AllocatePixels(stride * header.height);
            if (!decoded) return false;
            image = decoded.get();
        }
        std::vector<std::uint32_t> rowKeyed(header.height, 0);
        for (unsigned row = 0; row < header.height; row += kBatchRows) {
            if (Cancelled(cancel)) return false;
            const unsigned count = std::min(kBatchRows, header.height - row);
            if (!reader.ReadKeyedRows(image + row * stride, count, key, rowKeyed.data() + row))
                return false;
        }
        FillHoles(image, header.width, header.height, rowKeyed.data());
    }
    if (Cancelled(cancel)) return false;
    if (fitted)
        ResizeBilinearInto(decoded.get(), header.width, header.height, pixels.get(), size.width,
                           size.height);
    else if (decoded)
        std::copy(decoded.get(), decoded.get() + stride * header.height, pixels.get());
    decoded.reset();

    for (std::size_t i = 1; i < levels.size(); ++i) {
        if (Cancelled(cancel)) return false;
        HalveBoxInto(pixels.get() + offsets[i - 1], levels[i - 1].width, levels[i - 1].height,
                     pixels.get() + offsets[i]);
    }
    out->header = header;
    out->rules = rules;
    std::copy(key, key + 3, out->key);
    out->levels = std::move(levels);
    out->offsets = std::move(offsets);
    out->pixels = std::move(pixels);
    return true;
}

}  // namespace glpng
