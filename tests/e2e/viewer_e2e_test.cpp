// The viewer end to end on a folder of three textures: the picture texel
// by texel, stepping through the folder, panning, and quitting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Colour;
using e2e::DescribePixel;
using e2e::Image;
using e2e::Is;
using e2e::Rect;
using e2e::WriteImage;

// a.png: every texel its own colour, neighbours far apart, so a half-texel
// shift, a scale error or a blend shows, and the position can be read back.
constexpr int kSize = 128;
Colour PatternTexel(int x, int y) {
    x = ((x % kSize) + kSize) % kSize;
    y = ((y % kSize) + kSize) % kSize;
    return {(37 * x) % 256, (53 * y) % 256, ((x ^ y) & 1) ? 230 : 30};
}

constexpr Colour kB{40, 200, 60};
constexpr Colour kC{200, 60, 40};

// Pixels of `area` not showing a.png shifted right by `shiftX` and down by
// `shiftY`, with the top-left texel of one tile at the area's centre.
struct Mismatches {
    long count = 0;
    std::string first;
};
Mismatches CompareWithPattern(const Image& shot, const Rect& area, int shiftX, int shiftY) {
    Mismatches out;
    const int cx = area.CentreX(), cy = area.CentreY();
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (Is(shot, x, y, PatternTexel(x - cx - shiftX, y - cy - shiftY), 8)) continue;
            if (out.count++ == 0) {
                const Colour want = PatternTexel(x - cx - shiftX, y - cy - shiftY);
                out.first = DescribePixel(shot, x, y) + ", want " + std::to_string(want.r) + "," +
                            std::to_string(want.g) + "," + std::to_string(want.b);
            }
        }
    return out;
}

// The horizontal shift in [0, kSize) under which row `y` shows a.png; -1 if none.
int HorizontalShift(const Image& shot, const Rect& area, int y) {
    const int cx = area.CentreX(), cy = area.CentreY();
    for (int shift = 0; shift < kSize; ++shift) {
        bool all = true;
        for (int x = area.x; x < area.x + area.width && all; ++x)
            all = Is(shot, x, y, PatternTexel(x - cx - shift, y - cy), 8);
        if (all) return shift;
    }
    return -1;
}

class ViewerE2ETest : public e2e::SessionTest {
protected:
    ViewerE2ETest() {
        // The two flags differ so that swapped lines in the saved file show.
        settings.autoRefresh = true;
        // A GL area narrower than four tiles of a.png, so it can pan, and a
        // height that is a multiple of 4 (the projection halves it twice).
        settings.left = 60;
        settings.top = 40;
        settings.right = 60 + 320;
        settings.bottom = 40 + 320 + kMenuBarHeight;
    }

    void Start() {
        ASSERT_TRUE(WriteImage(textureDir + "/a.png", kSize, PatternTexel));
        ASSERT_TRUE(WriteImage(textureDir + "/b.png", 32, [](int, int) { return kB; }));
        ASSERT_TRUE(WriteImage(textureDir + "/c.png", 32, [](int, int) { return kC; }));
        ASSERT_NO_FATAL_FAILURE(SessionTest::Start());
        ASSERT_EQ(0, gl.width % 4) << "GL area " << gl.width << " x " << gl.height;
        ASSERT_EQ(0, gl.height % 4) << "GL area " << gl.width << " x " << gl.height
                                    << ": adjust kMenuBarHeight";
    }

    // Which of the three textures the area shows: 'a', 'b', 'c' or '?'.
    char Showing(const Image& shot) const {
        const int x = gl.CentreX() + 5, y = gl.CentreY() + 9;
        if (Is(shot, x, y, kB) && Is(shot, x - 40, y - 40, kB)) return 'b';
        if (Is(shot, x, y, kC) && Is(shot, x - 40, y - 40, kC)) return 'c';
        if (Is(shot, x, y, PatternTexel(5, 9)) && Is(shot, x + 1, y, PatternTexel(6, 9))) return 'a';
        return '?';
    }

    // [ and ] ignore a press that follows the previous one within 100 ms.
    bool Step(const std::string& key) {
        e2e::SleepMs(150);
        return session.Key(key);
    }

    char WaitShowing(char wanted) {
        return Showing(session.WaitForScreen([&](const Image& s) { return Showing(s) == wanted; }, 5000));
    }

    // Measured here (Qt 6.4 Fusion style under Xvfb).
    static constexpr int kMenuBarHeight = 19;
};

TEST_F(ViewerE2ETest, FirstTextureShowsOneTexelPerPixelTiledFromTheCentre) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const Image shot = session.WaitForScreen([&](const Image& s) { return Showing(s) == 'a'; });
    ASSERT_EQ('a', Showing(shot));
    // Every pixel of the area, across the tile seams 128 pixels either side.
    const Mismatches wrong = CompareWithPattern(shot, gl, 0, 0);
    EXPECT_EQ(0, wrong.count) << "first: " << wrong.first;
    // Spot checks that say what went wrong if the sweep fails.
    const int cx = gl.CentreX(), cy = gl.CentreY();
    EXPECT_TRUE(Is(shot, cx, cy, PatternTexel(0, 0), 8)) << DescribePixel(shot, cx, cy);
    EXPECT_TRUE(Is(shot, cx - 1, cy - 1, PatternTexel(kSize - 1, kSize - 1), 8))
        << DescribePixel(shot, cx - 1, cy - 1);
    EXPECT_TRUE(Is(shot, cx + kSize, cy + 1, PatternTexel(0, 1), 8)) << DescribePixel(shot, cx + kSize, cy + 1);
    EXPECT_TRUE(Is(shot, cx + kSize - 1, cy + 1, PatternTexel(kSize - 1, 1), 8))
        << DescribePixel(shot, cx + kSize - 1, cy + 1);
    QuitWithEscape();
}

