// The loader's reader on every format beside PNG: exact texels for the
// lossless ones, the library's own decode for the lossy ones, and a clean
// refusal, quickly, for damaged and hostile files.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <webp/decode.h>

#include "glpng/colour_key.h"
#include "glpng/decode/image_reader.h"
#include "glpng/hole_fill.h"
#include "support/format_reference.h"
#include "support/image_writers.h"
#include "support/png_writer.h"
#include "support/temp_dir.h"

namespace {

using testimg::Bytes;
using testimg::Keyed;
using testimg::LibjpegDecode;
using testimg::LibwebpDecode;
using testimg::PngOf;
using testimg::Rgba;

constexpr unsigned kWidth = 37, kHeight = 23;
const std::uint8_t kKey[3] = {255, 0, 255};

// Where a JPEG's frame header (height, then width, at +5) starts.
std::size_t StartOfFrame(const Bytes& jpeg) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return i;
    return 0;
}

class ImageFormatsTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_.str() + "/" + name;
        EXPECT_TRUE(testpng::WriteBytes(path, bytes));
        return path;
    }
    // The whole image as the loader reads it; empty when it refuses.
    Bytes Load(const std::string& path, glpng::PngHeader* header = nullptr) {
        glpng::ImageReader reader;
        if (!reader.Open(path.c_str())) return {};
        if (header) *header = reader.header();
        glpng::PixelBuffer pixels(nullptr, std::free);
        if (!reader.ReadKeyedImage(kKey, &pixels)) return {};
        const glpng::PngHeader& h = reader.header();
        return Bytes(pixels.get(), pixels.get() + std::size_t(h.width) * h.height * 4);
    }

    TempDir dir_;
};

struct Case {
    const char* name;
    std::function<Bytes(const Rgba&)> encode;
    bool grey;
};

