// Neighbours prepared on a worker thread: what they upload is exactly what
// the loader makes from the file, a changed file is never shown stale,
// steps reuse the storage let go, and many steps leave nothing behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "glpng/glpng.h"
#include "glpng/prepared_texture.h"
#include "glpng/texture_upload.h"
#include "support/gl_context.h"
#include "support/temp_dir.h"
#include "support/viewer_fixture.h"

namespace {

std::vector<std::uint8_t> Level(GLuint name, int level) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<std::uint8_t> rgba(std::size_t(w > 0 ? w : 0) * (h > 0 ? h : 0) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!rgba.empty()) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// Keyed holes of every width, so the band loader's margins and its whole
// fallback are both crossed.
testpng::Sample Holes(unsigned x, unsigned y) {
    if ((x / 7 + y / 5) % 9 == 0 || (y > 300 && y < 420 && x > 100 && x < 260))
        return testpng::Sample::Rgb(255, 0, 255);
    return testpng::Sample::Rgb(x * 3 % 256, y * 5 % 256, (x ^ y) % 256);
}

class PreparedUploadTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        pngSetStencil(255, 0, 255);
    }
    std::string Write(const std::string& name, unsigned width, unsigned height) {
        testpng::Picture pic;
        pic.width = width;
        pic.height = height;
        pic.color = testpng::Color::Rgb;
        pic.pixel = Holes;
        const std::string path = dir_.str() + "/" + name;
        EXPECT_TRUE(testpng::WritePng(path, pic));
        return path;
    }
    TempDir dir_{"zintra-prepared"};
};

TEST_F(PreparedUploadTest, EveryLevelMatchesTheLoaderAndStorageIsReused) {
    // Small and whole; odd-sized; tall enough to load in bands.
    for (auto size : {std::pair<unsigned, unsigned>{61, 37}, {301, 203}, {1100, 1500}}) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
        const std::string path = Write("p.png", size.first, size.second);
        const GLuint loaded = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, nullptr,
                                      GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
        ASSERT_NE(loaded, 0u);

        glpng::PreparedTexture prepared;
        const std::uint8_t key[3] = {255, 0, 255};
        ASSERT_TRUE(glpng::PrepareTexture(path.c_str(), key, glpng::CurrentRules(true), nullptr,
                                          nullptr, &prepared));
        pngInfo info{};
        const GLuint uploaded = glpng::BindPrepared(prepared, glpng::TextureParams(), 0, &info);
        ASSERT_NE(uploaded, 0u);
        EXPECT_EQ(info.Width, size.first);
        EXPECT_EQ(info.Height, size.second);

        // Into the first one's storage, from the file: same name, same levels.
        GLuint recycled = glpng::BindFile(path.c_str(), glpng::TextureParams(), uploaded, nullptr);
        EXPECT_EQ(recycled, uploaded);
        for (int level = 0; level < int(prepared.levels.size()); ++level)
            ASSERT_EQ(Level(loaded, level), Level(recycled, level)) << "level " << level;

        // Storage of another size is not taken.
        const std::string other = Write("q.png", size.first + 1, size.second);
        const GLuint fresh = glpng::BindFile(other.c_str(), glpng::TextureParams(), loaded, nullptr);
        EXPECT_NE(fresh, 0u);
        EXPECT_NE(fresh, loaded);
        const GLuint names[3] = {loaded, uploaded, fresh};
        glDeleteTextures(3, names);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(PreparedUploadTest, ABadFileLeavesTheRecycledNameToItsOwner) {
    const std::string path = Write("p.png", 64, 64);
    const GLuint name = pngBind(path.c_str(), PNG_BUILDMIPMAPS, PNG_STENCIL, nullptr, GL_REPEAT,
                                GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    ASSERT_NE(name, 0u);
    const std::string missing = dir_.str() + "/none.png";
    EXPECT_EQ(glpng::BindFile(missing.c_str(), glpng::TextureParams(), name, nullptr), 0u);
    EXPECT_TRUE(glIsTexture(name)) << "the name was deleted under its owner";
    glDeleteTextures(1, &name);
}

testpng::Sample Colour(unsigned index) {
    static const std::uint16_t kColours[][3] = {
        {200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 0}, {0, 200, 200}};
    const auto& c = kColours[index % 5];
    return testpng::Sample::Rgb(c[0], c[1], c[2]);
}

class PrefetchViewerTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        for (unsigned i = 0; i < 5; ++i) Write(i, 96);
        EnterViewer(511, 493);
        viewer().showHud = false;
    }
    void Write(unsigned index, unsigned side, unsigned colour = ~0u) {
        const unsigned c = colour == ~0u ? index : colour;
        WriteTexture(Name(index), side, side, [c](unsigned, unsigned) { return Colour(c); });
    }
    static std::string Name(unsigned index) { return "t" + std::to_string(index) + ".png"; }
    std::uint32_t Centre() {
        viewer().Update();
        viewer().Draw();
        return gl().PixelTopLeft(255, 246) >> 8;
    }
    static std::uint32_t Rgb(testpng::Sample s) {
        return std::uint32_t(s.c[0]) << 16 | std::uint32_t(s.c[1]) << 8 | s.c[2];
    }
};

