// The tiled view and the HUD drawn by a software GL context.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"

namespace {

std::uint32_t Rgb(std::uint32_t rgba) { return rgba >> 8; }

// Each texel names itself: red = x, green = 2y, blue = 200; a 4 x 4 block
// of magenta at (10..13, 20..23) is a hole.
testpng::Sample NamedTexel(unsigned x, unsigned y) {
    if (x >= 10 && x < 14 && y >= 20 && y < 24) return testpng::Sample::Rgb(255, 0, 255);
    return testpng::Sample::Rgb(std::uint16_t(x), std::uint16_t(2 * y), 200);
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {24, 16, 8}) {
        const int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};

class ViewerRenderTest : public ViewerFixture {
protected:
    // Bounding box (top-left pixel coordinates, inclusive) of one colour.
    Box Find(std::uint32_t rgb) {
        Box box;
        for (int y = 0; y < gl().height(); ++y)
            for (int x = 0; x < gl().width(); ++x)
                if (Rgb(gl().PixelTopLeft(x, y)) == rgb) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y);
                    box.bottom = std::max(box.bottom, y);
                }
        return box;
    }
    // The HUD sprite of that colour is centred on (x, y), y upwards.
    void ExpectHudAt(std::uint32_t rgb, int x, int y, const char* name, int scale = 1) {
        const Box box = Find(rgb);
        ASSERT_FALSE(box.empty()) << name << " not drawn";
        EXPECT_EQ(box.right - box.left + 1, 16 * scale) << name;
        EXPECT_EQ(box.bottom - box.top + 1, 16 * scale) << name;
        EXPECT_EQ((box.left + box.right + 1) / 2, x) << name;
        EXPECT_EQ(gl().height() - (box.top + box.bottom + 1) / 2, y) << name;
    }
    void ExpectHudAnchors() {
        const int w = app().viewportWidth, h = app().viewportHeight;
        ExpectHudAt(0xFF0000, 72, 24, "legal");
        ExpectHudAt(0x00FF00, w - 72, 12, "web");
        ExpectHudAt(0x0000FF, 40, h - 40, "controls");
        ExpectHudAt(0xFFFF00, w - 40, h - 24, "mouse");
    }
    // Everything keyed out, so only the HUD shows over black.
    void WriteHole() {
        WriteTexture("hole.png", 64, 64,
                     [](unsigned, unsigned) { return testpng::Sample::Rgb(255, 0, 255); });
    }
};

