// One image format's decoder behind the loader's reader (image_reader.h):
// a header with the size checked against the loader's limits before any
// pixel memory exists, then RGBA8 pixels whose alpha the reader replaces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "glpng/decode/png_decode.h"

namespace glpng {

class FormatDecoder {
public:
    virtual ~FormatDecoder() = default;
    // Reads up to the pixels of `file` (positioned at its start, owned by
    // the caller and open until the decoder is gone). False when the file
    // is not this format, is damaged, or is larger than the limits.
    virtual bool Open(std::FILE* file, PngHeader* header) = 0;
    // Whether ReadRows works: rows come top to bottom without the whole
    // image held anywhere else.
    virtual bool Streams() const { return false; }
    // The next `count` rows, packed RGBA8.
    virtual bool ReadRows(std::uint8_t* dest, unsigned count) {
        (void)dest;
        (void)count;
        return false;
    }
    // The whole image, packed RGBA8; only before any rows were read.
    virtual bool ReadImage(std::uint8_t* rgba) = 0;
};

// Whether a size is within the loader's limits (kMaxSide, kMaxPixels).
inline bool WithinLimits(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

std::unique_ptr<FormatDecoder> NewJpegDecoder();
std::unique_ptr<FormatDecoder> NewWebpDecoder();
std::unique_ptr<FormatDecoder> NewTargaDecoder();
std::unique_ptr<FormatDecoder> NewPsdDecoder();

}  // namespace glpng
