// Menus and command handling of the application, on the headless backend
// with a real software GL context and real texture folders.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"
#include "app/command_ids.h"
#include "ui/help_texts.h"

namespace {

using platform::menus::Find;
using platform::menus::Item;
using Labels = std::vector<std::string>;

class CommandsTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        WriteTexture("a.png", 64, 64);
        WriteTexture("b.png", 64, 32);
        WriteTexture("c.png", 32, 64);
    }

    // Init as the program entry runs it, then the viewer on show.
    void Start() {
        ASSERT_TRUE(app().Init());
        Show();
    }
    // The host's scene switch: Enter and the first Update.
    void Show() {
        app().ResizeViewport(512, 512);
        app().viewer->SetDirectory(textures().c_str(), false);
        app().SetScene(app().viewer.get());
    }

    bool Command(unsigned id) { return app().OnCommand(app().window, WM_COMMAND, id, 0); }
    void Mouse(std::uint32_t message, int x = 0, int y = 0, int wheel = 0) {
        const auto lParam = static_cast<platform::LParam>((static_cast<std::uint16_t>(y) << 16) |
                                                          static_cast<std::uint16_t>(x));
        const auto wParam = static_cast<platform::WParam>(static_cast<std::uint16_t>(wheel)) << 16;
        app().OnMouse(app().window, message, wParam, lParam);
    }
    bool Focus() { return app().OnMessage(app().window, WM_SETFOCUS, 0, 0); }

    std::string ShownName() const {
        const char* path = app_const().viewer->CurrentTexturePath();
        if (!path) return "";
        const std::string p(path);
        return p.substr(p.find_last_of('/') + 1);
    }
    const TesterApp& app_const() const { return const_cast<CommandsTest*>(this)->app(); }

    const Item& BarItem(int i) { return Find(headless::Get().attachedBar)->items.at(i); }
    bool Checked(unsigned id) {
        for (const Item& item : Find(app().optionsMenu)->items)
            if (item.id == id) return item.checked;
        ADD_FAILURE() << "no entry " << id;
        return false;
    }
};

TEST_F(CommandsTest, MenusAfterInitHaveNoCommandsMenuYet) {
    ASSERT_TRUE(app().Init());
    EXPECT_TRUE(app().initialised);
    EXPECT_EQ(headless::Labels(headless::Get().attachedBar),
              (Labels{"&File", "&Commands", "&View", "&Options", "&Help"}));
    EXPECT_EQ(BarItem(1).submenu, nullptr);
    EXPECT_EQ(headless::Labels(app().fileMenu),
              (Labels{"Br&owse to...", "&Edit", "&Choose Editor...", "-", "E&xit"}));
    EXPECT_EQ(headless::Labels(app().optionsMenu), (Labels{"Show &HUD", "Auto &Refresh", "All &Image Types"}));
    EXPECT_EQ(headless::Labels(app().helpMenu),
              (Labels{"&Controls", "Change &Log", "&About Zintra"}));
    const auto& file = Find(app().fileMenu)->items;
    EXPECT_EQ(file[0].id, IDM_BROWSE);
    EXPECT_EQ(file[1].id, IDM_EDIT);
    EXPECT_EQ(file[2].id, IDM_CHOOSE_EDITOR);
    EXPECT_EQ(file[4].id, IDM_EXIT);
    EXPECT_TRUE(Checked(IDM_SHOW_HUD));
    EXPECT_TRUE(Checked(IDM_AUTO_REFRESH));
}

TEST_F(CommandsTest, ScanBuildsTheJumpListAndCommandsMenu) {
    Start();
    EXPECT_EQ(headless::Labels(app().commandMenu),
              (Labels{"Jump to...", "Refresh", "-", "Next", "Prev", "-", "Move", "Zoom", "Rotate"}));
    const auto& commands = Find(app().commandMenu)->items;
    const unsigned ids[] = {IDM_REFRESH, IDM_NEXT, IDM_PREV, IDM_MOVE, IDM_ZOOM, IDM_ROTATE};
    const int at[] = {1, 3, 4, 6, 7, 8};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(commands[at[i]].id, ids[i]);
    ASSERT_EQ(commands[0].kind, Item::Submenu);
    const auto* jump = Find(commands[0].submenu);
    ASSERT_NE(jump, nullptr);
    ASSERT_EQ(jump->items.size(), 3u);
    const char* names[] = {"a.png", "b.png", "c.png"};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(jump->items[i].label, names[i]);
        EXPECT_EQ(jump->items[i].id, IDM_JUMP_FIRST + i);
    }
    EXPECT_EQ(BarItem(1).submenu, app().commandMenu);
    EXPECT_EQ(headless::Labels(headless::Get().attachedBar),
              (Labels{"&File", "&Commands", "&View", "&Options", "&Help"}));
}

