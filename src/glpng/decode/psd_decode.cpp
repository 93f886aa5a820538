// The flattened picture a layered PSD file stores after its layers, read
// here rather than through a general image library: that one takes no
// grey files, and the loader needs the size checked before allocation and
// every run bounded by its row. RGB and grey, 8 and 16 bits per channel,
// raw or PackBits; the layers themselves are skipped, never read.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glpng/decode/format_decoder.h"
#include "platform/files.h"

namespace glpng {
namespace {

enum : unsigned { kGreyMode = 1, kRgbMode = 3 };
enum : unsigned { kRaw = 0, kPackBits = 1 };
constexpr unsigned kMaxChannels = 56;

unsigned Be16(const std::uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }
std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// PackBits into exactly `out.size()` bytes; false when the runs do not
// fill the row exactly.
bool Unpack(const std::uint8_t* in, std::size_t inSize, std::vector<std::uint8_t>& out) {
    std::size_t i = 0, o = 0;
    while (i < inSize && o < out.size()) {
        const int n = static_cast<std::int8_t>(in[i++]);
        if (n >= 0) {
            const std::size_t count = std::size_t(n) + 1;
            if (count > inSize - i || count > out.size() - o) return false;
            std::memcpy(out.data() + o, in + i, count);
            i += count;
            o += count;
        } else if (n != -128) {
            const std::size_t count = std::size_t(1 - n);
            if (i >= inSize || count > out.size() - o) return false;
            std::memset(out.data() + o, in[i++], count);
            o += count;
        }
    }
    return o == out.size();
}

class PsdDecoder : public FormatDecoder {
public:
    bool Open(std::FILE* file, PngHeader* header) override {
        std::uint8_t h[26];
        if (std::fread(h, 1, sizeof h, file) != sizeof h) return false;
        if (std::memcmp(h, "8BPS", 4) != 0 || Be16(h + 4) != 1) return false;  // 2 is PSB
        channels_ = Be16(h + 12);
        height_ = Be32(h + 14);
        width_ = Be32(h + 18);
        const unsigned depth = Be16(h + 22), mode = Be16(h + 24);
        if (depth != 8 && depth != 16) return false;
        if (mode != kGreyMode && mode != kRgbMode) return false;
        used_ = mode == kRgbMode ? 3 : 1;
        if (channels_ < used_ || channels_ > kMaxChannels) return false;
        if (!WithinLimits(width_, height_)) return false;
        sampleBytes_ = depth / 8;
        // Colour mode data, image resources, layers and masks.
        for (int section = 0; section < 3; ++section) {
            std::uint8_t length[4];
            if (std::fread(length, 1, 4, file) != 4) return false;
            if (!files::Seek(file, Be32(length), SEEK_CUR)) return false;
        }
        std::uint8_t compression[2];
        if (std::fread(compression, 1, 2, file) != 2) return false;
        compression_ = Be16(compression);
        if (compression_ != kRaw && compression_ != kPackBits) return false;
        file_ = file;
        header->width = width_;
        header->height = height_;
        header->bitDepth = depth;
        header->colorType = mode == kRgbMode ? 2 : 0;
        header->interlaced = false;
        return true;
    }

    bool ReadImage(std::uint8_t* rgba) override {
        if (!file_) return false;
        std::FILE* file = file_;
        file_ = nullptr;
        // Row byte counts for every channel, ahead of the first channel's rows.
        std::vector<std::uint8_t> counts;
        if (compression_ == kPackBits) {
            counts.resize(std::size_t(channels_) * height_ * 2);
            if (std::fread(counts.data(), 1, counts.size(), file) != counts.size()) return false;
        }
        std::vector<std::uint8_t> row(std::size_t(width_) * sampleBytes_);
        std::vector<std::uint8_t> packed;
        for (unsigned c = 0; c < used_; ++c) {
            for (unsigned y = 0; y < height_; ++y) {
                if (compression_ == kPackBits) {
                    packed.resize(Be16(counts.data() + (std::size_t(c) * height_ + y) * 2));
                    if (std::fread(packed.data(), 1, packed.size(), file) != packed.size() ||
                        !Unpack(packed.data(), packed.size(), row))
                        return false;
                } else if (std::fread(row.data(), 1, row.size(), file) != row.size()) {
                    return false;
                }
                // 16-bit samples are big-endian: the high byte comes first.
                std::uint8_t* d = rgba + std::size_t(y) * width_ * 4 + c;
                for (unsigned x = 0; x < width_; ++x) d[std::size_t(x) * 4] = row[std::size_t(x) * sampleBytes_];
            }
        }
        for (std::size_t i = 0, n = std::size_t(width_) * height_; i < n; ++i) {
            std::uint8_t* p = rgba + i * 4;
            if (used_ == 1) p[1] = p[2] = p[0];
            p[3] = 255;
        }
        return true;
    }

private:
    std::FILE* file_ = nullptr;
    unsigned channels_ = 0, used_ = 0, sampleBytes_ = 1, compression_ = kRaw;
    std::uint32_t width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<FormatDecoder> NewPsdDecoder() { return std::make_unique<PsdDecoder>(); }

}  // namespace glpng
