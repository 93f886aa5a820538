// The seam tools drawn on a software GL context: crisp magnified texels,
// the whole grid fitted, the texel readout on flat and tilted views,
// repeat modes, the real tile's marks, and the version before a reload.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "app/command_ids.h"
#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"

namespace {

// Each texel names itself: red = x, green = 2y, blue = 100.
testpng::Sample Named(unsigned x, unsigned y) {
    return testpng::Sample::Rgb(std::uint16_t(x), std::uint16_t(2 * y), 100);
}

class SeamToolsTest : public ViewerFixture {
protected:
    std::uint32_t At(int x, int y) { return gl().PixelTopLeft(x, y) >> 8; }
    void Enter(unsigned w, unsigned h) {
        WriteTexture("a.png", w, h, Named);
        EnterViewer(512, 512);
        UseFakeClock();
        viewer().showHud = false;
    }
    void Show() {
        viewer().Update();
        viewer().Draw();
    }
    // The texel a readout names at client pixel (x, y), or (-1, -1).
    std::pair<int, int> ReadAt(int x, int y) {
        viewer().SetMousePosition(x, y);
        viewer().Update();
        int tx = -1, ty = -1;
        if (std::sscanf(viewer().ReadoutText().c_str(), "texel %d, %d", &tx, &ty) != 2) return {-1, -1};
        return {tx, ty};
    }
};

TEST_F(SeamToolsTest, MagnifiedTexelsAreCrispSquaresOfTheirExactColour) {
    Enter(128, 128);
    for (int k : {2, 8}) {
        viewer().SetMousePosition(300, 200);
        viewer().Magnify(k);
        Show();
        ASSERT_FLOAT_EQ(viewer().viewScale, float(k));
        int wrong = 0;
        for (int y = 0; y < 512; ++y) {
            int run = 0;
            for (int x = 0; x < 512; ++x) {
                const std::uint32_t c = At(x, y);
                // An exact texel colour: blue 100, green even.
                if ((c & 0xFF) != 100 || ((c >> 8) & 1) != 0) ++wrong;
                // Equal to the pixel above within a square, runs of k across.
                if (y % k != 0 && c != At(x, y - 1)) ++wrong;
                ++run;
                if (x + 1 == 512 || At(x + 1, y) != c) {
                    if (run != k && x + 1 != 512 && x + 1 != run) ++wrong;
                    run = 0;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << k << "x";
    }
    // The texel under the pointer stays under it.
    viewer().SetMousePosition(300, 200);
    viewer().Magnify(1);
    Show();
    const std::uint32_t before = At(300, 200);
    viewer().Magnify(4);
    Show();
    EXPECT_EQ(At(300, 200), before);
}

// Zoomed out with the pointer over the window but off the grid: each
// magnification still shows texture, anchored at the centre.
TEST_F(SeamToolsTest, MagnifyWithThePointerOffTheGridStillShowsTexture) {
    Enter(64, 64);
    for (int k : {2, 3, 4, 8}) {
        viewer().Magnify(1);
        viewer().distance = 12 * 64;  // as far out as the zoom goes
        viewer().SetMousePosition(20, 20);
        Show();
        ASSERT_EQ(At(20, 20), 0u) << "the pointer is not off the grid";
        viewer().Magnify(k);
        Show();
        EXPECT_NE(At(256, 256), 0u) << k << "x: no texture at the centre";
    }
}

// Same-sized pictures share storage, and with it a GL name: the readout
// and Ctrl+C name the new picture's colour at every step and reload.
TEST_F(SeamToolsTest, ReadoutAndCopyFollowEveryStepAndReload) {
    auto solid = [](std::uint16_t r, std::uint16_t g, std::uint16_t b) {
        return [=](unsigned, unsigned) { return testpng::Sample::Rgb(r, g, b); };
    };
    WriteTexture("a.png", 64, 64, solid(200, 0, 0));
    WriteTexture("b.png", 64, 64, solid(0, 200, 0));
    WriteTexture("c.png", 64, 64, solid(0, 0, 200));
    EnterViewer(512, 512);
    UseFakeClock();
    viewer().showHud = false;
    viewer().ToggleReadout();
    viewer().SetMousePosition(260, 260);
    Show();
    ASSERT_NE(viewer().ReadoutText().find("#C80000FF"), std::string::npos) << viewer().ReadoutText();
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* colour;
    };
    const Step steps[] = {
        {"]", [&] { viewer().StepTexture(true, false); }, "#00C800FF"},
        {"jump", [&] { viewer().JumpTo(2); }, "#0000C8FF"},
        {"reload", [&] { WriteTexture("c.png", 64, 64, solid(10, 20, 30)); viewer().ReloadShown(); }, "#0A141EFF"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_NE(viewer().ReadoutText().find(step.colour), std::string::npos)
            << step.what << ": " << viewer().ReadoutText();
        EXPECT_NE(headless::Get().title.find(step.colour), std::string::npos) << step.what;
        Press(VK_CONTROL);
        app().HandleMessage(app().window, WM_KEYDOWN, 'C', 0);
        viewer().Update();
        app().HandleMessage(app().window, WM_KEYUP, 'C', 0);
        Release(VK_CONTROL);
        EXPECT_EQ(headless::Get().clipboard, step.colour) << step.what;
    }
}

TEST_F(SeamToolsTest, FitShowsTheWholeGridWhateverTheTextureSize) {
    const unsigned sizes[][2] = {{64, 64}, {300, 200}, {1024, 1024}, {4096, 4096}};
    for (const auto& size : sizes) {
        WriteTexture("a.png", size[0], size[1], [](unsigned, unsigned) { return testpng::Sample::Rgb(90, 90, 90); });
        EnterViewer(512, 512);
        viewer().showHud = false;
        viewer().ToggleFit();
        Show();
        int left = 512, right = -1, top = 512, bottom = -1;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x)
                if (At(x, y) != 0) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        const double scale = viewer().viewScale;
        EXPECT_NEAR(right - left + 1, 4 * size[0] * scale, 2) << size[0];
        EXPECT_NEAR(bottom - top + 1, 4 * size[1] * scale, 2) << size[0];
        EXPECT_TRUE(left >= 0 && top >= 0 && right < 512 && bottom < 512) << size[0];
        viewer().ToggleFit();  // back to one texel per pixel
        EXPECT_FLOAT_EQ(viewer().viewScale, 1.0f);
        viewer().Leave();
    }
}

TEST_F(SeamToolsTest, ReadoutNamesTheTexelUnderThePointerFlatAndTilted) {
    Enter(256, 128);
    viewer().ToggleReadout();
    Show();
    for (auto p : {std::pair<int, int>{256, 256}, {255, 255}, {10, 500}, {400, 37}}) {
        const auto texel = ReadAt(p.first, p.second);
        const std::uint32_t c = At(p.first, p.second);
        EXPECT_EQ(texel.first, int(c >> 16)) << p.first << "," << p.second;
        EXPECT_EQ(2 * texel.second, int((c >> 8) & 0xFF)) << p.first << "," << p.second;
    }
    char hex[16];
    const auto texel = ReadAt(256, 256);
    std::snprintf(hex, sizeof hex, "#%02X%02X64FF", texel.first, 2 * texel.second);
    EXPECT_NE(viewer().ReadoutText().find(hex), std::string::npos) << viewer().ReadoutText();
    EXPECT_NE(headless::Get().title.find(viewer().ReadoutText()), std::string::npos);

    viewer().yaw = 25;
    viewer().pitch = -20;
    viewer().distance = 600;
    Show();
    int probed = 0;
    for (auto p : {std::pair<int, int>{256, 256}, {150, 300}, {380, 140}, {200, 200}, {330, 330}}) {
        const auto t = ReadAt(p.first, p.second);
        const std::uint32_t c = At(p.first, p.second);
        ASSERT_GE(t.first, 0) << p.first << "," << p.second;
        // Filtering blends across a tile's edge, where the names wrap.
        if (t.first < 4 || t.first > 251 || t.second < 4 || t.second > 123) continue;
        ++probed;
        // Filtered: within a texel or two of what the pixel shows.
        EXPECT_LE(std::abs(t.first - int(c >> 16)), 3) << p.first << "," << p.second;
        EXPECT_LE(std::abs(2 * t.second - int((c >> 8) & 0xFF)), 6) << p.first << "," << p.second;
    }
    EXPECT_GE(probed, 3);
}

TEST_F(SeamToolsTest, RepeatModesMirrorOrKeepOneRowOrColumn) {
    Enter(64, 64);
    Show();
    // Grid: left of the real tile is its last column.
    EXPECT_EQ(At(255, 260) >> 16, 63u);
    viewer().SetRepeatMode(RepeatMode::Mirrored);
    Show();
    EXPECT_EQ(At(255, 260) >> 16, 0u) << "the copy to the left is flipped";
    EXPECT_EQ(At(260, 255) & 0xFFFF, 0x0064u) << "the copy above is flipped";
    EXPECT_EQ(At(260, 260) >> 16, 4u);
    viewer().SetRepeatMode(RepeatMode::Across);
    Show();
    EXPECT_EQ(At(200, 280) >> 16, 200u - 128 - 64);
    EXPECT_EQ(At(280, 200), 0u) << "no copy above";
    EXPECT_EQ(At(280, 340), 0u) << "no copy below";
    viewer().SetRepeatMode(RepeatMode::Down);
    Show();
    EXPECT_EQ(At(200, 280), 0u) << "no copy to the left";
    EXPECT_EQ((At(280, 200) >> 8) & 0xFF, 2u * 8) << "row 8 of the copy above";
}

TEST_F(SeamToolsTest, MarksLeaveEverySeamTexelAsItIs) {
    Enter(64, 64);
    Show();
    std::vector<std::uint32_t> plain(512 * 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) plain[y * 512 + x] = At(x, y);
    viewer().ToggleMarks();
    Show();
    int changed = 0, seamChanged = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            if (At(x, y) == plain[y * 512 + x]) continue;
            ++changed;
            const int tx = ((x - 256) % 64 + 64) % 64, ty = ((y - 256) % 64 + 64) % 64;
            seamChanged += tx == 0 || tx == 63 || ty == 0 || ty == 63;
        }
    EXPECT_GT(changed, 0) << "no marks drawn";
    EXPECT_EQ(seamChanged, 0);
}

// S scores the picture on show into the title and tints the borders
// where the copies meet badly: a ramp across gets its vertical borders
// tinted and no other pixel touched; a tileable checker gets nothing.
TEST_F(SeamToolsTest, SeamScoresTintOnlyTheBordersThatDoNotMatch) {
    WriteTexture("a_ramp.png", 64, 64, [](unsigned x, unsigned) {
        return testpng::Sample::Rgb(std::uint16_t(x * 4), 90, 90);
    });
    WriteTexture("b_checker.png", 64, 64, [](unsigned x, unsigned y) {
        return (x / 8 + y / 8) % 2 ? testpng::Sample::Rgb(200, 60, 40) : testpng::Sample::Rgb(40, 90, 200);
    });
    EnterViewer(512, 512);
    UseFakeClock();
    viewer().showHud = false;
    for (const bool seamy : {true, false}) {
        SCOPED_TRACE(seamy ? "ramp" : "checker");
        Show();
        std::vector<std::uint32_t> plain(512 * 512);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) plain[y * 512 + x] = At(x, y);
        viewer().RunTool(Tool::SeamView);
        Show();
        const std::string& title = headless::Get().title;
        EXPECT_NE(title.find(seamy ? "across 63.00 SEAM, down 0.00 tiles" : "across 1.00 tiles, down 1.00 tiles"),
                  std::string::npos) << title;
        int changed = 0, offBorder = 0;
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                if (At(x, y) == plain[y * 512 + x]) continue;
                ++changed;
                // Within a texel or two of a vertical border between copies.
                const int tx = ((x - 256) % 64 + 64) % 64;
                offBorder += tx > 1 && tx < 62;
                EXPECT_GT(At(x, y) >> 16, plain[y * 512 + x] >> 16) << "not redder";
            }
        if (seamy) EXPECT_GT(changed, 3 * 64 * 2) << "borders not tinted";
        else EXPECT_EQ(changed, 0);
        EXPECT_EQ(offBorder, 0);
        viewer().RunTool(Tool::SeamView);
        viewer().StepTexture(true, false);
    }
}

TEST_F(SeamToolsTest, HoldingCShowsTheVersionBeforeTheLastReload) {
    WriteTexture("a.png", 64, 64, [](unsigned, unsigned) { return testpng::Sample::Rgb(200, 0, 0); });
    // Polled on the fake clock, so only the reload by hand sees the save.
    viewer().watch.UseNotices(nullptr);
    EnterViewer(512, 512);
    UseFakeClock();
    viewer().showHud = false;
    WriteTexture("a.png", 64, 64, [](unsigned, unsigned) { return testpng::Sample::Rgb(0, 0, 200); });
    viewer().ReloadShown();
    Show();
    EXPECT_EQ(At(260, 260), 0x0000C8u);
    Press('C');
    Show();
    EXPECT_EQ(At(260, 260), 0xC80000u);
    EXPECT_NE(headless::Get().title.find("previous version"), std::string::npos);
    Release('C');
    Show();
    EXPECT_EQ(At(260, 260), 0x0000C8u);
    WriteTexture("b.png", 64, 64);
    viewer().Rescan(false);
    viewer().StepTexture(true, false);
    EXPECT_EQ(viewer().previousTexture, 0u) << "kept after stepping away";
}

}  // namespace