TEST_F(CommandsTest, RebuildsNeitherLeakNorDuplicateMenus) {
    Start();
    const std::size_t live = platform::menus::LiveCount();
    EXPECT_EQ(live, 7u);  // bar, File, Commands, jump list, View, Options, Help
    for (int i = 0; i < 5; ++i) Command(IDM_REFRESH);
    EXPECT_EQ(platform::menus::LiveCount(), live);
    EXPECT_EQ(headless::Labels(headless::Get().attachedBar).size(), 5u);
    EXPECT_EQ(Find(Find(app().commandMenu)->items[0].submenu)->items.size(), 3u);
}

TEST_F(CommandsTest, FolderThatBecameEmptyLeavesNoJumpListUntilFilesReturn) {
    Start();
    RemoveTexture("a.png");
    RemoveTexture("b.png");
    RemoveTexture("c.png");
    Command(IDM_REFRESH);
    EXPECT_EQ(headless::Labels(app().commandMenu),
              (Labels{"Jump to...", "Refresh", "-", "Next", "Prev", "-", "Move", "Zoom", "Rotate"}));
    EXPECT_EQ(Find(Find(app().commandMenu)->items[0].submenu), nullptr);
    EXPECT_EQ(platform::menus::LiveCount(), 6u);
    EXPECT_TRUE(Command(IDM_NEXT));
    EXPECT_TRUE(Command(IDM_JUMP_FIRST + 1));
    EXPECT_EQ(app().viewer->CurrentTexturePath(), nullptr);

    WriteTexture("d.png", 16, 16);
    Command(IDM_REFRESH);
    const auto* jump = Find(Find(app().commandMenu)->items[0].submenu);
    ASSERT_NE(jump, nullptr);
    EXPECT_EQ(jump->items.at(0).label, "d.png");
    EXPECT_EQ(platform::menus::LiveCount(), 7u);
}

TEST_F(CommandsTest, CheckMarksFollowTheSettingsAfterTheFirstScan) {
    ASSERT_TRUE(app().Init());
    app().viewer->showHud = false;  // as a settings file read after Init sets it
    EXPECT_TRUE(Checked(IDM_SHOW_HUD));
    Show();
    EXPECT_FALSE(Checked(IDM_SHOW_HUD));
    EXPECT_TRUE(Checked(IDM_AUTO_REFRESH));
}

TEST_F(CommandsTest, OptionTogglesMoveTheirCheckMarks) {
    Start();
    EXPECT_TRUE(Command(IDM_SHOW_HUD));
    EXPECT_FALSE(app().viewer->showHud);
    EXPECT_FALSE(Checked(IDM_SHOW_HUD));
    Command(IDM_SHOW_HUD);
    EXPECT_TRUE(app().viewer->showHud);
    EXPECT_TRUE(Checked(IDM_SHOW_HUD));
    Command(IDM_AUTO_REFRESH);
    EXPECT_FALSE(app().viewer->autoRefresh);
    EXPECT_FALSE(Checked(IDM_AUTO_REFRESH));
}

