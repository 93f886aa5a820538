// The GL-free half of pngBind: one file read to keyed, hole-filled RGBA8,
// then fitted to the context's size rules and halved into mip levels.
// Whole-image helpers for tests, fuzzers and benchmarks are in
// png_reference.h; the loader never uses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace glpng {

// Untrusted files are refused above these sizes before any pixel memory
// is allocated (64 Mi pixels is 256 MiB of RGBA8).
constexpr unsigned kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t(64) << 20;

// What the file's header says.
struct PngHeader {
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitDepth = 0;   // per channel (or per palette index)
    int colorType = 0;       // PNG_COLOR_TYPE_*
    bool interlaced = false;
};

// Pixel memory for the loader: uninitialised, malloc'd (large blocks
// huge-page aligned), freed with std::free. Null when out of memory.
using PixelBuffer = std::unique_ptr<std::uint8_t, void (*)(void*)>;
PixelBuffer AllocatePixels(std::size_t bytes);

// Which decoder reads the image data: the fast path where it takes the
// file (libpng deciding wherever it has a doubt), or libpng alone.
enum class DecodePath { Fast, Libpng };

// Reads one file for the loader, keying rows as they arrive. Every PNG
// (every colour type, bit depth, interlacing) becomes RGBA8; 16-bit
// samples keep their high byte and the file's own alpha is replaced by
// the key's. After Open, either ReadKeyedImage takes the whole image, or
// ReadKeyedRows takes it a few rows at a time (non-interlaced files only).
class PngRowReader {
public:
    PngRowReader();
    ~PngRowReader();
    PngRowReader(const PngRowReader&) = delete;
    PngRowReader& operator=(const PngRowReader&) = delete;

    // Regular files only; reads up to the pixels, checking every limit.
    bool Open(const char* path, DecodePath decodePath = DecodePath::Fast);
    // The same from memory that outlives the reader.
    bool OpenMemory(const void* data, std::size_t size,
                    DecodePath decodePath = DecodePath::Fast);
    // Whether the fast path reads the image data (so far).
    bool OnFastPath() const;
    const PngHeader& header() const;  // zeroed until opened

    // The next `count` rows, packed, keyed with `key` (R, G, B) by KeyRow;
    // each row's count of keyed texels goes to `rowKeyed`. False on any
    // fault, and every later call fails too.
    bool ReadKeyedRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                       std::uint32_t* rowKeyed);

    // The whole image, keyed and with its holes filled (FillHoles). Only
    // before any rows were read.
    bool ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels);

private:
    bool Begin(DecodePath decodePath);
    struct State;
    std::unique_ptr<State> state_;
};

// Colour key on one row: alpha becomes 0 where R, G, B equal the key and
// 255 elsewhere. Returns how many texels it keyed.
std::uint32_t KeyRow(std::uint8_t* row, unsigned width, std::uint8_t red, std::uint8_t green,
                     std::uint8_t blue);

// Keyed texels as many rings as this from the nearest opaque texel, or
// fewer, are filled ring by ring (FillHoles); farther ones are coloured
// from a coarser view of the image.
constexpr unsigned kExactFillRings = 64;

// After keying, keyed texels take the average colour of their nearest
// opaque texels (8-neighbours, wrapping round the edges as the texture
// repeats), spreading inwards ring by ring, so filtering and mip levels
// never pick up the key colour. Past kExactFillRings rings the spread
// goes on coarse to fine over blocks of texels instead, still wrapping,
// so that the fill costs about one pass over the image however few the
// opaque texels. A fully keyed image turns black. Keyed texels end with
// alpha 0. `rowKeyed` holds each row's count of keyed texels.
void FillHoles(std::uint8_t* rgba, unsigned width, unsigned height,
               const std::uint32_t* rowKeyed);

// The same fill on a band of rows cut from a taller image: rows do not
// wrap, and rings stop after `maxRing` (at most kExactFillRings). Texels
// of rows [centralBegin, centralEnd) get exactly FillHoles's colours when
// the band reaches `maxRing` rows beyond them both ways; returns false
// when one of them is farther than that from every opaque texel, as it
// cannot tell. Keyed texels of every row end with alpha 0, as after
// FillHoles.
bool FillHolesInBand(std::uint8_t* rgba, unsigned width, unsigned rows,
                     const std::uint32_t* rowKeyed, unsigned centralBegin, unsigned centralEnd,
                     unsigned maxRing);

// Texture size the image is uploaded at: its own size when non-power-of-two
// textures are supported, else the next power of two per side; either way
// at most maxTextureSize (rounded down to a power of two when needed).
struct TextureSize {
    unsigned width;
    unsigned height;
};
TextureSize ChooseTextureSize(unsigned width, unsigned height, bool npotSupported,
                              unsigned maxTextureSize);

// Bilinear resize of packed RGBA8 that wraps round the edges, as the
// texture repeats. `dest` holds width x height texels and is not `source`.
void ResizeBilinearInto(const std::uint8_t* source, unsigned sourceWidth,
                        unsigned sourceHeight, std::uint8_t* dest, unsigned width,
                        unsigned height);

// Next mip level: max(1, side / 2) per side. Each destination texel is
// the average of the source block it covers (2 x 2, or 3 wide/high at
// odd sizes), so every source texel counts exactly once. `dest` may be
// `source` (the level is built in place over the one before).
void HalveBoxInto(const std::uint8_t* source, unsigned width, unsigned height,
                  std::uint8_t* dest);

// Rows [destBegin, destEnd) of the next level of a width x height image.
// `source` holds the source rows they cover, starting at the first of
// them; `dest` receives the rows packed. Same results as HalveBoxInto.
void HalveBoxRows(const std::uint8_t* source, unsigned width, unsigned height,
                  unsigned destBegin, unsigned destEnd, std::uint8_t* dest);

// First source row of destination row `destRow` of the next level.
unsigned HalveSourceRow(unsigned height, unsigned destRow);

}  // namespace glpng
