// The loader's GL half in C++: loading into storage the caller lets go,
// uploading what a worker prepared, and making storage ahead of time.
// Main (GL) thread only.
#pragma once

#include <cstdint>

#include "glpng/glpng.h"
#include "glpng/prepared_texture.h"
#include "platform/gl.h"

namespace glpng {

// Sampling and wrapping of a new texture.
struct TextureParams {
    GLint wrap = GL_REPEAT;
    GLint minFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLint magFilter = GL_LINEAR;
    bool mipmaps = true;
};

// The current context's size rules for `mipmaps`.
TextureRules CurrentRules(bool mipmaps);
// The colour key pngSetStencil set, as R, G, B.
void CurrentKey(std::uint8_t key[3]);

// `recycle` is a texture the caller is letting go, or 0. When its storage
// has the levels the new image needs, the image is uploaded into it
// (fresh storage costs far more than the upload) and its name returned;
// otherwise a new texture is made. On failure 0 is returned and
// `recycle` still belongs to the caller, its contents undefined.
GLuint BindFile(const char* path, const TextureParams& params, GLuint recycle, pngInfo* info);
GLuint BindPrepared(const PreparedTexture& prepared, const TextureParams& params,
                    GLuint recycle, pngInfo* info);

// Whether texture `name` has storage for exactly the levels of `size`.
bool StorageFits(GLuint name, TextureSize size, bool mipmaps);

// A new texture with storage for every level of `size`, contents undefined,
// for an image still being prepared. 0 on failure.
GLuint MakeStorage(TextureSize size, bool mipmaps);

}  // namespace glpng
