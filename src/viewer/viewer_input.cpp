// Update: keys, mouse modes and window size turned into the camera.
#include <cmath>

#include "app/gl_app.h"
#include "viewer/view_math.h"
#include "viewer/viewer_scene.h"

namespace {

constexpr std::uint8_t kPrevChannel = 0;
constexpr std::uint8_t kNextChannel = 1;
constexpr std::uint8_t kLeftChannel = 2;
constexpr std::uint8_t kRightChannel = 3;
constexpr std::uint8_t kUpChannel = 4;
constexpr std::uint8_t kDownChannel = 5;
constexpr std::uint8_t kZoomInChannel = 6;
constexpr std::uint8_t kZoomOutChannel = 7;
constexpr std::uint8_t kRescanChannel = 8;
constexpr int kKeyQ = 0x51;
constexpr int kKeyR = 0x52;

// Pointer coordinate relative to the centre, in halves of the window.
double Fraction(std::int32_t mouse, std::int32_t half) {
    if (mouse < half) return static_cast<double>(mouse) / half - 1.0;
    if (mouse > half) return (static_cast<double>(mouse) - half) / half;
    return 0.0;
}

}  // namespace

using viewer_math::Saturate16;
using viewer_math::Saturate32;

void ViewerScene::SetMousePosition(std::int32_t x, std::int32_t y) {
    mouseX = x;
    mouseY = y;
}

void ViewerScene::ZoomStep(bool zoomIn) {
    const std::int32_t h = textureHeight;
    const std::int32_t step = 4 * static_cast<std::int32_t>(moveStep);
    if (zoomIn) {
        if (distance > 4 * h) distance = Saturate16(static_cast<std::int32_t>(distance) - step);
    } else {
        if (distance < 12 * h) distance = Saturate16(static_cast<std::int32_t>(distance) + step);
    }
}

void ViewerScene::EndDrag() {
    moveMode = false;
    rotateMode = false;
    zoomMode = false;
}

// [, ] and R: the exact lap rule, so a held key acts once per press.
bool ViewerScene::KeyChannelDue(std::uint8_t channel) {
    return inputTimer && inputTimer->LapMilliseconds(channel) > keyDelay;
}

// Arrows and +/-: the lap time is gathered, so passes shorter than
// moveDelay still add up to about one action per moveDelay.
bool ViewerScene::MoveChannelDue(std::uint8_t channel) {
    if (!inputTimer) return false;
    float& carry = moveCarry[channel];
    carry += inputTimer->LapMilliseconds(channel);
    if (!(carry > moveDelay)) return false;
    carry = moveDelay > 0 ? std::fmod(carry, static_cast<float>(moveDelay)) : 0.0f;
    return true;
}

void ViewerScene::Update() {
    const bool* keys = owner->keyDown;
    if (keys[VK_ESCAPE] || keys[kKeyQ]) {
        if (moveMode || rotateMode || zoomMode) {
            EndDrag();
            return;
        }
        owner->Quit();
        return;  // Quit has deleted this scene: touch no member
    }

    if (moveMode) {
        UpdateMoveMode();
    } else if (rotateMode) {
        const std::int64_t dx = static_cast<std::int64_t>(mouseX) - lastMouseX;
        const std::int64_t dy = static_cast<std::int64_t>(mouseY) - lastMouseY;
        yaw = Saturate32(yaw + viewer_math::HalfFloor(dx));
        pitch = Saturate32(pitch + viewer_math::HalfFloor(dy));
    } else if (zoomMode) {
        const std::int64_t w = textureWidth;
        std::int64_t d = static_cast<std::int64_t>(distance) + mouseY - lastMouseY;
        if (d > 4 * w)
            d = 4 * w;
        else if (d < 2 * w)
            d = 2 * w;
        distance = Saturate16(d);
    } else {
        UpdateKeyboard();
    }

    if (owner->viewportChanged) ApplyViewportChange();

    lastMouseX = mouseX;
    lastMouseY = mouseY;
}

void ViewerScene::UpdateMoveMode() {
    const std::int32_t W = owner->viewportWidth;
    const std::int32_t H = owner->viewportHeight;
    const std::int32_t w = textureWidth;
    const std::int32_t h = textureHeight;
    // A client area under 2 pixels has no half to divide by.
    if (W < 2 || H < 2) return;
    if (!(W < 4 * w && H < 4 * h)) return;

    const double fx = Fraction(mouseX, W / 2);
    const double fy = Fraction(mouseY, H / 2);
    double x = std::trunc(-(w * fx));
    double y = std::trunc(h * fy);
    const double maxX = 2.0 * w - W / 2;
    const double maxY = 2.0 * h - H / 2;
    if (x > maxX) x = maxX;
    if (x < -maxX) x = -maxX;
    if (y < -maxY) y = -maxY;
    if (y > maxY) y = maxY;
    offsetX = Saturate16(static_cast<std::int64_t>(x));
    offsetY = Saturate16(static_cast<std::int64_t>(y));
}

void ViewerScene::UpdateKeyboard() {
    const bool* keys = owner->keyDown;
    const std::int32_t W = owner->viewportWidth;
    const std::int32_t H = owner->viewportHeight;
    const std::int32_t w = textureWidth;
    const std::int32_t h = textureHeight;
    const std::int32_t step = moveStep;

    if (keys[kKeyR] && KeyChannelDue(kRescanChannel)) Rescan(true);

    if (keys[VK_OEM_4] && KeyChannelDue(kPrevChannel)) {
        StepTexture(false, false);
    } else if (keys[VK_OEM_6] && KeyChannelDue(kNextChannel)) {
        StepTexture(true, false);
    }

    if (keys[VK_LEFT] && MoveChannelDue(kLeftChannel) && offsetX < 2 * w - W / 2 - step)
        offsetX = Saturate16(static_cast<std::int32_t>(offsetX) + step);
    if (keys[VK_RIGHT] && MoveChannelDue(kRightChannel) && offsetX > W / 2 - 2 * w + step)
        offsetX = Saturate16(static_cast<std::int32_t>(offsetX) - step);
    if (keys[VK_UP] && MoveChannelDue(kUpChannel) && offsetY > H / 2 - 2 * h + step)
        offsetY = Saturate16(static_cast<std::int32_t>(offsetY) - step);
    if (keys[VK_DOWN] && MoveChannelDue(kDownChannel) && offsetY < 2 * h - H / 2 - step)
        offsetY = Saturate16(static_cast<std::int32_t>(offsetY) + step);

    if (keys[VK_OEM_PLUS] && MoveChannelDue(kZoomInChannel)) {
        ZoomStep(true);
    } else if (keys[VK_OEM_MINUS] && MoveChannelDue(kZoomOutChannel)) {
        ZoomStep(false);
    }
}

void ViewerScene::ApplyViewportChange() {
    owner->viewportChanged = false;
    const std::int32_t W = owner->viewportWidth;
    const std::int32_t H = owner->viewportHeight;
    offsetX = 0;
    offsetY = 0;
    if (webSprite && webSprite->position) webSprite->position->x = W - 72;
    if (controlsSprite && controlsSprite->position) controlsSprite->position->y = H - 40;
    if (mouseSprite && mouseSprite->position) {
        mouseSprite->position->x = W - 40;
        mouseSprite->position->y = H - 24;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A minimised window or no texture would make GL reject the frustum;
    // the projection then stays the identity, without a GL error.
    const std::int32_t h = textureHeight;
    if (W / 4 > 0 && H / 4 > 0 && h > 0)
        glFrustum(-(W / 4), W / 4, -(H / 4), H / 4, 2.0 * h, 16.0 * h);
}