TEST_F(CommandsTest, IdentifiersDispatchWithTheirResults) {
    Start();
    EXPECT_FALSE(Command(40000));
    EXPECT_FALSE(Command(0));
    EXPECT_EQ(ShownName(), "a.png");
    EXPECT_TRUE(Command(IDM_JUMP_FIRST + 2));
    EXPECT_EQ(ShownName(), "c.png");
    EXPECT_TRUE(Command(IDM_NEXT));
    EXPECT_EQ(ShownName(), "a.png");
    EXPECT_TRUE(Command(IDM_PREV));
    EXPECT_EQ(ShownName(), "c.png");
    EXPECT_TRUE(Command(IDM_JUMP_FIRST + 7));  // past the end: entry 0
    EXPECT_EQ(ShownName(), "a.png");
    EXPECT_TRUE(Command(0xFFFFFFFFu));  // huge: still entry 0, no wrap to a negative index
    EXPECT_EQ(ShownName(), "a.png");
    EXPECT_TRUE(Command(IDM_MOVE));
    EXPECT_TRUE(Command(IDM_ZOOM));
    EXPECT_TRUE(Command(IDM_ROTATE));
    EXPECT_TRUE(app().viewer->moveMode && app().viewer->zoomMode && app().viewer->rotateMode);
}

TEST_F(CommandsTest, HelpCommandsShowTheirTexts) {
    Start();
    Command(IDM_CONTROLS);
    Command(IDM_CHANGE_LOG);
    Command(IDM_ABOUT);
    const auto& boxes = headless::Get().messageBoxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "Zintra Controls");
    EXPECT_EQ(boxes[0].text.substr(0, 45), "Keyboard\n==============================\nESC\t\t");
    EXPECT_EQ(boxes[1].caption, "Zintra Change Log");
    EXPECT_NE(boxes[1].text.find("Zintra BETA v1.0  [current release]\n"), std::string::npos);
    EXPECT_EQ(boxes[2].caption, "About Zintra");
    EXPECT_EQ(boxes[2].flags, static_cast<std::uint32_t>(MB_OK));
    EXPECT_EQ(boxes[2].owner, app().window);
    int lines = 1;
    for (char c : std::string(kAboutText)) lines += c == '\n';
    EXPECT_EQ(lines, 9);
}

TEST_F(CommandsTest, WheelGivesThreeStepsBySign) {
    Start();
    auto& v = *app().viewer;
    const int base = v.distance;  // 4h: zooming in is at its limit
    Mouse(WM_MOUSEWHEEL, 0, 0, 120);
    EXPECT_EQ(v.distance, base);
    Mouse(WM_MOUSEWHEEL, 0, 0, -120);
    EXPECT_EQ(v.distance, base + 48);
    Mouse(WM_MOUSEWHEEL, 0, 0, -360);
    EXPECT_EQ(v.distance, base + 96);
    Mouse(WM_MOUSEWHEEL, 0, 0, 240);
    EXPECT_EQ(v.distance, base + 48);
    Mouse(WM_MOUSEWHEEL, 0, 0, 0);
    EXPECT_EQ(v.distance, base + 48);
    v.zoomMode = true;
    Mouse(WM_MOUSEWHEEL, 0, 0, -120);
    Mouse(WM_MOUSEWHEEL, 0, 0, 120);
    EXPECT_EQ(v.distance, base + 48);
}

TEST_F(CommandsTest, ButtonsDriveTheModesAndThePopup) {
    Start();
    auto& v = *app().viewer;
    Mouse(WM_MOUSEMOVE, 30, 50);
    EXPECT_EQ(v.mouseX, 30);
    EXPECT_EQ(v.mouseY, 50);
    Mouse(WM_MOUSEMOVE, -5, -7);  // outside the client area, signed
    EXPECT_EQ(v.mouseX, -5);
    EXPECT_EQ(v.mouseY, -7);

    // Right release during a left drag ends the drag and opens nothing.
    Mouse(WM_LBUTTONDOWN, 10, 10);
    EXPECT_TRUE(v.moveMode);
    Mouse(WM_MBUTTONDOWN, 10, 10);
    EXPECT_TRUE(v.rotateMode);
    Mouse(WM_RBUTTONUP, 10, 10);
    EXPECT_FALSE(v.moveMode || v.rotateMode || v.zoomMode);
    EXPECT_TRUE(headless::Get().popups.empty());

    // No mode: the right release opens the Commands menu beside the cursor.
    headless::Get().outerRect = {200, 100, 712, 612};
    Mouse(WM_RBUTTONUP, 30, 40);
    ASSERT_EQ(headless::Get().popups.size(), 1u);
    EXPECT_EQ(headless::Get().popups[0].menu, app().commandMenu);
    EXPECT_EQ(headless::Get().popups[0].x, 230);
    EXPECT_EQ(headless::Get().popups[0].y, 180);
    EXPECT_TRUE(app().popupShown);
    // The next left press only clears the flag; the one after starts a drag.
    Mouse(WM_LBUTTONDOWN);
    EXPECT_FALSE(app().popupShown);
    EXPECT_FALSE(v.moveMode);
    Mouse(WM_LBUTTONUP);
    Mouse(WM_LBUTTONDOWN);
    EXPECT_TRUE(v.moveMode);
    Mouse(WM_LBUTTONUP);
    EXPECT_FALSE(v.moveMode);
    Mouse(WM_RBUTTONDOWN);
    Mouse(WM_MOUSELEAVE);
    EXPECT_FALSE(v.moveMode || v.rotateMode || v.zoomMode);
}

