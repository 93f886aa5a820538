#include "render/texture_bank.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/gl_context.h"

namespace {

// Writes 8-bit RGB or RGBA pixels, rows top to bottom.
std::string WritePng(const std::string& name, int width, int height,
                     const std::vector<std::uint8_t>& pixels, bool alpha) {
    // Named per test too: CTest runs them side by side.
    const std::string path = ::testing::TempDir() + "zintra_bank_" + name + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr))
        << path;
    return path;
}

std::string SolidPng(const std::string& name, int width, int height) {
    return WritePng(name, width, height,
                    std::vector<std::uint8_t>(std::size_t(width) * height * 3, 200), false);
}

std::vector<GLfloat> CurrentColour() {
    std::vector<GLfloat> c(4);
    glGetFloatv(GL_CURRENT_COLOR, c.data());
    return c;
}

GLint TexParameter(GLenum which) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
    return value;
}

GLint LevelWidth(GLint level) {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}

// Uses the global bank, as the program does. Its pools are emptied while a
// context is current, so no name outlives the context it was made in.
class TextureBankTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        gTextureBank.ResetAll(0, 0, 0);
        gTextureBank.SetAlpha(1.0f);
    }
    void TearDown() override {
        gTextureBank.ReleaseAll();
        gTextureBank.SetAlpha(1.0f);
        GLTest::TearDown();
    }
};

using TextureBankState = TextureBankTest;
using TextureBankLoad = TextureBankTest;
using TextureBankPools = TextureBankTest;

TEST_F(TextureBankState, ConstructionSetsCapacitiesAndOpaqueWhite) {
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    TextureBank bank(0, 4, 1);
    EXPECT_EQ(bank.PoolCapacity(0), 0);
    EXPECT_EQ(bank.PoolNames(0), nullptr);
    EXPECT_EQ(bank.PoolCapacity(1), 4);
    EXPECT_EQ(bank.PoolCapacity(2), 1);
    for (int pool = 0; pool < TextureBank::kPools; ++pool) EXPECT_EQ(bank.PoolCount(pool), 0);
    EXPECT_EQ(bank.Red(), 1.0f);
    EXPECT_EQ(bank.Green(), 1.0f);
    EXPECT_EQ(bank.Blue(), 1.0f);
    EXPECT_EQ(bank.Alpha(), 1.0f);
    EXPECT_EQ(CurrentColour(), (std::vector<GLfloat>{1.0f, 1.0f, 1.0f, 1.0f}));
}

TEST_F(TextureBankState, ApplyDefaultStateSetsColourBlendingAndAlphaTest) {
    gTextureBank.SetAlpha(0.25f);
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    glAlphaFunc(GL_ALWAYS, 0.5f);
    gTextureBank.ApplyDefaultState();

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &value);
    EXPECT_EQ(value, GL_GREATER);
    GLfloat ref = -1.0f;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_EQ(ref, 0.0f);
    EXPECT_EQ(CurrentColour(), (std::vector<GLfloat>{1.0f, 1.0f, 1.0f, 0.25f}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureBankState, SetAlphaKeepsRgbAndPassesAllFour) {
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    gTextureBank.SetAlpha(0.5f);
    EXPECT_EQ(gTextureBank.Alpha(), 0.5f);
    EXPECT_EQ(gTextureBank.Red(), 1.0f);
    EXPECT_EQ(gTextureBank.Green(), 1.0f);
    EXPECT_EQ(gTextureBank.Blue(), 1.0f);
    EXPECT_EQ(CurrentColour(), (std::vector<GLfloat>{1.0f, 1.0f, 1.0f, 0.5f}));
}

TEST_F(TextureBankLoad, SharpAndSmoothUseTheirParameterSets) {
    const std::string path = SolidPng("odd", 81, 41);
    gTextureBank.ResetPool(1, 4);
    gTextureBank.ResetPool(2, 1);

    std::uint16_t size[2] = {7, 7};
    const GLuint sharp = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    ASSERT_NE(sharp, 0u);
    EXPECT_TRUE(glIsTexture(sharp));
    EXPECT_EQ(size[0], 81) << "the file's size, not the scaled texture's";
    EXPECT_EQ(size[1], 41);
    gTextureBank.Bind(sharp);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), sharp);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_GT(LevelWidth(0), 0);
    EXPECT_EQ(LevelWidth(1), 0) << "no mipmaps when not smooth";

    const GLuint smooth = gTextureBank.LoadPng(path.c_str(), size, 2, 1);
    ASSERT_NE(smooth, 0u);
    EXPECT_NE(smooth, sharp);
    gTextureBank.Bind(smooth);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_GT(LevelWidth(1), 0) << "mipmaps when smooth";

    ASSERT_EQ(gTextureBank.PoolCount(1), 1);
    EXPECT_EQ(gTextureBank.PoolNames(1)[0], sharp);
    ASSERT_EQ(gTextureBank.PoolCount(2), 1);
    EXPECT_EQ(gTextureBank.PoolNames(2)[0], smooth);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    std::remove(path.c_str());
}

