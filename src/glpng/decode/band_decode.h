// Large images decoded a band of rows at a time, so the loader never holds
// the whole image while the GL driver holds the texture. Each band is
// keyed and hole-filled with a margin of rows above and below it, which
// gives exactly the whole-image fill for holes up to that margin wide;
// a wider hole falls back to a whole-image fill.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "glpng/decode/image_reader.h"

namespace glpng {

// Where finished rows of level 0 go (the loader uploads them).
class BandSink {
public:
    virtual ~BandSink() = default;
    // Rows [first, first + count), packed RGBA8, final. Bands arrive top
    // to bottom, except the first band, which comes last.
    virtual void Rows(unsigned first, unsigned count, const std::uint8_t* rgba) = 0;
    // Level 0 as handed on so far, whole, into `rgba`; for the fallback.
    virtual bool ReadBack(std::uint8_t* rgba) = 0;
};

// Files worth decoding in bands: large, tall enough and not interlaced
// (the reader must also stream its rows).
bool SuitsBands(const PngHeader& header);

struct BandResult {
    // The next mip level, whole, when asked for.
    PixelBuffer level1{nullptr, std::free};
    // Set instead when a hole was too wide for the bands: level 0, keyed
    // and filled, for the caller to hand on itself.
    PixelBuffer whole{nullptr, std::free};
};

// Decodes an opened reader's image (SuitsBands) with colour key `key`
// (R, G, B). Returns false on a decoding fault.
bool DecodeKeyedInBands(ImageReader& reader, const std::uint8_t* key, bool withLevel1,
                        BandSink& sink, BandResult* result);

}  // namespace glpng
