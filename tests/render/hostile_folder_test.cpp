// A texture folder full of hostile entries, stepped through on the real
// code path (Rescan, StepTexture, pngBind on a software GL context): each
// entry is shown or refused like an unreadable file, nothing hangs, and
// memory stays bounded.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/viewer_fixture.h"

namespace {

namespace fs = std::filesystem;
using testpng::Color;
using testpng::Picture;
using testpng::Sample;

constexpr long kMaxPeakKiB = 2L * 1024 * 1024;  // 2 GiB

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Grey8 with all-zero rows: small files standing for huge images.
std::vector<std::uint8_t> ZeroRowsPng(std::uint32_t width, std::uint32_t height) {
    return testpng::StreamedGrey8(width, height, width, height, 0, 9);
}

// A small valid file whose IHDR is replaced by `ihdr` (CRC kept right).
std::vector<std::uint8_t> WithHeader(const std::vector<std::uint8_t>& ihdr) {
    std::vector<std::uint8_t> file = testpng::Signature();
    testpng::AppendChunk(file, "IHDR", ihdr);
    const std::vector<std::uint8_t> good = ZeroRowsPng(4, 4);
    const long idat = testpng::FindChunk(good, "IDAT");
    file.insert(file.end(), good.begin() + idat, good.end());
    return file;
}

Picture Small(Color color, int depth, bool interlaced = false) {
    Picture p;
    p.width = 12;
    p.height = 10;
    p.color = color;
    p.bitDepth = depth;
    p.interlaced = interlaced;
    if (color == Color::Palette) {
        p.palette = {{255, 0, 255}, {10, 200, 30}};
        p.paletteAlpha = {0, 255};
    }
    p.pixel = [color](unsigned x, unsigned y) {
        const std::uint16_t v = (x + y) % 2;
        return color == Color::Rgb ? Sample::Rgb(40, 80 * v, 120) : Sample::Index(v);
    };
    return p;
}

class HostileFolderTest : public ViewerFixture {
protected:
    // Name -> size shown; refused entries expect 0 x 0.
    std::map<std::string, std::pair<int, int>> expected;

    void Bytes(const std::string& name, const std::vector<std::uint8_t>& bytes, int w = 0,
               int h = 0) {
        ASSERT_TRUE(testpng::WriteBytes(TexturePath(name), bytes)) << name;
        expected[name] = {w, h};
    }
    void Valid(const std::string& name, const Picture& p) {
        ASSERT_TRUE(testpng::WritePng(TexturePath(name), p)) << name;
        expected[name] = {int(p.width), int(p.height)};
    }