TEST_F(TextureBankLoad, MissingFileReturnsZeroSizeAndRecordsZero) {
    gTextureBank.ResetPool(2, 1);
    std::uint16_t size[2] = {7, 7};
    const GLuint name =
        gTextureBank.LoadPng((::testing::TempDir() + "zintra_no_such.png").c_str(), size, 2, 1);
    EXPECT_EQ(name, 0u);
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(size[1], 0);
    ASSERT_EQ(gTextureBank.PoolCount(2), 1);
    EXPECT_EQ(gTextureBank.PoolNames(2)[0], 0u);
    gTextureBank.ReleasePool(2);
    EXPECT_EQ(gTextureBank.PoolCount(2), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureBankLoad, PoolOutsideRangeCreatesTextureButRecordsNothing) {
    const std::string path = SolidPng("loose", 16, 8);
    gTextureBank.ResetAll(0, 4, 1);
    for (int pool : {5, -1, 3}) {
        std::uint16_t size[2] = {0, 0};
        const GLuint name = gTextureBank.LoadPng(path.c_str(), size, pool, 0);
        ASSERT_NE(name, 0u) << "pool " << pool;
        EXPECT_TRUE(glIsTexture(name));
        EXPECT_EQ(size[0], 16);
        EXPECT_EQ(size[1], 8);
        for (int p = 0; p < TextureBank::kPools; ++p) EXPECT_EQ(gTextureBank.PoolCount(p), 0);
        gTextureBank.ReleaseAll();
        EXPECT_TRUE(glIsTexture(name)) << "not owned by any pool";
        glDeleteTextures(1, &name);
    }
    std::remove(path.c_str());
}

TEST_F(TextureBankLoad, KeyedPixelsVanishAndFileAlphaIsIgnored) {
    // Top row: magenta with full alpha, red at alpha 128. Bottom row: green
    // at alpha 0, magenta at alpha 0.
    const std::string rgba = WritePng("rgba", 2, 2,
                                      {255, 0, 255, 255, 255, 0, 0, 128,  //
                                       0, 255, 0, 0, 255, 0, 255, 0},
                                      true);
    // Without an alpha channel: magenta and red, twice.
    const std::string rgb =
        WritePng("rgb", 2, 2, {255, 0, 255, 255, 0, 0, 255, 0, 255, 255, 0, 0}, false);
    gTextureBank.ResetPool(1, 4);
    std::uint16_t size[2];
    const GLuint withAlpha = gTextureBank.LoadPng(rgba.c_str(), size, 1, 0);
    const GLuint noAlpha = gTextureBank.LoadPng(rgb.c_str(), size, 1, 0);
    ASSERT_NE(withAlpha, 0u);
    ASSERT_NE(noAlpha, 0u);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 512, 0, 512, -1, 1);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    gTextureBank.ApplyDefaultState();
    // Each texel covers a 10 x 10 block; texture row 0 at the top.
    auto drawAt = [](GLuint name, float x, float y, float w, float h) {
        gTextureBank.Bind(name);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1); glVertex2f(x, y);
        glTexCoord2f(0, 0); glVertex2f(x, y + h);
        glTexCoord2f(1, 0); glVertex2f(x + w, y + h);
        glTexCoord2f(1, 1); glVertex2f(x + w, y);
        glEnd();
    };
    drawAt(withAlpha, 0, 492, 20, 20);  // screen rows 0..19
    drawAt(noAlpha, 100, 492, 20, 20);

    const std::uint32_t background = Rgba(0, 0, 255);
    EXPECT_EQ(gl().PixelTopLeft(5, 5), background) << "magenta is keyed out";
    EXPECT_EQ(gl().PixelTopLeft(15, 5), Rgba(255, 0, 0)) << "half alpha shown opaque";
    EXPECT_EQ(gl().PixelTopLeft(5, 15), Rgba(0, 255, 0)) << "zero alpha shown opaque";
    EXPECT_EQ(gl().PixelTopLeft(15, 15), background);
    EXPECT_EQ(gl().PixelTopLeft(105, 5), background) << "magenta keyed without alpha channel";
    EXPECT_EQ(gl().PixelTopLeft(115, 5), Rgba(255, 0, 0));
    std::remove(rgba.c_str());
    std::remove(rgb.c_str());
}

TEST_F(TextureBankPools, ReleasePoolDeletesTexturesAndKeepsArray) {
    const std::string path = SolidPng("pool", 8, 8);
    gTextureBank.ResetPool(1, 4);
    std::uint16_t size[2];
    const GLuint a = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    const GLuint b = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    const GLuint* array = gTextureBank.PoolNames(1);
    ASSERT_TRUE(glIsTexture(a));
    ASSERT_TRUE(glIsTexture(b));

    gTextureBank.ReleasePool(1);
    EXPECT_FALSE(glIsTexture(a));
    EXPECT_FALSE(glIsTexture(b));
    EXPECT_EQ(gTextureBank.PoolCount(1), 0);
    EXPECT_EQ(gTextureBank.PoolCapacity(1), 4);
    EXPECT_EQ(gTextureBank.PoolNames(1), array);

    // Names go in at index 0 again.
    const GLuint c = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    EXPECT_EQ(gTextureBank.PoolCount(1), 1);
    EXPECT_EQ(gTextureBank.PoolNames(1)[0], c);
    std::remove(path.c_str());
}

