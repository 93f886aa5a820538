// The program's window end to end: it takes the saved outer rectangle,
// ends with status 0 on a close request and saves its settings then.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Image;
using e2e::Is;
using e2e::Rect;
using e2e::kTopRight;

using WindowTest = e2e::SessionTest;

TEST_F(WindowTest, TakesTheSavedOuterRectangleAndSavesItBackOnACloseRequest) {
    ASSERT_TRUE(e2e::WriteSolid(textureDir + "/a.png", 32, kTopRight));
    settings.autoRefresh = false;
    settings.left = 200;
    settings.top = 150;
    settings.right = 840;
    settings.bottom = 630;
    ASSERT_NO_FATAL_FAILURE(Start());
    std::optional<Rect> outer;
    for (int i = 0; i < 50; ++i) {
        outer = session.WindowRect();
        if (outer && outer->x == 200 && outer->y == 150 && outer->width == 640) break;
        e2e::SleepMs(100);
    }
    // No window manager runs, so the outer rectangle is the window itself.
    ASSERT_TRUE(outer.has_value());
    EXPECT_EQ(200, outer->x);
    EXPECT_EQ(150, outer->y);
    EXPECT_EQ(640, outer->width);
    EXPECT_EQ(480, outer->height);
    // The GL area fills the width below the menu bar.
    const std::optional<Rect> area = session.GLArea();
    ASSERT_TRUE(area.has_value());
    gl = *area;
    EXPECT_EQ(640, gl.width);
    EXPECT_LT(gl.height, 480);
    EXPECT_GT(gl.height, 400);
    const int x = gl.CentreX() + 4, y = gl.CentreY() + 4;
    EXPECT_TRUE(Is(session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kTopRight); }), x, y, kTopRight));

    ASSERT_TRUE(session.RequestClose());
    ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size()) << session.ReadSettingsFile();
    EXPECT_EQ("NULL", lines[0]);
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]);
    EXPECT_EQ("0", lines[3]);
    EXPECT_EQ("200", lines[4]);
    EXPECT_EQ("150", lines[5]);
    EXPECT_EQ("840", lines[6]);
    EXPECT_EQ("630", lines[7]);
}

}  // namespace