TEST_F(ImageFormatsTest, LosslessFormatsGiveExactTexels) {
    using testimg::TargaOptions;
    using testimg::PsdOptions;
    const Case cases[] = {
        {"raw24.tga", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{24, false, false, false}); }, false},
        {"raw32_top.tga", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{32, false, true, false}); }, false},
        {"rle24_top.tga", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{24, true, true, false}); }, false},
        {"rle32.tga", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{32, true, false, false}); }, false},
        {"mirrored.TGA", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{24, false, false, true}); }, false},
        {"grey_rle.tga", [](const Rgba& p) { return testimg::Targa(p, TargaOptions{8, true, false, false}); }, true},
        {"rgb8.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{8, false, false, 1}); }, false},
        {"rgb8_rle.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{8, false, true, 0}); }, false},
        {"rgb16_rle.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{16, false, true, 2}); }, false},
        {"grey8.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{8, true, false, 0}); }, true},
        {"grey16.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{16, true, false, 1}); }, true},
        {"grey16_rle.psd", [](const Rgba& p) { return testimg::Psd(p, PsdOptions{16, true, true, 1}); }, true},
        {"lossless.webp", [](const Rgba& p) { return testimg::Webp(p, true); }, false},
        {"stored.kra", [](const Rgba& p) {
             return testimg::Zip({{"mimetype", {'x'}}, {"mergedimage.png", PngOf(p)}});
         }, false},
        {"deflated.ora", [](const Rgba& p) {
             return testimg::Zip({{"stack.xml", {'<', '/', '>'}, true},
                                  {"mergedimage.png", PngOf(p), true}});
         }, false},
    };
    const Rgba colour = testimg::Pattern(kWidth, kHeight);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rgba picture = c.grey ? testimg::Grey(colour) : colour;
        glpng::PngHeader header;
        const Bytes loaded = Load(Write(c.name, c.encode(picture)), &header);
        EXPECT_EQ(header.width, kWidth);
        EXPECT_EQ(header.height, kHeight);
        EXPECT_TRUE(loaded == Keyed(picture));
    }
}

TEST_F(ImageFormatsTest, LossyFormatsMatchTheirLibrarysOwnDecode) {
    struct Lossy {
        const char* name;
        Bytes file;
        bool jpeg;
    };
    const Rgba picture = testimg::Pattern(kWidth, kHeight);
    const Lossy cases[] = {
        {"baseline420.jpg", testimg::Jpeg(picture, 85, false, false, true), true},
        {"baseline444.jpeg", testimg::Jpeg(picture, 95, false, false, false), true},
        {"progressive.JPG", testimg::Jpeg(picture, 85, true, false, true), true},
        {"grey.jpg", testimg::Jpeg(picture, 90, false, true, false), true},
        {"lossy.webp", testimg::Webp(picture, false), false},
    };
    for (const Lossy& c : cases) {
        SCOPED_TRACE(c.name);
        const Rgba reference = c.jpeg ? LibjpegDecode(c.file) : LibwebpDecode(c.file);
        const std::string path = Write(c.name, c.file);
        EXPECT_TRUE(Load(path) == Keyed(reference));
        // JPEG rows also stream, as large files are loaded in bands.
        glpng::ImageReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        EXPECT_EQ(reader.Streams(), c.jpeg);
        if (!c.jpeg) continue;
        Bytes rows(std::size_t(kWidth) * kHeight * 4);
        std::vector<std::uint32_t> keyed(kHeight);
        ASSERT_TRUE(reader.ReadKeyedRows(rows.data(), 10, kKey, keyed.data()));
        ASSERT_TRUE(reader.ReadKeyedRows(&rows[10 * kWidth * 4], kHeight - 10, kKey, &keyed[10]));
        EXPECT_FALSE(reader.ReadKeyedRows(rows.data(), 1, kKey, keyed.data()));
    }
}

// Large JPEGs decode on a worker: rows taken in uneven batches match the
// library; a file cut short fails at its end rather than hanging; and a
// reader dropped halfway (a cancelled prefetch) stops its worker.
TEST_F(ImageFormatsTest, LargeJpegRowsFromTheWorkerMatchTheLibrary) {
    const unsigned side = 1031;  // past the worker's threshold
    const Bytes file = testimg::Jpeg(testimg::Pattern(side, side), 90, false, false, true);
    Rgba reference = LibjpegDecode(file);
    const Bytes expected = [&] {
        for (unsigned y = 0; y < side; ++y)
            glpng::KeyRow(&reference.px[std::size_t(y) * side * 4], side, 255, 0, 255);
        return reference.px;
    }();
    const std::string path = Write("large.jpg", file);
    Bytes rows(expected.size());
    std::vector<std::uint32_t> keyed(side);
    glpng::ImageReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    for (unsigned y = 0, n = 1; y < side; y += n, n = n * 3 % 97 + 1) {
        n = std::min(n, side - y);
        ASSERT_TRUE(reader.ReadKeyedRows(&rows[std::size_t(y) * side * 4], n, kKey, &keyed[y]));
    }
    EXPECT_TRUE(rows == expected);

    Bytes cut = file;
    cut.resize(cut.size() / 2);
    glpng::ImageReader shortReader;
    ASSERT_TRUE(shortReader.Open(Write("cut_large.jpg", cut).c_str()));
    EXPECT_FALSE(shortReader.ReadKeyedRows(rows.data(), side, kKey, keyed.data()));

    glpng::ImageReader dropped;
    ASSERT_TRUE(dropped.Open(path.c_str()));
    ASSERT_TRUE(dropped.ReadKeyedRows(rows.data(), 5, kKey, keyed.data()));
}

// Damaged and hostile files: each refused within a second, whatever its
// header claims.
TEST_F(ImageFormatsTest, DamagedAndHostileFilesAreRefusedQuickly) {
    const Rgba picture = testimg::Pattern(kWidth, kHeight);
    const Bytes png = PngOf(picture);
    const auto cut = [](Bytes b) {
        b.resize(b.size() * 2 / 3);
        return b;
    };
    const auto patch = [](Bytes b, std::size_t at, std::initializer_list<std::uint8_t> v) {
        std::copy(v.begin(), v.end(), b.begin() + std::ptrdiff_t(at));
        return b;
    };
    Bytes garbage(5000);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = std::uint8_t(i * 131 + 7);
    // A member that inflates a thousandfold, its size declared honestly.
    Bytes zeros(std::size_t(64) << 20, 0);
    const Bytes bomb = testimg::Zip({{"mergedimage.png", zeros, true}});
    zeros = Bytes();
    const Bytes tga = testimg::Targa(picture, {24, true, false, false});
    const Bytes psd = testimg::Psd(picture, {8, false, true, 1});
    const Bytes jpeg = testimg::Jpeg(picture, 85, true, false, true);

    const std::pair<const char*, Bytes> cases[] = {
        {"cut.tga", cut(tga)},
        {"cut.psd", cut(psd)},
        {"cut.jpg", cut(jpeg)},
        {"cut.webp", cut(testimg::Webp(picture, true))},
        {"cut.kra", cut(testimg::Zip({{"mergedimage.png", png}}))},
        {"no_merged.kra", testimg::Zip({{"mimetype", {'x'}}, {"layer1.png", png}})},
        {"bomb.kra", bomb},
        {"declared_4gib.ora", testimg::Zip({{"mergedimage.png", png, false, 0xFFFFFFF0u}})},
        {"lying_size.kra", testimg::Zip({{"mergedimage.png", png, true, 100}})},
        {"huge.tga", patch(tga, 12, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"huge.psd", patch(psd, 14, {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30})},
        {"psb.psd", patch(psd, 4, {0, 2})},
        {"cmyk.psd", patch(psd, 24, {0, 4})},
        {"bad_runs.psd", patch(psd, 234, {0x81, 0x81, 0x81, 0x81})},
        {"huge.jpg", patch(jpeg, StartOfFrame(jpeg) + 5, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"garbage.jpg", garbage},
        {"garbage.webp", garbage},
        {"garbage.tga", garbage},
        {"garbage.psd", garbage},
        {"garbage.kra", garbage},
        {"empty.tga", {}},
        {"noextension", tga},
        {"other.bmp", tga},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const std::string path = Write(c.first, c.second);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(Load(path).empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

TEST(ImageFormatNames, ExtensionsTellTheFormatInAnyCase) {
    const std::pair<const char*, glpng::ImageFormat> cases[] = {
        {"a.png", glpng::ImageFormat::Png},        {"B.JPG", glpng::ImageFormat::Jpeg},
        {"c.Jpeg", glpng::ImageFormat::Jpeg},      {"d.webp", glpng::ImageFormat::Webp},
        {"e.tga", glpng::ImageFormat::Targa},      {"f.psd", glpng::ImageFormat::Psd},
        {"g.kra", glpng::ImageFormat::Krita},      {"h.ORA", glpng::ImageFormat::OpenRaster},
        {"i.psb", glpng::ImageFormat::Unknown},    {"png", glpng::ImageFormat::Unknown},
        {"dir.png/x", glpng::ImageFormat::Unknown}, {"j.png.txt", glpng::ImageFormat::Unknown},
        {".tga", glpng::ImageFormat::Targa},       {"k.", glpng::ImageFormat::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(glpng::FormatOfName(c.first), c.second) << c.first;
}

}  // namespace