TEST_F(ViewerRenderTest, OneTexelPerPixelInUprightTilesWithHolesShowingBlack) {
    WriteTexture("named.png", 256, 128, NamedTexel);
    EnterViewer(512, 512);
    viewer().showHud = false;
    ExpectProjectionIsFrustum(-128, 128, -128, 128, 256, 2048);
    EXPECT_EQ(viewer().distance, 512);
    viewer().Draw();
    EXPECT_EQ(headless::Get().swaps, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Two tiles across and four down; the client centre is a tile corner.
    int wrong = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            const testpng::Sample t = NamedTexel(unsigned(x % 256), unsigned(y % 128));
            const bool hole = t.c[0] == 255 && t.c[1] == 0 && t.c[2] == 255;
            const std::uint32_t want = hole ? 0 : (std::uint32_t(t.c[0]) << 24 |
                                                   std::uint32_t(t.c[1]) << 16 | t.c[2] << 8);
            const std::uint32_t got = gl().PixelTopLeft(x, y);
            if (!Near(got, want, 3) && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << std::hex << got
                              << " wants " << want;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(Near(gl().PixelTopLeft(255, 255), Rgba(255, 254, 200), 3));
    EXPECT_TRUE(Near(gl().PixelTopLeft(256, 256), Rgba(0, 0, 200), 3));
}

TEST_F(ViewerRenderTest, CameraMovesTheQuadAndTheHudStaysOnTop) {
    WriteTexture("named.png", 256, 128, NamedTexel);
    EnterViewer(512, 512);
    viewer().offsetX = 4;   // the quad moves right by 4 pixels
    viewer().offsetY = -2;  // and down by 2
    viewer().showHud = false;
    viewer().Draw();
    EXPECT_TRUE(Near(gl().PixelTopLeft(104, 52), Rgba(100, 100, 200), 3));

    // Tilted and moved away, the HUD still covers the quad.
    viewer().yaw = 30;
    viewer().pitch = 20;
    viewer().distance = 300;
    viewer().showHud = true;
    viewer().Draw();
    ExpectHudAnchors();
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST_F(ViewerRenderTest, HudSitsAtItsAnchors) {
    WriteHole();
    EnterViewer(512, 512);
    viewer().Draw();
    ExpectHudAnchors();
    EXPECT_EQ(Rgb(gl().PixelTopLeft(256, 256)), 0u);

    viewer().showHud = false;
    viewer().Draw();
    EXPECT_TRUE(Find(0xFF0000).empty());
    EXPECT_TRUE(Find(0xFFFF00).empty());
}

class ViewerRenderLargeTest : public ViewerRenderTest {
protected:
    int ContextWidth() const override { return 800; }
    int ContextHeight() const override { return 600; }
};

TEST_F(ViewerRenderLargeTest, HudFollowsAResizeTo800By600) {
    WriteHole();
    EnterViewer(512, 512);
    app().ResizeViewport(800, 600);
    viewer().Update();
    viewer().Draw();
    ExpectHudAt(0x00FF00, 728, 12, "web");
    ExpectHudAt(0x0000FF, 40, 560, "controls");
    ExpectHudAt(0xFFFF00, 760, 576, "mouse");
    ExpectHudAt(0xFF0000, 72, 24, "legal");
}

// At a desktop scale of 2 the HUD keeps its logical anchors, twice the
// size and crisp (every pixel of a sprite its exact colour).
TEST_F(ViewerRenderLargeTest, HudFollowsTheDesktopScale) {
    WriteHole();
    headless::Get().scale = 2.0;
    EnterViewer(800, 600);
    viewer().Draw();
    headless::Get().scale = 1.0;
    ExpectHudAt(0xFF0000, 2 * 72, 2 * 24, "legal", 2);
    ExpectHudAt(0x00FF00, 2 * (400 - 72), 2 * 12, "web", 2);
    ExpectHudAt(0x0000FF, 2 * 40, 2 * (300 - 40), "controls", 2);
    ExpectHudAt(0xFFFF00, 2 * (400 - 40), 2 * (300 - 24), "mouse", 2);
}

// Client sizes users have: the default window's 512 x 493, odd and
// even sides that are not multiples of four.
class ViewerPixelExactTest : public ViewerRenderTest {
protected:
    int ContextWidth() const override { return 640; }
    int ContextHeight() const override { return 640; }

    // Pixel (x, y) of the client area, top-left origin: the viewport
    // sits at the bottom of the context.
    std::uint32_t Client(int x, int y) {
        return gl().PixelTopLeft(x, gl().height() - app().viewportHeight + y);
    }
    // Every client pixel shows exactly one texel: `texel` maps the
    // pixel to the colour it must have, given the texel under the centre.
    int CountWrong(const std::function<std::uint32_t(int x, int y)>& want) {
        int wrong = 0;
        for (int y = 0; y < app().viewportHeight; ++y)
            for (int x = 0; x < app().viewportWidth; ++x) {
                const std::uint32_t got = Client(x, y) >> 8, w = want(x, y) >> 8;
                if (got != w && ++wrong <= 3)
                    ADD_FAILURE() << app().viewportWidth << " x " << app().viewportHeight
                                  << ": pixel (" << x << ", " << y << ") " << std::hex << got
                                  << " wants " << w;
            }
        return wrong;
    }
    void Show(int width, int height) {
        app().ResizeViewport(std::uint16_t(width), std::uint16_t(height));
        viewer().Update();
        viewer().Draw();
    }
};

TEST_F(ViewerPixelExactTest, OneTexelPerPixelAtEverySizeAndAfterEveryResize) {
    // A one-texel checkerboard, and a gradient whose texels name themselves.
    WriteTexture("a.png", 160, 160, [](unsigned x, unsigned y) {
        return (x + y) % 2 ? testpng::Sample::Rgb(255, 255, 255) : testpng::Sample::Rgb(0, 0, 0);
    });
    WriteTexture("b.png", 256, 256, [](unsigned x, unsigned y) {
        return testpng::Sample::Rgb(std::uint16_t(x), std::uint16_t(y), 100);
    });
    EnterViewer(512, 493);
    viewer().showHud = false;
    const int sizes[][2] = {{512, 493}, {511, 511}, {600, 621}, {601, 622}, {603, 624}, {512, 493}};
    for (const auto& size : sizes) {
        Show(size[0], size[1]);
        ASSERT_EQ(viewer().textureWidth, 160);
        const std::uint32_t first = Client(0, 0);
        EXPECT_EQ(CountWrong([&](int x, int y) {
                      return (x + y) % 2 ? (first == Rgba(0, 0, 0) ? Rgba(255, 255, 255) : Rgba(0, 0, 0))
                                         : first;
                  }),
                  0);
    }
    viewer().StepTexture(true, true);
    for (const auto& size : sizes) {
        Show(size[0], size[1]);
        ASSERT_EQ(viewer().textureWidth, 256);
        const std::uint32_t origin = Client(0, 0);
        const int r0 = int(origin >> 24), g0 = int((origin >> 16) & 0xFF);
        EXPECT_EQ(CountWrong([&](int x, int y) {
                      return Rgba(std::uint8_t((r0 + x) % 256), std::uint8_t((g0 + y) % 256), 100);
                  }),
                  0);
    }
}

}  // namespace
