// Every format through the GL loader on a software context: the texture's
// level 0 holds the expected texels, whether the file is loaded whole or
// in bands, and the prefetch's prepared upload gives the same levels.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "glpng/glpng.h"
#include "glpng/prepared_texture.h"
#include "glpng/texture_upload.h"
#include "support/format_reference.h"
#include "support/gl_context.h"
#include "support/png_writer.h"
#include "support/temp_dir.h"

namespace {

using testimg::Bytes;
using testimg::Rgba;

Bytes Level(GLuint name, int level) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    Bytes rgba(std::size_t(w > 0 ? w : 0) * (h > 0 ? h : 0) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!rgba.empty()) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

class FormatsRenderTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        pngSetStencil(255, 0, 255);
    }
    TempDir dir_{"zintra-formats"};
};

TEST_F(FormatsRenderTest, EveryFormatUploadsItsTexelsWholeOrInBands) {
    struct Case {
        const char* name;
        unsigned side;  // 1031 and up load in bands when the reader streams
        std::function<Bytes(const Rgba&)> encode;
        bool lossy;
    };
    const Case cases[] = {
        {"small.tga", 61, [](const Rgba& p) { return testimg::Targa(p, {32, true, false, false}); }, false},
        {"large.tga", 1031, [](const Rgba& p) { return testimg::Targa(p, {24, false, true, false}); }, false},
        {"small.psd", 61, [](const Rgba& p) { return testimg::Psd(p, {16, false, true, 1}); }, false},
        {"lossless.webp", 301, [](const Rgba& p) { return testimg::Webp(p, true); }, false},
        {"merged.kra", 1031, [](const Rgba& p) { return testimg::Zip({{"mergedimage.png", testimg::PngOf(p), true}}); }, false},
        {"small.jpg", 61, [](const Rgba& p) { return testimg::Jpeg(p, 90, true, false, true); }, true},
        {"large.jpg", 1031, [](const Rgba& p) { return testimg::Jpeg(p, 90, false, false, true); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rgba picture = testimg::Pattern(c.side, c.side);
        const Bytes file = c.encode(picture);
        const std::string path = dir_.str() + "/" + c.name;
        ASSERT_TRUE(testpng::WriteBytes(path, file));
        const Bytes expected = testimg::Keyed(c.lossy ? testimg::LibjpegDecode(file) : picture);

        pngInfo info{};
        const GLuint loaded = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, &info, GL_REPEAT,
                                      GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
        ASSERT_NE(loaded, 0u);
        EXPECT_EQ(info.Width, c.side);
        EXPECT_TRUE(Level(loaded, 0) == expected);

        glpng::PreparedTexture prepared;
        const std::uint8_t key[3] = {255, 0, 255};
        ASSERT_TRUE(glpng::PrepareTexture(path.c_str(), key, glpng::CurrentRules(true), nullptr,
                                          nullptr, &prepared));
        const GLuint uploaded = glpng::BindPrepared(prepared, glpng::TextureParams(), 0, nullptr);
        ASSERT_NE(uploaded, 0u);
        for (int level = 0; level < int(prepared.levels.size()); ++level)
            ASSERT_TRUE(Level(loaded, level) == Level(uploaded, level)) << "level " << level;
        const GLuint names[2] = {loaded, uploaded};
        glDeleteTextures(2, names);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

}  // namespace