TEST_F(TextureBankPools, EmptyPoolOrBadIndexMakesNoGLCall) {
    gTextureBank.ResetPool(1, 4);
    // Between glBegin and glEnd any texture call is an error, so a clean
    // error state afterwards shows that no call was made.
    glBegin(GL_POINTS);
    gTextureBank.ReleasePool(1);
    gTextureBank.ReleaseAll();
    gTextureBank.ReleasePool(3);
    gTextureBank.ReleasePool(-1);
    gTextureBank.ResetPool(7, 4);
    gTextureBank.ResetPool(-2, 0);
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(gTextureBank.PoolCount(3), 0);
    EXPECT_EQ(gTextureBank.PoolCapacity(-1), 0);
    EXPECT_EQ(gTextureBank.PoolNames(9), nullptr);

    // The detector itself works.
    glBegin(GL_POINTS);
    GLuint none = 0;
    glDeleteTextures(1, &none);
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
}

TEST_F(TextureBankPools, ResetPoolZeroKeepsArrayOtherCapacityReplacesIt) {
    const std::string path = SolidPng("reset", 8, 8);
    std::uint16_t size[2];
    gTextureBank.ResetPool(2, 1);
    const GLuint first = gTextureBank.LoadPng(path.c_str(), size, 2, 1);
    const GLuint* array = gTextureBank.PoolNames(2);

    gTextureBank.ResetPool(2, 0);
    EXPECT_FALSE(glIsTexture(first));
    EXPECT_EQ(gTextureBank.PoolCount(2), 0);
    EXPECT_EQ(gTextureBank.PoolCapacity(2), 1);
    EXPECT_EQ(gTextureBank.PoolNames(2), array);

    const GLuint second = gTextureBank.LoadPng(path.c_str(), size, 2, 1);
    gTextureBank.ResetPool(2, 3);
    EXPECT_FALSE(glIsTexture(second));
    EXPECT_EQ(gTextureBank.PoolCount(2), 0);
    EXPECT_EQ(gTextureBank.PoolCapacity(2), 3);

    // ResetAll covers all three pools.
    gTextureBank.LoadPng(path.c_str(), size, 0, 0);
    const GLuint inOne = gTextureBank.LoadPng(path.c_str(), size, 1, 0);
    const GLuint inTwo = gTextureBank.LoadPng(path.c_str(), size, 2, 0);
    const GLuint inZero = gTextureBank.PoolNames(0)[0];
    gTextureBank.ResetAll(0, 4, 1);
    for (GLuint name : {inZero, inOne, inTwo}) EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(gTextureBank.PoolCapacity(1), 4);
    EXPECT_EQ(gTextureBank.PoolCapacity(2), 1);
    std::remove(path.c_str());
}

TEST_F(TextureBankPools, LoadingPastCapacityGrowsThePool) {
    const std::string path = SolidPng("grow", 4, 4);
    std::uint16_t size[2];
    // Pool 0 has no array at all; pool 2 has room for one.
    gTextureBank.ResetPool(2, 1);
    std::vector<GLuint> loaded;
    for (int i = 0; i < 3; ++i) loaded.push_back(gTextureBank.LoadPng(path.c_str(), size, 2, 0));
    const GLuint inZero = gTextureBank.LoadPng(path.c_str(), size, 0, 0);

    ASSERT_EQ(gTextureBank.PoolCount(2), 3);
    EXPECT_GE(gTextureBank.PoolCapacity(2), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gTextureBank.PoolNames(2)[i], loaded[i]);
    ASSERT_EQ(gTextureBank.PoolCount(0), 1);
    EXPECT_GE(gTextureBank.PoolCapacity(0), 1);
    EXPECT_EQ(gTextureBank.PoolNames(0)[0], inZero);

    gTextureBank.ReleaseAll();
    for (GLuint name : loaded) EXPECT_FALSE(glIsTexture(name)) << "nothing leaks";
    EXPECT_FALSE(glIsTexture(inZero));
    std::remove(path.c_str());
}

TEST_F(TextureBankPools, DestructionReleasesEveryPool) {
    const std::string path = SolidPng("dtor", 4, 4);
    std::uint16_t size[2];
    GLuint names[3];
    {
        TextureBank bank(1, 1, 1);
        for (int pool = 0; pool < 3; ++pool)
            names[pool] = bank.LoadPng(path.c_str(), size, pool, 0);
        for (GLuint name : names) ASSERT_TRUE(glIsTexture(name));
    }
    for (GLuint name : names) EXPECT_FALSE(glIsTexture(name));
    std::remove(path.c_str());
}

}  // namespace
