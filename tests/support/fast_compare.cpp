#include "support/fast_compare.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fastcmp {

namespace {
const std::uint8_t kKey[3] = {255, 0, 255};
}

Outcome Read(const Bytes& file, glpng::DecodePath path) {
    Outcome out;
    glpng::PngRowReader reader;
    if (!reader.OpenMemory(file.data(), file.size(), path)) return out;
    const glpng::PngHeader& h = reader.header();
    const std::size_t stride = std::size_t(h.width) * 4;
    out.rgba.assign(stride * h.height, 0);
    out.keyed.assign(h.height, 0);
    unsigned row = 0, piece = 1;
    while (row < h.height) {
        const unsigned count = std::min(piece++, h.height - row);
        if (!reader.ReadKeyedRows(out.rgba.data() + row * stride, count, kKey,
                                  out.keyed.data() + row))
            return Outcome();
        row += count;
    }
    out.fast = reader.OnFastPath();
    out.ok = true;
    return out;
}

Outcome Same(const Bytes& file, const std::string& what) {
    const Outcome fast = Read(file, glpng::DecodePath::Fast);
    const Outcome slow = Read(file, glpng::DecodePath::Libpng);
    EXPECT_EQ(fast.ok, slow.ok) << what;
    EXPECT_FALSE(slow.fast) << what;
    if (fast.ok && slow.ok) {
        EXPECT_TRUE(fast.rgba == slow.rgba) << what;
        EXPECT_EQ(fast.keyed, slow.keyed) << what;
    }
    return fast;
}

}  // namespace fastcmp
