// The program's window end to end: it takes the saved outer rectangle,
// with or without a window manager's frame, keeps it on screen, and ends
// with status 0 and its settings saved on a close request or when another
// client destroys the window.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
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

// Screen of the harness's X server.
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

// The rectangle in the saved settings, as left, top, width and height.
std::optional<Rect> SavedRect(const e2e::Session& session) {
    const std::vector<std::string> lines = e2e::SplitLines(session.ReadSettingsFile());
    if (lines.size() != 8u) return std::nullopt;
    long edges[4];
    for (int i = 0; i < 4; ++i) {
        const char* text = lines[4 + i].c_str();
        char* end = nullptr;
        errno = 0;
        edges[i] = std::strtol(text, &end, 10);
        if (end == text || *end != '\0' || errno != 0 || edges[i] < INT32_MIN || edges[i] > INT32_MAX)
            return std::nullopt;
    }
    if (edges[2] - edges[0] > INT32_MAX || edges[3] - edges[1] > INT32_MAX) return std::nullopt;
    return Rect{static_cast<int>(edges[0]), static_cast<int>(edges[1]),
                static_cast<int>(edges[2] - edges[0]), static_cast<int>(edges[3] - edges[1])};
}

std::string Describe(const std::optional<Rect>& r) {
    if (!r) return "none";
    return std::to_string(r->x) + "," + std::to_string(r->y) + " " + std::to_string(r->width) + "x" +
           std::to_string(r->height);
}

bool Same(const std::optional<Rect>& a, const Rect& b) {
    return a && a->x == b.x && a->y == b.y && a->width == b.width && a->height == b.height;
}

bool OnScreen(const std::optional<Rect>& r) {
    return r && r->x >= 0 && r->y >= 0 && r->width >= 100 && r->height >= 100 &&
           r->x + r->width <= kScreenWidth && r->y + r->height <= kScreenHeight;
}

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

TEST_F(WindowTest, UnderAWindowManagerComesBackWhereItWasRunAfterRun) {
    ASSERT_TRUE(session.StartWindowManager());
    settings.left = 137;
    settings.top = 91;
    settings.right = 740;
    settings.bottom = 670;
    const Rect saved{137, 91, 603, 579};
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        ASSERT_NO_FATAL_FAILURE(run == 1 ? Start() : Restart());
        const std::optional<Rect> outer = session.OuterRect();
        const std::optional<Rect> client = session.WindowRect();
        ASSERT_TRUE(outer && client);
        // Else no frame was there to creep by.
        EXPECT_GT(client->y, outer->y) << "not framed";
        EXPECT_TRUE(Same(outer, saved)) << Describe(outer);
        ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
        EXPECT_TRUE(Same(SavedRect(session), saved)) << session.ReadSettingsFile();
    }
}

TEST_F(WindowTest, HostileSavedRectanglesGiveAWindowOnTheScreen) {
    const std::vector<std::vector<int>> hostile = {
        {-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647}, {0, 0, 70000, 70000}};
    for (const bool framed : {false, true}) {
        if (framed) {
            ASSERT_TRUE(session.StartWindowManager());
        }
        for (const std::vector<int>& edges : hostile) {
            SCOPED_TRACE(std::string(framed ? "twm, " : "bare, ") + std::to_string(edges[2]));
            settings.left = edges[0];
            settings.top = edges[1];
            settings.right = edges[2];
            settings.bottom = edges[3];
            ASSERT_NO_FATAL_FAILURE(Start());
            const std::optional<Rect> outer = session.OuterRect();
            EXPECT_TRUE(OnScreen(outer)) << Describe(outer);
            ASSERT_NO_FATAL_FAILURE(QuitWithEscape());
            const std::optional<Rect> kept = SavedRect(session);
            EXPECT_TRUE(OnScreen(kept)) << session.ReadSettingsFile();
            EXPECT_TRUE(outer && Same(kept, *outer)) << session.ReadSettingsFile();
        }
    }
}

TEST_F(WindowTest, DestroyedByAnotherClientItSavesAndEnds) {
    settings.left = 137;
    settings.top = 91;
    settings.right = 740;
    settings.bottom = 670;
    for (const bool framed : {false, true}) {
        SCOPED_TRACE(framed ? "twm" : "bare");
        if (framed) {
            ASSERT_TRUE(session.StartWindowManager());
        }
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(session.DestroyWindow());
        ASSERT_NO_FATAL_FAILURE(ExpectExitZero());
        EXPECT_EQ(8u, e2e::SplitLines(session.ReadSettingsFile()).size()) << session.ReadSettingsFile();
        // The rectangle it last had, not an empty one.
        EXPECT_TRUE(Same(SavedRect(session), Rect{137, 91, 603, 579})) << session.ReadSettingsFile();
    }
}

}  // namespace
