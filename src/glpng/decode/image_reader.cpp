#include "glpng/decode/image_reader.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

#include "glpng/colour_key.h"
#include "glpng/decode/format_decoder.h"
#include "glpng/decode/zip_entry.h"
#include "glpng/hole_fill.h"
#include "platform/files.h"

namespace glpng {
namespace {

struct NamedFormat {
    const char* extension;
    ImageFormat format;
};
const NamedFormat kNames[] = {
    {"png", ImageFormat::Png},   {"jpg", ImageFormat::Jpeg},  {"jpeg", ImageFormat::Jpeg},
    {"webp", ImageFormat::Webp}, {"tga", ImageFormat::Targa}, {"psd", ImageFormat::Psd},
    {"kra", ImageFormat::Krita}, {"ora", ImageFormat::OpenRaster},
};

// The flattened picture .kra and .ora files keep beside their layers.
constexpr char kMergedImage[] = "mergedimage.png";
// Its largest honest size: a 16-bit RGBA PNG of the largest image the
// loader takes, stored uncompressed, with room for its other chunks.
constexpr std::uint64_t kMaxMergedBytes = kMaxPixels * 8 + (std::uint64_t(64) << 20);

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// A merged image whose header already breaks a limit is refused before
// the rest of it is inflated.
bool PngStartFits(const std::uint8_t* start, std::size_t size) {
    if (size < 24 || std::memcmp(start, kPngSignature, 8) != 0 ||
        std::memcmp(start + 12, "IHDR", 4) != 0)
        return false;
    const std::uint64_t width = Be32(start + 16), height = Be32(start + 20);
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

ImageFormat FormatOfContent(const std::uint8_t* start, std::size_t size, ImageFormat byName) {
    if (size >= 8 && std::memcmp(start, kPngSignature, 8) == 0) return ImageFormat::Png;
    if (size >= 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF)
        return ImageFormat::Jpeg;
    if (size >= 12 && std::memcmp(start, "RIFF", 4) == 0 && std::memcmp(start + 8, "WEBP", 4) == 0)
        return ImageFormat::Webp;
    if (size >= 4 && std::memcmp(start, "8BPS", 4) == 0) return ImageFormat::Psd;
    if (size >= 4 && std::memcmp(start, "PK\3\4", 4) == 0)
        return byName == ImageFormat::OpenRaster ? ImageFormat::OpenRaster : ImageFormat::Krita;
    // Targa files begin with no signature of their own.
    return byName == ImageFormat::Targa ? ImageFormat::Targa : ImageFormat::Unknown;
}

std::unique_ptr<FormatDecoder> DecoderFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpeg: return NewJpegDecoder();
    case ImageFormat::Webp: return NewWebpDecoder();
    case ImageFormat::Targa: return NewTargaDecoder();
    case ImageFormat::Psd: return NewPsdDecoder();
    default: return nullptr;
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

ImageFormat FormatOfName(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t cut = name.find_last_of("/\\");
    if (dot == std::string::npos || (cut != std::string::npos && dot < cut)) return ImageFormat::Unknown;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const NamedFormat& named : kNames)
        if (extension == named.extension) return named.format;
    return ImageFormat::Unknown;
}

const std::vector<const char*>& ImageExtensions() {
    static const std::vector<const char*> extensions = [] {
        std::vector<const char*> all;
        for (const NamedFormat& named : kNames) all.push_back(named.extension);
        return all;
    }();
    return extensions;
}

struct ImageReader::State {
    std::unique_ptr<std::FILE, FileCloser> file;
    PixelBuffer merged{nullptr, std::free};  // outlives `png`, which reads it in place
    std::size_t mergedSize = 0;
    PngRowReader png;
    std::unique_ptr<FormatDecoder> decoder;
    PngHeader header;
    unsigned rowsRead = 0;
    bool failed = false;
};

ImageReader::ImageReader() = default;
ImageReader::~ImageReader() = default;

bool ImageReader::Open(const char* path) {
    state_.reset();
    format_ = ImageFormat::Unknown;
    if (!path) return false;
    auto state = std::make_unique<State>();
    state->file.reset(files::OpenRegular(path));
    if (!state->file) return false;
    std::uint8_t start[12];
    const std::size_t got = std::fread(start, 1, sizeof start, state->file.get());
    const ImageFormat format = FormatOfContent(start, got, FormatOfName(path));
    if (format == ImageFormat::Unknown || std::fseek(state->file.get(), 0, SEEK_SET) != 0)
        return false;
    if (format == ImageFormat::Png) {
        state->file.reset();
        if (!state->png.Open(path)) return false;
        state->header = state->png.header();
    } else if (format == ImageFormat::Krita || format == ImageFormat::OpenRaster) {
        if (!ReadZipMember(state->file.get(), kMergedImage, kMaxMergedBytes, PngStartFits,
                           &state->merged, &state->mergedSize))
            return false;
        state->file.reset();
        if (!state->png.OpenMemory(state->merged.get(), state->mergedSize)) return false;
        state->header = state->png.header();
    } else {
        state->decoder = DecoderFor(format);
        if (!state->decoder->Open(state->file.get(), &state->header)) return false;
    }
    state_ = std::move(state);
    format_ = format;
    return true;
}

const PngHeader& ImageReader::header() const {
    static const PngHeader kNone;
    return state_ ? state_->header : kNone;
}

bool ImageReader::Streams() const {
    if (!state_) return false;
    return state_->decoder ? state_->decoder->Streams() : !state_->header.interlaced;
}

bool ImageReader::ReadKeyedRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                                std::uint32_t* rowKeyed) {
    if (!state_ || state_->failed) return false;
    if (!state_->decoder) return state_->png.ReadKeyedRows(dest, count, key, rowKeyed);
    const unsigned width = state_->header.width;
    if (!Streams() || count > state_->header.height - state_->rowsRead ||
        !state_->decoder->ReadRows(dest, count)) {
        state_->failed = true;
        return false;
    }
    for (unsigned y = 0; y < count; ++y)
        rowKeyed[y] = KeyRow(dest + std::size_t(y) * width * 4, width, key[0], key[1], key[2]);
    state_->rowsRead += count;
    return true;
}

bool ImageReader::ReadKeyedImage(const std::uint8_t* key, PixelBuffer* pixels) {
    pixels->reset();
    if (!state_ || state_->failed || state_->rowsRead != 0) return false;
    if (!state_->decoder) return state_->png.ReadKeyedImage(key, pixels);
    const unsigned width = state_->header.width, height = state_->header.height;
    const std::size_t stride = std::size_t(width) * 4;
    PixelBuffer memory = AllocatePixels(stride * height);
    if (!memory || !state_->decoder->ReadImage(memory.get())) {
        state_->failed = true;
        return false;
    }
    state_->rowsRead = height;
    std::vector<std::uint32_t> rowKeyed(height);
    for (unsigned y = 0; y < height; ++y)
        rowKeyed[y] = KeyRow(memory.get() + y * stride, width, key[0], key[1], key[2]);
    FillHoles(memory.get(), width, height, rowKeyed.data());
    *pixels = std::move(memory);
    return true;
}

}  // namespace glpng
