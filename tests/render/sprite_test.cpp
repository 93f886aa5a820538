#include "render/sprite.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "render/texture_bank.h"
#include "support/gl_context.h"

namespace {

std::array<GLshort, 12> Vertices(const Sprite& sprite) {
    std::array<GLshort, 12> v{};
    for (int i = 0; i < 12; ++i) v[i] = sprite.vertices[i];
    return v;
}

std::array<GLfloat, 8> TexCoords(const Sprite& sprite) {
    std::array<GLfloat, 8> t{};
    for (int i = 0; i < 8; ++i) t[i] = sprite.texCoords[i];
    return t;
}

TEST(SpriteGeometry, SetGeometryStartsFromTheInitialValues) {
    Sprite sprite;
    sprite.SetGeometry(1, 1, 72, 24);
    EXPECT_EQ(sprite.position->x, 72);
    EXPECT_EQ(sprite.position->y, 24);
    EXPECT_EQ(sprite.scale->x, 1.0f);
    EXPECT_EQ(sprite.scale->y, 1.0f);
    EXPECT_EQ(*sprite.rotation, 0.0f);
    EXPECT_EQ(sprite.grid->columns, 1);
    EXPECT_EQ(sprite.grid->rows, 1);
    EXPECT_EQ(sprite.frame->column, 0);
    EXPECT_EQ(sprite.frame->row, 0);
    EXPECT_EQ(sprite.imageSize->width, 0);
    EXPECT_EQ(sprite.imageSize->height, 0);
    ASSERT_NE(sprite.vertices, nullptr);
    ASSERT_NE(sprite.texCoords, nullptr);
}

TEST(SpriteGeometry, OddImageLosesAPixelAndDepthIsNegated) {
    Sprite sprite;
    sprite.SetGeometry(1, 1, 0, 0);
    sprite.SetTexture(9, 81, 41, 80);
    EXPECT_EQ(sprite.texture, 9u);
    EXPECT_EQ(sprite.imageSize->width, 81);
    EXPECT_EQ(sprite.imageSize->height, 41);
    EXPECT_EQ(Vertices(sprite), (std::array<GLshort, 12>{-40, -20, -80,  //
                                                         -40, 20, -80,   //
                                                         40, 20, -80,    //
                                                         40, -20, -80}));
    EXPECT_EQ(TexCoords(sprite), (std::array<GLfloat, 8>{0, 1, 0, 0, 1, 0, 1, 1}));

    sprite.SetTexture(9, 81, 41, -5);
    EXPECT_EQ(sprite.vertices[2], 5);
}

TEST(SpriteGeometry, GridCellsSizeTheQuadAndPickTexCoords) {
    Sprite sprite;
    sprite.SetGeometry(4, 2, 10, 20);
    // Cells of 101 / 4 = 25 by 61 / 2 = 30 pixels.
    sprite.SetTexture(3, 101, 61, 0);
    EXPECT_EQ(Vertices(sprite), (std::array<GLshort, 12>{-12, -15, 0, -12, 15, 0,  //
                                                         12, 15, 0, 12, -15, 0}));
    EXPECT_EQ(sprite.textureCell->du, 0.25f);
    EXPECT_EQ(sprite.textureCell->dv, 0.5f);
    EXPECT_EQ(TexCoords(sprite), (std::array<GLfloat, 8>{0, 0.5f, 0, 0, 0.25f, 0, 0.25f, 0.5f}))
        << "SetTexture shows cell (0, 0)";

    sprite.SetFrame(3, 1);
    EXPECT_EQ(sprite.frame->column, 3);
    EXPECT_EQ(sprite.frame->row, 1);
    EXPECT_EQ(TexCoords(sprite),
              (std::array<GLfloat, 8>{0.75f, 1.0f, 0.75f, 0.5f, 1.0f, 0.5f, 1.0f, 1.0f}));
}

TEST(SpriteGeometry, ZeroGridIsTakenAsOne) {
    Sprite sprite;
    sprite.SetGeometry(0, 0, 0, 0);
    EXPECT_EQ(sprite.grid->columns, 1);
    EXPECT_EQ(sprite.grid->rows, 1);
    sprite.SetTexture(1, 81, 41, 80);
    EXPECT_EQ(sprite.vertices[6], 40);
    EXPECT_EQ(sprite.vertices[7], 20);
    EXPECT_EQ(TexCoords(sprite), (std::array<GLfloat, 8>{0, 1, 0, 0, 1, 0, 1, 1}));

    sprite.SetGeometry(3, 0, 0, 0);
    EXPECT_EQ(sprite.grid->columns, 3);
    EXPECT_EQ(sprite.grid->rows, 1);
}

TEST(SpriteGeometry, FailedImageStillBuildsAQuad) {
    Sprite sprite;
    sprite.SetGeometry(1, 1, 5, 5);
    sprite.SetTexture(0, 0, 0, 80);
    EXPECT_EQ(Vertices(sprite), (std::array<GLshort, 12>{0, 0, -80, 0, 0, -80,  //
                                                         0, 0, -80, 0, 0, -80}));
}

// Draws under the HUD's set-up: projection matrix current, y up, one
// unit per pixel, client arrays on.
class SpriteDraw : public GLTest {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 32;

