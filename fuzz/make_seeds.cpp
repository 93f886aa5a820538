// Writes the fuzzers' seed corpora: PNGs of every colour type, bit depth
// and interlacing (with tRNS and key-coloured texels), settings files and
// catalogue inputs.  Usage: zintra_fuzz_seeds OUT_DIR
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

#include "support/image_writers.h"
#include "support/png_writer.h"

namespace {

using testpng::Color;
using testpng::Picture;
using testpng::Sample;

// A literal with its NULs kept.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

bool Write(const std::string& path, const std::string& bytes) {
    return testpng::WriteBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// Samples in the file's own range; the top-left texel is the key colour
// where the format can hold it.
Picture MakePicture(Color color, int depth, bool interlaced, unsigned w, unsigned h) {
    Picture p;
    p.width = w;
    p.height = h;
    p.color = color;
    p.bitDepth = depth;
    p.interlaced = interlaced;
    const unsigned top = (1u << depth) - 1;
    if (color == Color::Palette) {
        for (unsigned i = 0; i <= top; ++i)
            p.palette.push_back({std::uint8_t(255 - i * 40), std::uint8_t(i * 70), 255});
        p.paletteAlpha = {0, 128};
    }
    p.pixel = [=](unsigned x, unsigned y) {
        const std::uint16_t v = std::uint16_t((x * 7 + y * 13) % (top + 1));
        const bool key = x == 0 && y == 0;
        switch (color) {
            case Color::Gray: return Sample::Gray(v);
            case Color::GrayAlpha: return Sample::GrayAlpha(v, std::uint16_t(top - v));
            case Color::Rgb: return key ? Sample::Rgb(top, 0, top) : Sample::Rgb(v, top - v, v / 2);
            case Color::Rgba:
                return key ? Sample::Rgba(top, 0, top, top) : Sample::Rgba(v, top - v, v / 2, v);
            case Color::Palette: return Sample::Index(v);
        }
        return Sample::Gray(0);
    };
    return p;
}

// A grey image of few values deflated with `strategy`: dynamic blocks
// whose code sets are a handful of short codes, so that most changes to
// its header give sets zlib refuses and inflaters may still read.
std::vector<std::uint8_t> FewCodes(int strategy) {
    const unsigned width = 48, height = 40;
    std::vector<std::uint8_t> raw;
    for (unsigned y = 0; y < height; ++y) {
        raw.push_back(0);
        for (unsigned x = 0; x < width; ++x)
            raw.push_back((x * y) % 17 == 3 ? 2 : (x + y) % 11 == 0);
    }
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, 15, 8, strategy);
    std::vector<std::uint8_t> data(deflateBound(&z, uLong(raw.size())));
    z.next_in = raw.data();
    z.avail_in = uInt(raw.size());
    z.next_out = data.data();
    z.avail_out = uInt(data.size());
    deflate(&z, Z_FINISH);
    data.resize(z.total_out);
    deflateEnd(&z);
    std::vector<std::uint8_t> file = testpng::Signature();
    testpng::AppendChunk(file, "IHDR", testpng::IhdrData(width, height, 8, 0));
    testpng::AppendChunk(file, "IDAT", data);
    testpng::AppendChunk(file, "IEND", {});
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    for (const char* sub : {"", "/png", "/png_fast", "/png_tall", "/settings", "/catalogue",
                            "/jpg", "/webp", "/tga", "/psd", "/kra"})
        mkdir((out + sub).c_str(), 0755);
    int failures = 0;

    struct Format {
        Color color;
        std::vector<int> depths;
    };
    const Format formats[] = {{Color::Gray, {1, 2, 4, 8, 16}}, {Color::GrayAlpha, {8, 16}},
                              {Color::Rgb, {8, 16}},           {Color::Rgba, {8, 16}},
                              {Color::Palette, {1, 2, 4, 8}}};
    int n = 0;
    for (const Format& f : formats)
        for (int depth : f.depths)
            for (bool interlaced : {false, true}) {
                // Odd sizes so that every Adam7 pass and the 3-wide boxes
                // of the mip levels occur.
                Picture p = MakePicture(f.color, depth, interlaced, 9 + n % 4, 5 + n % 3);
                if (f.color == Color::Gray && depth == 8) p.transparent = Sample::Gray(7);
                if (f.color == Color::Rgb && depth == 8) p.transparent = Sample::Rgb(1, 2, 3);
                const std::vector<std::uint8_t> file = testpng::EncodePng(p);
                const std::string name = out + "/png/seed" + std::to_string(n) + ".png";
                if (file.empty() || !testpng::WriteBytes(name, file)) ++failures;
                // The fast-decode fuzzer's inputs start with a flag byte:
                // CRCs made right, and a row count per read.
                for (std::uint8_t flags : {std::uint8_t(1), std::uint8_t(1 + 2 * (n % 7))}) {
                    std::vector<std::uint8_t> flagged{flags};
                    flagged.insert(flagged.end(), file.begin(), file.end());
                    const std::string fast = out + "/png_fast/seed" + std::to_string(n) + "_" +
                                             std::to_string(flags);
                    if (!testpng::WriteBytes(fast, flagged)) ++failures;
                }
                ++n;
            }
    // Enough data for dynamic Huffman blocks, whose code sets the fast
    // decode must judge as zlib does.
    {
        Picture p = MakePicture(Color::Rgb, 8, false, 40, 24);
        p.pixel = [](unsigned x, unsigned y) {
            return Sample::Rgb((x * y) & 255, (x * 37 + y * y) & 255, (x ^ y) * 5 & 255);
        };
        std::vector<std::uint8_t> flagged{3};
        const std::vector<std::uint8_t> file = testpng::EncodePng(p);
        flagged.insert(flagged.end(), file.begin(), file.end());
        if (file.empty() || !testpng::WriteBytes(out + "/png_fast/dynamic_3", flagged)) ++failures;
        for (int strategy : {Z_HUFFMAN_ONLY, Z_RLE}) {
            std::vector<std::uint8_t> few{1};
            const std::vector<std::uint8_t> png = FewCodes(strategy);
            few.insert(few.end(), png.begin(), png.end());
            if (!testpng::WriteBytes(out + "/png_fast/few_codes_" + std::to_string(strategy), few))
                ++failures;
        }
    }
    // Single-texel and one-row images.
    for (unsigned w : {1u, 17u}) {
        const std::vector<std::uint8_t> file =
            testpng::EncodePng(MakePicture(Color::Rgb, 8, false, w, 1));
        if (file.empty() || !testpng::WriteBytes(out + "/png/row" + std::to_string(w) + ".png", file))
            ++failures;
    }

    // Tall enough to be loaded band by band: small holes, a hole wider
    // than a band's margin, and one across the top and bottom edges.
    {
        Picture p;
        p.width = 1024;
        p.height = 1024;
        p.color = Color::Rgb;
        p.pixel = [](unsigned x, unsigned y) {
            const int dx = int(x) - 600, dy = int(y) - 500;
            const bool hole = (x % 97 < 3 && y % 89 < 4) || dx * dx + dy * dy < 120 * 120 ||
                              (x > 300 && x < 320 && (y < 10 || y > 1015));
            return hole ? Sample::Rgb(255, 0, 255) : Sample::Rgb(x & 255, y & 255, 128);
        };
        const std::vector<std::uint8_t> file = testpng::EncodePng(p);
        if (file.empty() || !testpng::WriteBytes(out + "/png_tall/holes.png", file)) ++failures;
    }

    const char* settings[] = {
        "NULL\nNULL\n1\n1\n100\n100\n612\n612\n",
        "/usr/bin/paint\n/home/a/tex 100% & more\n0\n1\n-1920\n-8\n-1000\n600\n",
        "C:\\Tools\\paint.exe\r\nC:\\tex\r\n0\r\n0\r\n5\r\n6\r\n7\r\n8\r\n",
        "ed\n/t\n0\n",
        "NULL\nNULL\n1\n1\n-2147483648\n2147483647\n+0\n-0\n",
    };
    n = 0;
    for (const char* text : settings)
        if (!Write(out + "/settings/seed" + std::to_string(n++), text)) ++failures;
    // As editors save them: a UTF-8 mark, UTF-16 with a mark either way.
    const std::string marked[] = {
        "\xEF\xBB\xBF" "C:\\\xD0\x96\r\nNULL\r\n0\r\n1\r\n1\r\n2\r\n3\r\n4\r\n",
        Bytes("\xFF\xFE" "C\0:\0\\\0\x16\x04\r\0\n\0" "1\0\n\0\x3D\xD8\xA8\xDF\n\0"),
        Bytes("\xFE\xFF" "\0/\0e\0d\0\n\0N\0U\0L\0L\0\n\0" "0\0\n"),
    };
    for (const std::string& text : marked)
        if (!Write(out + "/settings/seed" + std::to_string(n++), text)) ++failures;

    // Catalogue: "<folder>\0<name>\0<name>...".
    const std::string catalogue[] = {
        Bytes("/tex\0a.png\0b.png\0c.png"),
        Bytes("/tex 100%\0name with spaces.png\0%s%n&.png\0\xc3\xa9t\xc3\xa9.png"),
        "/" + std::string(221, 'd') + Bytes("\0a.png\0ab.png\0abc.png\0abcd.png"),
        Bytes("/tex\0wall.kra\0wall.png\0notes.txt\0README\0rock10.TGA\0rock9.jpg"),
    };
    n = 0;
    for (const std::string& input : catalogue)
        if (!Write(out + "/catalogue/seed" + std::to_string(n++), input)) ++failures;

    // The other formats, each in the variants its reader takes.
    const testimg::Rgba picture = testimg::Pattern(11, 7);
    const std::pair<std::string, testimg::Bytes> others[] = {
        {"jpg/baseline", testimg::Jpeg(picture, 80, false, false, true)},
        {"jpg/progressive", testimg::Jpeg(picture, 80, true, false, true)},
        {"jpg/grey", testimg::Jpeg(picture, 80, false, true, false)},
        {"webp/lossless", testimg::Webp(picture, true)},
        {"webp/lossy", testimg::Webp(picture, false)},
        {"tga/raw24", testimg::Targa(picture, {24, false, false, false})},
        {"tga/rle32", testimg::Targa(picture, {32, true, true, false})},
        {"tga/grey", testimg::Targa(picture, {8, true, false, true})},
        {"psd/rgb8", testimg::Psd(picture, {8, false, false, 1})},
        {"psd/rgb16_rle", testimg::Psd(picture, {16, false, true, 0})},
        {"psd/grey_rle", testimg::Psd(picture, {8, true, true, 1})},
        {"kra/stored", testimg::Zip({{"mimetype", {'x'}}, {"mergedimage.png", [&] {
             Picture p = MakePicture(Color::Rgb, 8, false, 11, 7);
             return testpng::EncodePng(p);
         }()}})},
        {"kra/deflated", testimg::Zip({{"mergedimage.png", [&] {
             Picture p = MakePicture(Color::Palette, 4, true, 9, 5);
             return testpng::EncodePng(p);
         }(), true}})},
    };
    for (const auto& other : others)
        if (other.second.empty() || !testpng::WriteBytes(out + "/" + other.first, other.second))
            ++failures;

    if (failures) std::fprintf(stderr, "%d seed(s) not written\n", failures);
    return failures ? 1 : 0;
}
