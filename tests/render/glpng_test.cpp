// The PNG loader: decoding every format, the colour key and its hole fill,
// mip levels, texture sizes, and pngBind on a real software GL context.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "glpng/colour_key.h"
#include "glpng/decode/band_decode.h"
#include "glpng/decode/png_decode.h"
#include "glpng/decode/png_reference.h"
#include "glpng/glpng.h"
#include "glpng/hole_fill.h"
#include "glpng/texture_size.h"
#include "support/gl_context.h"
#include "support/png_writer.h"
#include "support/temp_dir.h"

namespace {

using testpng::Color;
using testpng::Picture;
using testpng::Sample;

struct Texel {
    std::uint8_t r, g, b, a;
    bool operator==(const Texel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Texel& o) const { return !(*this == o); }
    bool IsMagenta() const { return r == 255 && g == 0 && b == 255; }
};

void PrintTo(const Texel& t, std::ostream* os) {
    *os << "(" << int(t.r) << "," << int(t.g) << "," << int(t.b) << "," << int(t.a) << ")";
}

Texel At(const glpng::Image& image, unsigned x, unsigned y) {
    const std::uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2], p[3]};
}

glpng::Image MakeImage(unsigned width, unsigned height, const std::vector<Texel>& texels) {
    glpng::Image image;
    image.width = width;
    image.height = height;
    for (const Texel& t : texels) image.rgba.insert(image.rgba.end(), {t.r, t.g, t.b, t.a});
    return image;
}

glpng::Image Uniform(unsigned width, unsigned height, Texel t) {
    return MakeImage(width, height, std::vector<Texel>(std::size_t(width) * height, t));
}

const Texel kMagenta = {255, 0, 255, 255};

// --- Test pictures of every format, with what decoding must give ---------

