// Band by band: decode, key, fill the holes within a margin, hand the
// rows on and make the next mip level from them. The first band waits
// for the last rows, which it needs above it as the texture repeats.
#include "glpng/decode/band_decode.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "glpng/hole_fill.h"
#include "glpng/mip_levels.h"

namespace glpng {
namespace {

constexpr unsigned kBandLevel1Rows = 128;  // a band makes this many rows of level 1
constexpr unsigned kMargin = 64;           // rows above and below a band; the widest hole
constexpr unsigned kThinMargin = 8;        // tried first: most holes are narrow
constexpr std::uint64_t kMinPixels = std::uint64_t(1) << 20;
// A band then fills exactly as the whole image does, and falls back to it
// for anything farther.
static_assert(kMargin <= kExactFillRings, "margin beyond the exact rings");

class BandDecoder {
public:
    BandDecoder(ImageReader& reader, const std::uint8_t* key, bool withLevel1, BandSink& sink)
        : reader_(reader),
          key_(key),
          withLevel1_(withLevel1),
          sink_(sink),
          width_(reader.header().width),
          height_(reader.header().height),
          stride_(std::size_t(width_) * 4),
          nextHeight_(std::max(1u, height_ / 2)),
          bands_((nextHeight_ + kBandLevel1Rows - 1) / kBandLevel1Rows),
          rowKeyed_(height_, 0) {}

    bool Run(BandResult* result) {
        unsigned longest = 0;
        for (unsigned k = 0; k < bands_; ++k) longest = std::max(longest, Start(k + 1) - Start(k));
        // The first band with its margins; the top margin (the last rows)
        // is filled in at the end.
        const unsigned headRows = Start(1) + kMargin;
        head_.reset(new (std::nothrow) std::uint8_t[(kMargin + headRows) * stride_]);
        window_.reset(new (std::nothrow) std::uint8_t[(longest + 2 * kMargin) * stride_]);
        if (!head_ || !window_) return false;
        if (withLevel1_) {
            level1_ = AllocatePixels(std::size_t(std::max(1u, width_ / 2)) * nextHeight_ * 4);
            if (!level1_) return false;
        }
        if (!Decode(HeadRow(0), 0, headRows)) return false;

        for (unsigned k = 1; k < bands_; ++k) {
            const unsigned a = Start(k), b = Start(k + 1);
            // Window rows are image rows a - margin ..; keep the overlap
            // with the last window and read on.
            if (k == 1)
                std::memcpy(window_.get(), HeadRow(a - kMargin), 2 * kMargin * stride_);
            else
                std::memmove(window_.get(), WindowRow(windowRows_ - 2 * kMargin),
                             2 * kMargin * stride_);
            windowRows_ = b - a + 2 * kMargin;
            const unsigned readEnd = std::min(b + kMargin, height_);
            if (readEnd > a + kMargin &&
                !Decode(WindowRow(2 * kMargin), a + kMargin, readEnd - (a + kMargin)))
                return false;
            // Below the last band: the first rows, as the texture repeats.
            for (unsigned row = std::max(readEnd, a + kMargin); row < b + kMargin; ++row)
                std::memcpy(WindowRow(row - (a - kMargin)), HeadRow(row - height_), stride_);
            if (!Finish(window_.get(), k)) return Fallback(a - kMargin, readEnd, result);
        }

        // The first band, with the last rows above it.
        const unsigned lastStart = Start(bands_ - 1) - kMargin;
        std::memcpy(head_.get(), WindowRow(height_ - kMargin - lastStart), kMargin * stride_);
        if (!Finish(head_.get(), 0)) return Fallback(height_, height_, result);
        result->level1 = std::move(level1_);
        return true;
    }

private:
    // First image row of band k.
    unsigned Start(unsigned k) const {
        return HalveSourceRow(height_, std::min(k * kBandLevel1Rows, nextHeight_));
    }
    std::uint8_t* HeadRow(unsigned row) { return head_.get() + (kMargin + row) * stride_; }
    std::uint8_t* WindowRow(unsigned index) { return window_.get() + index * stride_; }

