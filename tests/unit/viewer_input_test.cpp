// The viewer's Update: keys with their limits and pacing, mouse modes,
// size changes, and the guards of the 16-bit view fields.
#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"
#include "app/command_ids.h"

namespace {

constexpr int kKeyQ = 0x51;
constexpr int kKeyR = 0x52;

class ViewerInputTest : public ViewerFixture {
protected:
    // A 256 x 256 texture in a client area of the given size, on the fake clock.
    void EnterSquare(std::uint16_t width = 512, std::uint16_t height = 512) {
        WriteTexture("a.png", 256, 256);
        EnterViewer(width, height);
        UseFakeClock();
    }
    // One pass of the main loop, `ms` after the previous one.
    void Pass(double ms = 20.0) {
        AdvanceMs(ms);
        viewer().Update();
    }
    // Holds `key` for `passes` passes and records the field after each.
    template <typename Field>
    std::vector<int> Hold(int key, int passes, Field field, double ms = 20.0) {
        std::vector<int> seen;
        Press(key);
        for (int i = 0; i < passes; ++i) {
            Pass(ms);
            seen.push_back(field());
        }
        Release(key);
        return seen;
    }
    int OffsetX() { return viewer().offsetX; }
    int OffsetY() { return viewer().offsetY; }
    int Distance() { return viewer().distance; }
};

TEST_F(ViewerInputTest, ViewResetSetsFrustumDistanceAndHud) {
    EnterSquare();
    EXPECT_EQ(viewer().distance, 1024);
    EXPECT_FALSE(app().viewportChanged);
    ExpectProjectionIsFrustum(-128, 128, -128, 128, 512, 4096);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    EXPECT_EQ(viewer().webSprite->position->x, 440);
    EXPECT_EQ(viewer().webSprite->position->y, 12);
    EXPECT_EQ(viewer().controlsSprite->position->x, 40);
    EXPECT_EQ(viewer().controlsSprite->position->y, 472);
    EXPECT_EQ(viewer().mouseSprite->position->x, 472);
    EXPECT_EQ(viewer().mouseSprite->position->y, 488);
    EXPECT_EQ(viewer().legalSprite->position->x, 72);
    EXPECT_EQ(viewer().legalSprite->position->y, 24);
}

TEST_F(ViewerInputTest, ZoomKeysStayBetweenFourAndTwelveHeights) {
    EnterSquare();
    EXPECT_EQ(Hold(VK_OEM_PLUS, 3, [this] { return Distance(); }), (std::vector<int>{1024, 1024, 1024}));

    const std::vector<int> out = Hold(VK_OEM_MINUS, 200, [this] { return Distance(); });
    EXPECT_EQ(out[0], 1040);
    EXPECT_EQ(out[1], 1056);
    for (std::size_t i = 1; i < out.size(); ++i) {
        if (out[i - 1] < 3072) {
            EXPECT_EQ(out[i], out[i - 1] + 16) << i;
        }
    }
    EXPECT_EQ(out.back(), 3072);

    const std::vector<int> in = Hold(VK_OEM_PLUS, 200, [this] { return Distance(); });
    EXPECT_EQ(in[0], 3056);
    EXPECT_EQ(in.back(), 1024);
}

TEST_F(ViewerInputTest, ArrowsPanInStepsOfFourUpToTheQuadsEdges) {
    EnterSquare();
    const std::vector<int> left = Hold(VK_LEFT, 80, [this] { return OffsetX(); });
    for (std::size_t i = 0; i < 63; ++i) EXPECT_EQ(left[i], 4 * int(i + 1)) << i;
    EXPECT_EQ(left.back(), 252);
    EXPECT_EQ(Hold(VK_RIGHT, 200, [this] { return OffsetX(); }).back(), -252);
    const std::vector<int> up = Hold(VK_UP, 80, [this] { return OffsetY(); });
    EXPECT_EQ(up[0], -4);  // the up arrow moves the quad down
    EXPECT_EQ(up.back(), -252);
    EXPECT_EQ(Hold(VK_DOWN, 200, [this] { return OffsetY(); }).back(), 252);
}

TEST_F(ViewerInputTest, MoveModePansToThePointer) {
    EnterSquare();
    viewer().moveMode = true;
    struct Case { int x, y, offsetX, offsetY; };
    for (const Case& c : {Case{0, 0, 256, -256}, Case{384, 256, -128, 0}, Case{256, 256, 0, 0},
                          Case{511, 511, -255, 255}, Case{-4000, 9000, 256, 256}}) {
        viewer().SetMousePosition(c.x, c.y);
        Pass();
        EXPECT_EQ(viewer().offsetX, c.offsetX) << c.x << "," << c.y;
        EXPECT_EQ(viewer().offsetY, c.offsetY) << c.x << "," << c.y;
    }
    // While a mode is on, the keys are not looked at.
    Press(VK_OEM_MINUS);
    Pass();
    EXPECT_EQ(viewer().distance, 1024);
}

TEST_F(ViewerInputTest, AWindowLargerThanTheQuadDoesNotPan) {
    EnterSquare(1024, 1024);
    EXPECT_EQ(Hold(VK_LEFT, 5, [this] { return OffsetX(); }).back(), 0);
    EXPECT_EQ(Hold(VK_RIGHT, 5, [this] { return OffsetX(); }).back(), 0);
    EXPECT_EQ(Hold(VK_UP, 5, [this] { return OffsetY(); }).back(), 0);
    EXPECT_EQ(Hold(VK_DOWN, 5, [this] { return OffsetY(); }).back(), 0);
    viewer().moveMode = true;
    viewer().SetMousePosition(0, 0);
    Pass();
    EXPECT_EQ(viewer().offsetX, 0);
    EXPECT_EQ(viewer().offsetY, 0);
}

TEST_F(ViewerInputTest, RotateModeAddsHalfThePointerMovementRoundingDown) {
    EnterSquare();
    viewer().rotateMode = true;
    viewer().SetMousePosition(100, 100);
    Pass();
    viewer().yaw = 0;
    viewer().pitch = 0;
    viewer().SetMousePosition(105, 97);
    Pass();
    EXPECT_EQ(viewer().yaw, 2);
    EXPECT_EQ(viewer().pitch, -2);
    viewer().SetMousePosition(100, 100);
    Pass();
    EXPECT_EQ(viewer().yaw, -1);
    EXPECT_EQ(viewer().pitch, -1);
    EXPECT_EQ(viewer().distance, 1024);
}

TEST_F(ViewerInputTest, ZoomModeKeepsDistanceBetweenTwoAndFourWidthsBeyondTheNearPlane) {
    EnterSquare();
    viewer().zoomMode = true;
    int y = 0;
    for (int move : {100, -300, -5000, 30000, -7, 200, -32000, 1}) {
        y += move;
        viewer().SetMousePosition(0, y);
        Pass();
        // 2w = 512 is the near plane (2h) itself, where the quad vanishes.
        EXPECT_GE(viewer().distance, 513) << move;
        EXPECT_LE(viewer().distance, 1024) << move;
    }
    ASSERT_EQ(viewer().distance, 514);
    viewer().SetMousePosition(0, y + 200);
    Pass();
    EXPECT_EQ(viewer().distance, 714) << "follows the pointer inside the range";

    // A narrow, tall image: 2w and 4w both lie before the near plane.
    WriteTexture("b.png", 64, 256);
    viewer().zoomMode = false;
    viewer().StepTexture(true, true);
    viewer().zoomMode = true;
    viewer().SetMousePosition(0, y - 1000);
    Pass();
    EXPECT_EQ(viewer().distance, 513);
}

TEST_F(ViewerInputTest, ZoomCommandStartsFromThePointerWhereItIsNow) {
    EnterSquare();
    viewer().SetMousePosition(10, 10);
    Pass();
    // The popup's loop hid the pointer's moves from the viewer.
    headless::Get().pointerX = 300;
    headless::Get().pointerY = 400;
    app().OnCommand(app().window, WM_COMMAND, IDM_ZOOM, 0);
    Pass();
    EXPECT_EQ(viewer().distance, 1024);
    viewer().SetMousePosition(300, 390);
    Pass();
    EXPECT_EQ(viewer().distance, 1014);
}

TEST_F(ViewerInputTest, WheelStepsCheckTheLimitEachTime) {
    EnterSquare();
    viewer().distance = 1024 + 32;
    for (int i = 0; i < 3; ++i) viewer().ZoomStep(true);
    EXPECT_EQ(viewer().distance, 1024);
    viewer().distance = 3072 - 8;
    for (int i = 0; i < 3; ++i) viewer().ZoomStep(false);
    EXPECT_EQ(viewer().distance, 3072 + 8);
}

TEST_F(ViewerInputTest, EscapeOrQEndsAModeBeforeItQuits) {
    EnterSquare();
    viewer().rotateMode = true;
    viewer().zoomMode = true;
    Press(VK_ESCAPE);
    Pass();
    ASSERT_NE(app().viewer, nullptr);
    EXPECT_FALSE(viewer().rotateMode);
    EXPECT_FALSE(viewer().zoomMode);
    EXPECT_TRUE(headless::Get().queue.empty());

    viewer().moveMode = true;
    viewer().EndDrag();
    EXPECT_FALSE(viewer().moveMode);
    Release(VK_ESCAPE);
    Press(kKeyQ);
    Pass();  // quits: the scene is gone when Update returns
    EXPECT_EQ(app().viewer, nullptr);
    ASSERT_EQ(headless::Get().queue.size(), 1u);
    EXPECT_EQ(headless::Get().queue.front().message, std::uint32_t(WM_QUIT));
}

TEST_F(ViewerInputTest, ResizeRecentresAndMovesTheHudButKeepsTheCamera) {
    EnterSquare();
    viewer().offsetX = 40;
    viewer().offsetY = -12;
    viewer().distance = 1200;
    viewer().yaw = 30;
    viewer().pitch = -20;
    app().ResizeViewport(800, 600);
    Pass();
    EXPECT_EQ(viewer().offsetX, 0);
    EXPECT_EQ(viewer().offsetY, 0);
    EXPECT_EQ(viewer().distance, 1200);
    EXPECT_EQ(viewer().yaw, 30);
    EXPECT_EQ(viewer().pitch, -20);
    ExpectProjectionIsFrustum(-200, 200, -150, 150, 512, 4096);
    EXPECT_EQ(viewer().webSprite->position->x, 728);
    EXPECT_EQ(viewer().webSprite->position->y, 12);
    EXPECT_EQ(viewer().controlsSprite->position->x, 40);
    EXPECT_EQ(viewer().controlsSprite->position->y, 560);
    EXPECT_EQ(viewer().mouseSprite->position->x, 760);
    EXPECT_EQ(viewer().mouseSprite->position->y, 576);
    EXPECT_EQ(viewer().legalSprite->position->x, 72);
    EXPECT_EQ(viewer().legalSprite->position->y, 24);
}

// --- Pacing -------------------------------------------------------------

class ViewerPacingTest : public ViewerInputTest {
protected:
    void EnterAbc() {
        WriteTexture("a.png", 256, 256);
        WriteTexture("b.png", 256, 256);
        WriteTexture("c.png", 256, 256);
        EnterViewer(512, 512);
        UseFakeClock();
        AdvanceMs(200.0);  // a first press is then fresh
    }
    int Index() { return viewer().currentIndex; }
};

TEST_F(ViewerPacingTest, BracketsStepOncePerPressUnlessTheGapExceeds100ms) {
    EnterAbc();
    // Held at 60 passes a second: one step for the press.
    EXPECT_EQ(Hold(VK_OEM_6, 30, [this] { return Index(); }, 16.7).back(), 1);
    // Pressed again 50 ms after the last pass that saw it: no step.
    AdvanceMs(50.0);
    Press(VK_OEM_6);
    Pass(0.0);
    EXPECT_EQ(Index(), 1);
    Release(VK_OEM_6);
    // Pressed again after 150 ms: a step.
    AdvanceMs(150.0);
    Press(VK_OEM_6);
    Pass(0.0);
    EXPECT_EQ(Index(), 2);
    Release(VK_OEM_6);
    // A pass that takes longer than 100 ms repeats.
    Press(VK_OEM_4);
    Pass(150.0);
    Pass(150.0);
    EXPECT_EQ(Index(), 0);
    // [ wins over ] in the same pass.
    Press(VK_OEM_6);
    Pass(150.0);
    EXPECT_EQ(Index(), 2);
}

TEST_F(ViewerPacingTest, RKeyRescansOncePerPress) {
    EnterAbc();
    viewer().StepTexture(true, false);
    viewer().yaw = 45;
    platform::MenuHandle lastMenu = app().commandMenu;
    int rescans = 0;
    Press(kKeyR);
    for (int i = 0; i < 144; ++i) {
        Pass(1000.0 / 144);
        if (app().commandMenu != lastMenu) ++rescans, lastMenu = app().commandMenu;
    }
    EXPECT_EQ(rescans, 1);
    EXPECT_EQ(Index(), 1);  // the file on show stays
    EXPECT_EQ(viewer().yaw, 0);  // with a view reset
}

// Keys as the window delivers them: presses are counted, so none is lost
// or doubled by a pass that blocks (a slow load) while keys come and go.
class ViewerPressTest : public ViewerPacingTest {
protected:
    void Down(int key) { app().HandleMessage(app().window, WM_KEYDOWN, key, 0); }
    void Up(int key) { app().HandleMessage(app().window, WM_KEYUP, key, 0); }
};

TEST_F(ViewerPressTest, EveryPressStepsOnceHoweverLongThePassTook) {
    EnterAbc();
    // Two taps that both came and went while a load blocked the loop.
    Down(VK_OEM_6), Up(VK_OEM_6), Down(VK_OEM_6), Up(VK_OEM_6);
    Pass(300.0);
    EXPECT_EQ(Index(), 2);
    // One press, held with auto-repeat over quick passes: one step.
    Down(VK_OEM_4);
    for (int i = 0; i < 5; ++i) {
        Pass(17.0);
        Down(VK_OEM_4);  // auto-repeat is no new press
    }
    EXPECT_EQ(Index(), 1);
    Up(VK_OEM_4);
    // A press 50 ms after the last one still counts.
    AdvanceMs(50.0);
    Down(VK_OEM_4);
    Pass(0.0);
    EXPECT_EQ(Index(), 0);
    Up(VK_OEM_4);
    // Presses made during a mouse mode do not act once it ends.
    viewer().moveMode = true;
    Down(VK_OEM_6), Up(VK_OEM_6);
    Pass();
    viewer().EndDrag();
    Pass(200.0);
    EXPECT_EQ(Index(), 0);
}

TEST_F(ViewerPressTest, EscapeThatEndsAModeDoesNotQuitWhileHeld) {
    EnterAbc();
    for (int key : {VK_ESCAPE, kKeyQ}) {
        viewer().moveMode = true;
        Down(key);
        for (int i = 0; i < 6; ++i) Pass(17.0);  // a 100 ms press
        ASSERT_NE(app().viewer, nullptr) << key;
        EXPECT_FALSE(viewer().moveMode);
        Up(key);
        Pass();
        ASSERT_NE(app().viewer, nullptr) << key;
    }
    // A quick tap outside any mode, gone before the next pass, quits.
    Down(VK_ESCAPE), Up(VK_ESCAPE);
    Pass();
    EXPECT_EQ(app().viewer, nullptr);
}

// Held arrows and zoom keys act about every 10 ms whatever the frame rate.
TEST_F(ViewerPacingTest, HeldMoveKeysActEveryPassAt60PerSecond) {
    WriteTexture("a.png", 512, 512);
    EnterViewer(512, 512);
    UseFakeClock();
    AdvanceMs(500.0);
    const std::vector<int> seen = Hold(VK_LEFT, 60, [this] { return OffsetX(); }, 1000.0 / 60);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 4 * int(i + 1)) << i;
    EXPECT_EQ(seen.back(), 240);
}

