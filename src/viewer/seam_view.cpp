// The seam view (S): the picture's seam scores in the title, and every
// border where two copies of it meet tinted along its length by how badly
// they meet there. Drawn over the tiles, so no texel changes when it is off.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "render/texture_bank.h"
#include "viewer/viewer_scene.h"

namespace {

// Half the tinted band's width, in texels either side of the border.
constexpr double kHalfWidth = 1.0;
// At most this many stretches of one tile's edge get their own colour.
constexpr std::size_t kMaxStretches = 256;

// Nothing where the seam matches; a stronger red the worse it is.
float TintAlpha(float mismatch) {
    const double start = glpng::kSeamThreshold * 0.75;
    return float(std::clamp((mismatch - start) / glpng::kSeamThreshold, 0.0, 0.9));
}

std::string Verdict(const char* axis, const glpng::SeamAxis& s) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %.2f %s", axis, s.score, s.ok ? "tiles" : "SEAM");
    return text;
}

// One border's quads: along it from `from` to `to` (world units), the
// profile's stretches in order; `vertical` borders run down from `from`.
void AddBorder(const std::vector<float>& profile, bool vertical, double at, double from,
               double to, std::vector<GLdouble>* v, std::vector<GLfloat>* c) {
    const std::size_t n = profile.size();
    if (n == 0) return;
    const std::size_t stretches = std::min(n, kMaxStretches);
    for (std::size_t k = 0; k < stretches; ++k) {
        const std::size_t first = k * n / stretches, end = (k + 1) * n / stretches;
        const float worst = *std::max_element(profile.begin() + std::ptrdiff_t(first),
                                              profile.begin() + std::ptrdiff_t(end));
        const float alpha = TintAlpha(worst);
        if (alpha <= 0) continue;
        const double a = from + (to - from) * double(first) / double(n);
        const double b = from + (to - from) * double(end) / double(n);
        const GLdouble q[12] = {
            vertical ? at - kHalfWidth : a, vertical ? a : at - kHalfWidth, 0,
            vertical ? at + kHalfWidth : b, vertical ? a : at - kHalfWidth, 0,
            vertical ? at + kHalfWidth : b, vertical ? b : at + kHalfWidth, 0,
            vertical ? at - kHalfWidth : a, vertical ? b : at + kHalfWidth, 0};
        v->insert(v->end(), q, q + 12);
        for (int i = 0; i < 4; ++i) c->insert(c->end(), {1.0f, 0.15f, 0.1f, alpha});
    }
}

}  // namespace

void ViewerScene::ToggleSeamView() {
    seamView = !seamView;
    UpdateSeams();
    host_->ShownChanged();
}

void ViewerScene::UpdateSeams() {
    if (!seamView || !texture || !shownReadable) {
        const bool had = !seamText_.empty();
        seamText_.clear();
        seamsHeld_ = false;
        if (had) host_->ShownChanged();
        return;
    }
    if (seamsHeld_ && seamsOf_ == pictureGeneration_) return;
    const TexelReadout& copy = PictureCopy();
    seams_ = glpng::ScoreSeams(copy.rgba().data(), unsigned(std::max(copy.width(), 0)),
                               unsigned(std::max(copy.height(), 0)));
    seamsOf_ = pictureGeneration_;
    seamsHeld_ = true;
    seamText_ = Verdict("across", seams_.across) + ", " + Verdict("down", seams_.down);
    host_->ShownChanged();
}

void ViewerScene::DrawSeams() {
    // Mirrored copies meet their own edge, which always matches.
    if (!seamsHeld_ || repeatMode == RepeatMode::Mirrored) return;
    std::vector<GLdouble> v;
    std::vector<GLfloat> c;
    const std::vector<Tile> tiles = LayOutTiles(repeatMode, textureWidth, textureHeight);
    for (const Tile& t : tiles) {
        for (const Tile& u : tiles) {
            // A copy to the right: the across seam, rows from the top.
            if (u.left == t.right && u.top == t.top)
                AddBorder(seams_.across.profile, true, t.right, t.top, t.bottom, &v, &c);
            // A copy below: the down seam, columns from the left.
            if (u.top == t.bottom && u.left == t.left)
                AddBorder(seams_.down.profile, false, t.bottom, t.left, t.right, &v, &c);
        }
    }
    if (v.empty()) return;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_DOUBLE, 0, v.data());
    glColorPointer(4, GL_FLOAT, 0, c.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(v.size() / 3));
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4f(gTextureBank.Red(), gTextureBank.Green(), gTextureBank.Blue(), gTextureBank.Alpha());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
}
