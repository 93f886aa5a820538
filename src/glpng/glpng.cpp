// pngSetStencil / pngBind: decode, key, fit the context's size rules,
// then upload with our own mip levels.
#include "glpng/glpng.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "glpng/band_decode.h"
#include "glpng/png_decode.h"
#include "platform/gl.h"

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

// Uploads `rgba` as `level` and, with mipmaps, every level below it down
// to 1 x 1, each made in place over the one before.
void UploadChain(GLint level, std::uint8_t* rgba, unsigned width, unsigned height,
                 bool mipmaps) {
    Upload(level, width, height, rgba);
    if (!mipmaps) return;
    while (width > 1 || height > 1) {
        glpng::HalveBoxInto(rgba, width, height, rgba);
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        Upload(++level, width, height, rgba);
    }
}

// Level 0 of the bound texture, a band of rows at a time.
class TextureRows : public glpng::BandSink {
public:
    explicit TextureRows(unsigned width) : width_(width) {}
    void Rows(unsigned first, unsigned count, const std::uint8_t* rgba) override {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(first), GLsizei(width_), GLsizei(count),
                        GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    }
    bool ReadBack(std::uint8_t* rgba) override {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return glGetError() == GL_NO_ERROR;
    }

private:
    unsigned width_;
};

// Large images: the driver's storage is made first and filled band by
// band, so the whole image is never held twice.
bool LoadInBands(glpng::PngRowReader& reader, const std::uint8_t* key, bool mipmaps) {
    const unsigned width = reader.header().width, height = reader.header().height;
    Upload(0, width, height, nullptr);
    TextureRows sink(width);
    glpng::BandResult result;
    if (!glpng::DecodeKeyedInBands(reader, key, mipmaps, sink, &result)) return false;
    if (result.whole)
        UploadChain(0, result.whole.get(), width, height, mipmaps);
    else if (mipmaps)
        UploadChain(1, result.level1.get(), std::max(1u, width / 2), std::max(1u, height / 2),
                    true);
    return true;
}

// Everything else, decoded whole: fitted to the context's size rules.
// False when there is no memory for the fitted size.
bool UploadWhole(glpng::PixelBuffer pixels, unsigned width, unsigned height,
                 glpng::TextureSize size, bool mipmaps) {
    if (size.width != width || size.height != height) {
        glpng::PixelBuffer fitted =
            glpng::AllocatePixels(std::size_t(size.width) * size.height * 4);
        if (!fitted) return false;
        glpng::ResizeBilinearInto(pixels.get(), width, height, fitted.get(), size.width,
                                  size.height);
        pixels = std::move(fitted);
        width = size.width;
        height = size.height;
    }
    UploadChain(0, pixels.get(), width, height, mipmaps);
    return true;
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

    glpng::PngRowReader reader;
    if (!reader.Open(filename)) return 0;
    const glpng::PngHeader header = reader.header();
    const glpng::TextureSize size =
        glpng::ChooseTextureSize(header.width, header.height, NpotSupported(), MaxTextureSize());
    const bool inBands = size.width == header.width && size.height == header.height &&
                         glpng::SuitsBands(header);
    // A whole image is decoded before any GL work, so a bad file leaves
    // the GL state as it was.
    glpng::PixelBuffer pixels(nullptr, std::free);
    const std::uint8_t key[3] = {gStencil.red, gStencil.green, gStencil.blue};
    if (!inBands && !reader.ReadKeyedImage(key, &pixels)) return 0;

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

    // Any non-zero mipmap mode builds the whole chain down to 1 x 1.
    const bool mipmaps = mipmap != PNG_NOMIPMAPS;
    bool loaded = true;
    if (inBands)
        loaded = LoadInBands(reader, key, mipmaps);
    else
        loaded = UploadWhole(std::move(pixels), header.width, header.height, size, mipmaps);
    if (!loaded || glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    if (info) *info = pngInfo{header.width, header.height, header.bitDepth, 8};
    return texture;
}