std::uint16_t Hash(unsigned x, unsigned y, unsigned k) {
    std::uint32_t h = x * 73856093u ^ y * 19349663u ^ (k + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return std::uint16_t(h);
}

Picture Pattern(Color color, int depth, bool interlaced, bool withTrns) {
    Picture p;
    p.width = 13;  // odd sizes leave partial bytes and partial Adam7 passes
    p.height = 11;
    p.color = color;
    p.bitDepth = depth;
    p.interlaced = interlaced;
    const std::uint16_t mask = depth == 16 ? 0xffff : std::uint16_t((1u << depth) - 1);
    if (color == Color::Palette) {
        const unsigned entries = 1u << depth;
        for (unsigned i = 0; i < entries; ++i)
            p.palette.push_back({std::uint8_t(i * 37), std::uint8_t(i * 91 + 13),
                                 std::uint8_t(255 - i)});
        if (withTrns)  // shorter than the palette: the rest stay opaque
            for (unsigned i = 0; i < entries / 2 + 1; ++i)
                p.paletteAlpha.push_back(std::uint8_t(i * 50));
        p.pixel = [entries](unsigned x, unsigned y) {
            return Sample::Index(std::uint16_t(Hash(x, y, 0) % entries));
        };
        return p;
    }
    p.pixel = [mask](unsigned x, unsigned y) {
        return Sample{{std::uint16_t(Hash(x, y, 0) & mask), std::uint16_t(Hash(x, y, 1) & mask),
                       std::uint16_t(Hash(x, y, 2) & mask), std::uint16_t(Hash(x, y, 3) & mask)}};
    };
    if (withTrns) p.transparent = p.pixel(1, 1);
    return p;
}

std::uint8_t To8(std::uint16_t v, int depth) {
    if (depth == 16) return std::uint8_t(v >> 8);
    return std::uint8_t(v * 255u / ((1u << depth) - 1));
}

// What the file holds at (x, y), as RGBA8 with the file's own alpha.
Texel FileTexel(const Picture& p, unsigned x, unsigned y) {
    const Sample s = p.pixel(x, y);
    const int d = p.bitDepth;
    switch (p.color) {
        case Color::Gray: {
            const std::uint8_t g = To8(s.c[0], d);
            const bool clear = p.transparent && p.transparent->c[0] == s.c[0];
            return {g, g, g, std::uint8_t(clear ? 0 : 255)};
        }
        case Color::GrayAlpha: {
            const std::uint8_t g = To8(s.c[0], d);
            return {g, g, g, To8(s.c[1], d)};
        }
        case Color::Rgb: {
            const bool clear = p.transparent && p.transparent->c[0] == s.c[0] &&
                               p.transparent->c[1] == s.c[1] && p.transparent->c[2] == s.c[2];
            return {To8(s.c[0], d), To8(s.c[1], d), To8(s.c[2], d),
                    std::uint8_t(clear ? 0 : 255)};
        }
        case Color::Rgba:
            return {To8(s.c[0], d), To8(s.c[1], d), To8(s.c[2], d), To8(s.c[3], d)};
        case Color::Palette: {
            const auto& e = p.palette[s.c[0]];
            const std::uint8_t a = s.c[0] < p.paletteAlpha.size() ? p.paletteAlpha[s.c[0]] : 255;
            return {e[0], e[1], e[2], a};
        }
    }
    return {};
}

struct Format {
    const char* name;
    Color color;
    int depth;
    bool trns;
};

const Format kFormats[] = {
    {"grey1", Color::Gray, 1, false},          {"grey2", Color::Gray, 2, false},
    {"grey2+tRNS", Color::Gray, 2, true},      {"grey4", Color::Gray, 4, false},
    {"grey8", Color::Gray, 8, false},          {"grey8+tRNS", Color::Gray, 8, true},
    {"grey16", Color::Gray, 16, false},        {"grey16+tRNS", Color::Gray, 16, true},
    {"greyalpha8", Color::GrayAlpha, 8, false}, {"greyalpha16", Color::GrayAlpha, 16, false},
    {"rgb8", Color::Rgb, 8, false},            {"rgb8+tRNS", Color::Rgb, 8, true},
    {"rgb16", Color::Rgb, 16, false},          {"rgb16+tRNS", Color::Rgb, 16, true},
    {"rgba8", Color::Rgba, 8, false},          {"rgba16", Color::Rgba, 16, false},
    {"palette1", Color::Palette, 1, false},    {"palette2+tRNS", Color::Palette, 2, true},
    {"palette4", Color::Palette, 4, false},    {"palette4+tRNS", Color::Palette, 4, true},
    {"palette8", Color::Palette, 8, false},    {"palette8+tRNS", Color::Palette, 8, true},
};


// Grey8 rows of 0x40 behind a header that says what we like. The data is
// complete up to `fullDataLimit` pixels (so only a size limit can refuse
// the file), a few rows otherwise.
std::vector<std::uint8_t> CraftedGrey8(std::uint32_t width, std::uint32_t height,
                                       std::uint64_t fullDataLimit = std::uint64_t(80) << 20) {
    const bool full = std::uint64_t(width) * height <= fullDataLimit;
    return testpng::StreamedGrey8(width, height, full ? width : 8, full ? height : 8, 0x40, 1);
}

// --- Decoding ------------------------------------------------------------

TEST(PngDecode, EveryFormatBecomesRgba8) {
    for (const Format& f : kFormats) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(std::string(f.name) + (interlaced ? " interlaced" : ""));
            const Picture p = Pattern(f.color, f.depth, interlaced, f.trns);
            const std::vector<std::uint8_t> file = testpng::EncodePng(p);
            ASSERT_FALSE(file.empty());

            glpng::Image image;
            glpng::PngHeader header;
            ASSERT_TRUE(glpng::DecodePngMemory(file.data(), file.size(), &image, &header));
            EXPECT_EQ(header.width, p.width);
            EXPECT_EQ(header.height, p.height);
            EXPECT_EQ(header.bitDepth, unsigned(f.depth));
            EXPECT_EQ(header.colorType, testpng::PngColorType(f.color));
            EXPECT_EQ(header.interlaced, interlaced);
            ASSERT_EQ(image.width, p.width);
            ASSERT_EQ(image.height, p.height);
            ASSERT_EQ(image.rgba.size(), std::size_t(p.width) * p.height * 4);
            int wrong = 0;
            for (unsigned y = 0; y < p.height; ++y)
                for (unsigned x = 0; x < p.width; ++x)
                    if (At(image, x, y) != FileTexel(p, x, y) && ++wrong <= 3)
                        ADD_FAILURE() << "at " << x << "," << y << ": "
                                      << ::testing::PrintToString(At(image, x, y)) << " not "
                                      << ::testing::PrintToString(FileTexel(p, x, y));
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(PngDecode, OversizedHeadersAreRefusedBeforeAllocating) {
    // Control: the same crafted layout decodes at allowed sizes.
    std::vector<std::uint8_t> file = CraftedGrey8(8, 8);
    glpng::Image image;
    ASSERT_TRUE(glpng::DecodePngMemory(file.data(), file.size(), &image));
    EXPECT_EQ(At(image, 7, 7), (Texel{0x40, 0x40, 0x40, 255}));
    file = CraftedGrey8(16384, 2);
    ASSERT_TRUE(glpng::DecodePngMemory(file.data(), file.size(), &image));
    EXPECT_EQ(image.width, 16384u);

    const std::uint32_t sizes[][2] = {
        {100000, 100000},  // far beyond every limit
        {16385, 1},        // one side too long
        {1, 16385},
        {16384, 4097},     // sides allowed, pixel count not
        {0, 8},            // empty
        {8, 0},
        {0x80000000u, 1},  // beyond PNG's own range
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        file = CraftedGrey8(size[0], size[1]);
        glpng::PngHeader header;
        header.width = 7;
        EXPECT_FALSE(glpng::DecodePngMemory(file.data(), file.size(), &image, &header));
        EXPECT_TRUE(image.empty());
        EXPECT_TRUE(image.rgba.empty());
        EXPECT_EQ(header.width, 0u);
        EXPECT_EQ(header.height, 0u);
    }
}

TEST(PngDecode, DamagedDataFailsCleanly) {
    Picture p = Pattern(Color::Palette, 4, true, true);
    const std::vector<std::uint8_t> good = testpng::EncodePng(p);
    glpng::Image full;
    ASSERT_TRUE(glpng::DecodePngMemory(good.data(), good.size(), &full));
    const long iend = testpng::FindChunk(good, "IEND");
    ASSERT_GT(iend, 0);

    // Cut anywhere before IEND: fails. Only IEND missing: the pixels are all
    // there and checked, so the image is kept.
    for (std::size_t length = 0; length < good.size(); ++length) {
        glpng::Image image;
        const bool ok = glpng::DecodePngMemory(good.data(), length, &image);
        if (long(length) < iend) {
            EXPECT_FALSE(ok) << "cut at " << length;
            EXPECT_TRUE(image.rgba.empty());
        } else {
            EXPECT_TRUE(ok) << "cut at " << length;
            EXPECT_EQ(image.rgba, full.rgba);
        }
    }

    // Any one byte changed: no crash, and an image (if any) is whole.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::vector<std::uint8_t> bad = good;
        bad[i] ^= 0x5a;
        glpng::Image image;
        if (glpng::DecodePngMemory(bad.data(), bad.size(), &image))
            EXPECT_EQ(image.rgba.size(), std::size_t(image.width) * image.height * 4);
        else
            EXPECT_TRUE(image.rgba.empty());
    }

    // A broken zlib stream behind a correct CRC.
    const long idat = testpng::FindChunk(good, "IDAT");
    ASSERT_GT(idat, 0);
    std::vector<std::uint8_t> bad(good.begin(), good.begin() + idat);
    std::vector<std::uint8_t> data(good.begin() + idat + 8, good.begin() + iend - 4);
    data[0] = 0xff;
    testpng::AppendChunk(bad, "IDAT", data);
    testpng::AppendChunk(bad, "IEND", {});
    glpng::Image image;
    EXPECT_FALSE(glpng::DecodePngMemory(bad.data(), bad.size(), &image));

    const std::string text = "not a picture at all, just some words";
    EXPECT_FALSE(glpng::DecodePngMemory(text.data(), text.size(), &image));
    EXPECT_FALSE(glpng::DecodePngMemory(nullptr, 0, &image));
    EXPECT_FALSE(glpng::DecodePngFile(nullptr, &image));
}

// --- Colour key and hole fill ------------------------------------------

TEST(PngColorKey, OnlyTheExactKeyIsTransparentAndFileAlphaIsIgnored) {
    glpng::Image image = MakeImage(6, 1, {{255, 0, 255, 255},
                                          {255, 0, 255, 0},
                                          {254, 0, 255, 255},
                                          {255, 1, 255, 255},
                                          {10, 20, 30, 0},
                                          {10, 20, 30, 128}});
    glpng::ApplyColorKey(image, 255, 0, 255);
    EXPECT_EQ(At(image, 0, 0).a, 0);
    EXPECT_EQ(At(image, 1, 0).a, 0);
    EXPECT_EQ(At(image, 2, 0), (Texel{254, 0, 255, 255}));
    EXPECT_EQ(At(image, 3, 0), (Texel{255, 1, 255, 255}));
    EXPECT_EQ(At(image, 4, 0), (Texel{10, 20, 30, 255}));
    EXPECT_EQ(At(image, 5, 0), (Texel{10, 20, 30, 255}));

    // Another key colour: magenta is then just a colour.
    image = MakeImage(2, 1, {{0, 0, 0, 255}, kMagenta});
    glpng::ApplyColorKey(image, 0, 0, 0);
    EXPECT_EQ(At(image, 0, 0), (Texel{255, 0, 255, 0}));
    EXPECT_EQ(At(image, 1, 0), kMagenta);
}

TEST(PngColorKey, HolesTakeTheColourOfTheirOpaqueNeighbours) {
    const Texel red = {255, 0, 0, 255}, blue = {0, 0, 255, 255};
    {
        SCOPED_TRACE("one texel: average of its 8 neighbours");
        // Left column of the 3 x 3 block red, the other 5 neighbours blue.
        glpng::Image image = Uniform(5, 5, blue);
        for (unsigned y = 1; y <= 3; ++y) *reinterpret_cast<Texel*>(image.At(1, y)) = red;
        *reinterpret_cast<Texel*>(image.At(2, 2)) = kMagenta;
        glpng::ApplyColorKey(image, 255, 0, 255);
        EXPECT_EQ(At(image, 2, 2), (Texel{96, 0, 159, 0}));  // 3/8 red, 5/8 blue
        EXPECT_EQ(At(image, 1, 2), red);
    }
    {
        SCOPED_TRACE("deep hole: filled ring by ring");
        const Texel field = {10, 20, 30, 255};
        glpng::Image image = Uniform(8, 8, field);
        for (unsigned y = 2; y < 6; ++y)
            for (unsigned x = 2; x < 6; ++x) *reinterpret_cast<Texel*>(image.At(x, y)) = kMagenta;
        glpng::ApplyColorKey(image, 255, 0, 255);
        for (unsigned y = 0; y < 8; ++y)
            for (unsigned x = 0; x < 8; ++x) {
                const bool hole = x >= 2 && x < 6 && y >= 2 && y < 6;
                EXPECT_EQ(At(image, x, y), (Texel{10, 20, 30, std::uint8_t(hole ? 0 : 255)}))
                    << x << "," << y;
            }
    }
    {
        SCOPED_TRACE("fill spreads in from both sides and meets in the middle");
        const Texel green = {0, 255, 0, 255};
        glpng::Image image =
            MakeImage(7, 1, {red, kMagenta, kMagenta, kMagenta, kMagenta, kMagenta, green});
        glpng::ApplyColorKey(image, 255, 0, 255);
        const Texel want[7] = {red,          {255, 0, 0, 0}, {255, 0, 0, 0}, {128, 128, 0, 0},
                               {0, 255, 0, 0}, {0, 255, 0, 0}, green};
        for (unsigned x = 0; x < 7; ++x) EXPECT_EQ(At(image, x, 0), want[x]) << x;
    }
}

TEST(PngColorKey, FillWrapsRoundTheEdgesAsTheTextureRepeats) {
    // Column 0 is a hole; its neighbours are column 1 (blue) and, across
    // the edge, column 3 (green).
    const Texel blue = {0, 0, 255, 255}, green = {0, 255, 0, 255};
    glpng::Image image = MakeImage(4, 2, {kMagenta, blue, blue, green, kMagenta, blue, blue, green});
    glpng::ApplyColorKey(image, 255, 0, 255);
    EXPECT_EQ(At(image, 0, 0), (Texel{0, 128, 128, 0}));
    EXPECT_EQ(At(image, 0, 1), (Texel{0, 128, 128, 0}));
}

TEST(PngColorKey, OneTexelHighOrWideImagesFillTheirHoles) {
    const Texel red = {255, 0, 0, 255};
    glpng::Image wide = MakeImage(2, 1, {kMagenta, red});
    glpng::ApplyColorKey(wide, 255, 0, 255);
    EXPECT_EQ(At(wide, 0, 0), (Texel{255, 0, 0, 0}));
    glpng::Image tall = MakeImage(1, 3, {red, kMagenta, kMagenta});
    glpng::ApplyColorKey(tall, 255, 0, 255);
    EXPECT_EQ(At(tall, 0, 1), (Texel{255, 0, 0, 0}));
    EXPECT_EQ(At(tall, 0, 2), (Texel{255, 0, 0, 0}));
}

TEST(PngColorKey, FullyKeyedImageTurnsTransparentBlack) {
    glpng::Image image = Uniform(3, 2, kMagenta);
    glpng::ApplyColorKey(image, 255, 0, 255);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 3; ++x) EXPECT_EQ(At(image, x, y), (Texel{0, 0, 0, 0}));
}

