// Reference helpers for tests, fuzzers and benchmarks: whole-image
// versions of the loader's steps, on an Image that owns its pixels. The
// loader itself (png_decode.h) never holds an Image; these give the
// answers its streaming path must match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "glpng/decode/png_decode.h"

namespace glpng {

// Tightly packed RGBA8, rows top to bottom.
struct Image {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> rgba;

    bool empty() const { return width == 0 || height == 0; }
    std::uint8_t* At(unsigned x, unsigned y) { return &rgba[(std::size_t(y) * width + x) * 4]; }
    const std::uint8_t* At(unsigned x, unsigned y) const {
        return &rgba[(std::size_t(y) * width + x) * 4];
    }
};

// Decodes any PNG (every colour type, bit depth, interlacing) to RGBA8,
// unkeyed, under the loader's limits. The file's own alpha and tRNS
// become the alpha channel; 16-bit samples keep their high byte. On
// failure returns false and leaves `out` empty (and `header`, when given,
// zeroed).
bool DecodePngFile(const char* path, Image* out, PngHeader* header = nullptr);
bool DecodePngMemory(const void* data, std::size_t size, Image* out,
                     PngHeader* header = nullptr);

// KeyRow on every row, then FillHoles: what PngRowReader::ReadKeyedImage
// gives for the same file and key.
void ApplyColorKey(Image& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// HalveBoxInto into a new image.
Image HalveBox(const Image& source);

// Level 0 (moved in) down to 1 x 1.
std::vector<Image> BuildMipChain(Image level0);

// ResizeBilinearInto into a new image; empty when either size is 0.
Image ResizeBilinear(const Image& source, unsigned width, unsigned height);

// Resizes `image` in place to ChooseTextureSize's answer when that differs.
void FitTextureSize(Image& image, bool npotSupported, unsigned maxTextureSize);

}  // namespace glpng
