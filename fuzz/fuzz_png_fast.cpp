// The fast decode against libpng's, on the same bytes: both refuse, or
// both give the same rows. The first input byte says whether every
// chunk's CRC is made right first (so that changes inside the image data
// reach the inflaters instead of stopping at the CRC) and how many rows
// each read asks for. Built with ZINTRA_FUZZ_FIX_SUMS, every mutation
// also gets its zlib header check, Adler-32 and chunk CRCs made right, so
// that changes past the checksums reach the comparison too.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

#ifdef ZINTRA_FUZZ_FIX_SUMS
#include <isa-l/igzip_lib.h>
#endif

#include "fuzz_support.h"
#include "glpng/decode/png_decode.h"

namespace {

constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 20;
const std::uint8_t kKey[3] = {255, 0, 255};

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

void FixCrcs(std::vector<std::uint8_t>& file) {
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = Be32(&file[at]);
        if (length > file.size() - at - 12) return;
        const uLong crc = crc32(0L, &file[at + 4], uInt(length + 4));
        std::uint8_t* out = &file[at + 8 + length];
        out[0] = std::uint8_t(crc >> 24);
        out[1] = std::uint8_t(crc >> 16);
        out[2] = std::uint8_t(crc >> 8);
        out[3] = std::uint8_t(crc);
        at += 12 + length;
    }
}

#ifdef ZINTRA_FUZZ_FIX_SUMS
// The zlib stream spread over the first run of IDAT chunks: where each
// of its bytes lies in the file.
std::vector<std::size_t> IdatBytes(const std::vector<std::uint8_t>& file) {
    std::vector<std::size_t> at;
    bool seen = false;
    for (std::size_t pos = 8; pos + 12 <= file.size();) {
        const std::uint32_t length = Be32(&file[pos]);
        if (length > file.size() - pos - 12) break;
        const bool idat = std::memcmp(&file[pos + 4], "IDAT", 4) == 0;
        if (seen && !idat) break;
        seen = seen || idat;
        if (idat)
            for (std::uint32_t i = 0; i < length; ++i) at.push_back(pos + 8 + i);
        pos += 12 + std::size_t(length);
    }
    return at;
}

// What the deflate data holds as zlib reads it, else as ISA-L does (it
// takes some streams zlib refuses, and those are the ones to compare):
// its size in `out` (one buffer for every run), and where the data ends.
// False when neither reaches the end.
bool Inflate(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& out,
             std::size_t* size, std::size_t* end) {
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    *size = std::size_t(z.total_out);
    *end = std::size_t(z.total_in);
    inflateEnd(&z);
    if (status == Z_STREAM_END) return true;

    inflate_state state;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_DEFLATE;
    state.next_in = const_cast<std::uint8_t*>(stream.data());
    state.avail_in = std::uint32_t(stream.size());
    state.next_out = out.data();
    state.avail_out = std::uint32_t(out.size());
    if (isal_inflate_stateless(&state) != ISAL_DECOMP_OK) return false;
    *size = state.total_out;
    // It hands back the whole bytes it read ahead.
    *end = stream.size() - state.avail_in;
    return true;
}

// Header check bits, then the Adler-32 of what the deflate data holds,
// written after its end, where it fits. A stream that does not end
// keeps its bytes.
void FixZlibSums(std::vector<std::uint8_t>& file) {
    const std::vector<std::size_t> at = IdatBytes(file);
    if (at.size() < 2) return;
    std::uint8_t& flags = file[at[1]];
    const unsigned head = unsigned(file[at[0]]) << 8;
    flags = std::uint8_t((flags & 0xE0) + (31 - (head | (flags & 0xE0)) % 31) % 31);
    std::vector<std::uint8_t> stream(at.size() - 2);
    for (std::size_t i = 2; i < at.size(); ++i) stream[i - 2] = file[at[i]];
    static std::vector<std::uint8_t> data(std::size_t(4) << 20);
    std::size_t size = 0, end = 0;
    if (!Inflate(stream, data, &size, &end) || 2 + end + 4 > at.size()) return;
    const uLong adler = adler32(adler32(0L, Z_NULL, 0), data.data(), uInt(size));
    for (int i = 0; i < 4; ++i) file[at[2 + end + i]] = std::uint8_t(adler >> (24 - 8 * i));
}
#endif

struct Outcome {
    bool opened = false, ok = false;
    std::vector<std::uint8_t> rgba;
    std::vector<std::uint32_t> keyed;
};

Outcome Read(const std::vector<std::uint8_t>& file, glpng::DecodePath path, unsigned piece) {
    Outcome out;
    glpng::PngRowReader reader;
    out.opened = reader.OpenMemory(file.data(), file.size(), path);
    if (!out.opened) return out;
    const glpng::PngHeader h = reader.header();
    if (std::uint64_t(h.width) * h.height > kMaxPixels) return out;
    const std::size_t stride = std::size_t(h.width) * 4;
    out.rgba.assign(stride * h.height, 0);
    out.keyed.assign(h.height, 0);
    if (h.interlaced) {
        glpng::PixelBuffer pixels(nullptr, std::free);
        out.ok = reader.ReadKeyedImage(kKey, &pixels);
        if (out.ok) std::memcpy(out.rgba.data(), pixels.get(), out.rgba.size());
        return out;
    }
    for (unsigned row = 0; row < h.height;) {
        const unsigned count = std::min(piece, h.height - row);
        if (!reader.ReadKeyedRows(out.rgba.data() + row * stride, count, kKey,
                                  out.keyed.data() + row))
            return out;
        row += count;
    }
    out.ok = true;
    return out;
}

}  // namespace

#ifdef ZINTRA_FUZZ_FIX_SUMS
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// The flag byte stays as it is; the file behind it gets its sums made right.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (size < 2) return size;
    std::vector<std::uint8_t> file(data + 1, data + size);
    FixZlibSums(file);
    FixCrcs(file);
    std::copy(file.begin(), file.end(), data + 1);
    return size;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::uint8_t> file(data + 1, data + size);
    if (flags & 1) FixCrcs(file);
    const unsigned piece = 1 + (flags >> 1) % 64;

    const Outcome fast = Read(file, glpng::DecodePath::Fast, piece);
    const Outcome slow = Read(file, glpng::DecodePath::Libpng, piece);
    FUZZ_CHECK(fast.opened == slow.opened);
    FUZZ_CHECK(fast.ok == slow.ok);
    if (fast.ok) {
        FUZZ_CHECK(fast.rgba == slow.rgba);
        FUZZ_CHECK(fast.keyed == slow.keyed);
    }
    return 0;
}