// --- Hole fill: rings near opaque texels, a coarse fill beyond ---------

// The fill as it was before far texels were coloured coarse to fine, kept
// as the reference for the rings: ring after ring however far, each texel
// of ring n the rounded average of its 8 neighbours in ring n - 1 (ring 0
// being the opaque texels), wrapping round the edges, a repeated
// neighbour of a narrow image counted each time. `ring` gets each texel's
// ring. Takes a keyed image (alpha 0 or 255).
glpng::Image PlainRingFill(const glpng::Image& keyed, std::vector<unsigned>* ring) {
    glpng::Image out = keyed;
    const unsigned w = keyed.width, h = keyed.height;
    const std::size_t n = std::size_t(w) * h;
    const unsigned kNotYet = ~0u;
    ring->assign(n, kNotYet);
    std::size_t left = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (keyed.rgba[i * 4 + 3] == 255)
            (*ring)[i] = 0;
        else
            ++left;
    }
    const auto around = [w, h](std::size_t i) {
        const unsigned x = unsigned(i % w), y = unsigned(i / w);
        const unsigned xs[3] = {(x + w - 1) % w, x, (x + 1) % w};
        const unsigned ys[3] = {(y + h - 1) % h, y, (y + 1) % h};
        std::vector<std::size_t> at;
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                if (j != 1 || k != 1) at.push_back(std::size_t(ys[j]) * w + xs[k]);
        return at;
    };
    if (left == n) {
        for (std::size_t i = 0; i < n; ++i) std::fill_n(&out.rgba[i * 4], 3, 0);
        return out;
    }
    for (unsigned r = 1; left > 0; ++r) {
        std::vector<std::size_t> current;
        for (std::size_t i = 0; i < n; ++i) {
            if ((*ring)[i] != kNotYet) continue;
            for (std::size_t a : around(i))
                if ((*ring)[a] == r - 1) {
                    current.push_back(i);
                    break;
                }
        }
        for (std::size_t i : current) {
            unsigned sum[3] = {0, 0, 0}, count = 0;
            for (std::size_t a : around(i)) {
                if ((*ring)[a] != r - 1) continue;
                for (int c = 0; c < 3; ++c) sum[c] += out.rgba[a * 4 + c];
                ++count;
            }
            for (int c = 0; c < 3; ++c)
                out.rgba[i * 4 + c] = std::uint8_t((sum[c] + count / 2) / count);
        }
        for (std::size_t i : current) (*ring)[i] = r;
        left -= current.size();
    }
    for (std::size_t i = 0; i < n; ++i)
        if ((*ring)[i] != 0) out.rgba[i * 4 + 3] = 0;
    return out;
}

glpng::Image Keyed(glpng::Image image) {
    for (unsigned y = 0; y < image.height; ++y)
        glpng::KeyRow(image.At(0, y), image.width, 255, 0, 255);
    return image;
}

struct Disc {
    int x, y, r;
};

