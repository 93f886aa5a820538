// The program's window end to end: title, GL picture, keys, placement,
// and the two ways to end it (close request, Escape).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using e2e::Image;
using e2e::Near;
using e2e::Rect;
using e2e::Session;
using e2e::Settings;
using e2e::Colour;
using e2e::Is;
using e2e::DescribePixel;
using e2e::SplitLines;
using e2e::WriteSolid;
using e2e::WriteQuadrants;
using e2e::kTopLeft;
using e2e::kTopRight;
using e2e::kBottomLeft;
using e2e::kBottomRight;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.Ready()) << "Xvfb or the program's folder could not be set up";
        textureDir = session.Dir() + "/textures";
        ASSERT_EQ(0, mkdir(textureDir.c_str(), 0700));
        settings.textureDir = textureDir;
        // The HUD would cover pixels the tests look at.
        settings.showHud = false;
        settings.autoRefresh = false;
    }

    void TearDown() override {
        if (HasFailure()) session.ReportFailure("zintra-e2e-failure");
    }

    // Starts the program and waits for its window.
    void Start() {
        ASSERT_TRUE(session.WriteSettings(settings));
        ASSERT_TRUE(session.Launch());
        ASSERT_NE(0u, session.WaitForWindow()) << "no visible window titled " << Session::kTitle;
        ASSERT_TRUE(session.Focus());
    }

    void ExpectExitZero() {
        const std::optional<int> status = session.WaitExit(15000);
        ASSERT_TRUE(status.has_value()) << "the program did not end";
        EXPECT_EQ(0, *status);
        EXPECT_TRUE(session.ProgramGroupGone()) << "a process of the program is still running";
    }

    bool RunOk(const std::vector<std::string>& argv) {
        return e2e::RunCommand(argv, session.Env()).status == 0;
    }

    Session session;
    Settings settings;
    std::string textureDir;
};

TEST_F(WindowTest, ShowsTheTextureTiledOneTexelPerPixelFromTheCentre) {
    ASSERT_TRUE(WriteQuadrants(textureDir + "/quads.png", 64));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    const int cx = gl->CentreX(), cy = gl->CentreY();
    const Image shot =
        session.WaitForScreen([&](const Image& s) { return Is(s, cx + 8, cy + 8, kTopLeft); });
    ASSERT_TRUE(shot.Valid());

    // The tile whose top-left texel sits at the centre, quadrant by quadrant.
    EXPECT_TRUE(Is(shot, cx + 8, cy + 8, kTopLeft)) << DescribePixel(shot, cx + 8, cy + 8);
    EXPECT_TRUE(Is(shot, cx + 40, cy + 8, kTopRight)) << DescribePixel(shot, cx + 40, cy + 8);
    EXPECT_TRUE(Is(shot, cx + 8, cy + 40, kBottomLeft)) << DescribePixel(shot, cx + 8, cy + 40);
    EXPECT_TRUE(Is(shot, cx + 40, cy + 40, kBottomRight)) << DescribePixel(shot, cx + 40, cy + 40);
    // One texel per pixel: a quadrant edge 32 pixels from the centre.
    EXPECT_TRUE(Is(shot, cx + 28, cy + 8, kTopLeft)) << DescribePixel(shot, cx + 28, cy + 8);
    EXPECT_TRUE(Is(shot, cx + 36, cy + 8, kTopRight)) << DescribePixel(shot, cx + 36, cy + 8);
    // Repeats up and to the left, across the seams.
    EXPECT_TRUE(Is(shot, cx - 56, cy - 56, kTopLeft)) << DescribePixel(shot, cx - 56, cy - 56);
    EXPECT_TRUE(Is(shot, cx - 8, cy - 8, kBottomRight)) << DescribePixel(shot, cx - 8, cy - 8);
    EXPECT_TRUE(Is(shot, cx - 120, cy + 100, kBottomLeft)) << DescribePixel(shot, cx - 120, cy + 100);
    // 4 x 4 tiles of 64 pixels: black beyond 128 pixels from the centre.
    EXPECT_TRUE(Is(shot, cx - 200, cy, {0, 0, 0})) << DescribePixel(shot, cx - 200, cy);
    EXPECT_TRUE(Is(shot, cx + 200, cy, {0, 0, 0})) << DescribePixel(shot, cx + 200, cy);
    EXPECT_TRUE(Is(shot, cx, cy + 180, {0, 0, 0})) << DescribePixel(shot, cx, cy + 180);

    ASSERT_TRUE(session.RequestClose());
    ExpectExitZero();
}

