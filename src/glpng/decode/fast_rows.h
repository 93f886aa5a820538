// The image data of the common PNGs (8-bit grey, grey + alpha, RGB, RGBA
// and palette, not interlaced) on a faster inflater than libpng's.
// libpng has read and checked everything up to the first IDAT; this
// reads on from there. It gives exactly the rows libpng would, and at
// anything libpng might judge otherwise (a bad CRC, a damaged or odd
// stream, data that ends early) it stops and says so, so that the caller
// can read the file again through libpng and let it decide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "glpng/decode/png_decode.h"

namespace glpng {

// Where the rest of the file comes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Exactly `count` bytes, or false.
    virtual bool Read(std::uint8_t* dest, std::size_t count) = 0;
};

class FastRows {
public:
    // Whether files with this header take the fast path.
    static bool Takes(const PngHeader& header);

    // `palette` holds `paletteSize` R, G, B triples (palette files only);
    // `chunkHeader` is the chunk header libpng read last (length, type),
    // the first IDAT's. False when the fast path does not take the file
    // from there, or out of memory: source bytes may have been read.
    bool Start(ByteSource* source, const PngHeader& header, const std::uint8_t* palette,
               unsigned paletteSize, const std::uint8_t chunkHeader[8]);
    FastRows();
    ~FastRows();
    FastRows(const FastRows&) = delete;
    FastRows& operator=(const FastRows&) = delete;

    // The next `count` rows as RGBA8, keyed as KeyRow keys them, each
    // row's keyed count in `rowKeyed`. With the last row the rest of the
    // stream and its chunk are checked as libpng checks them. False at
    // the first doubt; every later call fails too.
    bool ReadRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                  std::uint32_t* rowKeyed);

private:
    struct Inflater;
    enum class Run { kFilled, kEnded, kFailed };
    bool NextInput(bool gather);
    Run Inflate(std::uint8_t* out, std::size_t size);
    bool JudgeHeader();
    void NextBlock(std::uint32_t callOut);
    bool ReadTrailer();
    bool Finish();
    void ToRgba(const std::uint8_t* raw, std::uint8_t* dest) const;

    ByteSource* source_ = nullptr;
    PngHeader header_;
    unsigned channels_ = 0;
    std::size_t rowBytes_ = 0;  // without the filter byte
    std::uint8_t palette_[256][3] = {};
    std::unique_ptr<Inflater> inflater_;
    std::unique_ptr<std::uint8_t[]> input_;
    std::unique_ptr<std::uint8_t[]> stage_;  // inflated rows, filter bytes and all
    std::size_t stageRows_ = 0, stageFirst_ = 0, stageHave_ = 0;  // rows
    std::unique_ptr<std::uint8_t[]> prior_, current_;
    std::uint32_t chunkLeft_ = 0;  // unread data bytes of the current IDAT
    std::uint32_t chunkCrc_ = 0;
    bool lastChunk_ = false;       // no IDAT follows the current one
    unsigned rowsDone_ = 0;
    bool failed_ = false;
};

}  // namespace glpng
