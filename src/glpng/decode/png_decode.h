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

    // The whole image, keyed and with its holes filled (hole_fill.h). Only
    // before any rows were read.
    bool ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels);

private:
    bool Begin(DecodePath decodePath);
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace glpng
