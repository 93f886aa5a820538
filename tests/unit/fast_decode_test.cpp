// The fast decode against libpng's on the same bytes: the same rows, or
// both refuse. Files are built by hand so that every filter, chunk split
// and damage the fast path must hand back to libpng can be had.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "glpng/decode/png_decode.h"
#include "support/fast_compare.h"
#include "support/png_writer.h"

namespace {

using fastcmp::Bytes;
using fastcmp::Outcome;
using fastcmp::Same;
const std::uint8_t kKey[3] = {255, 0, 255};

Bytes Be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

Bytes Deflate(const Bytes& data, int windowBits = 15, int level = 6) {
    z_stream z = {};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

unsigned ChannelsOf(int colorType) {
    return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

// Scanlines of noise (with some of the key colour) behind filter bytes
// that cycle through all five types.
Bytes Scanlines(unsigned width, unsigned height, int colorType, unsigned seed) {
    std::mt19937 random(seed);
    const std::size_t rowBytes = std::size_t(width) * ChannelsOf(colorType);
    Bytes data;
    for (unsigned y = 0; y < height; ++y) {
        data.push_back(std::uint8_t((y + seed) % 5));
        for (std::size_t i = 0; i < rowBytes; ++i)
            data.push_back(random() % 7 == 0 ? 0 : std::uint8_t(random()));
    }
    return data;
}

struct Build {
    unsigned width = 13, height = 11;
    int colorType = 6;
    Bytes palette;        // PLTE data
    Bytes zdata;          // the zlib stream
    std::size_t piece = 0;  // IDAT chunk size; 0: one chunk
    bool emptyIdats = false;

    Bytes File() const {
        Bytes file = testpng::Signature();
        testpng::AppendChunk(file, "IHDR", testpng::IhdrData(width, height, 8, colorType));
        if (!palette.empty()) testpng::AppendChunk(file, "PLTE", palette);
        const std::size_t step = piece ? piece : zdata.size();
        for (std::size_t at = 0; at < zdata.size(); at += step) {
            if (emptyIdats) testpng::AppendChunk(file, "IDAT", {});
            const std::size_t n = std::min(step, zdata.size() - at);
            testpng::AppendChunk(file, "IDAT", Bytes(zdata.begin() + at, zdata.begin() + at + n));
        }
        testpng::AppendChunk(file, "IEND", {});
        return file;
    }
};

Bytes Palette(unsigned entries) {
    Bytes p;
    for (unsigned i = 0; i < entries; ++i) {
        const bool key = i == 3;
        p.push_back(key ? 255 : std::uint8_t(i * 7));
        p.push_back(key ? 0 : std::uint8_t(255 - i));
        p.push_back(key ? 255 : std::uint8_t(i * 31));
    }
    return p;
}

Build Sound(unsigned width, unsigned height, int colorType, unsigned seed = 1) {
    Build b;
    b.width = width;
    b.height = height;
    b.colorType = colorType;
    if (colorType == 3) b.palette = Palette(256);
    b.zdata = Deflate(Scanlines(width, height, colorType, seed));
    return b;
}

std::size_t FirstIdatData(const Bytes& file) {
    return std::size_t(testpng::FindChunk(file, "IDAT")) + 8;
}

TEST(FastDecodeTest, EveryFastFormatFilterAndWidthGivesLibpngsRows) {
    for (int colorType : {0, 2, 3, 4, 6})
        for (unsigned width : {1u, 2u, 5u, 64u, 333u}) {
            const std::string what =
                "type " + std::to_string(colorType) + " width " + std::to_string(width);
            const Outcome out = Same(Sound(width, 23, colorType, width).File(), what);
            EXPECT_TRUE(out.ok && out.fast) << what;
        }
}

TEST(FastDecodeTest, DataSplitIntoTinyAndEmptyChunksReadsTheSame) {
    for (std::size_t piece : {1u, 2u, 7u, 1000u})
        for (bool empty : {false, true}) {
            Build b = Sound(77, 31, 2);
            b.piece = piece;
            b.emptyIdats = empty;
            const Outcome out = Same(b.File(), "piece " + std::to_string(piece));
            EXPECT_TRUE(out.ok);
            // The zlib header split across chunks is left to libpng.
            EXPECT_EQ(out.fast, piece > 1) << piece;
        }
}

TEST(FastDecodeTest, AShortPaletteShowsIndexesPastItAsLibpngDoes) {
    Build b = Sound(40, 9, 3);
    b.palette = Palette(5);  // indexes 5..255 lie past it
    // A 5-entry palette is legal at 8 bits, so libpng takes the file.
    const Outcome out = Same(b.File(), "short palette");
    EXPECT_TRUE(out.ok && out.fast);
}

// Damage libpng refuses: the fast path must refuse it too.
TEST(FastDecodeTest, DamageLibpngRefusesIsRefused) {
    const Build sound = Sound(64, 40, 6);
    const Bytes good = sound.File();

    Bytes badCrc = good;
    badCrc[FirstIdatData(good) + 20] ^= 0x40;  // data changed, CRC not
    EXPECT_FALSE(Same(badCrc, "IDAT CRC").ok);

    Build badFilter = sound;
    Bytes raw = Scanlines(64, 40, 6, 1);
    raw[(64 * 4 + 1) * 17] = 5;
    badFilter.zdata = Deflate(raw);
    EXPECT_FALSE(Same(badFilter.File(), "filter type 5").ok);

    Build shortData = sound;
    raw = Scanlines(64, 40, 6, 1);
    raw.resize(raw.size() - 100);
    shortData.zdata = Deflate(raw);
    EXPECT_FALSE(Same(shortData.File(), "too few rows").ok);

    Build cut = sound;
    cut.zdata.resize(cut.zdata.size() / 2);
    EXPECT_FALSE(Same(cut.File(), "stream cut short").ok);

    Build badAdler = sound;
    badAdler.zdata.back() ^= 1;
    EXPECT_FALSE(Same(badAdler.File(), "wrong Adler-32").ok);

    Bytes truncated(good.begin(), good.begin() + FirstIdatData(good) + 30);
    EXPECT_FALSE(Same(truncated, "file cut short").ok);

    Build garbage = sound;
    for (std::size_t i = 10; i < garbage.zdata.size(); i += 3) garbage.zdata[i] ^= 0x5A;
    EXPECT_FALSE(Same(garbage.File(), "stream garbled").ok);

    Build dictionary = sound;
    std::uint8_t flags = std::uint8_t((dictionary.zdata[1] & 0xC0) | 0x20);
    flags = std::uint8_t(flags + (31 - ((dictionary.zdata[0] << 8) | flags) % 31) % 31);
    dictionary.zdata[1] = flags;
    EXPECT_FALSE(Same(dictionary.File(), "preset dictionary").ok);

    // A chunk that is not IDAT in the middle of the data.
    Build split = sound;
    split.piece = split.zdata.size() / 2 + 1;
    Bytes interrupted = split.File();
    const std::size_t second = std::size_t(testpng::FindChunk(interrupted, "IDAT")) + 12 + split.piece;
    Bytes text = Be32(2);
    text.insert(text.end(), {'t', 'E', 'X', 't', 'a', 0});
    const uLong crc = crc32(0L, text.data() + 4, 6);
    for (std::uint8_t byte : Be32(std::uint32_t(crc))) text.push_back(byte);
    interrupted.insert(interrupted.begin() + long(second), text.begin(), text.end());
    EXPECT_FALSE(Same(interrupted, "text chunk between the IDATs").ok);
}

// Oddities libpng lets pass: the same picture, whichever path reads it.
TEST(FastDecodeTest, OdditiesLibpngAcceptsShowTheSamePicture) {
    const Build sound = Sound(50, 30, 2);

    Build extra = sound;
    Bytes raw = Scanlines(50, 30, 2, 1);
    raw.resize(raw.size() + 151 * 4, 9);  // four rows more than the image has
    extra.zdata = Deflate(raw);
    EXPECT_TRUE(Same(extra.File(), "rows past the last").ok);

    Build trailing = sound;
    trailing.zdata.insert(trailing.zdata.end(), {1, 2, 3, 4, 5});
    EXPECT_TRUE(Same(trailing.File(), "bytes after the stream").ok);

    Build smallWindow = sound;
    smallWindow.zdata = Deflate(Scanlines(50, 30, 2, 1), 9);
    EXPECT_TRUE(Same(smallWindow.File(), "512-byte window").ok);

    // An IDAT after the one the stream ends in is never read.
    Bytes more = sound.File();
    const std::size_t iend = std::size_t(testpng::FindChunk(more, "IEND"));
    Bytes stray;
    testpng::AppendChunk(stray, "IDAT", {7, 7, 7});
    stray[stray.size() - 1] ^= 0xFF;  // and a bad CRC at that
    more.insert(more.begin() + long(iend), stray.begin(), stray.end());
    EXPECT_TRUE(Same(more, "stray IDAT after the stream").ok);
}

// What the fast path leaves to libpng alone still reads as before.
TEST(FastDecodeTest, OtherFormatsGoThroughLibpng) {
    testpng::Picture sixteen;
    sixteen.width = 9;
    sixteen.height = 4;
    sixteen.color = testpng::Color::Rgb;
    sixteen.bitDepth = 16;
    sixteen.pixel = [](unsigned x, unsigned y) {
        return testpng::Sample::Rgb(std::uint16_t(x * 7000), std::uint16_t(y * 9000), 65535);
    };
    testpng::Picture interlaced = sixteen;
    interlaced.bitDepth = 8;
    interlaced.interlaced = true;
    interlaced.pixel = [](unsigned x, unsigned y) {
        return testpng::Sample::Rgb(std::uint16_t(x * 20), std::uint16_t(y * 30), 255);
    };
    testpng::Picture grey1 = sixteen;
    grey1.color = testpng::Color::Gray;
    grey1.bitDepth = 1;
    grey1.pixel = [](unsigned x, unsigned y) { return testpng::Sample::Gray((x + y) % 2); };
    for (const testpng::Picture* p : {&sixteen, &grey1}) {
        const Outcome out = Same(testpng::EncodePng(*p), "libpng only");
        EXPECT_TRUE(out.ok);
        EXPECT_FALSE(out.fast);
    }
    // Interlaced files are read whole, never row by row.
    glpng::PngRowReader reader;
    const Bytes file = testpng::EncodePng(interlaced);
    ASSERT_TRUE(reader.OpenMemory(file.data(), file.size()));
    EXPECT_FALSE(reader.OnFastPath());
}

#ifdef ZINTRA_SOURCE_DIR
TEST(FastDecodeTest, TheSampleTexturesTakeTheFastPathAndMatch) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZINTRA_SOURCE_DIR "/samples")) {
        if (entry.path().extension() != ".png") continue;
        std::FILE* f = std::fopen(entry.path().c_str(), "rb");
        ASSERT_NE(f, nullptr);
        Bytes file;
        for (int c; (c = std::fgetc(f)) != EOF;) file.push_back(std::uint8_t(c));
        std::fclose(f);
        const Outcome out = Same(file, entry.path().filename().string());
        EXPECT_TRUE(out.ok && out.fast) << entry.path();
        ++seen;
    }
    EXPECT_GE(seen, 5);
}
#endif

