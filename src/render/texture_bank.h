// Loads PNG files into GL textures and keeps their names in three pools,
// so a scene can delete all of its textures at once. Also keeps the
// current drawing colour and the fixed blending state.
#pragma once

#include <cstdint>
#include <memory>

#include "glpng/prepared_texture.h"
#include "platform/gl.h"

class TextureBank {
public:
    static constexpr int kPools = 3;

    TextureBank(int capacity0, int capacity1, int capacity2);
    ~TextureBank();
    TextureBank(const TextureBank&) = delete;
    TextureBank& operator=(const TextureBank&) = delete;

    void ApplyDefaultState();
    // Returns the texture name (0 on failure) and the image's size from
    // its header (0 x 0 on failure). Pools other than 0..2 record nothing.
    GLuint LoadPng(const char* path, std::uint16_t size[2], int pool, std::uint8_t smooth);
    // As LoadPng with smoothing, into `recycle` (a name the caller is
    // letting go, still its own on failure) when its storage fits.
    GLuint LoadPngInto(const char* path, std::uint16_t size[2], int pool, GLuint recycle);
    // As LoadPngInto, from a file a worker prepared.
    GLuint LoadPrepared(const glpng::PreparedTexture& prepared, std::uint16_t size[2], int pool,
                        GLuint recycle);
    // Records a name loaded with no pool (-1) in `pool`, as LoadPng would.
    void Adopt(int pool, GLuint name);
    // Lets go of a pool's names without deleting them: they live on in
    // another pool that adopts them.
    void Forget(int pool);
    void SetAlpha(float alpha);
    void Bind(GLuint name);
    void ReleasePool(int pool);
    void ResetPool(int pool, int capacity);
    void ReleaseAll();
    void ResetAll(int capacity0, int capacity1, int capacity2);

    // Introspection for tests and diagnostics.
    int PoolCount(int pool) const;
    int PoolCapacity(int pool) const;
    const GLuint* PoolNames(int pool) const;
    float Red() const { return red_; }
    float Green() const { return green_; }
    float Blue() const { return blue_; }
    float Alpha() const { return alpha_; }

private:
    std::unique_ptr<GLuint[]> names_[kPools];
    int capacity_[kPools] = {0, 0, 0};
    int count_[kPools] = {0, 0, 0};
    float red_ = 1.0f, green_ = 1.0f, blue_ = 1.0f, alpha_ = 1.0f;
};

// The one bank of the program.
extern TextureBank gTextureBank;
