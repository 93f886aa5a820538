// The menus and Help texts as the original design gives them, word for
// word, with the added commands beside them; and the added keys listed
// wherever keys are listed.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/command_ids.h"
#include "app/command_line.h"
#include "platform/headless/headless.h"
#include "support/viewer_fixture.h"
#include "ui/help_texts.h"
#include "viewer/command_table.h"

namespace {

using platform::menus::Find;
using platform::menus::Item;
using Entries = std::vector<std::pair<unsigned, std::string>>;

// The menus as designed: identifier and label, 0 "-" for a separator.
const Entries kFile = {{40001, "Br&owse to..."}, {40002, "&Edit"}, {0, "-"}, {40003, "E&xit"}};
const Entries kOptions = {{40004, "Show &HUD"}, {40005, "Auto &Refresh"}};
const Entries kHelp = {{40006, "&Controls"}, {40007, "Change &Log"}, {40008, "&About Zintra"}};
const Entries kCommands = {{0, "Jump to..."}, {40009, "Refresh"}, {0, "-"},     {40010, "Next"},
                           {40011, "Prev"},   {0, "-"},          {40012, "Move"}, {40013, "Zoom"},
                           {40014, "Rotate"}};

const char* const kDesignedControls =
    "Keyboard\n==============================\nESC\t\tQuit\n[\t\tPrevious Texture\n]\t\tNext "
    "Texture\nArrow Keys\tMove Texture\n-\t\tZoom Out\n+\t\tZoom In\nR\t\tRefresh Textures\n\nMouse\n"
    "==============================\nLMB\t\tDrag Texture\nMMB\t\tRotate Texture\nMouse "
    "Wheel\tZoom\nRMB\t\tCommand Menu";
const char* const kDesignedChangeLog =
    "Zintra BETA v1.0  [current release]\n==============================\n> Converted application "
    "from GLUT to WINAPI\n> Added 'auto refresh' feature\n> Added 'show/hide HUD' feature\n> Added "
    "menus and menu bars\n> Added mouse interaction\n> Added 'browse to' and 'jump to' "
    "capability\n\nZintra ALPHA v1.0\n==============================\n> Basic feature set";

// The designed entries of a menu: the added ones (identifiers below the
// first designed one) left out, with a separator that only set them off.
Entries Designed(platform::MenuHandle menu) {
    Entries entries;
    const auto* found = Find(menu);
    if (!found) return entries;
    for (const Item& item : found->items) {
        if (item.kind == Item::Separator) {
            if (!entries.empty() && entries.back().first != 0) entries.push_back({0, "-"});
        } else if (item.kind == Item::Submenu || item.id >= IDM_BROWSE) {
            entries.push_back({item.kind == Item::Submenu ? 0 : item.id, item.label});
        }
    }
    return entries;
}

class CommandTableTest : public ViewerFixture {};

TEST_F(CommandTableTest, DesignedMenusComeOutWordForWord) {
    EnterViewer(512, 512);
    EXPECT_EQ(Designed(app().fileMenu), kFile);
    EXPECT_EQ(Designed(app().optionsMenu), kOptions);
    EXPECT_EQ(Designed(app().helpMenu), kHelp);
    EXPECT_EQ(Designed(app().commandMenu), kCommands);
    // The bar: the designed four in their order, the View menu added.
    std::vector<std::string> bar;
    for (const Item& item : Find(headless::Get().attachedBar)->items)
        if (item.submenu != app().viewMenu) bar.push_back(item.label);
    EXPECT_EQ(bar, (std::vector<std::string>{"&File", "&Commands", "&Options", "&Help"}));
}

TEST_F(CommandTableTest, ViewMenuHoldsEveryToolEntryWithItsKey) {
    EnterViewer(512, 512);
    std::vector<std::string> labels;
    for (const Item& item : Find(app().viewMenu)->items)
        if (item.kind == Item::Command) labels.push_back(item.label);
    EXPECT_EQ(labels, (std::vector<std::string>{
                          "One &Texel per Pixel\t1", "Magnify &2\u00d7\t2", "Magnify &3\u00d7\t3",
                          "Magnify &4\u00d7\t4", "Magnify &8\u00d7\t8", "&Fit the Whole Grid\tF",
                          "Texel &Readout\tI", "&Mark the Real Tile\tG", "Repeat &4 \u00d7 4\tM",
                          "Repeat &Across Only\tM", "Repeat &Down Only\tM", "Repeat Mirr&ored\tM"}));
}

TEST_F(CommandTableTest, HelpShowsTheDesignedTextsWithTheAddedKeysAfter) {
    EnterViewer(512, 512);
    EXPECT_TRUE(app().OnCommand(app().window, WM_COMMAND, IDM_CONTROLS, 0));
    EXPECT_TRUE(app().OnCommand(app().window, WM_COMMAND, IDM_CHANGE_LOG, 0));
    const auto& boxes = headless::Get().messageBoxes;
    ASSERT_EQ(boxes.size(), 2u);
    const std::string designed = std::string(kDesignedControls) + "\n\nMore keys\n";
    EXPECT_EQ(boxes[0].text.substr(0, designed.size()), designed);
    EXPECT_EQ(boxes[1].text, kDesignedChangeLog);
}

TEST(CommandTable, EveryKeyOfHelpIsInTheUsageAndQuitByQIsListed) {
    const std::string controls = ControlsText(), usage = UsageText();
    bool quitByQ = false;
    for (const KeyRow& row : AddedKeyRows()) {
        EXPECT_NE(controls.find('\n' + TabbedRow(row)), std::string::npos) << row.keys;
        quitByQ = quitByQ || (row.keys == "Q" && row.action == "Quit");
    }
    EXPECT_TRUE(quitByQ);
    std::size_t rows = 0;
    for (std::size_t at = controls.find('\t'); at != std::string::npos;
         at = controls.find('\n', at), at = controls.find('\t', at)) {
        const std::size_t start = controls.rfind('\n', at) + 1;
        const std::string keys = controls.substr(start, at - start);
        EXPECT_NE(usage.find("\n  " + keys + ' '), std::string::npos) << keys;
        ++rows;
    }
    EXPECT_EQ(rows, 11 + AddedKeyRows().size());
}

TEST(CommandTable, KeysUnderTenCharactersTakeTwoTabs) {
    const std::pair<KeyRow, const char*> cases[] = {
        {{"F", "Fit"}, "F\t\tFit"},
        {{"1 2 3 4 8", "Texels"}, "1 2 3 4 8\t\tTexels"},
        {{"C (hold)", "Compare"}, "C (hold)\t\tCompare"},
        {{"Keypad + and -", "Zoom"}, "Keypad + and -\tZoom"},
    };
    for (const auto& c : cases) EXPECT_EQ(TabbedRow(c.first), c.second);
}

TEST(CommandLineTest, OptionsUntilTheEndMarkerThenPaths) {
    struct Case {
        std::vector<std::string> arguments;
        bool help, version;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{}, false, false, {}},
        {{"--help"}, true, false, {}},
        {{"-h", "dir"}, true, false, {"dir"}},
        {{"dir", "--version"}, false, true, {"dir"}},
        {{"--", "--help", "--"}, false, false, {"--help", "--"}},
        {{"-help", "--Help"}, false, false, {"-help", "--Help"}},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.help, c.help) << c.arguments.size();
        EXPECT_EQ(line.version, c.version) << c.arguments.size();
        EXPECT_EQ(line.paths, c.paths) << c.arguments.size();
    }
}

}  // namespace
