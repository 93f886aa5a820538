// The seam tools: magnify, fit, texel readout, compare with the version
// before the last reload, marks of the real tile, and repeat modes.
#include <algorithm>
#include <utility>
#include <vector>

#include "render/texture_bank.h"
#include "viewer/magnify.h"
#include "viewer/viewer_scene.h"

bool ViewerScene::PointerOverView(std::int32_t* x, std::int32_t* y) const {
    std::int32_t px = mouseX, py = mouseY;
    if (host_->Window()) platform::PointerPosition(host_->Window(), &px, &py);
    *x = px;
    *y = py;
    return px >= 0 && py >= 0 && px < host_->ViewportWidth() && py < host_->ViewportHeight();
}

void ViewerScene::Magnify(int factor) {
    const double k = std::max(1, factor);
    const std::int32_t W = host_->ViewportWidth(), H = host_->ViewportHeight();
    if (textureHeight <= 0 || W <= 0 || H <= 0) return;
    std::int32_t pointer[2] = {0, 0};
    const bool over = PointerOverView(&pointer[0], &pointer[1]);
    const MagnifyAnchor anchor =
        ChooseMagnifyAnchor(CurrentView(), repeatMode, textureWidth, textureHeight, over ? pointer : nullptr);
    viewScale = static_cast<float>(k);
    fitted = false;
    yaw = 0;
    pitch = 0;
    distance = 4 * static_cast<std::int32_t>(textureHeight);
    MagnifiedOffsets(anchor, W, H, k, &offsetX, &offsetY);
    ApplyProjection();
}

float ViewerScene::FitScale() const {
    const double w = textureWidth, h = textureHeight;
    if (w <= 0 || h <= 0) return 1.0f;
    const double fit = std::min(host_->ViewportWidth() / (4.0 * w), host_->ViewportHeight() / (4.0 * h));
    return static_cast<float>(std::min(1.0, fit));
}

void ViewerScene::ToggleFit() {
    if (fitted) {
        Magnify(1);
        return;
    }
    fitted = true;
    viewScale = FitScale();
    yaw = pitch = 0;
    offsetX = offsetY = 0;
    distance = 4 * static_cast<std::int32_t>(textureHeight);
    ApplyProjection();
}

void ViewerScene::ToggleReadout() {
    readout = !readout;
    if (!readout) readoutText_.clear();
    host_->ShownChanged();
}

void ViewerScene::ToggleMarks() {
    tileMarks = !tileMarks;
    host_->ShownChanged();
}

void ViewerScene::SetRepeatMode(RepeatMode mode) {
    repeatMode = mode;
    host_->ShownChanged();
}

void ViewerScene::RunTool(Tool tool) {
    switch (tool) {
    case Tool::ActualSize: Magnify(1); break;
    case Tool::Magnify2: Magnify(2); break;
    case Tool::Magnify3: Magnify(3); break;
    case Tool::Magnify4: Magnify(4); break;
    case Tool::Magnify8: Magnify(8); break;
    case Tool::FitGrid: ToggleFit(); break;
    case Tool::Readout: ToggleReadout(); break;
    case Tool::TileMarks: ToggleMarks(); break;
    case Tool::SeamView: ToggleSeamView(); break;
    case Tool::NextRepeat: SetRepeatMode(NextRepeatMode(repeatMode)); break;
    case Tool::RepeatGrid: SetRepeatMode(RepeatMode::Grid); break;
    case Tool::RepeatAcross: SetRepeatMode(RepeatMode::Across); break;
    case Tool::RepeatDown: SetRepeatMode(RepeatMode::Down); break;
    case Tool::RepeatMirrored: SetRepeatMode(RepeatMode::Mirrored); break;
    case Tool::CopyReadout:
    case Tool::Compare: break;
    }
}

void ViewerScene::UpdateTools(const bool* keys) {
    for (const ToolBinding& binding : kToolBindings) {
        switch (binding.trigger) {
        case Trigger::Hold: {
            const bool wasComparing = comparing;
            comparing = keys[binding.key] && !keys[VK_CONTROL] && previousTexture != 0;
            if (comparing != wasComparing) host_->ShownChanged();
            break;
        }
        case Trigger::Press:
            if (host_->TakeKeyPresses(binding.key) > 0) RunTool(binding.tool);
            break;
        case Trigger::CtrlPress:
            // Ctrl+C copies the readout's colour, read again first: a load
            // this pass may have changed the texel.
            if (host_->TakeKeyPresses(binding.key) > 0 && keys[VK_CONTROL]) {
                UpdateReadout();
                if (!readoutText_.empty()) {
                    const std::size_t hash = readoutText_.find('#');
                    platform::CopyText(host_->Window(), readoutText_.substr(hash, 9).c_str());
                }
            }
            break;
        case Trigger::Shown:
            break;
        }
    }
}

