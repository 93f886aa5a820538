// A file made ready for upload away from the GL thread: decoded, keyed,
// hole-filled, fitted to the context's size rules and halved into its mip
// levels. Nothing here calls GL, so a worker thread may run it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "glpng/decode/png_decode.h"
#include "glpng/texture_size.h"

namespace glpng {

// What the context allows, asked of GL once on its own thread.
struct TextureRules {
    bool npotSupported = true;
    unsigned maxTextureSize = kMaxSide;
    bool mipmaps = true;

    bool operator==(const TextureRules& other) const {
        return npotSupported == other.npotSupported && maxTextureSize == other.maxTextureSize &&
               mipmaps == other.mipmaps;
    }
};

struct PreparedTexture {
    PngHeader header;            // the file's own
    TextureRules rules;          // what it was fitted to
    std::uint8_t key[3] = {0, 0, 0};
    // Level 0 as uploaded, then each mip level, packed one after another.
    std::vector<TextureSize> levels;
    std::vector<std::size_t> offsets;
    PixelBuffer pixels{nullptr, std::free};
};

// Every level's size down to 1 x 1 (level 0 alone without mipmaps).
std::vector<TextureSize> MipLevels(TextureSize base, bool mipmaps);

// Prepares `path` keyed with `key` (R, G, B). `onHeader`, when set, hears
// the size level 0 will have as soon as the header is read. Stops early,
// returning false, once `cancel` is set.
class HeaderListener {
public:
    virtual ~HeaderListener() = default;
    virtual void HeaderRead(const PngHeader& header, TextureSize size) = 0;
};
bool PrepareTexture(const char* path, const std::uint8_t* key, const TextureRules& rules,
                    const std::atomic<bool>* cancel, HeaderListener* onHeader,
                    PreparedTexture* out);

}  // namespace glpng
