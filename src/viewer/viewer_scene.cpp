// ViewerScene as a whole: construction, Enter, Draw, Leave, destruction.
#include "viewer/viewer_scene.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "glpng/texture_upload.h"
#include "render/texture_bank.h"

namespace {

constexpr std::int16_t kKeyDelay = 100;
constexpr std::int16_t kMoveDelay = 10;
constexpr std::int16_t kMoveStep = 4;
constexpr std::int16_t kHudDepth = 80;
constexpr std::uint8_t kLapChannels = 10;

// One HUD image from the system folder.
std::unique_ptr<Sprite> LoadHudSprite(const std::string& systemDir, const char* file,
                                      std::uint16_t size[2], std::int32_t x, std::int32_t y) {
    std::string path = systemDir;
    path += platform::kPathSeparator;
    path += file;
    const GLuint name = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    auto sprite = std::make_unique<Sprite>();
    sprite->SetGeometry(1, 1, x, y);
    sprite->SetTexture(name, size[0], size[1], kHudDepth);
    return sprite;
}

}  // namespace

ViewerScene::ViewerScene(GLApp* app, ViewerHost* host) : Scene(app), host_(host) {}

// jumpMenu is not destroyed here: it hangs inside the application's
// command menu, which owns and discards it.
ViewerScene::~ViewerScene() { Leave(); }

void ViewerScene::Enter() {
    drawn_.reset();  // new HUD images: nothing drawn counts
    quadVertices = std::make_unique<GLint[]>(12);
    quadTexCoords = std::make_unique<GLfloat[]>(8);
    inputTimer = std::make_unique<FrameTimer>(kLapChannels);
    inputTimer->Calibrate();

    keyDelay = kKeyDelay;
    moveDelay = kMoveDelay;
    moveStep = kMoveStep;
    holdIndex = true;
    moveCarry.fill(0.0f);

    for (int i = 0; i < 12; ++i) quadVertices[i] = 0;
    static constexpr GLfloat kTexCoords[8] = {0, 4, 4, 4, 4, 0, 0, 0};
    for (int i = 0; i < 8; ++i) quadTexCoords[i] = kTexCoords[i];

    if (prefetch) {
        std::uint8_t key[3];
        glpng::CurrentKey(key);
        prefetch->Configure(glpng::CurrentRules(true), key);
    }

    gTextureBank.ResetPool(1, 4);
    std::uint16_t size[2] = {0, 0};
    const std::string system = host_->HudDir();
    legalSprite = LoadHudSprite(system, "legal.png", size, 72, 24);
    webSprite = LoadHudSprite(system, "web.png", size, 0, 12);
    controlsSprite = LoadHudSprite(system, "controls.png", size, 40, 0);
    mouseSprite = LoadHudSprite(system, "mouse.png", size, 0, 0);

    if (!textureDir) {
        // The dialog's nested loop may have quit, which deletes this scene:
        // ask the host through a copy, never through a member.
        ViewerHost* host = host_;
        host->BrowseForDirectory();
        if (!host->HoldsViewer(this)) return;
    }
    Rescan(true);

    inputTimer->Restart();
    glMatrixMode(GL_PROJECTION);
    gTextureBank.ApplyDefaultState();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void ViewerScene::Draw() {
    drawn_ = PictureNow();
    if (!quadVertices || !quadTexCoords) return;  // not entered
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glTranslatef(static_cast<GLfloat>(offsetX), static_cast<GLfloat>(offsetY),
                 -static_cast<GLfloat>(distance));
    glRotatef(static_cast<GLfloat>(yaw), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<GLfloat>(pitch), 1.0f, 0.0f, 0.0f);
    DrawTiles(comparing ? previousTexture : texture);
    if (tileMarks) DrawMarks();
    if (seamView) DrawSeams();
    if (showHud) {
        glLoadIdentity();
        glOrtho(0.0, host_->ViewportWidth() / hudScale, 0.0, host_->ViewportHeight() / hudScale, -100.0,
                100.0);
        glClear(GL_DEPTH_BUFFER_BIT);
        for (Sprite* sprite : {legalSprite.get(), webSprite.get(), controlsSprite.get(),
                               mouseSprite.get()})
            if (sprite) sprite->Draw();
    }
    glPopMatrix();
    host_->PresentFrame();
}

bool ViewerScene::Picture::operator==(const Picture& o) const {
    return offsetX == o.offsetX && offsetY == o.offsetY && distance == o.distance &&
           yaw == o.yaw && pitch == o.pitch && name == o.name && generation == o.generation &&
           textureWidth == o.textureWidth && textureHeight == o.textureHeight &&
           viewportWidth == o.viewportWidth && viewportHeight == o.viewportHeight &&
           viewScale == o.viewScale && fitted == o.fitted && showHud == o.showHud &&
           tileMarks == o.tileMarks && seamView == o.seamView && repeatMode == o.repeatMode;
}

ViewerScene::Picture ViewerScene::PictureNow() const {
    Picture p{};
    p.offsetX = offsetX;
    p.offsetY = offsetY;
    p.distance = distance;
    p.yaw = yaw;
    p.pitch = pitch;
    p.name = comparing ? previousTexture : texture;
    p.generation = pictureGeneration_;
    p.textureWidth = textureWidth;
    p.textureHeight = textureHeight;
    p.viewportWidth = host_->ViewportWidth();
    p.viewportHeight = host_->ViewportHeight();
    p.viewScale = viewScale;
    p.fitted = fitted;
    p.showHud = showHud;
    p.tileMarks = tileMarks;
    p.seamView = seamView && seamsHeld_;
    p.repeatMode = repeatMode;
    return p;
}

bool ViewerScene::Resting(std::uint32_t* wakeInMs) {
    const bool* keys = host_->KeyTable();
    if (std::any_of(keys, keys + 256, [](bool down) { return down; }))
        return false;  // held keys act by their laps, pass after pass
    if (moveMode || rotateMode || zoomMode || host_->ViewportChanged()) return false;
    if (!drawn_ || !(*drawn_ == PictureNow())) return false;
    // Nothing due: sleep until a message or the folder watch's news.
    double due = ChangeWatch::kNever;
    if (autoRefresh && watch.Watching()) due = std::min(due, watch.UntilLookMs());
    if (freshSince_ >= 0) due = std::min(due, kFreshMarkMs - static_cast<double>(freshSince_));
    if (readout) due = std::min(due, kReadoutWakeMs);
    if (!wakeInMs) return true;
    if (due >= kLongestWakeMs) {
        *wakeInMs = platform::kWaitForever;
        return true;
    }
    // Just past it, so the pass that wakes finds the work due (the mark
    // goes once strictly over its time).
    *wakeInMs = static_cast<std::uint32_t>(std::ceil(std::max(due, 0.0))) + 1;
    return true;
}

void ViewerScene::Leave() {
    watch.Stop();
    if (prefetch) prefetch->Want({});
    webSprite.reset();
    legalSprite.reset();
    controlsSprite.reset();
    mouseSprite.reset();
    textureDir.reset();
    paths.clear();
    paths.shrink_to_fit();
    pathCount = 0;
}