TEST_F(ViewerE2ETest, BracketsStepThroughTheFolderAndWrapBothWays) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ('a', WaitShowing('a'));
    // Each press acts once; its picture comes before the next press.
    ASSERT_TRUE(Step("bracketright"));
    ASSERT_EQ('b', WaitShowing('b')) << "] from a";
    // 4 x 4 tiles of 32 pixels: b.png up to 64 pixels from the centre, black beyond.
    const Image shot = session.Screenshot();
    const int cx = gl.CentreX(), cy = gl.CentreY();
    for (int d : {-60, 60}) {
        EXPECT_TRUE(Is(shot, cx + d, cy, kB)) << DescribePixel(shot, cx + d, cy);
        EXPECT_TRUE(Is(shot, cx, cy + d, kB)) << DescribePixel(shot, cx, cy + d);
    }
    for (int d : {-100, 100}) {
        EXPECT_TRUE(Is(shot, cx + d, cy, {0, 0, 0})) << DescribePixel(shot, cx + d, cy);
        EXPECT_TRUE(Is(shot, cx, cy + d, {0, 0, 0})) << DescribePixel(shot, cx, cy + d);
    }
    ASSERT_TRUE(Step("bracketright"));
    ASSERT_EQ('c', WaitShowing('c')) << "] from b";
    ASSERT_TRUE(Step("bracketright"));
    ASSERT_EQ('a', WaitShowing('a')) << "] from the last wraps to the first";
    ASSERT_TRUE(Step("bracketleft"));
    ASSERT_EQ('c', WaitShowing('c')) << "[ from the first wraps to the last";
    ASSERT_TRUE(Step("bracketleft"));
    ASSERT_EQ('b', WaitShowing('b')) << "[ from c";
    // A stepped-to texture still shows one texel per pixel.
    ASSERT_TRUE(Step("bracketleft"));
    ASSERT_EQ('a', WaitShowing('a'));
    const Mismatches wrong = CompareWithPattern(session.Screenshot(), gl, 0, 0);
    EXPECT_EQ(0, wrong.count) << "first: " << wrong.first;
    QuitWithEscape();
}

TEST_F(ViewerE2ETest, ArrowKeysPanInStepsOfFourPixels) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ('a', WaitShowing('a'));
    const int row = gl.CentreY() + 3;
    ASSERT_EQ(0, HorizontalShift(session.Screenshot(), gl, row));

    // Left moves the quad to the right.
    ASSERT_TRUE(session.Key("Left", 50));
    Image shot = session.WaitForScreen([&](const Image& s) { return HorizontalShift(s, gl, row) > 0; }, 3000);
    e2e::SleepMs(200);
    shot = session.Screenshot();
    const int right = HorizontalShift(shot, gl, row);
    ASSERT_GT(right, 0) << "Left did not move the picture right";
    EXPECT_EQ(0, right % 4) << "shift " << right;
    // Only sideways, and still texel for pixel.
    Mismatches wrong = CompareWithPattern(shot, gl, right, 0);
    EXPECT_EQ(0, wrong.count) << "shift " << right << ", first: " << wrong.first;

    // Right moves it back left, again in whole steps.
    ASSERT_TRUE(session.Key("Right", 20));
    shot = session.WaitForScreen([&](const Image& s) { return HorizontalShift(s, gl, row) != right; }, 3000);
    e2e::SleepMs(200);
    shot = session.Screenshot();
    const int back = HorizontalShift(shot, gl, row);
    ASSERT_GE(back, 0);
    EXPECT_LT(back, right);
    EXPECT_EQ(0, back % 4) << "shift " << back;
    wrong = CompareWithPattern(shot, gl, back, 0);
    EXPECT_EQ(0, wrong.count) << "shift " << back << ", first: " << wrong.first;
    QuitWithEscape();
}

// The menu bar must not keep the keyboard once it was used from it.
TEST_F(ViewerE2ETest, EscapeQuitsAfterTheMenuBarWasUsedAndSavesEightLines) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ('a', WaitShowing('a'));
    ASSERT_TRUE(session.Key("bracketright"));
    ASSERT_EQ('b', WaitShowing('b'));
    ASSERT_TRUE(session.Keys({"alt+o"}, 300));
    ASSERT_TRUE(session.Keys({"Escape", "Escape"}, 300));
    // No Focus() here: it could take the keyboard back from the bar.
    ASSERT_TRUE(session.Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const std::string text = session.ReadSettingsFile();
    const std::vector<std::string> lines = e2e::SplitLines(text);
    ASSERT_EQ(8u, lines.size()) << text;
    EXPECT_EQ('\n', text.back()) << "the last line is not ended";
    EXPECT_EQ("NULL", lines[0]);
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]);
    EXPECT_EQ("1", lines[3]);
    for (int i = 4; i < 8; ++i) {
        char* end = nullptr;
        std::strtol(lines[i].c_str(), &end, 10);
        EXPECT_TRUE(!lines[i].empty() && *end == '\0') << "line " << i + 1 << ": " << lines[i];
    }
    // No window manager: the window kept its place, so the saved rectangle is ours.
    EXPECT_EQ(std::to_string(settings.left), lines[4]);
    EXPECT_EQ(std::to_string(settings.top), lines[5]);
    EXPECT_EQ(std::to_string(settings.right), lines[6]);
    EXPECT_EQ(std::to_string(settings.bottom), lines[7]);
}

}  // namespace
