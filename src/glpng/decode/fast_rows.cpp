// Inflate (ISA-L's, several times zlib's speed), the PNG row filters and
// the RGBA conversion libpng's transforms give these formats. Every
// check libpng makes that could end in a refusal ends here in a doubt,
// so the caller's libpng read settles it.
//
// ISA-L reads on through Huffman codes zlib refuses, so each block's
// header is judged first (deflate_header.h). To stop at every block, each
// is handed to ISA-L marked as the last; at its end the inflater is set
// to read a next header, its history kept as ISA-L keeps it at the end
// of any other call. The zlib wrapper (header and Adler-32) is read here.
#include "glpng/decode/fast_rows.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "glpng/colour_key.h"
#include "glpng/decode/deflate_header.h"

namespace glpng {

namespace {

constexpr std::size_t kInputBytes = std::size_t(128) << 10;
constexpr std::size_t kStageBytes = std::size_t(256) << 10;
constexpr std::uint8_t kIdat[4] = {'I', 'D', 'A', 'T'};
constexpr std::size_t kWindow = ISAL_DEF_HIST_SIZE;

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
           (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    // PNG's CRC is gzip's: reflected IEEE, inverted in and out.
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, 1u << 30);
        crc = crc32_gzip_refl(crc, data, std::uint64_t(piece));
        data += piece;
        size -= piece;
    }
    return crc;
}

unsigned Channels(int colorType) {
    switch (colorType) {
    case 0: return 1;  // grey
    case 2: return 3;  // RGB
    case 3: return 1;  // palette
    case 4: return 2;  // grey + alpha
    case 6: return 4;  // RGBA
    default: return 0;
    }
}