TEST_F(ViewerPacingTest, HeldMoveKeysActAbout100TimesASecondAt144PerSecond) {
    WriteTexture("a.png", 512, 512);
    EnterViewer(512, 512);
    UseFakeClock();
    AdvanceMs(500.0);
    const std::vector<int> seen = Hold(VK_LEFT, 144, [this] { return OffsetX(); }, 1000.0 / 144);
    // The fresh press acts at once, then roughly every 10 ms, never idling.
    EXPECT_EQ(seen[0], 4);
    EXPECT_NEAR(seen.back() / 4, 100, 2);
    for (std::size_t i = 2; i < seen.size(); ++i)
        EXPECT_GT(seen[i], seen[i - 2]) << "no action in two passes at " << i;

    const std::vector<int> out =
        Hold(VK_OEM_MINUS, 144, [this] { return Distance(); }, 1000.0 / 144);
    EXPECT_NEAR((out.back() - 2048) / 16, 100, 2);
}

// --- The 16-bit fields ----------------------------------------------------

class ViewerLimitsTest : public ViewerInputTest {};

TEST_F(ViewerLimitsTest, TheLargestImagesStartAtOneTexelPerPixelBetweenThePlanes) {
    WriteTexture("tall.png", 4, 16384);
    WriteTexture("wide.png", 16384, 1);
    EnterViewer(512, 512);
    UseFakeClock();
    ASSERT_EQ(viewer().textureHeight, 16384);
    EXPECT_EQ(viewer().distance, 65536);  // 4h
    EXPECT_EQ(viewer().quadVertices[1], -32768);
    EXPECT_EQ(viewer().quadVertices[7], 32768);
    ExpectProjectionIsFrustum(-128, 128, -128, 128, 32768, 262144);
    // Zooming in and out stays between the near plane (2h) and the far one (16h).
    for (int d : Hold(VK_OEM_PLUS, 5, [this] { return Distance(); })) EXPECT_EQ(d, 65536);
    const std::vector<int> out = Hold(VK_OEM_MINUS, 20000, [this] { return Distance(); });
    EXPECT_GT(out.back(), 12 * 16384 - 16);
    EXPECT_LT(out.back(), 16 * 16384);

    viewer().StepTexture(false, true);
    ASSERT_EQ(viewer().textureWidth, 16384);
    EXPECT_EQ(viewer().quadVertices[0], -32768);  // 2w
    EXPECT_EQ(viewer().quadVertices[3], 32768);
    EXPECT_EQ(viewer().distance, 4);
    viewer().Update();
    // The zoom mode's limits of 2w and 4w do not wrap either.
    viewer().zoomMode = true;
    viewer().SetMousePosition(0, 100);
    Pass();
    EXPECT_EQ(viewer().distance, 32768);
}

TEST_F(ViewerLimitsTest, AZeroSizeClientAreaIsGuarded) {
    EnterSquare();
    viewer().offsetX = 20;
    app().ResizeViewport(0, 0);
    Pass();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    double identity[16], m[16];
    for (int i = 0; i < 16; ++i) identity[i] = i % 5 == 0 ? 1.0 : 0.0;
    ProjectionMatrix(m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], identity[i]) << i;

    viewer().moveMode = true;
    viewer().offsetX = 20;
    viewer().SetMousePosition(0, 0);
    Pass();
    EXPECT_EQ(viewer().offsetX, 20);

    app().ResizeViewport(1, 300);
    Pass();
    EXPECT_EQ(viewer().offsetX, 0);
    viewer().offsetX = 20;
    Pass();
    EXPECT_EQ(viewer().offsetX, 20);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    app().ResizeViewport(512, 512);
    Pass();
    ExpectProjectionIsFrustum(-128, 128, -128, 128, 512, 4096);
}

}  // namespace
