// WebP through libwebp: lossy or lossless, with or without alpha. The
// library decodes from memory, so the file is read whole first; its
// header's size is checked before that, and the pixels go straight into
// the loader's buffer.
#include <cstdio>
#include <vector>

#include <webp/decode.h>

#include "glpng/decode/format_decoder.h"
#include "platform/files.h"

namespace glpng {
namespace {

// Far beyond any real file of the largest image the loader takes.
constexpr std::int64_t kMaxFileBytes = std::int64_t(1) << 30;
// Enough for the RIFF header and the first chunk's size fields.
constexpr std::size_t kHeaderBytes = 64;

class WebpDecoder : public FormatDecoder {
public:
    bool Open(std::FILE* file, PngHeader* header) override {
        std::uint8_t start[kHeaderBytes];
        const std::size_t got = std::fread(start, 1, sizeof start, file);
        WebPBitstreamFeatures features;
        if (WebPGetFeatures(start, got, &features) != VP8_STATUS_OK) return false;
        if (features.has_animation) return false;
        if (!WithinLimits(unsigned(features.width), unsigned(features.height))) return false;
        const std::int64_t size = files::Size(file);
        if (size < std::int64_t(got) || size > kMaxFileBytes) return false;
        data_.resize(std::size_t(size));
        std::copy(start, start + got, data_.begin());
        if (std::fread(data_.data() + got, 1, data_.size() - got, file) != data_.size() - got)
            return false;
        width_ = unsigned(features.width);
        height_ = unsigned(features.height);
        header->width = width_;
        header->height = height_;
        header->bitDepth = 8;
        header->colorType = features.has_alpha ? 6 : 2;
        header->interlaced = false;
        return true;
    }

    bool ReadImage(std::uint8_t* rgba) override {
        if (data_.empty()) return false;
        const std::size_t stride = std::size_t(width_) * 4;
        const bool ok = WebPDecodeRGBAInto(data_.data(), data_.size(), rgba, stride * height_,
                                           int(stride)) != nullptr;
        data_ = std::vector<std::uint8_t>();
        return ok;
    }

private:
    std::vector<std::uint8_t> data_;
    unsigned width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<FormatDecoder> NewWebpDecoder() { return std::make_unique<WebpDecoder>(); }

}  // namespace glpng