// Grain under magenta discs; distances wrap, as the texture does.
glpng::Image Painted(unsigned width, unsigned height, const std::vector<Disc>& discs) {
    glpng::Image image = Uniform(width, height, kMagenta);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            bool hole = false;
            for (const Disc& d : discs) {
                int dx = std::abs(int(x) - d.x), dy = std::abs(int(y) - d.y);
                dx = std::min(dx, int(width) - dx);
                dy = std::min(dy, int(height) - dy);
                hole = hole || dx * dx + dy * dy <= d.r * d.r;
            }
            if (!hole)
                *reinterpret_cast<Texel*>(image.At(x, y)) = {
                    std::uint8_t(Hash(x, y, 4)), std::uint8_t(x * 5 + y),
                    std::uint8_t(Hash(x, y, 5) & 0x3f), 255};
        }
    return image;
}

// Opaque discs of one colour each, the rest magenta.
glpng::Image Islands(unsigned width, unsigned height, const std::vector<Disc>& discs,
                     const std::vector<Texel>& colours) {
    glpng::Image image = Uniform(width, height, kMagenta);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            for (std::size_t k = 0; k < discs.size(); ++k) {
                const Disc& d = discs[k];
                int dx = std::abs(int(x) - d.x), dy = std::abs(int(y) - d.y);
                dx = std::min(dx, int(width) - dx);
                dy = std::min(dy, int(height) - dy);
                if (dx * dx + dy * dy <= d.r * d.r)
                    *reinterpret_cast<Texel*>(image.At(x, y)) = colours[k];
            }
    return image;
}