TEST_F(CommandsTest, PopupChoiceArrivesAsACommand) {
    Start();
    headless::Get().popupChoice = IDM_NEXT;
    Mouse(WM_RBUTTONUP, 5, 5);
    platform::Message m;
    ASSERT_TRUE(platform::TakeMessage(&m));
    EXPECT_EQ(m.message, static_cast<std::uint32_t>(WM_COMMAND));
    app().HandleMessage(m.window, m.message, m.wParam, m.lParam);
    EXPECT_EQ(ShownName(), "b.png");
}

TEST_F(CommandsTest, FocusRefreshWaitsForInitAndStopsAfterQuit) {
    EXPECT_FALSE(Focus());  // before Init has finished
    Start();
    WriteTexture("0.png", 8, 8);  // sorts first: the file on show keeps its place
    EXPECT_TRUE(Focus());
    EXPECT_EQ(ShownName(), "a.png");
    EXPECT_EQ(Find(Find(app().commandMenu)->items[0].submenu)->items.size(), 4u);
    Command(IDM_AUTO_REFRESH);
    EXPECT_FALSE(Focus());
    Command(IDM_AUTO_REFRESH);
    app().Quit();
    EXPECT_FALSE(Focus());
    // Every other handler ignores messages after Quit as well.
    EXPECT_TRUE(Command(IDM_NEXT));
    Mouse(WM_RBUTTONUP);
    EXPECT_TRUE(headless::Get().popups.empty());
}

TEST_F(CommandsTest, BrowseCancelledChangesNothing) {
    Start();
    const std::string before = *app().viewer->textureDir;
    const auto pathBefore = std::string(app().viewer->CurrentTexturePath());
    EXPECT_TRUE(Command(IDM_BROWSE));
    EXPECT_EQ(headless::Get().folderDialogs, 1);
    EXPECT_EQ(*app().viewer->textureDir, before);
    EXPECT_EQ(app().viewer->CurrentTexturePath(), pathBefore);
}

TEST_F(CommandsTest, BrowseInstallsTheChosenFolder) {
    Start();
    std::filesystem::create_directories(root() + "/other");
    WriteTexture("z.png", 16, 16, nullptr, root() + "/other");
    headless::Get().folderAnswer = root() + "/other";
    Command(IDM_BROWSE);
    EXPECT_EQ(*app().viewer->textureDir, root() + "/other");
    EXPECT_EQ(ShownName(), "z.png");
}

TEST_F(CommandsTest, EditAsksForTheEditorOnceAndPassesThePathAsIs) {
    Start();
    Command(IDM_EDIT);  // dialog cancelled: nothing starts
    EXPECT_EQ(headless::Get().editorDialogs, 1);
    EXPECT_TRUE(headless::Get().launches.empty());
    EXPECT_FALSE(app().editorPath);
    Command(IDM_EDIT);  // asks again
    EXPECT_EQ(headless::Get().editorDialogs, 2);
    EXPECT_EQ(headless::Get().editorPrefill, "Photoshp.exe");

    headless::Get().editorAnswer = "/usr/bin/paint tool";
    Command(IDM_EDIT);
    ASSERT_EQ(headless::Get().launches.size(), 1u);
    EXPECT_EQ(headless::Get().launches[0].program, "/usr/bin/paint tool");
    EXPECT_EQ(headless::Get().launches[0].argument, TexturePath("a.png"));
    Command(IDM_EDIT);  // the editor stays chosen
    EXPECT_EQ(headless::Get().editorDialogs, 3);
    EXPECT_EQ(headless::Get().launches.size(), 2u);
}

