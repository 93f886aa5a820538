// The fast decode against libpng's, on the same bytes: both refuse, or
// both give the same rows. The first input byte says whether every
// chunk's CRC is made right first (so that changes inside the image data
// reach the inflaters instead of stopping at the CRC) and how many rows
// each read asks for.
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>

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
