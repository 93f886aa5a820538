// The viewer's catalogue on real folders: stepping, jumping, rescans.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/menu_tree.h"
#include "render/texture_bank.h"
#include "support/image_writers.h"
#include "support/png_writer.h"
#include "support/viewer_fixture.h"

namespace {

struct JumpItem {
    std::uint32_t id;
    std::string label;
    bool operator==(const JumpItem& o) const { return id == o.id && label == o.label; }
};

std::vector<JumpItem> JumpItems(platform::MenuHandle menu) {
    std::vector<JumpItem> items;
    if (const platform::menus::Menu* m = platform::menus::Find(menu))
        for (const auto& item : m->items) items.push_back({item.id, item.label});
    return items;
}

void PrintTo(const JumpItem& item, std::ostream* os) { *os << item.id << ":" << item.label; }

class ViewerCatalogueTest : public ViewerFixture {
protected:
    // Three files told apart by their width.
    void WriteAbc() {
        WriteTexture("a.png", 8, 8);
        WriteTexture("b.png", 16, 8);
        WriteTexture("c.png", 32, 8);
    }
    std::string Current() {
        const char* path = viewer().CurrentTexturePath();
        return path ? path : "(none)";
    }
};

TEST_F(ViewerCatalogueTest, StepsWrapBothWaysAndLoadTheFileOnShow) {
    WriteAbc();
    EnterViewer(512, 512);
    EXPECT_EQ(viewer().pathCount, 3);
    EXPECT_EQ(Current(), TexturePath("a.png"));
    EXPECT_EQ(viewer().textureWidth, 8);
    EXPECT_FALSE(viewer().holdIndex);
    EXPECT_EQ(JumpItems(viewer().jumpMenu),
              (std::vector<JumpItem>{{40015, "a.png"}, {40016, "b.png"}, {40017, "c.png"}}));

    EXPECT_EQ(viewer().StepTexture(true, false), 8);
    EXPECT_EQ(Current(), TexturePath("b.png"));
    EXPECT_EQ(viewer().textureWidth, 16);
    EXPECT_EQ(viewer().quadVertices[3], 32);  // vertex 1 x = 2w
    viewer().StepTexture(true, false);
    EXPECT_EQ(Current(), TexturePath("c.png"));
    viewer().StepTexture(true, false);
    EXPECT_EQ(Current(), TexturePath("a.png"));
    viewer().StepTexture(false, false);
    EXPECT_EQ(Current(), TexturePath("c.png"));
    EXPECT_EQ(viewer().textureWidth, 32);
    // Only the texture on show stays loaded.
    EXPECT_EQ(gTextureBank.PoolCount(2), 1);
    EXPECT_EQ(gTextureBank.PoolNames(2)[0], viewer().texture);
}

TEST_F(ViewerCatalogueTest, JumpIdsAndIndicesPastTheEnd) {
    WriteAbc();
    EnterViewer(512, 512);
    viewer().JumpTo(40017 - 40015);
    EXPECT_EQ(Current(), TexturePath("c.png"));
    viewer().JumpTo(1);
    EXPECT_EQ(Current(), TexturePath("b.png"));
    viewer().JumpTo(7);
    EXPECT_EQ(Current(), TexturePath("a.png"));
    EXPECT_EQ(viewer().currentIndex, 0);
}

TEST_F(ViewerCatalogueTest, RescanFollowsTheFileOnShowOrFallsBackToTheFirst) {
    WriteAbc();
    EnterViewer(512, 512);
    viewer().StepTexture(true, false);
    ASSERT_EQ(Current(), TexturePath("b.png"));

    // A new file listed before b.png moves b.png to index 2.
    WriteTexture("aa.png", 64, 8);
    viewer().Rescan(false);
    EXPECT_EQ(viewer().pathCount, 4);
    EXPECT_EQ(viewer().currentIndex, 2);
    EXPECT_EQ(Current(), TexturePath("b.png"));
    EXPECT_EQ(viewer().textureWidth, 16);

    RemoveTexture("b.png");
    viewer().Rescan(false);
    EXPECT_EQ(viewer().pathCount, 3);
    EXPECT_EQ(viewer().currentIndex, 0);
    EXPECT_EQ(Current(), TexturePath("a.png"));

    // The first entry on show is found at index 0 too.
    viewer().Rescan(true);
    EXPECT_EQ(viewer().currentIndex, 0);
    EXPECT_EQ(Current(), TexturePath("a.png"));
}

TEST_F(ViewerCatalogueTest, AFolderThatBecameEmptyLeavesNothingToStepTo) {
    WriteAbc();
    EnterViewer(512, 512);
    viewer().StepTexture(true, false);
    const GLuint shown = viewer().texture;
    const std::int16_t cornerX = viewer().quadVertices[3];

    for (const char* name : {"a.png", "b.png", "c.png"}) RemoveTexture(name);
    viewer().Rescan(true);
    EXPECT_EQ(viewer().pathCount, 0);
    EXPECT_EQ(viewer().currentIndex, -1);
    EXPECT_TRUE(viewer().paths.empty());
    EXPECT_EQ(viewer().CurrentTexturePath(), nullptr);
    EXPECT_EQ(gTextureBank.PoolCount(2), 0);  // ResetPool(2, 0) deleted it
    EXPECT_EQ(viewer().texture, shown);        // the name is kept
    EXPECT_EQ(viewer().quadVertices[3], cornerX);
    // The old list went with the old command menu; no stale handle is kept.
    EXPECT_EQ(viewer().jumpMenu, nullptr);
    EXPECT_NE(app().commandMenu, nullptr);

    EXPECT_EQ(viewer().StepTexture(true, false), 0);
    viewer().JumpTo(1);
    EXPECT_EQ(viewer().currentIndex, -1);
    EXPECT_EQ(viewer().CurrentTexturePath(), nullptr);

    // A later scan that finds files brings everything back.
    WriteTexture("d.png", 8, 4);
    viewer().Rescan(true);
    EXPECT_EQ(Current(), TexturePath("d.png"));
    EXPECT_EQ(JumpItems(viewer().jumpMenu), (std::vector<JumpItem>{{40015, "d.png"}}));
    EXPECT_NE(platform::menus::Find(viewer().jumpMenu), nullptr);
}

// A reload of the file on show (the focus back, a save seen live) keeps
// the whole view, pan included, while the size stays the same.
TEST_F(ViewerCatalogueTest, RefreshWithoutResetKeepsTheViewUnlessTheSizeChanged) {
    WriteTexture("a.png", 64, 128);
    EnterViewer(512, 512);
    ASSERT_EQ(viewer().distance, 512);

    const auto tilt = [this] {
        viewer().yaw = 10;
        viewer().pitch = -5;
        viewer().offsetX = 12;
        viewer().offsetY = -8;
        viewer().distance = 600;
    };
    tilt();
    viewer().Rescan(false);
    viewer().Update();
    EXPECT_EQ(viewer().distance, 600);
    EXPECT_EQ(viewer().yaw, 10);
    EXPECT_EQ(viewer().pitch, -5);
    EXPECT_EQ(viewer().offsetX, 12);
    EXPECT_EQ(viewer().offsetY, -8);

    tilt();
    WriteTexture("a.png", 64, 256);
    viewer().Rescan(false);
    viewer().Update();
    EXPECT_EQ(viewer().distance, 1024);
    EXPECT_EQ(viewer().yaw, 10);
    EXPECT_EQ(viewer().pitch, -5);
    EXPECT_EQ(viewer().offsetX, 0);
    EXPECT_EQ(viewer().offsetY, 0);

    // With a reset the angles go too.
    viewer().Rescan(true);
    EXPECT_EQ(viewer().yaw, 0);
    EXPECT_EQ(viewer().pitch, 0);
    EXPECT_EQ(viewer().distance, 1024);
}

TEST_F(ViewerCatalogueTest, SetDirectoryScansTheNewFolderOrRefusesWhatDoesNotFit) {
    WriteAbc();
    EnterViewer(512, 512);
    const std::string other = root() + "/other";
    std::filesystem::create_directories(other);
    WriteTexture("x.png", 4, 4, nullptr, other);
    WriteTexture("y.png", 4, 4, nullptr, other);
    viewer().StepTexture(true, false);

    viewer().SetDirectory(other.c_str(), true);
    EXPECT_EQ(viewer().currentIndex, 0);
    EXPECT_EQ(Current(), other + "/x.png");

    viewer().SetDirectory(nullptr, true);
    EXPECT_EQ(viewer().textureDir, other);
    const std::string tooLong(ViewerScene::kMaxDirLength + 1, 'd');
    viewer().SetDirectory(tooLong.c_str(), true);
    EXPECT_EQ(viewer().textureDir, other);
    EXPECT_EQ(Current(), other + "/x.png");
    const std::string longest = "/" + std::string(ViewerScene::kMaxDirLength - 1, 'd');
    viewer().SetDirectory(longest.c_str(), false);
    EXPECT_EQ(viewer().textureDir, longest);
}

TEST_F(ViewerCatalogueTest, EntriesWhosePathDoesNotFitAreSkippedKeepingIdsConsecutive) {
    WriteTexture("a.png", 8, 8);
    WriteTexture("c.png", 32, 8);
    // "<folder>/<name>" of exactly 254 characters fits; one more does not.
    const std::size_t room = ViewerScene::kMaxEntryLength - textures().size() - 1;
    const std::string fits = "b" + std::string(room - 5, 'x') + ".png";
    const std::string tooLong = "b" + std::string(room - 4, 'y') + ".png";
    ASSERT_LE(tooLong.size(), 255u) << "the temp folder's name is too long for this test";
    WriteTexture(fits, 16, 8);
    WriteTexture(tooLong, 16, 8);
    EnterViewer(512, 512);

    EXPECT_EQ(viewer().pathCount, 3);
    EXPECT_EQ(JumpItems(viewer().jumpMenu),
              (std::vector<JumpItem>{{40015, "a.png"}, {40016, fits}, {40017, "c.png"}}));
    viewer().JumpTo(2);
    EXPECT_EQ(Current(), TexturePath("c.png"));
}

TEST_F(ViewerCatalogueTest, PathLimitsCountCharactersAsWindowsDoesNotUtf8Bytes) {
    // Two folders of 65 Cyrillic letters: 260 bytes, 130 characters.
    std::string letters;
    for (int i = 0; i < 65; ++i) letters += "\xD0\xB6";
    const std::string folder = textures() + "/" + letters + "/" + letters;
    std::filesystem::create_directories(folder);
    WriteTexture("a.png", 8, 8, nullptr, folder);
    const std::string name = letters.substr(0, 80) + ".png";  // 44 characters
    WriteTexture(name, 16, 8, nullptr, folder);
    ASSERT_GT(folder.size(), ViewerScene::kMaxEntryLength);
    ASSERT_LE(textures().size() + 133 + 1 + 44, ViewerScene::kMaxEntryLength)
        << "the temp folder's name is too long for this test";
    EnterViewer(512, 512);
    viewer().SetDirectory(folder.c_str(), true);
    EXPECT_EQ(viewer().pathCount, 2);
    EXPECT_EQ(Current(), folder + "/a.png");
}

TEST_F(ViewerCatalogueTest, AFileThatFailsToLoadGivesAnEmptyQuad) {
    ASSERT_TRUE(testpng::WriteBytes(TexturePath("broken.png"), {1, 2, 3}));
    EnterViewer(512, 512);
    EXPECT_EQ(viewer().pathCount, 1);
    EXPECT_EQ(viewer().texture, 0u);
    EXPECT_EQ(viewer().textureWidth, 0);
    EXPECT_EQ(viewer().textureHeight, 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(viewer().quadVertices[i], 0) << i;
    // A zero height must not leave a GL error from the frustum.
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ViewerCatalogueTest, EnterAsksForAFolderWhenNoneIsKnown) {
    WriteAbc();
    headless::Get().folderAnswer = textures();
    app().ResizeViewport(512, 512);
    viewer().Enter();
    EXPECT_EQ(headless::Get().folderDialogs, 1);
    EXPECT_EQ(viewer().textureDir, textures());
    EXPECT_EQ(Current(), TexturePath("a.png"));
}

TEST_F(ViewerCatalogueTest, ACancelledFolderDialogLeavesOnlyTheHud) {
    WriteAbc();
    app().ResizeViewport(512, 512);
    viewer().Enter();
    viewer().Update();
    EXPECT_EQ(headless::Get().folderDialogs, 1);
    EXPECT_EQ(viewer().pathCount, 0);
    EXPECT_EQ(viewer().CurrentTexturePath(), nullptr);
    EXPECT_NE(viewer().mouseSprite, nullptr);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(viewer().quadVertices[i], 0) << i;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ViewerCatalogueTest, AQuitDuringTheFolderDialogEndsEnterAtOnce) {
    headless::Get().whileModal = [this] { app().Quit(); };
    headless::Get().folderAnswer = textures();
    app().ResizeViewport(512, 512);
    viewer().Enter();
    EXPECT_EQ(app().viewer, nullptr);
}

TEST_F(ViewerCatalogueTest, LeaveReleasesOnceAndTheMenusStayTheApplications) {
    WriteAbc();
    EnterViewer(512, 512);
    const platform::MenuHandle jump = viewer().jumpMenu;
    viewer().Leave();
    EXPECT_EQ(viewer().legalSprite, nullptr);
    EXPECT_EQ(viewer().webSprite, nullptr);
    EXPECT_EQ(viewer().controlsSprite, nullptr);
    EXPECT_EQ(viewer().mouseSprite, nullptr);
    EXPECT_FALSE(viewer().textureDir.has_value());
    EXPECT_TRUE(viewer().paths.empty());
    EXPECT_EQ(viewer().CurrentTexturePath(), nullptr);
    viewer().Leave();  // nothing left to release twice

    app().viewer.reset();  // the destructor repeats the release
    EXPECT_NE(platform::menus::Find(jump), nullptr) << "the jump list belongs to the command menu";
}

}  // namespace

namespace {

// Every format is listed by its extension, in natural order and any case;
// a painter's working file and the PNG exported from it both show. Off,
// All Image Types lists PNG files only, as before there were others.
TEST_F(ViewerCatalogueTest, AllImageTypesListsEveryFormatAndOffOnlyPngs) {
    const testimg::Rgba picture = testimg::Pattern(9, 7);
    const std::pair<const char*, testimg::Bytes> files[] = {
        {"wall.kra", testimg::Zip({{"mergedimage.png", {}}})},
        {"wall.png", {}},
        {"rock10.TGA", testimg::Targa(picture, {})},
        {"rock9.jpg", testimg::Jpeg(picture, 80, false, false, true)},
        {"moss.webp", testimg::Webp(picture, true)},
        {"moss.psd", testimg::Psd(picture, {})},
        {"sky.ora", {}},
        {"notes.txt", {}},
        {"README", {}},
        {"bark.jpeg.bak", {}},
    };
    for (const auto& f : files) ASSERT_TRUE(testpng::WriteBytes(TexturePath(f.first), f.second));
    WriteTexture("wall.png", 8, 8);
    EnterViewer(512, 512);
    const auto labels = [this] {
        std::vector<std::string> names;
        for (const JumpItem& item : JumpItems(viewer().jumpMenu)) names.push_back(item.label);
        return names;
    };
    EXPECT_EQ(labels(), (std::vector<std::string>{"moss.psd", "moss.webp", "rock9.jpg",
                                                  "rock10.TGA", "sky.ora", "wall.kra", "wall.png"}));
    // The Targa file is read like any other.
    viewer().JumpTo(3);
    EXPECT_EQ(viewer().textureWidth, 9);

    viewer().allImageTypes = false;
    viewer().Rescan(false);
    EXPECT_EQ(labels(), (std::vector<std::string>{"wall.png"}));
}

}  // namespace