TEST_F(CommandsTest, ChooseEditorReplacesTheEditorAndAFailedLaunchSaysSo) {
    Start();
    headless::Get().editorAnswer = "/usr/bin/first";
    Command(IDM_EDIT);
    headless::Get().editorAnswer = "/usr/bin/second";
    EXPECT_TRUE(Command(IDM_CHOOSE_EDITOR));
    EXPECT_EQ(headless::Get().editorPrefill, "/usr/bin/first");
    EXPECT_EQ(app().editorPath.value_or(""), "/usr/bin/second");
    headless::Get().editorAnswer.reset();  // cancelled: the editor stays
    Command(IDM_CHOOSE_EDITOR);
    EXPECT_EQ(app().editorPath.value_or(""), "/usr/bin/second");
    EXPECT_TRUE(headless::Get().messageBoxes.empty());

    headless::Get().launchFails = true;
    Command(IDM_EDIT);
    ASSERT_EQ(headless::Get().messageBoxes.size(), 1u);
    EXPECT_NE(headless::Get().messageBoxes[0].text.find("/usr/bin/second"), std::string::npos);
}

TEST_F(CommandsTest, PathsWithLineBreaksAreRefusedAndNeverWritten) {
    Start();
    const std::string folder = root() + "/x\n0\n0\n5000";
    std::filesystem::create_directories(folder);
    headless::Get().folderAnswer = folder;
    Command(IDM_BROWSE);
    EXPECT_EQ(headless::Get().folderStart, textures()) << "opens in the current folder";
    EXPECT_EQ(*app().viewer->textureDir, textures());
    ASSERT_EQ(headless::Get().messageBoxes.size(), 1u);
    headless::Get().editorAnswer = "/usr/bin/ed\r\nitor";
    Command(IDM_CHOOSE_EDITOR);
    EXPECT_FALSE(app().editorPath);
    EXPECT_EQ(headless::Get().messageBoxes.size(), 2u);
}

TEST_F(CommandsTest, EditHandsAnAbsolutePathThatCannotPassForAnOption) {
    std::filesystem::create_directories(root() + "/-dash");
    WriteTexture("a.png", 8, 8, nullptr, root() + "/-dash");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(root());
    ASSERT_TRUE(app().Init());
    app().ResizeViewport(512, 512);
    app().viewer->SetDirectory("-dash", false);
    app().SetScene(app().viewer.get());
    headless::Get().editorAnswer = "/usr/bin/editor";
    Command(IDM_EDIT);
    std::filesystem::current_path(cwd);
    ASSERT_EQ(headless::Get().launches.size(), 1u);
    EXPECT_EQ(headless::Get().launches[0].argument, root() + "/-dash/a.png");
}

TEST_F(CommandsTest, TitleAndJumpListFollowTheFileOnShow) {
    WriteTexture("Pal Magenta & Co.png", 16, 16);
    std::filesystem::create_directories(textures() + "/sub.png");  // matches, cannot be read
    Start();
    const std::string dash = " \u2014 ";
    EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + "a.png (64 \u00d7 64) 1/5");
    platform::MenuHandle jump = app().viewer->jumpMenu;
    EXPECT_EQ(headless::Labels(jump),
              (Labels{"a.png", "b.png", "c.png", "Pal Magenta && Co.png", "sub.png"}));
    auto checked = [&] {
        std::vector<int> marks;
        for (const Item& item : Find(jump)->items) marks.push_back(item.checked);
        return marks;
    };
    EXPECT_EQ(checked(), (std::vector<int>{1, 0, 0, 0, 0}));
    Command(IDM_PREV);
    EXPECT_EQ(checked(), (std::vector<int>{0, 0, 0, 0, 1}));
    EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + "sub.png: cannot be read");
    Command(IDM_JUMP_FIRST + 1);
    EXPECT_EQ(checked(), (std::vector<int>{0, 1, 0, 0, 0}));
    EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + "b.png (64 \u00d7 32) 2/5");

    const std::string empty = root() + "/empty";
    std::filesystem::create_directories(empty);
    headless::Get().folderAnswer = empty;
    Command(IDM_BROWSE);
    EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + empty + ": no PNG files or other images");
}