inline std::uint8_t Paeth(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    const int p = int(b) - c, q = int(a) - c;
    const int pa = p < 0 ? -p : p, pb = q < 0 ? -q : q, pc = (p + q) < 0 ? -(p + q) : p + q;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes one row's filter into `out`; `prior` is the row above, unfiltered
// (zeros above the first). False for a filter type PNG does not have.
template <unsigned Bpp>
bool Unfilter(std::uint8_t filter, const std::uint8_t* in, const std::uint8_t* prior,
              std::uint8_t* out, std::size_t n) {
    switch (filter) {
    case 0: std::memcpy(out, in, n); return true;
    case 1:
        for (std::size_t i = 0; i < Bpp && i < n; ++i) out[i] = in[i];
        for (std::size_t i = Bpp; i < n; ++i) out[i] = std::uint8_t(in[i] + out[i - Bpp]);
        return true;
    case 2:
        for (std::size_t i = 0; i < n; ++i) out[i] = std::uint8_t(in[i] + prior[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < Bpp && i < n; ++i) out[i] = std::uint8_t(in[i] + (prior[i] >> 1));
        for (std::size_t i = Bpp; i < n; ++i)
            out[i] = std::uint8_t(in[i] + ((unsigned(out[i - Bpp]) + prior[i]) >> 1));
        return true;
    case 4:
        for (std::size_t i = 0; i < Bpp && i < n; ++i) out[i] = std::uint8_t(in[i] + prior[i]);
        for (std::size_t i = Bpp; i < n; ++i)
            out[i] = std::uint8_t(in[i] + Paeth(out[i - Bpp], prior[i], prior[i - Bpp]));
        return true;
    default: return false;
    }
}

bool UnfilterRow(unsigned bpp, std::uint8_t filter, const std::uint8_t* in,
                 const std::uint8_t* prior, std::uint8_t* out, std::size_t n) {
    switch (bpp) {
    case 1: return Unfilter<1>(filter, in, prior, out, n);
    case 2: return Unfilter<2>(filter, in, prior, out, n);
    case 3: return Unfilter<3>(filter, in, prior, out, n);
    default: return Unfilter<4>(filter, in, prior, out, n);
    }
}

}  // namespace

struct FastRows::Inflater {
    inflate_state state;
    bool atHeader = true;    // the next bits are a block header, not yet judged
    bool lastBlock = false;  // the block in hand is the stream's last
    std::uint32_t adler = 1;
};

bool FastRows::Takes(const PngHeader& header) {
    return header.bitDepth == 8 && !header.interlaced && Channels(header.colorType) != 0 &&
           header.width > 0 && header.height > 0;
}

FastRows::FastRows() = default;
FastRows::~FastRows() = default;

bool FastRows::Start(ByteSource* source, const PngHeader& header, const std::uint8_t* palette,
                     unsigned paletteSize, const std::uint8_t chunkHeader[8]) {
    failed_ = true;
    if (!source || !Takes(header) || std::memcmp(chunkHeader + 4, kIdat, 4) != 0) return false;
    source_ = source;
    header_ = header;
    channels_ = Channels(header.colorType);
    rowBytes_ = std::size_t(header.width) * channels_;
    std::memset(palette_, 0, sizeof palette_);
    if (palette) std::memcpy(palette_, palette, std::min(paletteSize, 256u) * 3);

    stageRows_ = std::max<std::size_t>(1, kStageBytes / (rowBytes_ + 1));
    inflater_.reset(new (std::nothrow) Inflater);
    input_.reset(new (std::nothrow) std::uint8_t[kInputBytes]);
    stage_.reset(new (std::nothrow) std::uint8_t[stageRows_ * (rowBytes_ + 1)]);
    prior_.reset(new (std::nothrow) std::uint8_t[rowBytes_]());
    current_.reset(new (std::nothrow) std::uint8_t[rowBytes_]);
    if (!inflater_ || !input_ || !stage_ || !prior_ || !current_) return false;

    isal_inflate_init(&inflater_->state);
    inflater_->state.crc_flag = ISAL_DEFLATE;
    inflater_->state.avail_in = 0;
    chunkLeft_ = BigEndian32(chunkHeader);
    chunkCrc_ = Crc(0, kIdat, 4);
    lastChunk_ = false;
    stageFirst_ = stageHave_ = 0;
    rowsDone_ = 0;

    // zlib's own header rules; a small window is left to zlib, which
    // reads it differently. (A first chunk of under two bytes is too.)
    failed_ = false;
    inflate_state& s = inflater_->state;
    if (!NextInput(false) || failed_ || s.avail_in < 2) return failed_ = true, false;
    const std::uint8_t* head = s.next_in;
    if ((head[0] & 0x0F) != 8 || (head[0] >> 4) != 7 || (head[1] & 0x20) != 0 ||
        ((unsigned(head[0]) << 8) | head[1]) % 31 != 0)
        return failed_ = true, false;
    s.next_in += 2;
    s.avail_in -= 2;
    return true;
}

// Loads more IDAT data after what is still unread (moved to the front):
// with `gather`, whole chunks while there is room, as ISA-L is faster on
// long runs (and picks slower tables for a last block short of input);
// else one chunk's worth. Checks each finished chunk's CRC. False when it
// loads nothing. A bad chunk sets failed_, which every later read sees.
bool FastRows::NextInput(bool gather) {
    inflate_state& s = inflater_->state;
    const std::size_t before = s.avail_in;
    if (before > 0 && s.next_in != input_.get()) std::memmove(input_.get(), s.next_in, before);
    s.next_in = input_.get();
    std::size_t have = before;
    while (have < kInputBytes && !failed_ && (gather || have == before)) {
        if (chunkLeft_ > 0) {
            const std::size_t n = std::min<std::size_t>(chunkLeft_, kInputBytes - have);
            if (!source_->Read(input_.get() + have, n)) {
                failed_ = true;
                break;
            }
            chunkCrc_ = Crc(chunkCrc_, input_.get() + have, n);
            chunkLeft_ -= std::uint32_t(n);
            have += n;
            continue;
        }
        if (lastChunk_) break;
        std::uint8_t crc[4], next[8];  // this chunk's CRC, the next chunk's length and type
        if (!source_->Read(crc, 4) || BigEndian32(crc) != chunkCrc_) {
            failed_ = true;
            break;
        }
        if (!source_->Read(next, 8) || std::memcmp(next + 4, kIdat, 4) != 0) {
            lastChunk_ = true;  // what follows is for libpng, if anyone, to judge
            break;
        }
        const std::uint32_t length = BigEndian32(next);
        if (length > 0x7FFFFFFFu) {
            failed_ = true;
            break;
        }
        chunkLeft_ = length;
        chunkCrc_ = Crc(0, kIdat, 4);
    }
    s.avail_in = std::uint32_t(have);
    return have > before;
}

// Judges the header ahead, with more input when it runs past what is in
// hand, and marks its block as the last for ISA-L.
bool FastRows::JudgeHeader() {
    Inflater& inf = *inflater_;
    inflate_state& s = inf.state;
    if (s.read_in_length < 0 || s.read_in_length > 64) return false;
    for (;;) {
        DeflateBits bits;
        bits.headCount = unsigned(s.read_in_length);
        bits.head = s.read_in;  // the reader masks off what lies past headCount
        bits.bytes = s.next_in;
        bits.size = s.avail_in;
        bool last = false;
        const HeaderVerdict verdict = JudgeBlockHeader(bits, &last);
        if (verdict == HeaderVerdict::kRefused) return false;
        if (verdict == HeaderVerdict::kSound) {
            inf.lastBlock = last;
            break;
        }
        if (s.avail_in >= kMaxBlockHeaderBytes || !NextInput(true) || failed_) return false;
    }
    if (s.read_in_length > 0)
        s.read_in |= 1;
    else
        s.next_in[0] |= 1;
    inf.atHeader = false;
    return true;
}

// After a block that is not the last, which ISA-L took for the last: on to
// the next header. ISA-L keeps no history after a last block; this keeps
// it as ISA-L (2.30, built from Debian's source on both platforms) does
// after any other call (`callOut` bytes out), so that the next block may
// reach back into it. The tests and fuzzers that compare with libpng
// across many blocks guard these steps.
void FastRows::NextBlock(std::uint32_t callOut) {
    inflate_state& s = inflater_->state;
    constexpr std::int32_t kHistory = std::int32_t(kWindow);
    if (s.tmp_out_valid == s.tmp_out_processed && callOut >= kWindow) {
        std::memcpy(s.tmp_out_buffer, s.next_out - kWindow, kWindow);
        s.tmp_out_valid = s.tmp_out_processed = kHistory;
    } else if (s.tmp_out_processed >= kHistory) {
        const std::int32_t shift = std::min(s.tmp_out_valid - kHistory, s.tmp_out_processed);
        std::memmove(s.tmp_out_buffer, s.tmp_out_buffer + shift,
                     std::size_t(s.tmp_out_valid - shift));
        s.tmp_out_valid -= shift;
        s.tmp_out_processed -= shift;
    }
    s.block_state = ISAL_BLOCK_NEW_HDR;
    s.bfinal = 0;
    inflater_->atHeader = true;
}

// Inflates into `out` until it is full (kFilled) or the stream's last
// block ends (kEnded); kFailed at any doubt: a header zlib refuses,
// damage, or data that runs out first.
FastRows::Run FastRows::Inflate(std::uint8_t* out, std::size_t size) {
    Inflater& inf = *inflater_;
    inflate_state& s = inf.state;
    s.next_out = out;
    s.avail_out = std::uint32_t(size);
    bool drained = false;  // no IDAT data left: ISA-L may still hold bits
    Run run = Run::kFilled;
    while (s.avail_out > 0) {
        if (s.block_state == ISAL_BLOCK_FINISH) {  // after the last block
            run = Run::kEnded;
            break;
        }
        if (inf.atHeader && !JudgeHeader()) return Run::kFailed;
        if (s.avail_in == 0 && !drained && !NextInput(true)) drained = true;
        if (failed_) return Run::kFailed;
        const std::uint32_t outBefore = s.avail_out, inBefore = s.avail_in;
        const std::int32_t bitsBefore = s.read_in_length;
        const int stateBefore = s.block_state;
        if (isal_inflate(&s) != ISAL_DECOMP_OK) return Run::kFailed;
        const bool moved = s.avail_out != outBefore || s.avail_in != inBefore ||
                           s.read_in_length != bitsBefore || s.block_state != stateBefore;
        if (s.block_state == ISAL_BLOCK_FINISH && !inf.lastBlock)
            NextBlock(outBefore - s.avail_out);
        // Stuck with input in hand, or with none left to give: not a stream
        // libpng would take either.
        if (!moved && (drained || s.avail_in > 0)) return Run::kFailed;
    }
    inf.adler = isal_adler32(inf.adler, out, std::size_t(s.next_out - out));
    return run;
}

// The Adler-32 after the last block, from the next whole byte.
bool FastRows::ReadTrailer() {
    inflate_state& s = inflater_->state;
    s.read_in >>= s.read_in_length % 8;
    s.read_in_length -= s.read_in_length % 8;
    std::uint32_t trailer = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte;
        if (s.read_in_length >= 8) {
            byte = std::uint8_t(s.read_in);
            s.read_in >>= 8;
            s.read_in_length -= 8;
        } else {
            if (s.avail_in == 0 && !NextInput(true)) return false;
            byte = *s.next_in++;
            --s.avail_in;
        }
        trailer = (trailer << 8) | byte;
    }
    return trailer == inflater_->adler;
}