TEST(PngHoleFill, HolesNearOpaqueTexelsFillExactlyAsThePlainRingFill) {
    struct Case {
        const char* name;
        glpng::Image image;
    };
    const Case cases[] = {
        {"one texel high", Painted(9, 1, {{2, 0, 1}, {8, 0, 0}})},
        {"one texel wide", Painted(1, 9, {{0, 3, 2}})},
        {"two by three", Painted(2, 3, {{0, 0, 1}})},
        {"three by two", Painted(3, 2, {{2, 1, 0}})},
        {"small, holes across every edge", Painted(13, 11, {{0, 0, 2}, {12, 5, 1}, {6, 10, 2}})},
        {"odd sides, many holes",
         Painted(97, 61, {{10, 10, 4}, {50, 30, 9}, {96, 60, 6}, {70, 5, 3}, {30, 50, 12}})},
        {"holes 60 rings deep, one across the corner",
         Painted(200, 150, {{100, 75, 60}, {0, 0, 40}, {170, 20, 7}})},
        {"opaque specks in a wide hole", [] {
             glpng::Image image = Painted(150, 140, {{75, 70, 200}});
             for (unsigned k = 0; k < 6; ++k)
                 *reinterpret_cast<Texel*>(image.At(11 + 23 * k, 9 + 21 * k)) = {
                     std::uint8_t(40 * k), 200, std::uint8_t(255 - 30 * k), 255};
             return image;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned> ring;
        const glpng::Image want = PlainRingFill(Keyed(c.image), &ring);
        // Within the band path's widest margin, where the fill must not change.
        ASSERT_LE(*std::max_element(ring.begin(), ring.end()), 64u);
        glpng::Image got = c.image;
        glpng::ApplyColorKey(got, 255, 0, 255);
        for (unsigned y = 0; y < got.height; ++y)
            for (unsigned x = 0; x < got.width; ++x)
                ASSERT_EQ(At(got, x, y), At(want, x, y)) << x << "," << y;
    }
}

TEST(PngHoleFill, FarTexelsTakeAColourFromTheOpaqueOnes) {
    {
        SCOPED_TRACE("one opaque texel: every keyed texel takes its colour");
        glpng::Image image = Uniform(300, 200, kMagenta);
        const Texel lone = {40, 160, 90, 255};
        *reinterpret_cast<Texel*>(image.At(37, 150)) = lone;
        glpng::ApplyColorKey(image, 255, 0, 255);
        for (unsigned y = 0; y < 200; ++y)
            for (unsigned x = 0; x < 300; ++x)
                ASSERT_EQ(At(image, x, y), (x == 37 && y == 150 ? lone : Texel{40, 160, 90, 0}))
                    << x << "," << y;
    }
    {
        SCOPED_TRACE("two colours: rings as the plain fill, the far texels between them");
        const Texel red = {220, 30, 20, 255}, blue = {20, 40, 230, 255};
        const glpng::Image image = Islands(320, 256, {{40, 40, 5}, {200, 180, 8}}, {red, blue});
        std::vector<unsigned> ring;
        const glpng::Image plain = PlainRingFill(Keyed(image), &ring);
        glpng::Image got = image;
        glpng::ApplyColorKey(got, 255, 0, 255);
        std::size_t far = 0;
        for (unsigned y = 0; y < 256; ++y)
            for (unsigned x = 0; x < 320; ++x) {
                const Texel t = At(got, x, y);
                if (ring[std::size_t(y) * 320 + x] <= glpng::kExactFillRings) {
                    ASSERT_EQ(t, At(plain, x, y)) << x << "," << y;
                    continue;
                }
                ++far;
                ASSERT_EQ(t.a, 0) << x << "," << y;
                ASSERT_TRUE(t.r >= 20 && t.r <= 220 && t.g >= 30 && t.g <= 40 && t.b >= 20 &&
                            t.b <= 230)
                    << x << "," << y << " " << int(t.r) << "," << int(t.g) << "," << int(t.b);
            }
        EXPECT_GT(far, 10000u);
    }
    {
        SCOPED_TRACE("fully keyed, far beyond the rings: black");
        glpng::Image image = Uniform(300, 170, kMagenta);
        glpng::ApplyColorKey(image, 255, 0, 255);
        for (unsigned y = 0; y < 170; ++y)
            for (unsigned x = 0; x < 300; ++x) ASSERT_EQ(At(image, x, y), (Texel{0, 0, 0, 0}));
    }
}

glpng::Image Shifted(const glpng::Image& image, unsigned dx, unsigned dy) {
    glpng::Image out = image;
    for (unsigned y = 0; y < image.height; ++y)
        for (unsigned x = 0; x < image.width; ++x)
            std::copy_n(image.At(x, y), 4, out.At((x + dx) % image.width, (y + dy) % image.height));
    return out;
}

// The texture repeats, so where its edges fall must not matter: filling a
// copy moved by half its size gives the fill moved by half its size. (The
// far fill works on blocks and halves them, so this holds for moves by
// whole coarse cells; sums in another order may round one step apart.)
TEST(PngHoleFill, FarFillWrapsRoundTheEdges) {
    const Texel red = {220, 30, 20, 255}, blue = {20, 40, 230, 255}, green = {30, 200, 60, 255};
    const glpng::Image image =
        Islands(256, 256, {{20, 30, 4}, {150, 100, 6}, {240, 220, 3}}, {red, blue, green});
    std::vector<unsigned> ring;
    PlainRingFill(Keyed(image), &ring);
    glpng::Image filled = image;
    glpng::ApplyColorKey(filled, 255, 0, 255);
    glpng::Image moved = Shifted(image, 128, 128);
    glpng::ApplyColorKey(moved, 255, 0, 255);
    std::size_t far = 0;
    for (unsigned y = 0; y < 256; ++y)
        for (unsigned x = 0; x < 256; ++x) {
            const Texel a = At(moved, (x + 128) % 256, (y + 128) % 256), b = At(filled, x, y);
            if (ring[std::size_t(y) * 256 + x] <= glpng::kExactFillRings) {
                ASSERT_EQ(a, b) << x << "," << y;
                continue;
            }
            ++far;
            ASSERT_EQ(a.a, 0);
            ASSERT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 1)
                << x << "," << y;
        }
    EXPECT_GT(far, 1000u);
}

// A band is filled ring by ring only as far as the whole image is: past
// kExactFillRings it must give up (and the loader fall back), however
// many rings it is allowed.
TEST(PngHoleFill, BandFillGivesUpWhereTheRingsEnd) {
    // Keyed rows 200 - depth .. 200 + depth: row 200 is depth + 1 rings in.
    for (const unsigned depth : {58u, 70u}) {
        SCOPED_TRACE(depth);
        glpng::Image image = Painted(160, 400, {{30, 20, 9}});
        for (unsigned y = 200 - depth; y <= 200 + depth; ++y)
            for (unsigned x = 0; x < 160; ++x) *reinterpret_cast<Texel*>(image.At(x, y)) = kMagenta;
        glpng::Image whole = image;
        glpng::ApplyColorKey(whole, 255, 0, 255);
        // The band is rows 100 .. 299, the middle 72 of them central.
        glpng::Image band = image;
        std::vector<std::uint32_t> rowKeyed(400);
        for (unsigned y = 0; y < 400; ++y)
            rowKeyed[y] = glpng::KeyRow(band.At(0, y), 160, 255, 0, 255);
        const bool filled =
            glpng::FillHolesInBand(band.At(0, 100), 160, 200, &rowKeyed[100], 64, 136, 100);
        EXPECT_EQ(filled, depth + 1 <= glpng::kExactFillRings);
        for (unsigned y = 100; y < 300; ++y)
            for (unsigned x = 0; x < 160; ++x) {
                ASSERT_EQ(At(band, x, y).a, At(whole, x, y).a) << x << "," << y;
                if (filled && y >= 164 && y < 236) {
                    ASSERT_EQ(At(band, x, y), At(whole, x, y)) << x << "," << y;
                }
            }
    }
}

// --- Mip levels ----------------------------------------------------------

Texel Grey(std::uint8_t v, std::uint8_t a = 255) { return {v, v, v, a}; }

TEST(PngMipmaps, BoxFilterAveragesEachBlockRoundingHalfUp) {
    // Two 2 x 2 blocks: {0,1,1,1} -> 5/4 -> 1, {0,0,0,1} -> 3/4 -> 1.
    glpng::Image image = MakeImage(4, 2, {Grey(0), Grey(1), Grey(0), Grey(0),  //
                                          Grey(1), Grey(1), Grey(0), Grey(1, 0)});
    const glpng::Image half = glpng::HalveBox(image);
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(At(half, 0, 0), Grey(1));
    EXPECT_EQ(At(half, 1, 0), Grey(0, 191));  // alpha is averaged too
}

TEST(PngMipmaps, OddSidesUseEveryTexelExactlyOnce) {
    // 5 -> 2: texels {0,1} and {2,3,4}.
    glpng::Image row = MakeImage(5, 1, {Grey(10), Grey(20), Grey(30), Grey(40), Grey(50)});
    glpng::Image half = glpng::HalveBox(row);
    ASSERT_EQ(half.width, 2u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(At(half, 0, 0), Grey(15));
    EXPECT_EQ(At(half, 1, 0), Grey(40));

    // 3 x 3 -> 1 x 1: all nine.
    glpng::Image square = MakeImage(3, 3, {Grey(0), Grey(9), Grey(18), Grey(27), Grey(36),
                                           Grey(45), Grey(54), Grey(63), Grey(72)});
    half = glpng::HalveBox(square);
    ASSERT_EQ(half.width, 1u);
    ASSERT_EQ(half.height, 1u);
    EXPECT_EQ(At(half, 0, 0), Grey(36));
}

TEST(PngMipmaps, ChainHalvesEachSideDownToOne) {
    const auto sizes = [](unsigned w, unsigned h) {
        std::vector<std::pair<unsigned, unsigned>> out;
        for (const glpng::Image& level : glpng::BuildMipChain(Uniform(w, h, Grey(7))))
            out.emplace_back(level.width, level.height);
        return out;
    };
    using Sizes = std::vector<std::pair<unsigned, unsigned>>;
    EXPECT_EQ(sizes(300, 200), (Sizes{{300, 200}, {150, 100}, {75, 50}, {37, 25}, {18, 12},
                                      {9, 6}, {4, 3}, {2, 1}, {1, 1}}));
    EXPECT_EQ(sizes(1, 5), (Sizes{{1, 5}, {1, 2}, {1, 1}}));
    EXPECT_EQ(sizes(1, 1), (Sizes{{1, 1}}));
    for (const glpng::Image& level : glpng::BuildMipChain(Uniform(300, 200, Grey(7))))
        EXPECT_EQ(At(level, level.width - 1, level.height - 1), Grey(7));
}

// --- Texture sizes -------------------------------------------------------

TEST(PngTextureSize, PowerOfTwoOnlyWhenTheContextNeedsIt) {
    struct Row {
        unsigned w, h;
        bool npot;
        unsigned max, wantW, wantH;
    };
    const Row rows[] = {
        {300, 200, true, 4096, 300, 200},   {300, 200, false, 4096, 512, 256},
        {256, 64, false, 4096, 256, 64},    {1, 1, false, 64, 1, 1},
        {300, 200, false, 256, 256, 256},   {300, 200, true, 256, 256, 200},
        {300, 200, false, 300, 256, 256},   {16384, 3, false, 16384, 16384, 4},
        {5000, 3, false, 2048, 2048, 4},
    };
    for (const Row& r : rows) {
        const glpng::TextureSize size = glpng::ChooseTextureSize(r.w, r.h, r.npot, r.max);
        EXPECT_EQ(size.width, r.wantW) << r.w << "x" << r.h << " npot " << r.npot << " max " << r.max;
        EXPECT_EQ(size.height, r.wantH) << r.w << "x" << r.h << " npot " << r.npot << " max " << r.max;
    }
}

TEST(PngTextureSize, ScalingUpWrapsRoundTheEdges) {
    // Sample points at 4 texel centres over [0, 200]: the outer ones blend
    // with the texel across the edge, as the texture repeats.
    const glpng::Image wide = glpng::ResizeBilinear(MakeImage(2, 1, {Grey(0), Grey(200)}), 4, 1);
    ASSERT_EQ(wide.width, 4u);
    ASSERT_EQ(wide.height, 1u);
    EXPECT_EQ(At(wide, 0, 0), Grey(50));
    EXPECT_EQ(At(wide, 1, 0), Grey(50));
    EXPECT_EQ(At(wide, 2, 0), Grey(150));
    EXPECT_EQ(At(wide, 3, 0), Grey(150));

    // Fitting resizes only what the context could not take as it is.
    glpng::Image image = MakeImage(3, 1, {Grey(0), Grey(200), Grey(0)});
    glpng::FitTextureSize(image, true, 4096);
    EXPECT_EQ(image.width, 3u);
    glpng::FitTextureSize(image, false, 4096);
    EXPECT_EQ(image.width, 4u);
    EXPECT_EQ(image.height, 1u);

    glpng::Image flat = Uniform(300, 200, {12, 34, 56, 255});
    glpng::FitTextureSize(flat, false, 4096);
    ASSERT_EQ(flat.width, 512u);
    ASSERT_EQ(flat.height, 256u);
    for (unsigned y = 0; y < flat.height; y += 17)
        for (unsigned x = 0; x < flat.width; x += 13)
            ASSERT_EQ(At(flat, x, y), (Texel{12, 34, 56, 255})) << x << "," << y;
}

// --- pngBind on a software GL context -----------------------------------

glpng::Image ReadLevel(int level) {
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    glpng::Image image;
    if (w <= 0 || h <= 0) return image;
    image.width = unsigned(w);
    image.height = unsigned(h);
    image.rgba.resize(std::size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return image;
}

int LevelCount() {
    int n = 0;
    for (GLint w = 1; n < 40; ++n) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, n, GL_TEXTURE_WIDTH, &w);
        if (w == 0) break;
    }
    return n;
}

class PngBindTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_FALSE(dir_.path().empty());
        pngSetStencil(255, 0, 255);
    }
    void TearDown() override {
        pngSetStencil(255, 0, 255);
        GLTest::TearDown();
    }

    std::string Write(const std::string& name, const Picture& p) {
        const std::string path = (dir_.path() / name).string();
        EXPECT_TRUE(testpng::WritePng(path, p)) << name;
        return path;
    }
    std::string WriteRaw(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (dir_.path() / name).string();
        EXPECT_TRUE(testpng::WriteBytes(path, bytes)) << name;
        return path;
    }

    TempDir dir_;
};

