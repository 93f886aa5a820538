// The readout's copy of the picture: held per picture, never per GL name,
// and read at the right texel when the driver holds it scaled up.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/texel_readout.h"

namespace {

// A 4 x 4 copy: texel (x, y) is (16x, 16y, blue, 255), (0, 0) keyed.
std::vector<std::uint8_t> Texels(std::uint8_t blue) {
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 16; ++i)
        rgba.insert(rgba.end(), {std::uint8_t(16 * (i % 4)), std::uint8_t(16 * (i / 4)), blue, std::uint8_t(i ? 255 : 0)});
    return rgba;
}

TEST(TexelReadoutTest, EachPictureIsReadFromItsOwnCopy) {
    TexelReadout copy;
    copy.Keep(7, 4, 4, Texels(0xA1));
    EXPECT_TRUE(copy.Holds(7));
    EXPECT_FALSE(copy.Holds(8)) << "the next picture, whatever GL name it has";
    const struct {
        int x, y, imageSide;
        const char* text;
    } probes[] = {
        {1, 2, 4, "texel 1, 2 #1020A1FF"},
        {0, 0, 4, "texel 0, 0 #0000A100 keyed"},
        {2, 1, 3, "texel 2, 1 #2010A1FF"},  // 3 x 3 held as 4 x 4
        {4, 0, 4, ""},
    };
    for (const auto& p : probes) EXPECT_EQ(copy.Text(p.x, p.y, p.imageSide, p.imageSide), p.text);
    copy.Keep(8, 4, 4, Texels(0xB2));
    EXPECT_EQ(copy.Text(1, 2, 4, 4), "texel 1, 2 #1020B2FF");
}

}  // namespace
