// pngSetStencil / pngBind: decode, key, fit the context's size rules,
// then upload with our own mip levels.
#include "glpng/glpng.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "glpng/decode/band_decode.h"
#include "glpng/decode/png_decode.h"
#include "glpng/mip_levels.h"
#include "glpng/texture_size.h"
#include "glpng/texture_upload.h"
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

// Level uploads into new storage, or into storage that already has every
// level at the right size (glTexSubImage2D then touches no fresh memory).
class Levels {
public:
    explicit Levels(bool reuse) : reuse_(reuse) {}

    void Upload(GLint level, unsigned width, unsigned height, const std::uint8_t* rgba) const {
        if (reuse_) {
            if (rgba)
                glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, GLsizei(width), GLsizei(height),
                                GL_RGBA, GL_UNSIGNED_BYTE, rgba);
            return;
        }
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba);
    }

    // Uploads `rgba` as `level` and, with mipmaps, every level below it
    // down to 1 x 1, each made in place over the one before.
    void UploadChain(GLint level, std::uint8_t* rgba, unsigned width, unsigned height,
                     bool mipmaps) const {
        Upload(level, width, height, rgba);
        if (!mipmaps) return;
        while (width > 1 || height > 1) {
            glpng::HalveBoxInto(rgba, width, height, rgba);
            width = std::max(1u, width / 2);
            height = std::max(1u, height / 2);
            Upload(++level, width, height, rgba);
        }
    }

private:
    bool reuse_;
};

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
bool LoadInBands(glpng::ImageReader& reader, const std::uint8_t* key, bool mipmaps,
                 const Levels& levels) {
    const unsigned width = reader.header().width, height = reader.header().height;
    levels.Upload(0, width, height, nullptr);
    TextureRows sink(width);
    glpng::BandResult result;
    if (!glpng::DecodeKeyedInBands(reader, key, mipmaps, sink, &result)) return false;
    if (result.whole)
        levels.UploadChain(0, result.whole.get(), width, height, mipmaps);
    else if (mipmaps)
        levels.UploadChain(1, result.level1.get(), std::max(1u, width / 2), std::max(1u, height / 2),
                    true);
    return true;
}

// Everything else, decoded whole: fitted to the context's size rules.
// False when there is no memory for the fitted size.
bool UploadWhole(glpng::PixelBuffer pixels, unsigned width, unsigned height,
                 glpng::TextureSize size, bool mipmaps, const Levels& levels) {
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
    levels.UploadChain(0, pixels.get(), width, height, mipmaps);
    return true;
}

// Errors raised before this call are not ours to report; a context that
// keeps raising them is not waited on forever.
void DiscardGlErrors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Level 0 at that size and, with mipmaps, the 1 x 1 level at the end of
// the chain.
bool LevelsFit(GLuint name, glpng::TextureSize size, bool mipmaps) {
    if (name == 0) return false;
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    if (unsigned(width) != size.width || unsigned(height) != size.height || format != GL_RGBA8)
        return false;
    const GLint last = GLint(glpng::MipLevels(size, true).size()) - 1;
    GLint lastWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, last, GL_TEXTURE_WIDTH, &lastWidth);
    // Without mipmaps the extra levels do no harm: the filter never reads them.
    return !mipmaps || last == 0 || lastWidth == 1;
}

// Binds the texture the image goes to: `recycle` when its storage fits,
// else a new name. Sets the parameters. 0 when GL gives no name.
GLuint Target(GLuint recycle, glpng::TextureSize size, const glpng::TextureParams& params,
              bool* reuse) {
    DiscardGlErrors();
    *reuse = LevelsFit(recycle, size, params.mipmaps);
    GLuint texture = *reuse ? recycle : 0;
    if (!texture) glGenTextures(1, &texture);
    if (texture == 0) return 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, params.wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, params.wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, params.minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, params.magFilter);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return texture;
}

// After the uploads: the name, or 0 with a new texture deleted again.
GLuint Finish(GLuint texture, GLuint recycle, bool loaded, const glpng::PngHeader& header,
              pngInfo* info) {
    if (!loaded || glGetError() != GL_NO_ERROR) {
        if (texture != recycle) glDeleteTextures(1, &texture);
        return 0;
    }
    if (info) *info = pngInfo{header.width, header.height, header.bitDepth, 8};
    return texture;
}

}  // namespace