TEST_F(PngBindTest, EveryKindOfFileLoadsOpaqueAtItsBitDepth) {
    struct Case {
        const char* name;
        Picture picture;
    };
    Picture halfAlpha;
    halfAlpha.width = 4;
    halfAlpha.height = 3;
    halfAlpha.color = Color::Rgba;
    halfAlpha.pixel = [](unsigned x, unsigned y) { return Sample::Rgba(x * 50, y * 80, 7, 128); };
    const Case cases[] = {
        {"palette4_trns", Pattern(Color::Palette, 4, false, true)},
        {"palette8_trns_interlaced", Pattern(Color::Palette, 8, true, true)},
        {"grey1", Pattern(Color::Gray, 1, false, false)},
        {"grey2_interlaced", Pattern(Color::Gray, 2, true, false)},
        {"grey8_trns", Pattern(Color::Gray, 8, false, true)},
        {"greyalpha16_interlaced", Pattern(Color::GrayAlpha, 16, true, false)},
        {"rgb16", Pattern(Color::Rgb, 16, false, false)},
        {"rgba8_interlaced", Pattern(Color::Rgba, 8, true, false)},
        {"rgba_half_alpha", halfAlpha},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture& p = c.picture;
        const std::string path = Write(std::string(c.name) + ".png", p);
        pngInfo info = {7, 7, 7, 7};
        GLuint name =
            pngBind(path.c_str(), PNG_NOMIPMAPS, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST);
        ASSERT_NE(name, 0u);
        EXPECT_EQ(info.Width, p.width);
        EXPECT_EQ(info.Height, p.height);
        EXPECT_EQ(info.Depth, unsigned(p.bitDepth));
        EXPECT_EQ(info.Alpha, 8u);

        const glpng::Image level0 = ReadLevel(0);
        ASSERT_EQ(level0.width, p.width);
        ASSERT_EQ(level0.height, p.height);
        for (unsigned y = 0; y < p.height; ++y)
            for (unsigned x = 0; x < p.width; ++x) {
                Texel want = FileTexel(p, x, y);
                ASSERT_FALSE(want.IsMagenta());
                want.a = 255;
                ASSERT_EQ(At(level0, x, y), want) << x << "," << y;
            }
        EXPECT_EQ(LevelCount(), 1);
        glDeleteTextures(1, &name);
    }
}

TEST_F(PngBindTest, MagentaHolesAreTransparentAndLeaveNoFringeInAnyLevel) {
    const Texel field = {40, 160, 80, 255};
    // A lone texel, a 3 x 3 block, and a hole across the top-left corner.
    const auto hole = [](unsigned x, unsigned y) {
        return (x == 5 && y == 2) || (x >= 9 && x < 12 && y >= 9 && y < 12) ||
               ((x == 0 || x == 15) && (y == 0 || y == 15));
    };
    Picture rgb, rgba, palette;
    for (Picture* p : {&rgb, &rgba, &palette}) {
        p->width = 16;
        p->height = 16;
    }
    rgb.color = Color::Rgb;
    rgb.pixel = [&](unsigned x, unsigned y) {
        return hole(x, y) ? Sample::Rgb(255, 0, 255) : Sample::Rgb(40, 160, 80);
    };
    // The file's alpha says nothing about holes: opaque magenta and clear
    // magenta are holes, clear green is not.
    rgba.color = Color::Rgba;
    rgba.pixel = [&](unsigned x, unsigned y) {
        return hole(x, y) ? Sample::Rgba(255, 0, 255, x % 2 ? 0 : 255)
                          : Sample::Rgba(40, 160, 80, (x + y) % 3 ? 255 : 0);
    };
    palette.color = Color::Palette;
    palette.palette = {{40, 160, 80}, {255, 0, 255}};
    palette.paletteAlpha = {255, 255};
    palette.pixel = [&](unsigned x, unsigned y) { return Sample::Index(hole(x, y) ? 1 : 0); };

    for (const auto& [name, p] : {std::pair<const char*, Picture*>{"rgb", &rgb},
                                  {"rgba", &rgba},
                                  {"palette", &palette}}) {
        SCOPED_TRACE(name);
        const std::string path = Write(std::string(name) + ".png", *p);
        pngInfo info = {};
        GLuint tex = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                             GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
        ASSERT_NE(tex, 0u);
        ASSERT_EQ(LevelCount(), 5);

        const glpng::Image level0 = ReadLevel(0);
        for (unsigned y = 0; y < 16; ++y)
            for (unsigned x = 0; x < 16; ++x)
                ASSERT_EQ(At(level0, x, y), (Texel{40, 160, 80, std::uint8_t(hole(x, y) ? 0 : 255)}))
                    << x << "," << y;
        // Every level keeps the field's colour exactly: no magenta tint.
        for (int level = 1; level < 5; ++level) {
            const glpng::Image image = ReadLevel(level);
            for (unsigned y = 0; y < image.height; ++y)
                for (unsigned x = 0; x < image.width; ++x) {
                    const Texel t = At(image, x, y);
                    ASSERT_EQ((Texel{t.r, t.g, t.b, 255}), field)
                        << "level " << level << " at " << x << "," << y;
                }
        }
        // Level 1: the lone hole is a quarter of its block.
        EXPECT_EQ(At(ReadLevel(1), 2, 1).a, 191);
        EXPECT_EQ(At(ReadLevel(1), 5, 5).a, 0);  // inside the 3 x 3 block
        glDeleteTextures(1, &tex);
    }
}

