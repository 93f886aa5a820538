// The seam tools on the real program: magnify, fit, the texel readout,
// holding C after a save, marks and repeat modes, and the options kept in
// zintra.ini across a restart. Linux, and Windows under Wine when
// ZINTRA_WINE_EXE is given.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "e2e/harness.h"

namespace {

using e2e::Colour;
using e2e::Image;
using e2e::Is;
using e2e::Session;

constexpr Colour kBlue{30, 60, 220};

class SeamToolsE2ETest : public e2e::SessionTest, public ::testing::WithParamInterface<Session::Target> {
protected:
    SeamToolsE2ETest() : SessionTest(GetParam()) {}

    std::string File() const { return textureDir + "/a.png"; }
    // Each texel names itself: red = x, green = y, blue = 100.
    bool WriteNamed() {
        return e2e::WriteImage(File(), 256, [](int x, int y) { return Colour{x, y, 100}; });
    }
    Image::Pixel Pixel(int dx, int dy) { return session.Screenshot().At(gl.CentreX() + dx, gl.CentreY() + dy); }
    bool Same(const Image::Pixel& a, const Image::Pixel& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
    std::string Ini() {
        std::ifstream in(session.Dir() + "/zintra.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // A key press, then time for the program to show it.
    void Press(const std::string& key) {
        ASSERT_TRUE(session.Key(key, 60));
        e2e::SleepMs(GetParam() == Session::Target::Windows ? 700 : 300);
    }
};

TEST_P(SeamToolsE2ETest, MagnifyFitReadCompareMarkRepeatAndRemember) {
    ASSERT_TRUE(WriteNamed());
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(session.MoveMouse(gl.CentreX() + 20, gl.CentreY() + 30));
    e2e::SleepMs(300);

    // 8 pixels a texel: an 8 x 8 square of one colour under the pointer.
    Press("8");
    const Image magnified = session.Screenshot();
    const int px = gl.CentreX() + 20, py = gl.CentreY() + 30;
    // The run of pixels of the pointer's texel, across and down.
    const Image::Pixel c = magnified.At(px, py);
    int left = px, right = px, top = py, bottom = py;
    while (Same(magnified.At(left - 1, py), c)) --left;
    while (Same(magnified.At(right + 1, py), c)) ++right;
    while (Same(magnified.At(px, top - 1), c)) --top;
    while (Same(magnified.At(px, bottom + 1), c)) ++bottom;
    EXPECT_EQ(8, right - left + 1) << e2e::DescribePixel(magnified, px, py);
    EXPECT_EQ(8, bottom - top + 1) << e2e::DescribePixel(magnified, px, py);

    // Fit: the 1024-pixel grid inside the window, black beside it.
    Press("f");
    const Image fitted = session.Screenshot();
    EXPECT_TRUE(Is(fitted, gl.x + 2, gl.CentreY(), {0, 0, 0}, 2)) << e2e::DescribePixel(fitted, gl.x + 2, gl.CentreY());
    EXPECT_FALSE(Is(fitted, gl.CentreX(), gl.y + 6, {0, 0, 0}, 2));
    Press("1");

    // The readout names the texel the pointer is on.
    Press("i");
    const Image::Pixel under = Pixel(20, 30);
    char expected[64];
    std::snprintf(expected, sizeof expected, "texel %d, %d #%02X%02X64FF", under.r, under.g, under.r, under.g);
    std::string title;
    for (int i = 0; i < 30 && title.find(expected) == std::string::npos; ++i, e2e::SleepMs(200)) title = session.Title();
    EXPECT_NE(title.find(expected), std::string::npos) << title << " wants " << expected;

    // A save seen live, then C held shows the version before it.
    ASSERT_TRUE(e2e::WriteSolid(File(), 256, kBlue));
    session.WaitForScreen([&](const Image& s) { return Is(s, gl.CentreX() + 40, gl.CentreY() + 40, kBlue); }, 5000);
    ASSERT_TRUE(Is(session.Screenshot(), gl.CentreX() + 40, gl.CentreY() + 40, kBlue));
    ASSERT_TRUE(e2e::RunCommand({"xdotool", "keydown", "c"}, session.Env()).status == 0);
    const Image held = session.WaitForScreen(
        [&](const Image& s) { return !Is(s, gl.CentreX() + 40, gl.CentreY() + 40, kBlue); }, 5000);
    ASSERT_TRUE(e2e::RunCommand({"xdotool", "keyup", "c"}, session.Env()).status == 0);
    // The named texels again: blue 100.
    EXPECT_NEAR(held.At(gl.CentreX() + 40, gl.CentreY() + 40).b, 100, 3)
        << e2e::DescribePixel(held, gl.CentreX() + 40, gl.CentreY() + 40);
    session.WaitForScreen([&](const Image& s) { return Is(s, gl.CentreX() + 40, gl.CentreY() + 40, kBlue); }, 5000);

    // Marks, and the row-only repeat: black above the real tile's row.
    Press("g");
    Press("m");
    const Image across = session.Screenshot();
    EXPECT_TRUE(Is(across, gl.CentreX() + 40, gl.CentreY() - 40, {0, 0, 0}, 2));
    EXPECT_TRUE(Is(across, gl.CentreX() - 40, gl.CentreY() + 40, kBlue));
    QuitWithEscape();
    const std::string ini = Ini();
    EXPECT_NE(ini.find("readout=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("tile_marks=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("repeat=across"), std::string::npos) << ini;

    // Remembered at the next start.
    ASSERT_TRUE(session.Launch());
    ASSERT_NE(0u, session.WaitForWindow(windowTimeoutMs));
    ASSERT_TRUE(session.Focus());
    const Image again = session.WaitForScreen(
        [&](const Image& s) { return Is(s, gl.CentreX() - 40, gl.CentreY() + 40, kBlue); }, 10000);
    EXPECT_TRUE(Is(again, gl.CentreX() + 40, gl.CentreY() - 40, {0, 0, 0}, 2)) << "the repeat mode was forgotten";
    QuitWithEscape();
}

// S: a ramp across gets its vertical borders tinted red and its scores in
// the title; the next file, a checker that tiles, keeps every texel.
TEST_P(SeamToolsE2ETest, SeamScoresTintTheBordersThatDoNotMatch) {
    ASSERT_TRUE(e2e::WriteImage(File(), 128, [](int x, int) { return Colour{x * 2, 90, 90}; }));
    const Colour kChecker[2] = {{200, 60, 40}, {40, 90, 200}};
    ASSERT_TRUE(e2e::WriteImage(textureDir + "/b.png", 128,
                                [&](int x, int y) { return kChecker[(x / 8 + y / 8) % 2]; }));
    ASSERT_NO_FATAL_FAILURE(Start());
    // The real tile's left border runs down the centre of the view.
    const int x = gl.CentreX(), y = gl.CentreY() + 40;
    ASSERT_TRUE(Is(session.WaitForScreen([&](const Image& s) { return Is(s, x, y, {0, 90, 90}); }, 5000),
                   x, y, {0, 90, 90}));
    Press("s");
    const Image tinted = session.WaitForScreen(
        [&](const Image& s) { return s.At(x, y).r > 150 && s.At(x, y).g < 60; }, 5000);
    EXPECT_TRUE(tinted.At(x, y).r > 150 && tinted.At(x, y).g < 60) << e2e::DescribePixel(tinted, x, y);
    EXPECT_TRUE(Is(tinted, x + 40, y, {80, 90, 90})) << "tinted off the border";
    EXPECT_NE(session.Title().find("SEAM, down"), std::string::npos) << session.Title();

    Press("bracketright");
    const Image checker = session.WaitForScreen([&](const Image& s) { return Is(s, x + 4, y, kChecker[1]); }, 5000);
    for (int dx : {-1, 0, 1})
        EXPECT_TRUE(Is(checker, x + dx, y, kChecker[dx < 0 ? 0 : 1])) << e2e::DescribePixel(checker, x + dx, y);
    EXPECT_NE(session.Title().find("across 1.00 tiles, down 1.00 tiles"), std::string::npos)
        << session.Title();
    QuitWithEscape();
    EXPECT_NE(Ini().find("seam_view=1"), std::string::npos) << Ini();
}

INSTANTIATE_TEST_SUITE_P(Targets, SeamToolsE2ETest,
                         ::testing::Values(Session::Target::Native, Session::Target::Windows),
                         [](const ::testing::TestParamInfo<Session::Target>& info) {
                             return info.param == Session::Target::Native ? "Linux" : "Wine";
                         });

}  // namespace
