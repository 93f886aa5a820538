// The menus and Help text as designed, word for word, with the added
// commands only beside them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/command_ids.h"
#include "app/command_line.h"
#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"

namespace {

using platform::menus::Item;
using Entries = std::vector<std::pair<unsigned, std::string>>;

// A menu's designed entries (identifier, label; 0 for separators and
// submenus): the added ones, numbered below 40001, left out.
Entries Designed(platform::MenuHandle menu) {
    Entries entries;
    for (const Item& item : platform::menus::Find(menu)->items) {
        if (item.kind == Item::Separator && !entries.empty() && entries.back().first != 0)
            entries.push_back({0, "-"});
        else if (item.kind == Item::Submenu || item.id >= IDM_BROWSE)
            entries.push_back({item.id, item.label});
    }
    return entries;
}

class CommandTableTest : public ViewerFixture {};

TEST_F(CommandTableTest, DesignedMenusAndHelpComeOutWordForWord) {
    EnterViewer(512, 512);
    EXPECT_EQ(Designed(app().fileMenu),
              (Entries{{40001, "Br&owse to..."}, {40002, "&Edit"}, {0, "-"}, {40003, "E&xit"}}));
    EXPECT_EQ(Designed(app().optionsMenu),
              (Entries{{40004, "Show &HUD"}, {40005, "Auto &Refresh"}}));
    EXPECT_EQ(Designed(app().helpMenu),
              (Entries{{40006, "&Controls"}, {40007, "Change &Log"}, {40008, "&About Zintra"}}));
    EXPECT_EQ(Designed(app().commandMenu),
              (Entries{{0, "Jump to..."}, {40009, "Refresh"}, {0, "-"}, {40010, "Next"},
                       {40011, "Prev"}, {0, "-"}, {40012, "Move"}, {40013, "Zoom"},
                       {40014, "Rotate"}}));
    Entries bar = Designed(headless::Get().attachedBar);
    bar.erase(bar.begin() + 2);  // the added View menu
    EXPECT_EQ(bar, (Entries{{0, "&File"}, {0, "&Commands"}, {0, "&Options"}, {0, "&Help"}}));

    app().OnCommand(app().window, WM_COMMAND, IDM_CONTROLS, 0);
    app().OnCommand(app().window, WM_COMMAND, IDM_CHANGE_LOG, 0);
    const auto& boxes = headless::Get().messageBoxes;
    ASSERT_EQ(boxes.size(), 2u);
    const std::string controls =
        "Keyboard\n==============================\nESC\t\tQuit\n[\t\tPrevious Texture\n]\t\tNext "
        "Texture\nArrow Keys\tMove Texture\n-\t\tZoom Out\n+\t\tZoom In\nR\t\tRefresh Textures\n\n"
        "Mouse\n==============================\nLMB\t\tDrag Texture\nMMB\t\tRotate Texture\nMouse "
        "Wheel\tZoom\nRMB\t\tCommand Menu\n\nMore keys\n==============================\n"
        "Q\t\tQuit\n";
    EXPECT_EQ(boxes[0].text.substr(0, controls.size()), controls);
    EXPECT_EQ(boxes[1].text,
              "Zintra BETA v1.0  [current release]\n==============================\n"
              "> Converted application from GLUT to WINAPI\n> Added 'auto refresh' feature\n"
              "> Added 'show/hide HUD' feature\n> Added menus and menu bars\n"
              "> Added mouse interaction\n> Added 'browse to' and 'jump to' capability\n\n"
              "Zintra ALPHA v1.0\n==============================\n> Basic feature set");
}

TEST(CommandLineTest, OptionsUntilTheEndMarkerThenPaths) {
    const CommandLine help = ParseCommandLine({"dir", "-h"});
    EXPECT_TRUE(help.help && !help.version && help.paths == std::vector<std::string>{"dir"});
    const CommandLine marked = ParseCommandLine({"--version", "--", "--help", "-h"});
    EXPECT_TRUE(!marked.help && marked.version);
    EXPECT_EQ(marked.paths, (std::vector<std::string>{"--help", "-h"}));
}

}  // namespace