TEST(FastDecodeTest, FilesMatchThroughTheFileReaderToo) {
    const Bytes file = Sound(129, 70, 4).File();
    const std::string path = testing::TempDir() + "/fast_decode.png";
    ASSERT_TRUE(testpng::WriteBytes(path, file));
    glpng::PngRowReader fast, slow;
    ASSERT_TRUE(fast.Open(path.c_str()));
    ASSERT_TRUE(slow.Open(path.c_str(), glpng::DecodePath::Libpng));
    glpng::PixelBuffer a(nullptr, std::free), b(nullptr, std::free);
    ASSERT_TRUE(fast.ReadKeyedImage(kKey, &a));
    ASSERT_TRUE(slow.ReadKeyedImage(kKey, &b));
    EXPECT_TRUE(fast.OnFastPath());
    EXPECT_EQ(std::memcmp(a.get(), b.get(), 129 * 70 * 4), 0);
    // A doubt after the last row (here a bad CRC on the last chunk) makes
    // libpng read the file again from disk, and refuse it.
    Bytes bad = file;
    const std::size_t iend = std::size_t(testpng::FindChunk(bad, "IEND"));
    bad[iend - 1] ^= 0xFF;
    ASSERT_TRUE(testpng::WriteBytes(path, bad));
    glpng::PngRowReader again;
    ASSERT_TRUE(again.Open(path.c_str()));
    EXPECT_FALSE(again.ReadKeyedImage(kKey, &a));
    std::remove(path.c_str());
}

}  // namespace
