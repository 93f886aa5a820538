// pngSetStencil / pngBind: decode, key, fit the context's size rules,
// then upload with our own mip levels.
#include "glpng/glpng.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "glpng/png_decode.h"
#include "render/gl.h"

namespace {

struct StencilColour {
    unsigned char red, green, blue;
};

// Magenta until told otherwise: the colour every image here is keyed with.
StencilColour gStencil = {255, 0, 255};

bool HasExtension(const char* list, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

// GL 2.0 made non-power-of-two textures core; before that only the
// extension offers them.
bool NpotSupported() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    for (const char* p = version; p && *p >= '0' && *p <= '9' && major < 100; ++p)
        major = major * 10 + (*p - '0');
    if (major >= 2) return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && HasExtension(extensions, "GL_ARB_texture_non_power_of_two");
}

unsigned MaxTextureSize() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    // 64 is the least any GL context offers.
    return size >= 64 ? unsigned(size) : 64u;
}

void Upload(GLint level, unsigned width, unsigned height, const std::uint8_t* rgba) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
}

// Errors raised before this call are not ours to report; a context that
// keeps raising them is not waited on forever.
void DiscardGlErrors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace

extern "C" void pngSetStencil(unsigned char red, unsigned char green, unsigned char blue) {
    gStencil = {red, green, blue};
}

extern "C" unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info,
                                int wrapst, int minfilter, int magfilter) {
    if (info) *info = pngInfo{0, 0, 0, 0};
    // Every mode keys as PNG_STENCIL does.
    (void)trans;

    // Decoded and keyed in one pass; the mip levels then reuse its memory.
    glpng::PixelBuffer pixels(nullptr, std::free);
    unsigned width = 0, height = 0;
    glpng::PngHeader header;
    if (!glpng::DecodeKeyedPngFile(filename, gStencil.red, gStencil.green, gStencil.blue, &pixels,
                                   &width, &height, &header))
        return 0;
    std::uint8_t* rgba = pixels.get();
    glpng::Image fitted;  // only when the context needs another size
    const glpng::TextureSize size =
        glpng::ChooseTextureSize(width, height, NpotSupported(), MaxTextureSize());
    if (size.width != width || size.height != height) {
        glpng::Image image;
        image.width = width;
        image.height = height;
        image.rgba.assign(rgba, rgba + std::size_t(width) * height * 4);
        pixels.reset();
        fitted = glpng::ResizeBilinear(image, size.width, size.height);
        rgba = fitted.rgba.data();
        width = fitted.width;
        height = fitted.height;
    }

    DiscardGlErrors();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0) return 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minfilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magfilter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    Upload(0, width, height, rgba);
    // Any non-zero mipmap mode builds the whole chain down to 1 x 1; each
    // level is made in place over the one before.
    if (mipmap != PNG_NOMIPMAPS) {
        for (GLint level = 1; width > 1 || height > 1; ++level) {
            glpng::HalveBoxInto(rgba, width, height, rgba);
            width = std::max(1u, width / 2);
            height = std::max(1u, height / 2);
            Upload(level, width, height, rgba);
        }
    }

    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    if (info) *info = pngInfo{header.width, header.height, header.bitDepth, 8};
    return texture;
}