TEST_F(PngBindTest, KeyedTexelsDrawAsTheBackground) {
    Picture p;
    p.width = 4;
    p.height = 4;
    p.color = Color::Rgb;
    p.pixel = [](unsigned x, unsigned y) {
        return x == y ? Sample::Rgb(255, 0, 255) : Sample::Rgb(200, 100, 50);
    };
    const std::string path = Write("diagonal.png", p);
    pngInfo info = {};
    const unsigned tex =
        pngBind(path.c_str(), PNG_NOMIPMAPS, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST);
    ASSERT_NE(tex, 0u);

    glViewport(0, gl().height() - 4, 4, 4);  // the window's top-left corner
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glBegin(GL_QUADS);  // the image's top row at the top of the window
    glTexCoord2f(0, 0); glVertex2f(-1, 1);
    glTexCoord2f(1, 0); glVertex2f(1, 1);
    glTexCoord2f(1, 1); glVertex2f(1, -1);
    glTexCoord2f(0, 1); glVertex2f(-1, -1);
    glEnd();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(gl().PixelTopLeft(x, y), x == y ? Rgba(0, 0, 255) : Rgba(200, 100, 50))
                << x << "," << y;
}

TEST_F(PngBindTest, NonPowerOfTwoImageKeepsItsOwnSize) {
    Picture p;
    p.width = 300;
    p.height = 200;
    p.color = Color::Rgb;
    p.pixel = [](unsigned x, unsigned y) { return Sample::Rgb(x % 251, y, (x * y) % 253); };
    const std::string path = Write("npot.png", p);
    pngInfo info = {};
    const unsigned tex = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                                 GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    ASSERT_NE(tex, 0u);
    EXPECT_EQ(info.Width, 300u);
    EXPECT_EQ(info.Height, 200u);

    const glpng::Image level0 = ReadLevel(0);
    ASSERT_EQ(level0.width, 300u);
    ASSERT_EQ(level0.height, 200u);
    for (unsigned y = 0; y < 200; ++y)
        for (unsigned x = 0; x < 300; ++x)
            ASSERT_EQ(At(level0, x, y),
                      (Texel{std::uint8_t(x % 251), std::uint8_t(y), std::uint8_t((x * y) % 253), 255}))
                << x << "," << y;
    EXPECT_EQ(LevelCount(), 9);
    const glpng::Image last = ReadLevel(8);
    EXPECT_EQ(last.width, 1u);
    EXPECT_EQ(last.height, 1u);
    const glpng::Image level4 = ReadLevel(4);
    EXPECT_EQ(level4.width, 18u);
    EXPECT_EQ(level4.height, 12u);
}

TEST_F(PngBindTest, MipLevelsAreBoxFilteredFromTheLevelAbove) {
    // Grey 40 * (x / 2) + 10 * (y / 2) + 4 * (x % 2) + 2 * (y % 2): each
    // 2 x 2 block averages to its base + 3.
    Picture p;
    p.width = 8;
    p.height = 4;
    p.color = Color::Gray;
    p.pixel = [](unsigned x, unsigned y) {
        return Sample::Gray(std::uint16_t(40 * (x / 2) + 10 * (y / 2) + 4 * (x % 2) + 2 * (y % 2)));
    };
    const std::string path = Write("blocks.png", p);
    pngInfo info = {};
    GLuint tex = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                         GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    ASSERT_NE(tex, 0u);
    ASSERT_EQ(LevelCount(), 4);

    const glpng::Image level1 = ReadLevel(1);
    ASSERT_EQ(level1.width, 4u);
    ASSERT_EQ(level1.height, 2u);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 4; ++x)
            EXPECT_EQ(At(level1, x, y), Grey(std::uint8_t(40 * x + 10 * y + 3))) << x << "," << y;
    const glpng::Image level2 = ReadLevel(2);
    ASSERT_EQ(level2.width, 2u);
    ASSERT_EQ(level2.height, 1u);
    EXPECT_EQ(At(level2, 0, 0), Grey(28));
    EXPECT_EQ(At(level2, 1, 0), Grey(108));
    const glpng::Image level3 = ReadLevel(3);
    ASSERT_EQ(level3.width, 1u);
    ASSERT_EQ(level3.height, 1u);
    EXPECT_EQ(At(level3, 0, 0), Grey(68));
    glDeleteTextures(1, &tex);

    // Odd sides: 5 x 3 -> 2 x 1 -> 1 x 1.
    p.width = 5;
    p.height = 3;
    p.pixel = [](unsigned, unsigned) { return Sample::Gray(90); };
    const std::string odd = Write("odd.png", p);
    const unsigned tex2 = pngBind(odd.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                                  GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    ASSERT_NE(tex2, 0u);
    ASSERT_EQ(LevelCount(), 3);
    EXPECT_EQ(ReadLevel(1).width, 2u);
    EXPECT_EQ(ReadLevel(1).height, 1u);
    EXPECT_EQ(At(ReadLevel(2), 0, 0), Grey(90));
}