TEST_F(PrefetchViewerTest, AStepShowsThePreparedNeighbourInTheStorageLetGo) {
    ASSERT_EQ(Centre(), Rgb(Colour(0)));
    viewer().prefetch->WaitIdle();
    EXPECT_EQ(viewer().prefetch->ReadyCount(), 2u) << "both neighbours prepared";
    const GLuint before = viewer().texture;
    viewer().StepTexture(true, true);
    EXPECT_EQ(Centre(), Rgb(Colour(1)));
    EXPECT_EQ(viewer().texture, before) << "fresh storage for a picture of the same size";
    viewer().StepTexture(false, true);
    viewer().StepTexture(false, true);
    EXPECT_EQ(Centre(), Rgb(Colour(4)));
    EXPECT_EQ(viewer().CurrentTexturePath(), TexturePath(Name(4)));
}

TEST_F(PrefetchViewerTest, ANeighbourChangedAfterItWasPreparedShowsAsItIsNow) {
    viewer().prefetch->WaitIdle();
    ASSERT_EQ(viewer().prefetch->ReadyCount(), 2u);
    Write(1, 80, 3);  // saved again, smaller and in another colour
    viewer().StepTexture(true, true);
    EXPECT_EQ(viewer().textureWidth, 80);
    EXPECT_EQ(Centre(), Rgb(Colour(3)));

    // The same size and length: only the time tells.
    viewer().prefetch->WaitIdle();
    Write(2, 96, 4);
    viewer().StepTexture(true, true);
    EXPECT_EQ(Centre(), Rgb(Colour(4)));
}

TEST_F(PrefetchViewerTest, ManyStepsEitherWayShowTheRightFileEveryTime) {
    // Some steps find their neighbour ready, some half done, some not begun.
    unsigned index = 0;
    for (int i = 0; i < 60; ++i) {
        const bool forward = (i * 7) % 5 != 0;
        if (i % 3 == 0) viewer().prefetch->WaitIdle();
        viewer().StepTexture(forward, true);
        index = (index + (forward ? 1 : 4)) % 5;
        ASSERT_EQ(Centre(), Rgb(Colour(index))) << "step " << i;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(PrefetchViewerTest, AFolderOfOneOrNoneWantsNothing) {
    for (unsigned i = 1; i < 5; ++i) RemoveTexture(Name(i));
    viewer().Rescan(false);
    viewer().prefetch->WaitIdle();
    EXPECT_EQ(viewer().prefetch->ReadyCount(), 0u);
    EXPECT_EQ(Centre(), Rgb(Colour(0)));
}

}  // namespace
