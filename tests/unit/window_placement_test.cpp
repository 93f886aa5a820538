// The saved window rectangle against the screens there are now.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "app/window_placement.h"

namespace {

using platform::Rect;

bool Same(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

::testing::AssertionResult Fits(const Rect& r, const Rect& area) {
    if (r.left >= area.left && r.top >= area.top && r.right <= area.right &&
        r.bottom <= area.bottom && r.right > r.left && r.bottom > r.top)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << r.left << "," << r.top << "," << r.right << ","
                                         << r.bottom;
}

const Rect kScreen{0, 0, 1280, 1024};
const Rect kSecond{1280, 0, 2560, 1024};

TEST(FitWindowRect, ASaneRectangleOnAScreenStaysAsItIs) {
    for (const Rect& r : {Rect{100, 100, 612, 612}, Rect{1300, 10, 1800, 500}, Rect{0, 0, 1280, 1024}})
        EXPECT_TRUE(Same(FitWindowRect(r, {kScreen, kSecond}), r));
}

TEST(FitWindowRect, HostileRectanglesGiveAWindowOnTheScreen) {
    const std::vector<Rect> hostile = {
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
        {0, 0, 70000, 70000},
        {-32000, -32000, -31840, -31973},  // minimised on Windows
        {5000, 5000, 5512, 5512},          // a screen that is gone
        {600, 600, 100, 100},              // inverted
        {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN},
        {10, 10, 11, 11},                  // too small to grab
    };
    for (const Rect& r : hostile) EXPECT_TRUE(Fits(FitWindowRect(r, {kScreen}), kScreen));
    // An off-screen window keeps its size where it fits.
    const Rect moved = FitWindowRect({5000, 5000, 5512, 5512}, {kScreen});
    EXPECT_EQ(moved.right - moved.left, 512);
    EXPECT_EQ(moved.bottom - moved.top, 512);
    // It goes to the nearest screen, not always the first.
    EXPECT_TRUE(Fits(FitWindowRect({3000, 100, 3400, 500}, {kScreen, kSecond}), kSecond));
    EXPECT_TRUE(Same(FitWindowRect({0, 0, 70000, 70000}, {kScreen}), kScreen));
}

TEST(FitWindowRect, WithoutKnownScreensOnlyTheSizeIsMended) {
    EXPECT_TRUE(Same(FitWindowRect({100, 100, 612, 612}, {}), Rect{100, 100, 612, 612}));
    EXPECT_TRUE(Same(FitWindowRect({100, 100, 50, 50}, {}), Rect{100, 100, 612, 612}));
}

}  // namespace