    bool Decode(std::uint8_t* dest, unsigned first, unsigned count) {
        return reader_.ReadKeyedRows(dest, count, key_, rowKeyed_.data() + first);
    }

    // Fills band k in `rows` (which start `kMargin` rows above it), hands
    // it on and makes its rows of level 1.
    bool Finish(std::uint8_t* rows, unsigned k) {
        const unsigned a = Start(k), b = Start(k + 1);
        const unsigned count = b - a + 2 * kMargin;
        std::vector<std::uint32_t> keyed(count);
        for (unsigned i = 0; i < count; ++i)
            keyed[i] = rowKeyed_[(a + height_ - kMargin + i) % height_];
        bool filled = false;
        for (unsigned margin : {kThinMargin, kMargin}) {
            const unsigned skip = kMargin - margin;
            filled = FillHolesInBand(rows + skip * stride_, width_, count - 2 * skip,
                                     keyed.data() + skip, margin, margin + b - a, margin);
            if (filled) break;
        }
        if (!filled) return false;
        const std::uint8_t* band = rows + kMargin * stride_;
        sink_.Rows(a, b - a, band);
        handedOn_ = true;
        if (withLevel1_) {
            const unsigned first = k * kBandLevel1Rows;
            const unsigned end = std::min(first + kBandLevel1Rows, nextHeight_);
            HalveBoxRows(band, width_, height_, first, end,
                         level1_.get() + std::size_t(first) * std::max(1u, width_ / 2) * 4);
        }
        return true;
    }

    // A hole too wide for the bands: gather level 0 whole (the rows handed
    // on, the head, the window's rows [windowFirst, decodedEnd) and the
    // rows not read yet) and fill it as one image.
    bool Fallback(unsigned windowFirst, unsigned decodedEnd, BandResult* result) {
        level1_.reset();
        PixelBuffer whole = AllocatePixels(stride_ * height_);
        if (!whole) return false;
        // Reading back a level with nothing handed on yet would only copy
        // rows about to be overwritten.
        if (handedOn_ && !sink_.ReadBack(whole.get())) return false;
        std::memcpy(whole.get(), HeadRow(0), std::size_t(Start(1) + kMargin) * stride_);
        if (windowFirst < decodedEnd)
            std::memcpy(whole.get() + windowFirst * stride_, window_.get(),
                        (decodedEnd - windowFirst) * stride_);
        if (!Decode(whole.get() + decodedEnd * stride_, decodedEnd, height_ - decodedEnd))
            return false;
        FillHoles(whole.get(), width_, height_, rowKeyed_.data());
        result->whole = std::move(whole);
        return true;
    }

    ImageReader& reader_;
    const std::uint8_t* key_;
    const bool withLevel1_;
    BandSink& sink_;
    const unsigned width_, height_;
    const std::size_t stride_;
    const unsigned nextHeight_;  // level 1's height
    const unsigned bands_;
    std::vector<std::uint32_t> rowKeyed_;  // keyed texels of each image row read
    std::unique_ptr<std::uint8_t[]> head_;    // margin + first band + margin
    std::unique_ptr<std::uint8_t[]> window_;  // margin + band + margin
    unsigned windowRows_ = 0;
    bool handedOn_ = false;  // some rows went to the sink
    PixelBuffer level1_{nullptr, std::free};
};

}  // namespace

bool SuitsBands(const PngHeader& header) {
    return !header.interlaced && header.height >= 8 * kBandLevel1Rows &&
           std::uint64_t(header.width) * header.height >= kMinPixels;
}

bool DecodeKeyedInBands(ImageReader& reader, const std::uint8_t* key, bool withLevel1,
                        BandSink& sink, BandResult* result) {
    *result = BandResult();
    if (!SuitsBands(reader.header()) || !reader.Streams()) return false;
    BandDecoder decoder(reader, key, withLevel1, sink);
    if (decoder.Run(result)) return true;
    *result = BandResult();
    return false;
}

}  // namespace glpng
