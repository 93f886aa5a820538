// Targa, read here rather than through a general image library: the
// format is a header and a run of pixels, and the loader needs its size
// checked before allocation and every run bounded by the image. True
// colour (16, 24, 32 bits) and grey (8 bits), raw or run-length encoded,
// any origin; colour-mapped files are refused.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glpng/decode/format_decoder.h"

namespace glpng {
namespace {

enum : std::uint8_t { kTrueColour = 2, kGrey = 3, kRleTrueColour = 10, kRleGrey = 11 };

unsigned Le16(const std::uint8_t* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }

class TargaDecoder : public FormatDecoder {
public:
    bool Open(std::FILE* file, PngHeader* header) override {
        std::uint8_t h[18];
        if (std::fread(h, 1, sizeof h, file) != sizeof h) return false;
        const std::uint8_t idLength = h[0], mapType = h[1], type = h[2];
        const unsigned mapLength = Le16(h + 5), mapEntryBits = h[7];
        width_ = Le16(h + 12);
        height_ = Le16(h + 14);
        bytes_ = h[16] / 8u;
        const std::uint8_t descriptor = h[17];
        grey_ = type == kGrey || type == kRleGrey;
        rle_ = type == kRleTrueColour || type == kRleGrey;
        if (type != kTrueColour && type != kGrey && !rle_) return false;
        if (mapType > 1 || h[16] % 8 != 0) return false;
        if (grey_ ? bytes_ != 1 : bytes_ < 2 || bytes_ > 4) return false;
        if (descriptor & 0xC0) return false;  // interleaved rows: never written
        rightToLeft_ = (descriptor & 0x10) != 0;
        topDown_ = (descriptor & 0x20) != 0;
        if (!WithinLimits(width_, height_)) return false;
        // The id and a colour map a true-colour file may still carry.
        const long skip = long(idLength) + (mapType ? long(mapLength) * ((mapEntryBits + 7) / 8) : 0);
        if (skip && std::fseek(file, skip, SEEK_CUR) != 0) return false;
        file_ = file;
        header->width = width_;
        header->height = height_;
        header->bitDepth = 8;
        header->colorType = grey_ ? 0 : bytes_ == 4 ? 6 : 2;
        header->interlaced = false;
        return true;
    }

    bool ReadImage(std::uint8_t* rgba) override {
        if (!file_) return false;
        std::vector<std::uint8_t> row(std::size_t(width_) * bytes_);
        for (unsigned i = 0; i < height_; ++i) {
            if (!(rle_ ? ReadRunRow(row.data()) : Read(row.data(), row.size()))) return false;
            const unsigned y = topDown_ ? i : height_ - 1 - i;
            Expand(row.data(), rgba + std::size_t(y) * width_ * 4);
        }
        file_ = nullptr;
        return true;
    }

private:
    bool Read(std::uint8_t* dest, std::size_t bytes) {
        return std::fread(dest, 1, bytes, file_) == bytes;
    }

    // One row's pixels from the packets; a packet may run on into the
    // next row, as writers are allowed to do.
    bool ReadRunRow(std::uint8_t* row) {
        for (unsigned x = 0; x < width_;) {
            if (pending_ == 0) {
                std::uint8_t packet;
                if (!Read(&packet, 1)) return false;
                repeat_ = (packet & 0x80) != 0;
                pending_ = (packet & 0x7F) + 1u;
                if (repeat_ && !Read(pixel_, bytes_)) return false;
            }
            const unsigned n = std::min(pending_, width_ - x);
            std::uint8_t* dest = row + std::size_t(x) * bytes_;
            if (repeat_) {
                for (unsigned i = 0; i < n; ++i) std::memcpy(dest + i * bytes_, pixel_, bytes_);
            } else if (!Read(dest, std::size_t(n) * bytes_)) {
                return false;
            }
            pending_ -= n;
            x += n;
        }
        return true;
    }

    // File order (BGR(A), 5-5-5 or grey) to RGBA, mirrored when the file
    // stores its rows from the right.
    void Expand(const std::uint8_t* src, std::uint8_t* dest) const {
        for (unsigned x = 0; x < width_; ++x) {
            const std::uint8_t* p = src + std::size_t(x) * bytes_;
            std::uint8_t* d = dest + std::size_t(rightToLeft_ ? width_ - 1 - x : x) * 4;
            if (grey_) {
                d[0] = d[1] = d[2] = p[0];
            } else if (bytes_ == 2) {
                const unsigned v = Le16(p);
                d[0] = std::uint8_t(((v >> 10) & 31) * 255 / 31);
                d[1] = std::uint8_t(((v >> 5) & 31) * 255 / 31);
                d[2] = std::uint8_t((v & 31) * 255 / 31);
            } else {
                d[0] = p[2];
                d[1] = p[1];
                d[2] = p[0];
            }
            d[3] = 255;
        }
    }

    std::FILE* file_ = nullptr;
    unsigned width_ = 0, height_ = 0, bytes_ = 0;
    bool grey_ = false, rle_ = false, rightToLeft_ = false, topDown_ = false;
    unsigned pending_ = 0;
    bool repeat_ = false;
    std::uint8_t pixel_[4] = {};
};

}  // namespace

std::unique_ptr<FormatDecoder> NewTargaDecoder() { return std::make_unique<TargaDecoder>(); }

}  // namespace glpng
