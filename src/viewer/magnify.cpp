#include "viewer/magnify.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "viewer/view_math.h"

MagnifyAnchor ChooseMagnifyAnchor(const CameraView& view, RepeatMode mode, int w, int h,
                                  const int* pointer) {
    double x = 0, y = 0;
    int tx = 0, ty = 0;
    if (pointer && PickPlanePoint(view, pointer[0], pointer[1], &x, &y) && TexelAt(mode, w, h, x, y, &tx, &ty))
        return MagnifyAnchor{pointer[0], pointer[1], x, y};
    const int cx = view.width / 2, cy = view.height / 2;
    if (!PickPlanePoint(view, cx, cy, &x, &y)) {
        x = -view.offsetX;
        y = -view.offsetY;
    }
    // The nearest point the tiles cover, half a texel in from their edge.
    double left = std::numeric_limits<double>::max(), bottom = left;
    double right = std::numeric_limits<double>::lowest(), top = right;
    for (const Tile& t : LayOutTiles(mode, w, h)) {
        left = std::min(left, t.left);
        bottom = std::min(bottom, t.bottom);
        right = std::max(right, t.right);
        top = std::max(top, t.top);
    }
    if (left < right && bottom < top) {
        x = std::clamp(x, left + 0.5, right - 0.5);
        y = std::clamp(y, bottom + 0.5, top - 0.5);
    }
    return MagnifyAnchor{cx, cy, x, y};
}

void MagnifiedOffsets(const MagnifyAnchor& anchor, int width, int height, double k,
                      std::int16_t* offsetX, std::int16_t* offsetY) {
    if (!(k > 0)) k = 1;
    // Flat at the home distance a pixel is 1/k world units; whole offsets
    // keep texel edges on pixel edges.
    *offsetX = viewer_math::Saturate16(std::llround((anchor.pixelX + 0.5 - width / 2.0) / k - anchor.x));
    *offsetY = viewer_math::Saturate16(std::llround((height / 2.0 - anchor.pixelY - 0.5) / k - anchor.y));
}