// Large files are loaded a band of rows at a time; every level must equal
// what the whole-image fill and box filter give, wherever the holes lie.
TEST_F(PngBindTest, LargeImagesLoadExactlyAsAWholeImageWould) {
    struct Disc {
        int x, y, r;
    };
    struct Case {
        const char* name;
        unsigned width, height;
        std::vector<Disc> holes;
        bool allMagenta;
    };
    const std::vector<Case> cases = {
        // Holes on band edges, across the top/bottom and left/right seams,
        // and one nearly as deep as a band's margin.
        {"within the margins", 1024, 1024,
         {{300, 256, 9}, {40, 511, 20}, {700, 0, 14}, {0, 700, 30}, {1023, 1023, 5},
          {512, 770, 85}, {200, 130, 3}, {900, 300, 1}},
         false},
        {"odd sides", 1031, 1029, {{515, 257, 12}, {100, 1028, 25}, {1030, 600, 40}}, false},
        {"wide hole in a middle band", 1031, 1029, {{400, 600, 140}, {20, 20, 6}}, false},
        {"wide hole in the first band", 1024, 1024, {{500, 120, 110}, {800, 900, 4}}, false},
        {"all magenta", 1024, 1024, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture p;
        p.width = c.width;
        p.height = c.height;
        p.color = Color::Rgb;
        p.pixel = [&c](unsigned x, unsigned y) {
            bool hole = c.allMagenta;
            for (const Disc& d : c.holes) {
                // Distances wrap, as the texture does.
                int dx = std::abs(int(x) - d.x), dy = std::abs(int(y) - d.y);
                dx = std::min(dx, int(c.width) - dx);
                dy = std::min(dy, int(c.height) - dy);
                hole = hole || dx * dx + dy * dy <= d.r * d.r;
            }
            return hole ? Sample::Rgb(255, 0, 255)
                        : Sample::Rgb(Hash(x, y, 0) & 255, (x * 3 + y) & 255, (y / 4) & 255);
        };
        const std::string path = Write("large.png", p);

        glpng::Image expected;
        ASSERT_TRUE(glpng::DecodePngFile(path.c_str(), &expected));
        glpng::PngRowReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        ASSERT_TRUE(glpng::SuitsBands(reader.header()));
        glpng::ApplyColorKey(expected, 255, 0, 255);
        const std::vector<glpng::Image> chain = glpng::BuildMipChain(expected);

        for (const bool mipmaps : {true, false}) {
            SCOPED_TRACE(mipmaps ? "with mipmaps" : "level 0 only");
            pngInfo info = {};
            const GLuint tex = pngBind(path.c_str(), mipmaps ? PNG_BUILDMIPMAPS : PNG_NOMIPMAPS,
                                       PNG_STENCIL, &info, GL_REPEAT,
                                       mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST, GL_NEAREST);
            ASSERT_NE(tex, 0u);
            EXPECT_EQ(info.Width, c.width);
            EXPECT_EQ(info.Height, c.height);
            ASSERT_EQ(LevelCount(), mipmaps ? int(chain.size()) : 1);
            for (int level = 0; level < LevelCount(); ++level) {
                const glpng::Image got = ReadLevel(level);
                const glpng::Image& want = chain[std::size_t(level)];
                ASSERT_EQ(got.width, want.width) << "level " << level;
                ASSERT_EQ(got.height, want.height) << "level " << level;
                for (unsigned y = 0; y < want.height; ++y)
                    for (unsigned x = 0; x < want.width; ++x)
                        ASSERT_EQ(At(got, x, y), At(want, x, y))
                            << "level " << level << " at " << x << "," << y;
            }
            glDeleteTextures(1, &tex);
        }
    }
}

TEST_F(PngBindTest, TextureParametersAreThoseAskedFor) {
    Picture p;
    p.width = 2;
    p.height = 2;
    p.color = Color::Rgb;
    const std::string path = Write("params.png", p);
    struct Case {
        int mipmap, wrap, minFilter, magFilter, levels;
    };
    const Case cases[] = {
        {PNG_NOMIPMAPS, GL_REPEAT, GL_NEAREST, GL_NEAREST, 1},
        {PNG_BUILDMIPMAPS, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 2},
        {PNG_NOMIPMAPS, GL_CLAMP, GL_LINEAR, GL_NEAREST, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minFilter);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        pngInfo info = {};
        const unsigned tex =
            pngBind(path.c_str(), c.mipmap, PNG_STENCIL, &info, c.wrap, c.minFilter, c.magFilter);
        ASSERT_NE(tex, 0u);
        GLint value = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
        EXPECT_EQ(GLuint(value), tex);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
        EXPECT_EQ(value, c.wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
        EXPECT_EQ(value, c.wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, c.minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, c.magFilter);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
        EXPECT_EQ(value, 1);
        EXPECT_EQ(LevelCount(), c.levels);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(PngBindTest, StencilColourIsTheOneLastSet) {
    Picture p;
    p.width = 2;
    p.height = 1;
    p.color = Color::Rgb;
    p.pixels = {Sample::Rgb(0, 0, 0), Sample::Rgb(255, 0, 255)};
    const std::string path = Write("black.png", p);
    pngSetStencil(0, 0, 0);
    pngInfo info = {};
    ASSERT_NE(pngBind(path.c_str(), 0, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST), 0u);
    const glpng::Image image = ReadLevel(0);
    EXPECT_EQ(At(image, 0, 0).a, 0);
    EXPECT_EQ(At(image, 1, 0), kMagenta);
}

TEST_F(PngBindTest, FailuresReturnZeroReportNoSizeAndLeaveNoTexture) {
    Picture p = Pattern(Color::Rgb, 8, false, false);
    const std::vector<std::uint8_t> good = testpng::EncodePng(p);
    ASSERT_FALSE(good.empty());
    std::vector<std::uint8_t> badCrc = good;
    badCrc[20] ^= 1;  // inside IHDR
    const std::vector<std::pair<const char*, std::string>> files = {
        {"missing", (dir_.path() / "nothing-here.png").string()},
        {"directory", dir_.str()},
        {"empty", WriteRaw("empty.png", {})},
        {"signature only", WriteRaw("sig.png", testpng::Signature())},
        {"text", WriteRaw("text.png", {'h', 'e', 'l', 'l', 'o'})},
        {"truncated", WriteRaw("cut.png", {good.begin(), good.begin() + good.size() / 2})},
        {"bad CRC", WriteRaw("crc.png", badCrc)},
        {"100000 x 100000", WriteRaw("huge.png", CraftedGrey8(100000, 100000))},
        {"16384 x 4097", WriteRaw("many.png", CraftedGrey8(16384, 4097))},
        {"0 x 8", WriteRaw("zero.png", CraftedGrey8(0, 8))},
        {"1024 x 1024 cut short", WriteRaw("short.png", CraftedGrey8(1024, 1024, 0))},
    };
    for (const auto& [what, path] : files) {
        SCOPED_TRACE(what);
        pngInfo info = {7, 7, 7, 7};
        EXPECT_EQ(pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                          GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR),
                  0u);
        EXPECT_EQ(info.Width, 0u);
        EXPECT_EQ(info.Height, 0u);
    }
    pngInfo info = {7, 7, 7, 7};
    EXPECT_EQ(pngBind(nullptr, 0, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST), 0u);
    EXPECT_EQ(info.Width, 0u);

    // A good file with a wrap mode GL refuses: the texture is deleted again.
    const std::string goodPath = WriteRaw("good.png", good);
    info = {7, 7, 7, 7};
    EXPECT_EQ(pngBind(goodPath.c_str(), 0, PNG_STENCIL, &info, 0x1234, GL_NEAREST, GL_NEAREST), 0u);
    EXPECT_EQ(info.Width, 0u);
    EXPECT_EQ(info.Height, 0u);

    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    for (GLuint name = 1; name < 64; ++name) EXPECT_FALSE(glIsTexture(name)) << name;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // And the loader still works afterwards.
    EXPECT_NE(pngBind(goodPath.c_str(), 0, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST), 0u);
    EXPECT_EQ(info.Width, p.width);
}

}  // namespace