// After the last row: the stream must end, with nothing more in it, and
// the chunk it ends in must be whole and sound, as libpng requires.
bool FastRows::Finish() {
    // Anything more is data past the last row.
    std::uint8_t spare;
    if (Inflate(&spare, 1) != Run::kEnded || !ReadTrailer() || failed_) return false;
    if (lastChunk_) return true;  // the header after it was read: its CRC was checked
    while (chunkLeft_ > 0) {
        const std::size_t n = std::min<std::size_t>(chunkLeft_, kInputBytes);
        if (!source_->Read(input_.get(), n)) return false;
        chunkCrc_ = Crc(chunkCrc_, input_.get(), n);
        chunkLeft_ -= std::uint32_t(n);
    }
    std::uint8_t crc[4];
    return source_->Read(crc, 4) && BigEndian32(crc) == chunkCrc_;
}

// What libpng's expansions make of one unfiltered row; alpha is left for
// KeyRow.
void FastRows::ToRgba(const std::uint8_t* raw, std::uint8_t* dest) const {
    const unsigned width = header_.width;
    switch (header_.colorType) {
    case 0:
        for (unsigned x = 0; x < width; ++x, dest += 4) dest[0] = dest[1] = dest[2] = raw[x];
        break;
    case 4:
        for (unsigned x = 0; x < width; ++x, dest += 4) dest[0] = dest[1] = dest[2] = raw[2 * x];
        break;
    case 2:
        for (unsigned x = 0; x < width; ++x, dest += 4, raw += 3) {
            dest[0] = raw[0];
            dest[1] = raw[1];
            dest[2] = raw[2];
        }
        break;
    case 3:
        // Indexes past the palette read as black, as libpng's zeroed table.
        for (unsigned x = 0; x < width; ++x, dest += 4) std::memcpy(dest, palette_[raw[x]], 3);
        break;
    default: std::memcpy(dest, raw, std::size_t(width) * 4); break;
    }
}

