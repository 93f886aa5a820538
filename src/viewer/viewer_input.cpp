// Update: keys, mouse modes and window size turned into the camera.
#include <algorithm>
#include <cmath>

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
constexpr std::uint8_t kWatchChannel = 9;
constexpr int kKeyF5 = 0x74;
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
        if (distance > 4 * h) distance -= step;
    } else {
        if (distance < 12 * h) distance += step;
    }
}

void ViewerScene::StartModeAt(std::int32_t x, std::int32_t y) {
    mouseX = lastMouseX = x;
    mouseY = lastMouseY = y;
}

std::int32_t ViewerScene::ZoomModeMin() const {
    const std::int32_t nearPlane = 2 * static_cast<std::int32_t>(textureHeight);
    return std::max(2 * static_cast<std::int32_t>(textureWidth), nearPlane + 1);
}

std::int32_t ViewerScene::ZoomModeMax() const {
    return std::max(4 * static_cast<std::int32_t>(textureWidth), ZoomModeMin());
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
    // Taken first: after a rest it spans the sleep, which must not count
    // against the mark of a reload this pass makes.
    const float elapsed = inputTimer ? inputTimer->LapMilliseconds(kWatchChannel) : 0.0f;
    AgeFreshMark(elapsed);
    const bool* keys = host_->KeyTable();
    // Presses are taken every pass, so those made during a mouse mode
    // never act once it ends.
    const int quitPresses = host_->TakeKeyPresses(VK_ESCAPE) + host_->TakeKeyPresses(kKeyQ);
    Presses presses;
    presses.back = host_->TakeKeyPresses(VK_OEM_4);
    presses.forward = host_->TakeKeyPresses(VK_OEM_6);
    presses.rescan = host_->TakeKeyPresses(kKeyR);
    presses.reload = host_->TakeKeyPresses(kKeyF5);

    if (!keys[VK_ESCAPE]) escapeLatched = false;
    if (!keys[kKeyQ]) quitKeyLatched = false;
    const bool quitHeld = (keys[VK_ESCAPE] && !escapeLatched) || (keys[kKeyQ] && !quitKeyLatched);
    if (quitHeld || quitPresses > 0) {
        if (moveMode || rotateMode || zoomMode) {
            // The key that ends a mode must not quit in the next pass too.
            EndDrag();
            escapeLatched = keys[VK_ESCAPE];
            quitKeyLatched = keys[kKeyQ];
            return;
        }
        host_->Quit();
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
        const std::int64_t d = static_cast<std::int64_t>(distance) + mouseY - lastMouseY;
        distance = static_cast<std::int32_t>(std::clamp<std::int64_t>(d, ZoomModeMin(), ZoomModeMax()));
    } else {
        UpdateKeyboard(presses);
        UpdateTools(keys);
    }

    if (inputTimer) UpdateWatch(elapsed);
    UpdateReadout();

    if (host_->ViewportChanged()) ApplyViewportChange();

    lastMouseX = mouseX;
    lastMouseY = mouseY;
}

void ViewerScene::UpdateMoveMode() {
    const std::int32_t W = host_->ViewportWidth();
    const std::int32_t H = host_->ViewportHeight();
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

void ViewerScene::UpdateKeyboard(const Presses& presses) {
    const bool* keys = host_->KeyTable();
    const std::int32_t W = host_->ViewportWidth();
    const std::int32_t H = host_->ViewportHeight();
    const std::int32_t w = textureWidth;
    const std::int32_t h = textureHeight;
    const std::int32_t step = moveStep;

    // A held key repeats by its lap; every press counts on its own, and
    // the lap restarts after the load so a slow load is not a repeat.
    if (presses.rescan > 0 || (keys[kKeyR] && KeyChannelDue(kRescanChannel))) {
        Rescan(true);
        inputTimer->LapMilliseconds(kRescanChannel);
    }

    // F5: the file on show, again, as it is on disk now.
    if (presses.reload > 0) ReloadShown();

    int back = presses.back, forward = presses.forward;
    if (keys[VK_OEM_4] && KeyChannelDue(kPrevChannel)) {
        back = std::max(back, 1);
    } else if (keys[VK_OEM_6] && KeyChannelDue(kNextChannel)) {
        forward = std::max(forward, 1);
    }
    for (int i = 0; i < back; ++i) StepTexture(false, false);
    for (int i = 0; i < forward; ++i) StepTexture(true, false);
    if (back > 0) inputTimer->LapMilliseconds(kPrevChannel);
    if (forward > 0) inputTimer->LapMilliseconds(kNextChannel);

    if (keys[VK_LEFT] && MoveChannelDue(kLeftChannel) && offsetX < 2 * w - W / 2 - step)
        offsetX = Saturate16(static_cast<std::int32_t>(offsetX) + step);
    if (keys[VK_RIGHT] && MoveChannelDue(kRightChannel) && offsetX > W / 2 - 2 * w + step)
        offsetX = Saturate16(static_cast<std::int32_t>(offsetX) - step);
    if (keys[VK_UP] && MoveChannelDue(kUpChannel) && offsetY > H / 2 - 2 * h + step)
        offsetY = Saturate16(static_cast<std::int32_t>(offsetY) - step);
    if (keys[VK_DOWN] && MoveChannelDue(kDownChannel) && offsetY < 2 * h - H / 2 - step)
        offsetY = Saturate16(static_cast<std::int32_t>(offsetY) + step);

    // The keypad's + and - zoom as the main keys do.
    if ((keys[VK_OEM_PLUS] || keys[VK_ADD]) && MoveChannelDue(kZoomInChannel)) {
        ZoomStep(true);
    } else if ((keys[VK_OEM_MINUS] || keys[VK_SUBTRACT]) && MoveChannelDue(kZoomOutChannel)) {
        ZoomStep(false);
    }
}

void ViewerScene::ApplyViewportChange() {
    host_->SetViewportChanged(false);
    const std::int32_t W = host_->ViewportWidth();
    const std::int32_t H = host_->ViewportHeight();
    offsetX = 0;
    offsetY = 0;
    // The HUD is laid out in the desktop's logical pixels; the texture stays
    // one texel per device pixel.
    hudScale = std::clamp(host_->DisplayScale(), 1.0, 8.0);
    const auto hudW = static_cast<std::int32_t>(W / hudScale);
    const auto hudH = static_cast<std::int32_t>(H / hudScale);
    if (webSprite && webSprite->position) webSprite->position->x = hudW - 72;
    if (controlsSprite && controlsSprite->position) controlsSprite->position->y = hudH - 40;
    if (mouseSprite && mouseSprite->position) {
        mouseSprite->position->x = hudW - 40;
        mouseSprite->position->y = hudH - 24;
    }
    // A fitted view fits the texture now on show.
    if (fitted) viewScale = FitScale();
    ApplyProjection();
}

CameraView ViewerScene::CurrentView() const {
    return MakeCameraView(host_->ViewportWidth(), host_->ViewportHeight(), textureHeight, viewScale, offsetX,
                          offsetY, distance, yaw, pitch);
}

void ViewerScene::ApplyProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A minimised window or no texture would make GL reject the frustum;
    // the projection then stays the identity, without a GL error.
    if (host_->ViewportWidth() <= 0 || host_->ViewportHeight() <= 0 || textureHeight <= 0) return;
    const CameraView view = CurrentView();
    glFrustum(view.left, view.right, view.bottom, view.top, view.nearPlane, 16.0 * textureHeight);
}
