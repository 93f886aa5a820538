// The GL-free half of the loader: PNG decoding to RGBA8 and the image
// work done before upload (colour key, hole fill, resizing, mip levels).
// Tests, fuzzers and benchmarks use it without a GL context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace glpng {

// Untrusted files are refused above these sizes before any pixel memory
// is allocated (64 Mi pixels is 256 MiB of RGBA8).
constexpr unsigned kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t(64) << 20;

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

// What the file's header says.
struct PngHeader {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitDepth = 0;   // per channel (or per palette index)
    int colorType = 0;       // PNG_COLOR_TYPE_*
    bool interlaced = false;
};

// Decodes any PNG (every colour type, bit depth, interlacing) to RGBA8.
// The file's own alpha and tRNS become the alpha channel; 16-bit samples
// keep their high byte. On failure returns false and leaves `out` empty
// (and `header`, when given, zeroed).
bool DecodePngFile(const char* path, Image* out, PngHeader* header = nullptr);
bool DecodePngMemory(const void* data, std::size_t size, Image* out,
                     PngHeader* header = nullptr);

// Colour key: alpha becomes 0 where R, G, B equal the key and 255
// elsewhere (the file's alpha is discarded). Keyed texels then take the
// average colour of their nearest opaque texels (8-neighbours, wrapping
// round the edges as the texture repeats), spreading inwards ring by ring,
// so filtering and mip levels never pick up the key colour. A fully keyed
// image turns black (alpha 0).
void ApplyColorKey(Image& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Next mip level: max(1, side / 2) per side. Each destination texel is
// the average of the source block it covers (2 x 2, or 3 wide/high at
// odd sizes), so every source texel counts exactly once.
Image HalveBox(const Image& source);

// Level 0 (moved in) down to 1 x 1.
std::vector<Image> BuildMipChain(Image level0);

// Texture size the image is uploaded at: its own size when non-power-of-two
// textures are supported, else the next power of two per side; either way
// at most maxTextureSize (rounded down to a power of two when needed).
struct TextureSize {
    unsigned width;
    unsigned height;
};
TextureSize ChooseTextureSize(unsigned width, unsigned height, bool npotSupported,
                              unsigned maxTextureSize);

// Bilinear resize that wraps round the edges, as the texture repeats.
Image ResizeBilinear(const Image& source, unsigned width, unsigned height);

// Resizes `image` in place to ChooseTextureSize's answer when that differs.
void FitTextureSize(Image& image, bool npotSupported, unsigned maxTextureSize);

// --- Used by the GL upload ----------------------------------------------
// Pixel memory for the loader: uninitialised, malloc'd (large blocks
// huge-page aligned), freed with std::free.
using PixelBuffer = std::unique_ptr<std::uint8_t, void (*)(void*)>;
PixelBuffer AllocatePixels(std::size_t bytes);

// Reads one file for the loader, keying rows as they arrive. After Open,
// either ReadKeyedImage takes the whole image, or ReadKeyedRows takes it
// a few rows at a time (non-interlaced files only).
class PngRowReader {
public:
    PngRowReader();
    ~PngRowReader();
    PngRowReader(const PngRowReader&) = delete;
    PngRowReader& operator=(const PngRowReader&) = delete;

    // Regular files only; reads up to the pixels, checking every limit.
    bool Open(const char* path);
    const PngHeader& header() const;  // zeroed until opened

    // The next `count` rows, packed, keyed with `key` (R, G, B); each
    // row's count of keyed texels goes to `rowKeyed`. False on any fault,
    // and every later call fails too.
    bool ReadKeyedRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                       std::uint32_t* rowKeyed);

    // The whole image, keyed and with its holes filled: ApplyColorKey's
    // result. Only before any rows were read.
    bool ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One box-filtered mip level; `dest` may be `source` (the level is built
// in place over the one before).
void HalveBoxInto(const std::uint8_t* source, unsigned width, unsigned height,
                  std::uint8_t* dest);

// Rows [destBegin, destEnd) of the next level of a width x height image.
// `source` holds the source rows they cover, starting at the first of
// them; `dest` receives the rows packed. Same results as HalveBoxInto.
void HalveBoxRows(const std::uint8_t* source, unsigned width, unsigned height,
                  unsigned destBegin, unsigned destEnd, std::uint8_t* dest);

// First source row of destination row `destRow` of the next level.
unsigned HalveSourceRow(unsigned height, unsigned destRow);

// Keys one row; returns how many texels it keyed.
std::uint32_t KeyRow(std::uint8_t* row, unsigned width, std::uint8_t red, std::uint8_t green,
                     std::uint8_t blue);

// Gives keyed texels their opaque neighbours' colour (ApplyColorKey after
// keying); `rowKeyed` holds each row's count of keyed texels.
void FillHoles(std::uint8_t* rgba, unsigned width, unsigned height,
               const std::uint32_t* rowKeyed);

// The same fill on a band of rows cut from a taller image: rows do not
// wrap, and rings stop after `maxRing`. Texels of rows [centralBegin,
// centralEnd) get exactly FillHoles's colours when the band reaches
// `maxRing` rows beyond them both ways; returns false when one of them
// is farther than `maxRing` from every opaque texel, as it cannot tell.
// Keyed texels of every row end with alpha 0, as after FillHoles.
bool FillHolesInBand(std::uint8_t* rgba, unsigned width, unsigned rows,
                     const std::uint32_t* rowKeyed, unsigned centralBegin, unsigned centralEnd,
                     unsigned maxRing);

}  // namespace glpng