    void SetUp() override {
        GLTest::SetUp();
        gTextureBank.ResetAll(0, 4, 0);
        // One file per test: CTest runs them side by side.
        path_ = ::testing::TempDir() + "zintra_sprite_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
        // Every texel differs, and none is the magenta key.
        std::vector<std::uint8_t> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels.insert(pixels.end(), {std::uint8_t(x * 4), std::uint8_t(y * 8), 100});
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = kWidth;
        image.height = kHeight;
        image.format = PNG_FORMAT_RGB;
        ASSERT_TRUE(png_image_write_to_file(&image, path_.c_str(), 0, pixels.data(), 0, nullptr));

        std::uint16_t size[2] = {0, 0};
        texture_ = gTextureBank.LoadPng(path_.c_str(), size, 1, 0);
        ASSERT_NE(texture_, 0u);
        ASSERT_EQ(size[0], kWidth);
        ASSERT_EQ(size[1], kHeight);

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 512, 0, 512, -100, 100);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        gTextureBank.ApplyDefaultState();
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    void TearDown() override {
        gTextureBank.ReleaseAll();
        std::remove(path_.c_str());
        GLTest::TearDown();
    }

    static std::uint32_t Texel(int x, int y) { return Rgba(x * 4, y * 8, 100); }

    std::string path_;
    GLuint texture_ = 0;
};

TEST_F(SpriteDraw, ImageIsUprightCentredAndOneTexelPerPixel) {
    Sprite sprite;
    sprite.SetGeometry(1, 1, 256, 256);
    sprite.SetTexture(texture_, kWidth, kHeight, 80);
    glBindTexture(GL_TEXTURE_2D, 0);
    sprite.Draw();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), texture_);

    // The quad spans x 224..288 and y 240..272; screen row 240 is its top.
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (gl().PixelTopLeft(224 + x, 240 + y) != Texel(x, y) && ++wrong <= 5)
                ADD_FAILURE() << "texel " << x << "," << y << " drawn as " << std::hex
                              << gl().PixelTopLeft(224 + x, 240 + y);
    EXPECT_EQ(wrong, 0);
    const std::uint32_t background = Rgba(0, 0, 0);
    EXPECT_EQ(gl().PixelTopLeft(223, 250), background);
    EXPECT_EQ(gl().PixelTopLeft(288, 250), background);
    EXPECT_EQ(gl().PixelTopLeft(250, 239), background);
    EXPECT_EQ(gl().PixelTopLeft(250, 272), background);
}

TEST_F(SpriteDraw, RestoresTheMatrixAndScalesBeforeRotating) {
    Sprite sprite;
    sprite.SetGeometry(1, 1, 256, 256);
    sprite.SetTexture(texture_, kWidth, kHeight, 80);
    *sprite.rotation = 90.0f;
    sprite.scale->x = 2.0f;

    GLfloat before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    sprite.Draw();
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]) << i;
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);

    // Stretched to 128 x 32, then turned upright: 32 wide, 128 tall.
    const std::uint32_t background = Rgba(0, 0, 0);
    EXPECT_NE(gl().PixelTopLeft(256, 256 - 60), background);
    EXPECT_NE(gl().PixelTopLeft(256, 256 + 60), background);
    EXPECT_EQ(gl().PixelTopLeft(256 - 20, 256), background);
    EXPECT_EQ(gl().PixelTopLeft(256 + 20, 256), background);
}

TEST_F(SpriteDraw, DeletingASpriteKeepsItsTexture) {
    auto sprite = std::make_unique<Sprite>();
    sprite->SetGeometry(1, 1, 100, 100);
    sprite->SetTexture(texture_, kWidth, kHeight, 80);
    sprite->Draw();
    sprite.reset();
    EXPECT_TRUE(glIsTexture(texture_));
    gTextureBank.ReleasePool(1);
    EXPECT_FALSE(glIsTexture(texture_));
}

}  // namespace