TEST_F(WindowTest, CloseRequestEndsWithStatusZeroAndWritesSettings) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopRight));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    session.WaitForScreen([&](const Image& s) { return Is(s, gl->CentreX() + 4, gl->CentreY() + 4, kTopRight); });
    ASSERT_TRUE(session.RequestClose());
    ExpectExitZero();
    const std::vector<std::string> lines = SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size()) << session.ReadSettingsFile();
    EXPECT_EQ("NULL", lines[0]);
    EXPECT_EQ(textureDir, lines[1]);
    EXPECT_EQ("0", lines[2]);
    EXPECT_EQ("0", lines[3]);
}

TEST_F(WindowTest, EscapeEndsWithStatusZero) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopRight));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    session.WaitForScreen([&](const Image& s) { return Is(s, gl->CentreX() + 4, gl->CentreY() + 4, kTopRight); });
    ASSERT_TRUE(session.Key("Escape"));
    ExpectExitZero();
}

TEST_F(WindowTest, BracketKeyStepsToTheNextTexture) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopLeft));
    ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 32, kBottomLeft));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    const int x = gl->CentreX() + 4, y = gl->CentreY() + 4;
    Image shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kTopLeft); });
    ASSERT_TRUE(Is(shot, x, y, kTopLeft)) << DescribePixel(shot, x, y);
    ASSERT_TRUE(session.Key("bracketright"));
    shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kBottomLeft); });
    EXPECT_TRUE(Is(shot, x, y, kBottomLeft)) << DescribePixel(shot, x, y);
    ASSERT_TRUE(session.Key("Escape"));
    ExpectExitZero();
}

TEST_F(WindowTest, RightClickPopupEntrySendsItsCommand) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopLeft));
    ASSERT_TRUE(WriteSolid(textureDir + "/b.png", 32, kBottomLeft));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    // The popup opens below the cursor: look above and left of it.
    const int x = gl->CentreX() - 8, y = gl->CentreY() - 8;
    Image shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kTopLeft); });
    ASSERT_TRUE(Is(shot, x, y, kTopLeft)) << DescribePixel(shot, x, y);
    ASSERT_TRUE(session.MoveMouse(gl->CentreX(), gl->CentreY()));
    ASSERT_TRUE(session.Click(3));
    e2e::SleepMs(500);
    // Jump to..., Refresh, Next.
    for (const char* key : {"Down", "Down", "Down", "Return"}) ASSERT_TRUE(session.Key(key, 30));
    shot = session.WaitForScreen([&](const Image& s) { return Is(s, x, y, kBottomLeft); });
    EXPECT_TRUE(Is(shot, x, y, kBottomLeft)) << DescribePixel(shot, x, y);
    ASSERT_TRUE(session.Focus());
    ASSERT_TRUE(session.Key("Escape"));
    ExpectExitZero();
}

// The menu bar must not keep the keyboard once it was used from it.
TEST_F(WindowTest, EscapeStillQuitsAfterTheMenuBarWasUsedFromTheKeyboard) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopRight));
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    session.WaitForScreen([&](const Image& s) { return Is(s, gl->CentreX() + 4, gl->CentreY() + 4, kTopRight); });
    ASSERT_TRUE(RunOk({"xdotool", "key", "alt+o"}));
    e2e::SleepMs(300);
    ASSERT_TRUE(RunOk({"xdotool", "key", "Escape", "Escape"}));
    e2e::SleepMs(300);
    ASSERT_TRUE(session.Key("Escape"));
    ExpectExitZero();
}

TEST_F(WindowTest, WindowTakesTheSavedOuterRectangleAndSavesItBack) {
    ASSERT_TRUE(WriteSolid(textureDir + "/a.png", 32, kTopRight));
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
    const std::optional<Rect> gl = session.GLArea();
    ASSERT_TRUE(gl.has_value());
    EXPECT_EQ(640, gl->width);
    EXPECT_LT(gl->height, 480);
    EXPECT_GT(gl->height, 400);
    session.WaitForScreen([&](const Image& s) { return Is(s, gl->CentreX() + 4, gl->CentreY() + 4, kTopRight); });
    EXPECT_TRUE(Is(session.Screenshot(), gl->CentreX() + 4, gl->CentreY() + 4, kTopRight));
    ASSERT_TRUE(session.RequestClose());
    ExpectExitZero();
    const std::vector<std::string> lines = SplitLines(session.ReadSettingsFile());
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("200", lines[4]);
    EXPECT_EQ("150", lines[5]);
    EXPECT_EQ("840", lines[6]);
    EXPECT_EQ("630", lines[7]);
}

}  // namespace