namespace glpng {

bool StorageFits(GLuint name, TextureSize size, bool mipmaps) {
    return LevelsFit(name, size, mipmaps);
}

void CurrentKey(std::uint8_t key[3]) {
    key[0] = gStencil.red;
    key[1] = gStencil.green;
    key[2] = gStencil.blue;
}

TextureRules CurrentRules(bool mipmaps) {
    TextureRules rules;
    rules.npotSupported = NpotSupported();
    rules.maxTextureSize = MaxTextureSize();
    rules.mipmaps = mipmaps;
    return rules;
}

GLuint BindFile(const char* path, const TextureParams& params, GLuint recycle, pngInfo* info) {
    if (info) *info = pngInfo{0, 0, 0, 0};
    ImageReader reader;
    if (!reader.Open(path)) return 0;
    const PngHeader header = reader.header();
    const TextureRules rules = CurrentRules(params.mipmaps);
    const TextureSize size =
        ChooseTextureSize(header.width, header.height, rules.npotSupported, rules.maxTextureSize);
    const bool inBands = size.width == header.width && size.height == header.height &&
                         reader.Streams() && SuitsBands(header);
    // A whole image is decoded before any GL work, so a bad file leaves
    // the GL state as it was.
    PixelBuffer pixels(nullptr, std::free);
    const std::uint8_t key[3] = {gStencil.red, gStencil.green, gStencil.blue};
    if (!inBands && !reader.ReadKeyedImage(key, &pixels)) return 0;

    bool reuse = false;
    const GLuint texture = Target(recycle, size, params, &reuse);
    if (texture == 0) return 0;
    const Levels levels(reuse);
    const bool loaded =
        inBands ? LoadInBands(reader, key, params.mipmaps, levels)
                : UploadWhole(std::move(pixels), header.width, header.height, size,
                              params.mipmaps, levels);
    return Finish(texture, recycle, loaded, header, info);
}

GLuint BindPrepared(const PreparedTexture& prepared, const TextureParams& params,
                    GLuint recycle, pngInfo* info) {
    if (info) *info = pngInfo{0, 0, 0, 0};
    const bool sameKey = prepared.key[0] == gStencil.red && prepared.key[1] == gStencil.green &&
                         prepared.key[2] == gStencil.blue;
    // Prepared before the context was known: usable when it fits the same.
    const TextureRules rules = CurrentRules(params.mipmaps);
    const TextureSize size = ChooseTextureSize(prepared.header.width, prepared.header.height,
                                               rules.npotSupported, rules.maxTextureSize);
    if (!prepared.pixels || prepared.levels.empty() || !sameKey ||
        prepared.rules.mipmaps != params.mipmaps || size.width != prepared.levels[0].width ||
        size.height != prepared.levels[0].height)
        return 0;
    bool reuse = false;
    const GLuint texture = Target(recycle, prepared.levels[0], params, &reuse);
    if (texture == 0) return 0;
    const Levels levels(reuse);
    for (std::size_t i = 0; i < prepared.levels.size(); ++i)
        levels.Upload(GLint(i), prepared.levels[i].width, prepared.levels[i].height,
                      prepared.pixels.get() + prepared.offsets[i]);
    return Finish(texture, recycle, true, prepared.header, info);
}

GLuint MakeStorage(TextureSize size, bool mipmaps) {
    TextureParams params;
    params.mipmaps = mipmaps;
    bool reuse = false;
    const GLuint texture = Target(0, size, params, &reuse);
    if (texture == 0) return 0;
    const Levels levels(false);
    const std::vector<TextureSize> sizes = MipLevels(size, mipmaps);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        levels.Upload(GLint(i), sizes[i].width, sizes[i].height, nullptr);
    return Finish(texture, 0, true, PngHeader(), nullptr);
}

}  // namespace glpng

extern "C" void pngSetStencil(unsigned char red, unsigned char green, unsigned char blue) {
    gStencil = {red, green, blue};
}

extern "C" unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info,
                                int wrapst, int minfilter, int magfilter) {
    // Every mode keys as PNG_STENCIL does.
    (void)trans;
    glpng::TextureParams params;
    params.wrap = wrapst;
    params.minFilter = minfilter;
    params.magFilter = magfilter;
    // Any non-zero mipmap mode builds the whole chain down to 1 x 1.
    params.mipmaps = mipmap != PNG_NOMIPMAPS;
    return glpng::BindFile(filename, params, 0, info);
}
