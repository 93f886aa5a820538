// WebP through libwebp: lossy or lossless, with or without alpha. The
// library decodes from memory, so the file is read whole first; its
// header's size is checked before that, and the pixels go straight into
// the loader's buffer. (The incremental decoder was tried for rows in
// bands: it needs a whole image of its own and came out slower.)
#include <algorithm>
#include <cstdio>
#include <vector>

#include <webp/decode.h>

#include "glpng/decode/format_decoder.h"
#include "platform/files.h"

namespace glpng {
namespace {

// Twice the largest image's pixels: beyond any real file of it.
constexpr std::int64_t kMaxFileBytes = std::int64_t(kMaxPixels) * 8;
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
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config)) return false;
        // Lossy files filter on a second thread, beside the decoding.
        config.options.use_threads = 1;
        config.output.colorspace = MODE_RGBA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = rgba;
        config.output.u.RGBA.stride = int(std::size_t(width_) * 4);
        config.output.u.RGBA.size = std::size_t(width_) * 4 * height_;
        const bool ok = WebPDecode(data_.data(), data_.size(), &config) == VP8_STATUS_OK;
        WebPFreeDecBuffer(&config.output);
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
