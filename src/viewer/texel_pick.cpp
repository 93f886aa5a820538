#include "viewer/texel_pick.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x, y, z;
};

// The inverse of glRotate(yaw, 0, 1, 0) then glRotate(pitch, 1, 0, 0):
// undo the pitch after the yaw.
Vec ToPlane(Vec v, double yaw, double pitch) {
    const double cy = std::cos(yaw), sy = std::sin(yaw);
    const Vec unyawed{cy * v.x - sy * v.z, v.y, sy * v.x + cy * v.z};
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    return Vec{unyawed.x, cp * unyawed.y + sp * unyawed.z, -sp * unyawed.y + cp * unyawed.z};
}

}  // namespace

CameraView MakeCameraView(int width, int height, int textureHeight, double scale, double offsetX,
                          double offsetY, double distance, double yawDegrees, double pitchDegrees) {
    if (!(scale > 0)) scale = 1.0;
    // Exact quarters put one texel on one pixel at the distance 4h; at an
    // odd size the centre falls mid-pixel, so shift by half a pixel (a
    // quarter unit on the near plane) to put texel edges on pixel edges.
    // A magnified view narrows the frustum, pixel and shift alike.
    const double shiftX = width % 2 ? 0.25 : 0.0;
    const double shiftY = height % 2 ? 0.25 : 0.0;
    CameraView view;
    view.left = (-width / 4.0 - shiftX) / scale;
    view.right = (width / 4.0 - shiftX) / scale;
    view.bottom = (-height / 4.0 - shiftY) / scale;
    view.top = (height / 4.0 - shiftY) / scale;
    view.nearPlane = 2.0 * textureHeight;
    view.offsetX = offsetX;
    view.offsetY = offsetY;
    view.distance = distance;
    view.yawDegrees = yawDegrees;
    view.pitchDegrees = pitchDegrees;
    view.width = width;
    view.height = height;
    return view;
}

bool PickPlanePoint(const CameraView& view, int px, int py, double* x, double* y) {
    if (view.width <= 0 || view.height <= 0 || view.nearPlane <= 0) return false;
    // The pixel's centre on the near plane, in eye coordinates.
    const double fx = (px + 0.5) / view.width, fy = (py + 0.5) / view.height;
    const Vec through{view.left + fx * (view.right - view.left),
                      view.top - fy * (view.top - view.bottom), -view.nearPlane};
    const double yaw = view.yawDegrees * kPi / 180.0, pitch = view.pitchDegrees * kPi / 180.0;
    const Vec origin = ToPlane(Vec{-view.offsetX, -view.offsetY, view.distance}, yaw, pitch);
    const Vec direction = ToPlane(through, yaw, pitch);
    if (std::fabs(direction.z) < 1e-12) return false;
    const double t = -origin.z / direction.z;
    if (!(t > 0)) return false;
    *x = origin.x + t * direction.x;
    *y = origin.y + t * direction.y;
    return true;
}
