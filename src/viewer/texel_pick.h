// Where a window pixel meets the textured plane, for the texel readout:
// the frustum and the camera the viewer draws with, undone.
#pragma once

struct CameraView {
    double left, right, bottom, top, nearPlane;  // the frustum
    double offsetX, offsetY, distance;            // glTranslate(offsetX, offsetY, -distance)
    double yawDegrees, pitchDegrees;              // then glRotate about y, then about x
    int width, height;                            // the client area in pixels
};

// The view the viewer draws with in a client area of width x height
// pixels: one texel per pixel at the distance 4 x textureHeight, `scale`
// pixels per texel there once magnified or fitted.
CameraView MakeCameraView(int width, int height, int textureHeight, double scale, double offsetX,
                          double offsetY, double distance, double yawDegrees, double pitchDegrees);

// The plane point (world units, y upwards) seen through the centre of
// pixel (px, py), counted from the client area's top-left; false when the
// pixel looks past the plane.
bool PickPlanePoint(const CameraView& view, int px, int py, double* x, double* y);
