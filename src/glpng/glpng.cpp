// pngSetStencil / pngBind: decode, key, fit the context's size rules,
// then upload with our own mip levels.
#include "glpng/glpng.h"

#include <cstring>

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

void Upload(GLint level, const glpng::Image& image) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, GLsizei(image.width), GLsizei(image.height), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
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

    glpng::Image image;
    glpng::PngHeader header;
    if (!glpng::DecodePngFile(filename, &image, &header)) return 0;
    glpng::ApplyColorKey(image, gStencil.red, gStencil.green, gStencil.blue);
    glpng::FitTextureSize(image, NpotSupported(), MaxTextureSize());

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

    Upload(0, image);
    // Any non-zero mipmap mode builds the whole chain down to 1 x 1; each
    // level is made from the one before and then dropped.
    if (mipmap != PNG_NOMIPMAPS) {
        for (GLint level = 1; image.width > 1 || image.height > 1; ++level) {
            image = glpng::HalveBox(image);
            Upload(level, image);
        }
    }

    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    if (info) *info = pngInfo{header.width, header.height, header.bitDepth, 8};
    return texture;
}
