// Writes PNG files for tests, through libpng.
//
//   testpng::Picture pic;
//   pic.width = 4;
//   pic.height = 2;
//   pic.color = testpng::Color::Rgb;
//   pic.pixel = [](unsigned x, unsigned y) {
//       return x == 0 ? testpng::Sample::Rgb(255, 0, 255) : testpng::Sample::Rgb(x * 60, y, 0);
//   };
//   ASSERT_TRUE(testpng::WritePng(dir + "/holes.png", pic));
//
// Palette images give `palette` (and optionally `paletteAlpha`, written as
// tRNS) and pixels as Sample::Index(i). Bit depths below 8 (grey and
// palette) and 16 (grey, RGB and their alpha forms) take samples in the
// file's own range, 0 .. 2^bitDepth - 1. Invalid combinations (e.g. RGB
// at 4 bits) make WritePng return false.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testpng {

enum class Color { Gray, GrayAlpha, Rgb, Rgba, Palette };

// One pixel's samples, in the order the colour type stores them.
struct Sample {
    std::uint16_t c[4] = {0, 0, 0, 0};

    static Sample Gray(std::uint16_t v) { return {{v, 0, 0, 0}}; }
    static Sample GrayAlpha(std::uint16_t v, std::uint16_t a) { return {{v, a, 0, 0}}; }
    static Sample Rgb(std::uint16_t r, std::uint16_t g, std::uint16_t b) { return {{r, g, b, 0}}; }
    static Sample Rgba(std::uint16_t r, std::uint16_t g, std::uint16_t b, std::uint16_t a) {
        return {{r, g, b, a}};
    }
    static Sample Index(std::uint16_t i) { return {{i, 0, 0, 0}}; }
};

struct Picture {
    unsigned width = 1;
    unsigned height = 1;
    Color color = Color::Rgba;
    int bitDepth = 8;          // 1, 2, 4, 8 or 16, as PNG allows for the colour type
    bool interlaced = false;   // Adam7

    std::vector<std::array<std::uint8_t, 3>> palette;  // Color::Palette only
    std::vector<std::uint8_t> paletteAlpha;            // tRNS per entry; empty: none
    std::optional<Sample> transparent;                 // Gray / Rgb tRNS colour

    // Pixels come from `pixel` when set, else from `pixels` (row-major,
    // width * height entries; missing ones are 0).
    std::function<Sample(unsigned x, unsigned y)> pixel;
    std::vector<Sample> pixels;
};

// libpng's PNG_COLOR_TYPE_* value of a colour.
int PngColorType(Color color);

// The encoded file, or empty when libpng refuses the description.
std::vector<std::uint8_t> EncodePng(const Picture& picture);
bool WritePng(const std::string& path, const Picture& picture);

// Hand-made files (truncated, corrupt, lying headers).
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> Signature();
// Appends length, type, data and a correct CRC.
void AppendChunk(std::vector<std::uint8_t>& file, const char (&type)[5],
                 const std::vector<std::uint8_t>& data);
// IHDR's 13 data bytes (compression, filter 0), without any validation.
std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height, int bitDepth,
                                   int colorType, bool interlaced = false);
// An 8-bit grey file whose header says width x height while its data
// holds `rows` rows of `rowBytes` samples, all `value`, deflated row by row
// so that a file standing for gigabytes of pixels never exists in memory.
std::vector<std::uint8_t> StreamedGrey8(std::uint32_t width, std::uint32_t height,
                                        std::uint32_t rowBytes, std::uint32_t rows,
                                        std::uint8_t value, int level);
// Offset of the first chunk of `type` in an encoded file (its length
// field), or -1.
long FindChunk(const std::vector<std::uint8_t>& file, const char (&type)[5]);

}  // namespace testpng
