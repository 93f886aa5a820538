// Saves seen live by the viewer: the new picture, the same view, the
// last good picture while a file will not decode, and nothing at all with
// Auto Refresh off.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"

namespace {

testpng::Sample Red(unsigned, unsigned) { return testpng::Sample::Rgb(200, 0, 0); }
testpng::Sample Blue(unsigned, unsigned) { return testpng::Sample::Rgb(0, 0, 200); }
testpng::Sample Green(unsigned, unsigned) { return testpng::Sample::Rgb(0, 200, 0); }

class LiveReloadTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        WriteTexture("a.png", 64, 64, Red);
        WriteTexture("b.png", 64, 64, Green);
        EnterViewer(512, 512);
        UseFakeClock();
        viewer().showHud = false;
    }
    void Passes(double ms) {
        for (double t = 0; t < ms; t += 20) {
            AdvanceMs(20);
            viewer().Update();
        }
    }
    std::uint32_t Centre() {
        viewer().Draw();
        return gl().PixelTopLeft(256 + 8, 256 + 8) >> 8;
    }
    void Corrupt(const std::string& name) {
        std::FILE* f = std::fopen(TexturePath(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("\x89PNG cut short", f);
        std::fclose(f);
    }
};

TEST_F(LiveReloadTest, ASaveShowsWithinASecondAndTheViewStays) {
    ASSERT_EQ(Centre(), 0xC80000u);
    viewer().offsetX = 8;
    viewer().yaw = 12;
    viewer().distance = 300;
    WriteTexture("a.png", 64, 64, Blue);
    Passes(1000);
    EXPECT_EQ(viewer().offsetX, 8);
    EXPECT_EQ(viewer().yaw, 12);
    EXPECT_EQ(viewer().distance, 300);
    viewer().offsetX = 0;
    viewer().yaw = 0;
    viewer().distance = 256;
    EXPECT_EQ(Centre(), 0x0000C8u);
    EXPECT_NE(headless::Get().title.find("reloaded"), std::string::npos) << headless::Get().title;
    Passes(2500);
    EXPECT_EQ(headless::Get().title.find("reloaded"), std::string::npos) << "the mark stays";
}

TEST_F(LiveReloadTest, AFileThatWillNotDecodeKeepsTheLastGoodPicture) {
    viewer().distance = 256;
    Corrupt("a.png");
    Passes(1000);
    EXPECT_EQ(Centre(), 0xC80000u) << "a torn save emptied the view";
    WriteTexture("a.png", 64, 64, Blue);  // the save completes
    Passes(1000);
    EXPECT_EQ(Centre(), 0x0000C8u);

    // Broken for good: after a few seconds it shows as unreadable.
    Corrupt("a.png");
    Passes(1000);
    EXPECT_EQ(Centre(), 0x0000C8u);
    Passes(4000);
    EXPECT_FALSE(viewer().shownReadable);
    EXPECT_NE(headless::Get().title.find("cannot be read"), std::string::npos);
}

TEST_F(LiveReloadTest, FilesAddedToTheFolderJoinTheListAndTheFileOnShowStays) {
    viewer().StepTexture(true, false);  // b.png
    WriteTexture("0.png", 16, 16, Red);
    Passes(1000);
    ASSERT_EQ(viewer().pathCount, 3);
    EXPECT_EQ(std::string(viewer().CurrentTexturePath()), TexturePath("b.png"));
    RemoveTexture("0.png");
    Passes(1000);
    EXPECT_EQ(viewer().pathCount, 2);
}

TEST_F(LiveReloadTest, AutoRefreshOffReloadsNothingButF5Does) {
    viewer().autoRefresh = false;
    viewer().distance = 256;
    WriteTexture("a.png", 64, 64, Blue);
    WriteTexture("c.png", 64, 64, Blue);
    Passes(2000);
    EXPECT_EQ(Centre(), 0xC80000u);
    EXPECT_EQ(viewer().pathCount, 2);
    app().HandleMessage(app().window, WM_KEYDOWN, 0x74, 0);  // F5
    app().HandleMessage(app().window, WM_KEYUP, 0x74, 0);
    Passes(20);
    EXPECT_EQ(Centre(), 0x0000C8u);
}

}  // namespace
