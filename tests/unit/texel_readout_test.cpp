// The readout's copy of the picture: held per picture, never per GL name,
// and read at the right texel when the driver holds it scaled up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/texel_readout.h"

namespace {

// w x h texels, each (16x, 16y, picture, 255); (0, 0) keyed.
std::vector<std::uint8_t> Texels(int w, int h, std::uint8_t picture) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgba.insert(rgba.end(), {std::uint8_t(16 * x), std::uint8_t(16 * y), picture,
                                     std::uint8_t(x || y ? 255 : 0)});
    return rgba;
}

TEST(TexelReadoutTest, EachPictureIsReadFromItsOwnCopy) {
    TexelReadout copy;
    EXPECT_FALSE(copy.Holds(0));
    EXPECT_EQ(copy.Text(0, 0, 4, 4), "");
    copy.Keep(7, 4, 4, Texels(4, 4, 0xA1));
    EXPECT_TRUE(copy.Holds(7));
    EXPECT_FALSE(copy.Holds(8)) << "the next picture, whatever GL name it has";
    struct Probe {
        int x, y, imageW, imageH;
        const char* text;
    };
    const Probe probes[] = {
        {1, 2, 4, 4, "texel 1, 2 #1020A1FF"},
        {0, 0, 4, 4, "texel 0, 0 #0000A100 keyed"},
        {2, 1, 3, 3, "texel 2, 1 #2010A1FF"},  // 3 x 3 held as 4 x 4
        {4, 0, 4, 4, ""},
        {-1, 0, 4, 4, ""},
    };
    for (const Probe& p : probes) EXPECT_EQ(copy.Text(p.x, p.y, p.imageW, p.imageH), p.text) << p.x << "," << p.y;
    copy.Keep(8, 4, 4, Texels(4, 4, 0xB2));
    EXPECT_EQ(copy.Text(1, 2, 4, 4), "texel 1, 2 #1020B2FF");
    copy.Keep(9, 4, 4, std::vector<std::uint8_t>(5));  // a short read holds nothing
    EXPECT_TRUE(copy.Holds(9));
    EXPECT_EQ(copy.Text(1, 2, 4, 4), "");
    copy.Drop();
    EXPECT_FALSE(copy.Holds(9));
}

}  // namespace