// Root lists a folder whatever its mode: while this lives, this thread
// works without the two capabilities that allow that.
class WithoutReadOverride {
public:
    WithoutReadOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutReadOverride() {
        if (lowered_) syscall(SYS_capset, &header_, saved_);
    }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;
    bool Lowered() const { return lowered_; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

TEST_F(CommandsTest, AFolderThatCannotBeReadSaysSoNotThatItIsEmpty) {
    Start();
    const std::string dash = " \u2014 ";
    const std::string locked = root() + "/locked";
    std::filesystem::create_directories(locked);
    WriteTexture("x.png", 8, 8, nullptr, locked);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    {
        WithoutReadOverride guard;
        ASSERT_TRUE(guard.Lowered());
        headless::Get().folderAnswer = locked;
        Command(IDM_BROWSE);
        EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + locked + ": folder cannot be read");
        EXPECT_EQ(app().viewer->pathCount, 0);
    }
    ASSERT_EQ(chmod(locked.c_str(), 0700), 0);
    Command(IDM_REFRESH);
    EXPECT_EQ(headless::Get().title, "Zintra - Zintra" + dash + "x.png (8 \u00d7 8) 1/1");
}

TEST_F(CommandsTest, AnArgumentOpensItsFolderWithTheFileOnShow) {
    ASSERT_TRUE(app().Init());
    app().ResizeViewport(512, 512);
    app().viewer->SetDirectory((root() + "/elsewhere").c_str(), false);  // remembered
    app().OpenPath(TexturePath("c.png"), false);
    app().SetScene(app().viewer.get());
    EXPECT_EQ(headless::Get().folderDialogs, 0);
    EXPECT_EQ(ShownName(), "c.png");
    EXPECT_EQ(*app().viewer->textureDir, textures());

    // Dropped later: at once. A name that is no PNG changes nothing.
    const std::string other = root() + "/other";
    std::filesystem::create_directories(other);
    WriteTexture("z.png", 16, 16, nullptr, other);
    app().OpenPath(other, true);
    EXPECT_EQ(ShownName(), "z.png");
    app().OpenPath(root() + "/missing.png", true);
    app().OpenPath(root() + "/system/legal.png.txt", true);
    std::filesystem::copy_file(root() + "/system/legal.png", root() + "/notes.txt");
    app().OpenPath(root() + "/notes.txt", true);
    EXPECT_EQ(headless::Get().messageBoxes.size(), 3u);
    EXPECT_EQ(ShownName(), "z.png");

    // A file dropped onto the window opens the same way.
    headless::Get().dropped = {TexturePath("b.png")};
    EXPECT_TRUE(app().OnMessage(app().window, WM_DROPFILES, 0, 0));
    EXPECT_EQ(ShownName(), "b.png");
}

TEST_F(CommandsTest, DialogsTolerateMessagesFromTheirNestedLoop) {
    Start();
    // A focus refresh and then a quit arrive while the folder dialog is open.
    headless::Get().whileModal = [this] {
        Focus();
        app().HandleMessage(app().window, WM_CLOSE, 0, 0);
    };
    headless::Get().folderAnswer = root();
    Command(IDM_BROWSE);
    EXPECT_EQ(app().viewer, nullptr);
    headless::Get().whileModal = nullptr;
    // Messages behind the quit change nothing.
    EXPECT_TRUE(Command(IDM_EDIT));
    EXPECT_TRUE(headless::Get().launches.empty());
}

TEST_F(CommandsTest, ExitQuitsOnce) {
    Start();
    EXPECT_TRUE(Command(IDM_EXIT));
    EXPECT_EQ(app().viewer, nullptr);
    EXPECT_EQ(app().currentScene, nullptr);
    app().HandleMessage(app().window, WM_CLOSE, 0, 0);
    std::size_t quits = 0;
    for (const auto& m : headless::Get().queue) quits += m.message == WM_QUIT;
    EXPECT_EQ(quits, 1u);
}

}  // namespace
