// Where 2, 3, 4 and 8 anchor the view, from views zoomed out, panned,
// tilted and in every repeat mode: the texel under a pointer over the
// texture stays under it, and the magnified view always shows texture.
#include <gtest/gtest.h>

#include "viewer/magnify.h"

namespace {

struct Case {
    const char* what;
    int w, h;
    RepeatMode mode;
    double offsetX, offsetY, distanceInH, yaw, pitch;
    int pointerX, pointerY;  // -1: not over the window
    bool overTexture;        // the pointer is over the texture
};

constexpr int kSide = 512;

bool Texel(const CameraView& view, RepeatMode mode, int w, int h, int px, int py, int* tx, int* ty) {
    double x = 0, y = 0;
    return PickPlanePoint(view, px, py, &x, &y) && TexelAt(mode, w, h, x, y, tx, ty);
}

TEST(MagnifyTest, KeepsThePointersTexelOrElseShowsTextureAtTheCentre) {
    const Case cases[] = {
        {"zoomed out, pointer off the grid", 64, 64, RepeatMode::Grid, 0, 0, 12, 0, 0, 10, 10, false},
        {"zoomed out, pointer on the grid", 64, 64, RepeatMode::Grid, 0, 0, 12, 0, 0, 290, 230, true},
        {"pointer outside the window", 64, 64, RepeatMode::Grid, 0, 0, 12, 0, 0, -1, -1, false},
        {"panned off, centre off the grid", 64, 64, RepeatMode::Grid, 300, -250, 12, 0, 0, 20, 500, false},
        {"tilted, pointer past the horizon", 64, 64, RepeatMode::Grid, 0, 0, 6, 0, 80, 256, 5, false},
        {"one row, pointer and centre off it", 64, 64, RepeatMode::Across, 0, 120, 4, 0, 0, 256, 300, false},
        {"mirrored, pointer on a copy", 64, 64, RepeatMode::Mirrored, 0, 0, 4, 0, 0, 200, 300, true},
    };
    for (const Case& c : cases) {
        const CameraView before = MakeCameraView(kSide, kSide, c.h, 1.0, c.offsetX, c.offsetY,
                                                 c.distanceInH * c.h, c.yaw, c.pitch);
        const int pointer[2] = {c.pointerX, c.pointerY};
        int beforeX = -1, beforeY = -1;
        const bool onTexture = c.pointerX >= 0 &&
                               Texel(before, c.mode, c.w, c.h, c.pointerX, c.pointerY, &beforeX, &beforeY);
        ASSERT_EQ(onTexture, c.overTexture) << c.what;
        const MagnifyAnchor anchor = ChooseMagnifyAnchor(before, c.mode, c.w, c.h, c.pointerX >= 0 ? pointer : nullptr);
        for (int k : {2, 3, 4, 8}) {
            std::int16_t ox = 0, oy = 0;
            MagnifiedOffsets(anchor, kSide, kSide, k, &ox, &oy);
            const CameraView after = MakeCameraView(kSide, kSide, c.h, k, ox, oy, 4.0 * c.h, 0, 0);
            int tx = -1, ty = -1;
            if (c.overTexture) {
                ASSERT_TRUE(Texel(after, c.mode, c.w, c.h, c.pointerX, c.pointerY, &tx, &ty)) << c.what << ", " << k;
                EXPECT_EQ(tx, beforeX) << c.what << ", " << k;
                EXPECT_EQ(ty, beforeY) << c.what << ", " << k;
            } else {
                EXPECT_TRUE(Texel(after, c.mode, c.w, c.h, kSide / 2, kSide / 2, &tx, &ty))
                    << c.what << ", " << k << ": no texture at the centre";
            }
        }
    }
}

}  // namespace