void ViewerScene::UpdateReadout() {
    // Whatever changes the picture asks for both.
    UpdateSeams();
    if (!readout) return;
    std::string text;
    std::int32_t px = 0, py = 0;
    double x = 0, y = 0;
    int tx = 0, ty = 0;
    if (texture && shownReadable && PointerOverView(&px, &py) &&
        PickPlanePoint(CurrentView(), px, py, &x, &y) &&
        TexelAt(repeatMode, textureWidth, textureHeight, x, y, &tx, &ty)) {
        text = PictureCopy().Text(tx, ty, textureWidth, textureHeight);
    }
    if (text != readoutText_) {
        readoutText_ = text;
        host_->ShownChanged();
    }
}

const TexelReadout& ViewerScene::PictureCopy() {
    if (!copy_.Holds(pictureGeneration_)) {
        GLint w = 0, h = 0;
        gTextureBank.Bind(texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(std::max(w, 0)) * std::max(h, 0) * 4, 0);
        if (!rgba.empty()) {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        }
        copy_.Keep(pictureGeneration_, w, h, std::move(rgba));
    }
    return copy_;
}

void ViewerScene::DrawTiles(GLuint name) {
    gTextureBank.Bind(name);
    // Magnified, each texel is a crisp square of its exact colour.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, viewScale > 1.0f ? GL_NEAREST : GL_LINEAR);
    if (repeatMode == RepeatMode::Grid) {
        glVertexPointer(3, GL_INT, 0, quadVertices.get());
        glTexCoordPointer(2, GL_FLOAT, 0, quadTexCoords.get());
        glDrawArrays(GL_QUADS, 0, 4);
        return;
    }
    const std::vector<Tile> tiles = LayOutTiles(repeatMode, textureWidth, textureHeight);
    std::vector<GLdouble> vertices;
    std::vector<GLfloat> coords;
    for (const Tile& t : tiles) {
        const GLdouble v[12] = {t.left, t.bottom, 0, t.right, t.bottom, 0,
                                t.right, t.top, 0, t.left, t.top, 0};
        const GLfloat c[8] = {t.s0, t.t1, t.s1, t.t1, t.s1, t.t0, t.s0, t.t0};
        vertices.insert(vertices.end(), v, v + 12);
        coords.insert(coords.end(), c, c + 8);
    }
    glVertexPointer(3, GL_DOUBLE, 0, vertices.data());
    glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(tiles.size() * 4));
}

void ViewerScene::DrawMarks() {
    const int w = textureWidth, h = textureHeight;
    if (w < 8 || h < 8) return;
    // Brackets inside the real tile's corners, two texels in from its
    // edges, so no seam texel (an edge row or column) is covered.
    const double inset = 2, arm = std::clamp(std::min(w, h) / 8, 2, 16), thick = 1;
    std::vector<GLdouble> v;
    auto box = [&v](double l, double b, double r, double t) {
        const GLdouble q[12] = {l, b, 0, r, b, 0, r, t, 0, l, t, 0};
        v.insert(v.end(), q, q + 12);
    };
    const double left = inset, right = w - inset, top = -inset, bottom = -h + inset;
    for (int corner = 0; corner < 4; ++corner) {
        const bool atRight = corner % 2 != 0, atBottom = corner / 2 != 0;
        const double x = atRight ? right - thick : left;
        const double y = atBottom ? bottom : top - thick;
        const double armX = atRight ? right - arm : left;
        const double armY = atBottom ? bottom : top - arm;
        box(armX, y, armX + arm, y + thick);
        box(x, armY, x + thick, armY + arm);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(1.0f, 0.85f, 0.0f, 1.0f);
    glVertexPointer(3, GL_DOUBLE, 0, v.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(v.size() / 3));
    glColor4f(gTextureBank.Red(), gTextureBank.Green(), gTextureBank.Blue(), gTextureBank.Alpha());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
}
