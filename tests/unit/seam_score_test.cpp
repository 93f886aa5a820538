// The seam score on a generated set with known truth per axis: tileable by
// construction and circular shifts of it, busy and smooth, axis-only
// seams both ways, a faint +10-level band at one edge, 16-bit, palette
// and grey files, keyed holes along the borders, odd sizes throughout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "glpng/decode/image_reader.h"
#include "glpng/seam_score.h"
#include "support/png_writer.h"
#include "support/temp_dir.h"

namespace {

constexpr double kPi = 3.14159265358979;

struct Colour {
    double r, g, b;
};
using Field = std::function<Colour(unsigned x, unsigned y)>;

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// Smooth value noise on a lattice of `cell` texels; with `wrap`, the
// lattice repeats over w x h, so the noise tiles.
double Noise(double x, double y, unsigned cell, unsigned w, unsigned h, bool wrap, std::uint32_t seed) {
    const unsigned cw = wrap ? w / cell : 1u << 30, ch = wrap ? h / cell : 1u << 30;
    const double fx = x * (wrap ? double(cw) / w : 1.0 / cell);
    const double fy = y * (wrap ? double(ch) / h : 1.0 / cell);
    const unsigned x0 = unsigned(fx), y0 = unsigned(fy);
    const double tx = fx - x0, ty = fy - y0;
    const auto v = [&](unsigned i, unsigned j) { return (Hash(i % cw, j % ch, seed) & 0xFFFF) / 65535.0; };
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double a = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * sx;
    const double b = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

Field Periodic(unsigned w, unsigned h) {
    return [w, h](unsigned x, unsigned y) {
        const double u = 2 * kPi * x / w, v = 2 * kPi * y / h;
        return Colour{128 + 60 * std::sin(u + 0.3) + 30 * std::cos(2 * v),
                      120 + 50 * std::sin(u + v) + 20 * std::sin(3 * u - 1),
                      100 + 40 * std::cos(v + 0.7) + 25 * std::sin(2 * u + v)};
    };
}

Field Shifted(Field f, unsigned w, unsigned h, unsigned dx, unsigned dy) {
    return [=](unsigned x, unsigned y) { return f((x + dx) % w, (y + dy) % h); };
}

Field BusyTileable(unsigned w, unsigned h) {
    return [w, h](unsigned x, unsigned y) {
        const double n = Noise(x, y, 8, w, h, true, 1), m = Noise(x, y, 32, w, h, true, 2);
        const double grain = (Hash(x % w, y % h, 3) & 63) - 32.0;
        return Colour{60 + 150 * n + grain, 80 + 120 * m + grain, 40 + 100 * n * m + grain};
    };
}

Field WhiteNoise() {
    return [](unsigned x, unsigned y) {
        const std::uint32_t h = Hash(x, y, 4);
        return Colour{double(h & 255), double((h >> 8) & 255), double((h >> 16) & 255)};
    };
}

// A crop of a larger scene, lit from one side: no repeat at all.
Field Photo(unsigned w, unsigned h) {
    return [w, h](unsigned x, unsigned y) {
        const double n = Noise(x + 1000, y + 700, 40, w, h, false, 5);
        const double light = 50.0 * x / w + 40.0 * y / h;
        const double grain = (Hash(x, y, 6) & 15) - 8.0;
        return Colour{20 + 150 * n + light + grain, 40 + 120 * n + light + grain,
                      70 + 80 * (1 - n) + light + grain};
    };
}

// Repeats down but not across, and the other way.
Field GradientAcross(unsigned w, unsigned h) {
    return [w, h](unsigned x, unsigned y) {
        return Colour{20 + 200.0 * x / w, 90 + 10 * std::sin(6 * kPi * y / h), 60 + 100.0 * x / w};
    };
}

Field GradientDown(unsigned w, unsigned h) {
    return [w, h](unsigned x, unsigned y) {
        return Colour{30 + 190.0 * y / h, 30 + 190.0 * y / h, 100 + 8 * std::sin(4 * kPi * x / w)};
    };
}

Field Plus10(Field f, unsigned w, unsigned h, bool rightEdge) {
    return [=](unsigned x, unsigned y) {
        Colour c = f(x, y);
        if (rightEdge ? x >= w - 12 : y >= h - 12) c = {c.r + 10, c.g + 10, c.b + 10};
        return c;
    };
}

// Magenta blobs along the left and bottom borders, unlike their partners.
Field Holes(Field f) {
    return [=](unsigned x, unsigned y) {
        if ((x < 6 && (y / 9) % 3 == 0) || (y < 5 && (x / 7) % 4 == 1)) return Colour{255, 0, 255};
        return f(x, y);
    };
}

std::uint8_t Clamp(double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

enum class Kind { Rgb8, Grey16, Rgb16, Palette, Grey8 };

struct Case {
    const char* name;
    unsigned w, h;
    Field field;
    Kind kind;
    bool acrossTiles, downTiles;
};

class SeamScoreTest : public ::testing::Test {
protected:
    // Written as a file of its kind and read back as the loader reads it.
    glpng::SeamScore Score(const Case& c) {
        testpng::Picture pic;
        pic.width = c.w;
        pic.height = c.h;
        const bool sixteen = c.kind == Kind::Grey16 || c.kind == Kind::Rgb16;
        pic.bitDepth = sixteen ? 16 : 8;
        pic.color = c.kind == Kind::Rgb8 || c.kind == Kind::Rgb16 ? testpng::Color::Rgb
                    : c.kind == Kind::Palette                   ? testpng::Color::Palette
                                                                : testpng::Color::Gray;
        if (c.kind == Kind::Palette)
            for (int i = 0; i < 256; ++i)
                pic.palette.push_back({std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)});
        pic.pixel = [&](unsigned x, unsigned y) {
            const Colour k = c.field(x, y);
            const std::uint8_t r = Clamp(k.r), g = Clamp(k.g), b = Clamp(k.b);
            // The 16-bit forms carry detail below the 8 bits the loader keeps.
            const auto wide = [&](double v) { return std::uint16_t(Clamp(v) * 257 + (Hash(x, y, 9) & 127)); };
            switch (c.kind) {
            case Kind::Rgb8: return testpng::Sample::Rgb(r, g, b);
            case Kind::Rgb16: return testpng::Sample::Rgb(wide(k.r), wide(k.g), wide(k.b));
            case Kind::Grey16: return testpng::Sample::Gray(wide((k.r + k.g + k.b) / 3));
            case Kind::Grey8: return testpng::Sample::Gray(Clamp((k.r + k.g + k.b) / 3));
            case Kind::Palette: return testpng::Sample::Index(Clamp((k.r + k.g + k.b) / 3));
            }
            return testpng::Sample::Rgb(r, g, b);
        };
        const std::string path = dir_.str() + "/" + c.name + ".png";
        EXPECT_TRUE(testpng::WritePng(path, pic));
        glpng::ImageReader reader;
        EXPECT_TRUE(reader.Open(path.c_str()));
        glpng::PixelBuffer pixels(nullptr, std::free);
        const std::uint8_t key[3] = {255, 0, 255};
        EXPECT_TRUE(reader.ReadKeyedImage(key, &pixels));
        return glpng::ScoreSeams(pixels.get(), c.w, c.h);
    }
    TempDir dir_{"zintra-seams"};
};

TEST_F(SeamScoreTest, EveryVerdictOfTheGeneratedSetIsRight) {
    const Case cases[] = {
        {"smooth", 257, 199, Periodic(257, 199), Kind::Rgb8, true, true},
        {"smooth_shifted", 257, 199, Shifted(Periodic(257, 199), 257, 199, 91, 37), Kind::Rgb8, true, true},
        {"busy", 301, 211, BusyTileable(301, 211), Kind::Rgb8, true, true},
        {"busy_shifted", 301, 211, Shifted(BusyTileable(301, 211), 301, 211, 150, 7), Kind::Rgb8, true, true},
        {"white_noise", 255, 129, WhiteNoise(), Kind::Rgb8, true, true},
        {"photo", 299, 201, Photo(299, 201), Kind::Rgb8, false, false},
        {"across_only", 255, 255, GradientAcross(255, 255), Kind::Rgb8, false, true},
        {"down_only", 301, 199, GradientDown(301, 199), Kind::Rgb8, true, false},
        {"plus10_right", 257, 257, Plus10(Periodic(257, 257), 257, 257, true), Kind::Rgb8, false, true},
        {"plus10_bottom", 257, 257, Plus10(Periodic(257, 257), 257, 257, false), Kind::Rgb8, true, false},
        {"busy_plus10", 301, 211, Plus10(BusyTileable(301, 211), 301, 211, true), Kind::Rgb8, true, true},
        {"smooth_16", 255, 201, Periodic(255, 201), Kind::Rgb16, true, true},
        {"grey_16_across", 255, 201, GradientAcross(255, 201), Kind::Grey16, false, true},
        {"palette", 199, 257, Periodic(199, 257), Kind::Palette, true, true},
        {"palette_down", 199, 257, GradientDown(199, 257), Kind::Palette, true, false},
        {"grey", 129, 127, BusyTileable(129, 127), Kind::Grey8, true, true},
        {"grey_photo", 129, 127, Photo(129, 127), Kind::Grey8, false, false},
        {"holes", 257, 199, Holes(Periodic(257, 199)), Kind::Rgb8, true, true},
        {"holes_across", 255, 255, Holes(GradientAcross(255, 255)), Kind::Rgb8, false, true},
        {"tiny", 3, 5, Periodic(3, 5), Kind::Rgb8, true, true},
    };
    int confusion[2][2] = {};  // [truth is a seam][said a seam]
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const glpng::SeamScore s = Score(c);
        std::printf("  %-16s %3ux%-3u across %6.2f  down %6.2f\n", c.name, c.w, c.h, s.across.score,
                    s.down.score);
        EXPECT_EQ(s.across.ok, c.acrossTiles) << "across " << s.across.score;
        EXPECT_EQ(s.down.ok, c.downTiles) << "down " << s.down.score;
        ++confusion[!c.acrossTiles][!s.across.ok];
        ++confusion[!c.downTiles][!s.down.ok];
        EXPECT_EQ(s.across.profile.size(), c.h);
        EXPECT_EQ(s.down.profile.size(), c.w);
    }
    std::printf("  truth tiles: said tiles %d, said seam %d; truth seam: said tiles %d, said seam %d\n",
                confusion[0][0], confusion[0][1], confusion[1][0], confusion[1][1]);
}

// The profile says where along the edge the seam breaks.
TEST_F(SeamScoreTest, TheProfileRisesWhereTheSeamBreaks) {
    const unsigned w = 201, h = 151;
    const Field base = Periodic(w, h);
    const Case c{"half", w, h, [&](unsigned x, unsigned y) {
                     Colour k = base(x, y);
                     if (y >= 100 && x >= w - 10) k = {k.r + 40, k.g + 40, k.b + 40};
                     return k;
                 }, Kind::Rgb8, false, true};
    const glpng::SeamScore s = Score(c);
    EXPECT_LT(s.across.profile[40], glpng::kSeamThreshold);
    EXPECT_GT(s.across.profile[125], glpng::kSeamThreshold);
}

}  // namespace
