// The loader's reader for every image format it takes: the format is told
// by the file's first bytes (Targa, which has none, by its name), and
// every format becomes RGBA8 keyed as PNGs are (png_decode.h): the file's
// own alpha is replaced by the key's, holes are filled, and the loader's
// size limits are checked before any pixel memory exists.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "glpng/decode/png_decode.h"

namespace glpng {

enum class ImageFormat { Unknown, Png, Jpeg, Webp, Targa, Psd, Krita, OpenRaster };

// The format a file name's extension stands for, any case; Unknown for
// every other name (and for a name with no extension).
ImageFormat FormatOfName(const std::string& name);

// Extensions the loader takes, lower case without the dot, as a folder is
// listed and a file manager is told.
const std::vector<const char*>& ImageExtensions();

class ImageReader {
public:
    ImageReader();
    ~ImageReader();
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    // Regular files only; reads up to the pixels, checking every limit.
    bool Open(const char* path);
    const PngHeader& header() const;  // zeroed until opened
    ImageFormat format() const { return format_; }
    // Whether ReadKeyedRows may be used (else ReadKeyedImage only).
    bool Streams() const;

    // As PngRowReader's: the next rows, keyed; or the whole image, keyed
    // and hole-filled, before any rows were read.
    bool ReadKeyedRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                       std::uint32_t* rowKeyed);
    bool ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels);

private:
    struct State;
    std::unique_ptr<State> state_;
    ImageFormat format_ = ImageFormat::Unknown;
};

}  // namespace glpng