    // Steps once round the folder each way and checks every entry.
    void StepRound() {
        EnterViewer(256, 256);
        ASSERT_EQ(viewer().pathCount, static_cast<int>(expected.size()));
        for (bool forward : {true, false}) {
            std::map<std::string, int> seen;
            std::string first;
            for (std::size_t i = 0; i <= expected.size(); ++i) {
                if (i > 0) viewer().StepTexture(forward, false);
                const std::string name = fs::path(viewer().CurrentTexturePath()).filename();
                if (i == 0) first = name;
                ++seen[name];
                ASSERT_TRUE(expected.count(name)) << name;
                const auto [w, h] = expected[name];
                EXPECT_EQ(viewer().textureWidth, w) << name;
                EXPECT_EQ(viewer().textureHeight, h) << name;
                EXPECT_EQ(viewer().texture != 0, w != 0) << name;
                EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << name;
                viewer().Update();
            }
            // Every entry once, and the first again after wrapping.
            EXPECT_EQ(seen.size(), expected.size());
            for (const auto& [name, count] : seen) EXPECT_EQ(count, name == first ? 2 : 1) << name;
        }
        EXPECT_LT(PeakRssKiB(), kMaxPeakKiB);
    }
};

TEST_F(HostileFolderTest, CorruptLyingAndOddEntriesAreRefusedAndTheRestShown) {
    const std::vector<std::uint8_t> good = testpng::EncodePng(Small(Color::Rgb, 8));
    ASSERT_FALSE(good.empty());

    Bytes("empty.png", {});
    Bytes("text.png", {'n', 'o', 't', ' ', 'a', ' ', 'P', 'N', 'G'});
    Bytes("truncated.png", std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2));
    Bytes("claims_100000x100000.png", WithHeader(testpng::IhdrData(100000, 100000, 8, 0)));
    Bytes("claims_70000x1.png", WithHeader(testpng::IhdrData(70000, 1, 8, 0)));
    Bytes("claims_1x40000.png", WithHeader(testpng::IhdrData(1, 40000, 8, 0)));
    // 400 MB of pixels in a few hundred KB: refused by its size alone.
    Bytes("bomb_20000x20000.png", ZeroRowsPng(20000, 20000));
    Bytes("bit_depth_3.png", WithHeader(testpng::IhdrData(4, 4, 3, 0)));
    Bytes("colour_type_5.png", WithHeader(testpng::IhdrData(4, 4, 8, 5)));
    Bytes("palette_without_plte.png", WithHeader(testpng::IhdrData(4, 4, 8, 3)));
    // A text chunk claiming 2 GiB ahead of 8 bytes: once cost 2 GiB of memory.
    std::vector<std::uint8_t> text(good.begin(), good.begin() + testpng::FindChunk(good, "IDAT"));
    const std::uint8_t claim[] = {0x7f, 0xff, 0xff, 0xf0, 'z', 'T', 'X', 't', 'k', 0, 0, 1, 2, 3};
    text.insert(text.end(), std::begin(claim), std::end(claim));
    Bytes("claims_2GiB_text.png", text);
    std::vector<std::uint8_t> badCrc = good;
    badCrc[testpng::FindChunk(good, "IHDR") + 8 + 13] ^= 0xff;
    Bytes("bad_crc.png", badCrc);

    fs::create_directory(TexturePath("directory.png"));
    expected["directory.png"] = {0, 0};
    fs::create_symlink(TexturePath("gone/nowhere.png"), TexturePath("dangling.png"));
    expected["dangling.png"] = {0, 0};
    fs::create_symlink("/dev/zero", TexturePath("endless.png"));
    expected["endless.png"] = {0, 0};
    // Opening a FIFO waits for a writer: the loader must not.
    ASSERT_EQ(mkfifo(TexturePath("fifo.png").c_str(), 0600), 0);
    expected["fifo.png"] = {0, 0};
    // Root reads a mode-000 file anyway; then it is simply shown.
    Valid("unreadable.png", Small(Color::Rgb, 8));
    ASSERT_EQ(chmod(TexturePath("unreadable.png").c_str(), 0), 0);
    if (geteuid() != 0) expected["unreadable.png"] = {0, 0};

    Valid("100% & more.png", Small(Color::Rgb, 8));
    Valid("with  spaces .png", Small(Color::Rgb, 8));
    Valid("%s%n%x.png", Small(Color::Rgb, 8));
    Valid("\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.png", Small(Color::Rgb, 8));
    Valid("invalid_utf8_\xff\xfe.png", Small(Color::Rgb, 8));
    Valid("one_bit.png", Small(Color::Gray, 1));
    Valid("palette_trns.png", Small(Color::Palette, 4));
    Valid("interlaced.png", Small(Color::Rgb, 8, true));
    Valid("UPPER.PNG", Small(Color::Palette, 8, true));

    StepRound();
}

// The largest image the limits allow, from a file of 65 KB: shown, at a
// bounded cost.
TEST_F(HostileFolderTest, LargestAllowedBombIsShownWithinTheMemoryBound) {
    Bytes("bomb_16384x4096.png", ZeroRowsPng(16384, 4096), 16384, 4096);
    Valid("small.png", Small(Color::Rgb, 8));
    StepRound();
}

}  // namespace
