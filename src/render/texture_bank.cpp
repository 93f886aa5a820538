#include "render/texture_bank.h"

#include <algorithm>

#include "glpng/glpng.h"
#include "glpng/texture_upload.h"

TextureBank gTextureBank(0, 0, 0);

namespace {
bool ValidPool(int pool) { return pool >= 0 && pool < TextureBank::kPools; }

void RecordSize(const pngInfo& info, std::uint16_t size[2]) {
    if (!size) return;
    size[0] = static_cast<std::uint16_t>(info.Width & 0xFFFF);
    size[1] = static_cast<std::uint16_t>(info.Height & 0xFFFF);
}
}  // namespace

TextureBank::TextureBank(int capacity0, int capacity1, int capacity2) {
    pngSetStencil(255, 0, 255);
    ResetAll(capacity0, capacity1, capacity2);
    red_ = green_ = blue_ = alpha_ = 1.0f;
    // Without a current context (static initialisation) this is a no-op.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// Runs at program exit, after the context is gone: GL without a current
// context ignores the deletes, so no guard is needed.
TextureBank::~TextureBank() { ReleaseAll(); }

void TextureBank::ApplyDefaultState() {
    glColor4f(red_, green_, blue_, alpha_);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
}

GLuint TextureBank::LoadPng(const char* path, std::uint16_t size[2], int pool,
                            std::uint8_t smooth) {
    pngInfo info{};  // stays 0 x 0 if loading fails before the header
    const GLuint name =
        smooth ? pngBind(path, PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                         GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR)
               : pngBind(path, PNG_NOMIPMAP, PNG_STENCIL, &info, GL_REPEAT, GL_NEAREST,
                         GL_NEAREST);

    Adopt(pool, name);
    RecordSize(info, size);
    return name;
}

GLuint TextureBank::LoadPngInto(const char* path, std::uint16_t size[2], int pool,
                                GLuint recycle) {
    pngInfo info{};
    const GLuint name = glpng::BindFile(path, glpng::TextureParams(), recycle, &info);
    Adopt(pool, name);
    RecordSize(info, size);
    return name;
}

GLuint TextureBank::LoadPrepared(const glpng::PreparedTexture& prepared, std::uint16_t size[2],
                                 int pool, GLuint recycle) {
    pngInfo info{};
    const GLuint name = glpng::BindPrepared(prepared, glpng::TextureParams(), recycle, &info);
    Adopt(pool, name);
    RecordSize(info, size);
    return name;
}

void TextureBank::Adopt(int pool, GLuint name) {
    if (!ValidPool(pool)) return;
    // Past capacity the pool grows instead of losing the name, which would
    // leak the texture.
    if (count_[pool] >= capacity_[pool]) {
        const int grown = std::max(1, capacity_[pool] * 2);
        auto names = std::make_unique<GLuint[]>(grown);
        std::copy(names_[pool].get(), names_[pool].get() + count_[pool], names.get());
        names_[pool] = std::move(names);
        capacity_[pool] = grown;
    }
    names_[pool][count_[pool]++] = name;
}

void TextureBank::Forget(int pool) {
    if (ValidPool(pool)) count_[pool] = 0;
}

void TextureBank::SetAlpha(float alpha) {
    alpha_ = alpha;
    glColor4f(red_, green_, blue_, alpha_);
}

void TextureBank::Bind(GLuint name) { glBindTexture(GL_TEXTURE_2D, name); }

void TextureBank::ReleasePool(int pool) {
    if (!ValidPool(pool) || count_[pool] == 0) return;
    glDeleteTextures(count_[pool], names_[pool].get());
    count_[pool] = 0;
}

void TextureBank::ResetPool(int pool, int capacity) {
    if (!ValidPool(pool)) return;
    ReleasePool(pool);
    if (capacity > 0) {
        names_[pool] = std::make_unique<GLuint[]>(capacity);
        capacity_[pool] = capacity;
    }
}

void TextureBank::ReleaseAll() {
    for (int pool = 0; pool < kPools; ++pool) ReleasePool(pool);
}

void TextureBank::ResetAll(int capacity0, int capacity1, int capacity2) {
    ResetPool(0, capacity0);
    ResetPool(1, capacity1);
    ResetPool(2, capacity2);
}

int TextureBank::PoolCount(int pool) const { return ValidPool(pool) ? count_[pool] : 0; }

int TextureBank::PoolCapacity(int pool) const {
    return ValidPool(pool) ? capacity_[pool] : 0;
}

const GLuint* TextureBank::PoolNames(int pool) const {
    return ValidPool(pool) ? names_[pool].get() : nullptr;
}