bool FastRows::ReadRows(std::uint8_t* dest, unsigned count, const std::uint8_t* key,
                        std::uint32_t* rowKeyed) {
    if (failed_ || count > header_.height - rowsDone_) return failed_ = true, false;
    const std::size_t stride = std::size_t(header_.width) * 4;
    const std::size_t rowSize = rowBytes_ + 1;
    for (unsigned i = 0; i < count; ++i) {
        if (stageFirst_ == stageHave_) {
            const std::size_t rows =
                std::min<std::size_t>(stageRows_, header_.height - rowsDone_);
            if (Inflate(stage_.get(), rows * rowSize) != Run::kFilled) return failed_ = true, false;
            stageFirst_ = 0;
            stageHave_ = rows;
        }
        const std::uint8_t* in = stage_.get() + stageFirst_ * rowSize;
        if (!UnfilterRow(channels_, in[0], in + 1, prior_.get(), current_.get(), rowBytes_))
            return failed_ = true, false;
        std::uint8_t* row = dest + i * stride;
        ToRgba(current_.get(), row);
        rowKeyed[i] = KeyRow(row, header_.width, key[0], key[1], key[2]);
        std::swap(prior_, current_);
        ++stageFirst_;
        ++rowsDone_;
    }
    if (rowsDone_ == header_.height && !Finish()) return failed_ = true, false;
    return true;
}

}  // namespace glpng
